#!/usr/bin/env python3
"""The layer check: every library folder includes only from the folders below it, and every
library takes symbols only from the libraries below it.

usage: check-layers.py SOURCE_DIR LAYERS_JSON

LAYERS_JSON is written by CMake (cmake/VzLayers.cmake): each library's folder and archive, and
the folders each layer folder may use. Checked:
  - every #include "a/b/c.h" of a library's sources, and of the tests in tests/<folder>, names a
    header in a folder the layer may use (the tests' own helpers count as their folder's);
  - only layers marked "qt" include Qt headers;
  - no symbol that a library's archive needs is defined by a library it may not use.
Prints one line per violation and exits 1, or exits 0 when there is none.
"""
import json
import os
import re
import subprocess
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
QT_HEADER = re.compile(r'^Q[A-Za-z]*$|^Qt[A-Za-z]*/')


def layer_of(path, layers):
    """The deepest layer folder holding the path (a folder or file relative to the source dir)."""
    parts = path.split('/')
    for n in range(len(parts), 0, -1):
        candidate = '/'.join(parts[:n])
        if candidate in layers:
            return candidate
    return None


def sources_of(root, folder, layers):
    """The C++ files directly in the folder and in its subfolders that are not layers."""
    out = []
    base = os.path.join(root, folder)
    if not os.path.isdir(base):
        return out
    for dirpath, dirnames, filenames in os.walk(base):
        rel = os.path.relpath(dirpath, root)
        dirnames[:] = [d for d in dirnames
                       if os.path.join(rel, d) not in layers and not d.startswith('.')]
        for name in filenames:
            if name.endswith(('.h', '.cpp', '.cc')):
                out.append(os.path.join(dirpath, name))
    return out


def check_includes(root, folder, reach, layers, files, problems):
    for path in files:
        with open(path, encoding='utf-8', errors='replace') as f:
            text = f.read()
        rel = os.path.relpath(path, root)
        for kind, name in INCLUDE.findall(text):
            if kind == '<':
                if QT_HEADER.match(name) and 'qt' not in reach:
                    problems.append(f'{rel}: includes Qt header <{name}>, but {folder} may not use Qt')
                continue
            target = name
            if target.startswith('tests/'):
                target = target[len('tests/'):]
                owner = layer_of(os.path.dirname(target), layers)
                if owner is None:
                    continue  # a helper shared by every test folder
            else:
                owner = layer_of(os.path.dirname(target), layers)
            if owner is not None and owner not in reach:
                problems.append(f'{rel}: includes "{name}" from {owner}, which is not below {folder}')


def symbols(archive):
    """(strongly defined, undefined) symbol names of a static library."""
    defined, undefined = set(), set()
    out = subprocess.run(['nm', '--format=posix', archive], capture_output=True, text=True,
                         check=True).stdout
    for line in out.splitlines():
        fields = line.split()
        if len(fields) < 2 or line.endswith(':'):
            continue
        name, kind = fields[0], fields[1]
        if kind == 'U':
            undefined.add(name)
        elif kind in 'TDBRG':
            defined.add(name)
    return defined, undefined - defined


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    root, layers_json = sys.argv[1], sys.argv[2]
    with open(layers_json) as f:
        data = json.load(f)
    reach = data['reach']
    layers = set(reach)
    problems = []

    for folder in sorted(layers):
        check_includes(root, folder, set(reach[folder]), layers,
                       sources_of(root, folder, layers), problems)
        check_includes(root, 'tests/' + folder, set(reach[folder]), layers,
                       sources_of(os.path.join(root, 'tests'), folder, layers), problems)

    libs = data['libraries']
    tables = {lib['target']: symbols(lib['archive']) for lib in libs if os.path.exists(lib['archive'])}
    for lib in libs:
        if lib['target'] not in tables:
            problems.append(f"{lib['target']}: archive {lib['archive']} is missing (build first)")
            continue
        needed = tables[lib['target']][1]
        for other in libs:
            if other['folder'] in lib['reach'] or other['target'] not in tables:
                continue
            taken = sorted(needed & tables[other['target']][0])
            for name in taken[:5]:
                problems.append(f"{lib['target']} ({lib['folder']}) needs {name}, defined by "
                                f"{other['target']} ({other['folder']}), which is not below it")
            if len(taken) > 5:
                problems.append(f"  ... and {len(taken) - 5} more symbols of {other['target']}")

    for p in problems:
        print(p)
    if not problems:
        print(f'layers: {len(layers)} folders, {len(libs)} libraries, no upward include or symbol')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
