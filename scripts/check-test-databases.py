#!/usr/bin/env python3
"""Checks every database file the test programs left in the build tree's test folders.

usage: check-test-databases.py TESTS_BUILD_DIR ZUZDUMP [--clear]

CTest runs each test program with its temporary folder in the program's folder of the build tree
(tmp/) and has the tests keep the folders they write (tests/testFiles.h). This script runs last
(a CTest fixture's cleanup): it runs `zuzdump --check` on every database file below
TESTS_BUILD_DIR (a *.zuz file that starts as one does: the 16-bit word 1; a test's text in place
of a plan is no database), except the files tests damage on purpose (DAMAGED_ON_PURPOSE), prints
one block per file that does not pass and exits 1, or clears the tmp/ folders and exits 0. An encrypted file is checked
with the database passwords the tests give (TEST_KEYS). With --clear it only empties the tmp/
folders (the fixture's setup, so that a run sees only its own files).
"""
import concurrent.futures
import fnmatch
import os
import shutil
import subprocess
import sys

# Files the tests damage on purpose, by name.
DAMAGED_ON_PURPOSE = ['*damaged*.zuz']
TEST_KEYS = ['Open-Sesame-99']


def tmp_folders(root):
    for folder, subfolders, _ in os.walk(root):
        if os.path.basename(folder) == 'tmp':
            subfolders[:] = []
            yield folder


def clear(root):
    for folder in tmp_folders(root):
        for name in os.listdir(folder):
            path = os.path.join(folder, name)
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path, ignore_errors=True)
            else:
                os.remove(path)


def starts_as_database(path):
    with open(path, 'rb') as f:
        return f.read(2) == b'\x01\x00'


def databases(root):
    for folder, _, files in os.walk(root):
        for name in sorted(files):
            path = os.path.join(folder, name)
            if (name.endswith('.zuz') and starts_as_database(path) and
                    not any(fnmatch.fnmatch(name, p) for p in DAMAGED_ON_PURPOSE)):
                yield path


def check(zuzdump, path):
    """(exit status, output) of the check, with a test key when the file needs one."""
    result = None
    for key in [None] + TEST_KEYS:
        command = [zuzdump, '--check', path] + (['--key', key] if key else [])
        try:
            run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                 timeout=300)
            result = (run.returncode, run.stdout.decode('utf-8', 'replace'))
        except subprocess.TimeoutExpired:
            return (-1, 'timed out')
        if result[0] != 2 or ('--key' not in result[1] and 'database password' not in result[1]):
            break
    return result


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    root, zuzdump = sys.argv[1], sys.argv[2]
    if '--clear' in sys.argv[3:]:
        clear(root)
        return 0
    files = list(databases(root))
    failed = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for path, (status, output) in zip(files, pool.map(lambda p: check(zuzdump, p), files)):
            if status != 0:
                failed += 1
                print('%s: zuzdump --check exit status %d\n%s' % (path, status, output))
    print('%d database file(s) checked, %d with problems' % (len(files), failed))
    if failed:
        return 1
    clear(root)
    return 0


if __name__ == '__main__':
    sys.exit(main())
