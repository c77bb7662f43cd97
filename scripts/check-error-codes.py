#!/usr/bin/env python3
"""Finds engine error numbers written as number literals outside the code table.

usage: check-error-codes.py SOURCE_DIR [--fix]

The engine's error codes are named once, in db/storage/zuzErrorCodes.h; every other C++ file of
the tree (code, tools, benchmarks and tests) uses the names. Comments and string literals are not
looked at. Prints one line per literal found and exits 1, or exits 0 when there is none. With
--fix, each literal is replaced by its name instead.
"""
import os
import re
import subprocess
import sys

TABLE = 'db/storage/zuzErrorCodes.h'
ENTRY = re.compile(r'ZUZ_ERROR_CODE\((ZUZ_ERR_[A-Z0-9_]+), (\d+),')


def code_names(root):
    with open(os.path.join(root, TABLE)) as f:
        return {int(code): name for name, code in ENTRY.findall(f.read())}


def literals(text):
    """(start, end) of every decimal number literal outside comments, strings and characters."""
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith('//', i):
            i = text.find('\n', i)
            i = n if i < 0 else i
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            i = n if j < 0 else j + 2
        elif c == 'R' and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == '_')):
            j = text.find('(', i)
            delim = ')' + text[i + 2:j] + '"'
            k = text.find(delim, j)
            i = n if k < 0 else k + len(delim)
        elif c == '"' or (c == "'" and not (i > 0 and text[i - 1].isalnum())):
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == '\\' else 1
            i = j + 1
        elif c.isdigit() and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] in "_.'")):
            j = i
            while j < n and (text[j].isalnum() or text[j] in "'._"):
                j += 1
            yield i, j
            i = j
        else:
            i += 1


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else '.'
    fix = '--fix' in sys.argv
    names = code_names(root)
    files = subprocess.run(['git', '-C', root, 'ls-files', '*.cpp', '*.h', '*.cc'],
                           capture_output=True, text=True, check=True).stdout.split()
    found = 0
    for rel in files:
        if rel == TABLE:
            continue
        path = os.path.join(root, rel)
        with open(path, encoding='utf-8') as f:
            text = f.read()
        hits = [(a, b) for a, b in literals(text) if text[a:b].isdigit() and int(text[a:b]) in names]
        if not hits:
            continue
        found += len(hits)
        if fix:
            for a, b in reversed(hits):
                text = text[:a] + names[int(text[a:b])] + text[b:]
            with open(path, 'w', encoding='utf-8') as f:
                f.write(text)
        else:
            for a, b in hits:
                line = text.count('\n', 0, a) + 1
                print(f'{rel}:{line}: engine error number {text[a:b]} (use {names[int(text[a:b])]})')
    if fix:
        print(f'{found} literals replaced')
        return 0
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
