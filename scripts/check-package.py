#!/usr/bin/env python3
"""Checks the Debian package as a user's system would see it.

    check-package.py [--lintian] @BUILD/packaging/check-args --package PACKAGE.deb
    check-package.py @BUILD/packaging/check-args --cpack CPACK --config BUILD/CPackConfig.cmake

BUILD/packaging/check-args, written by the build's configuration, says what the package must
hold (--version, --programs, --without-command-line, --template).

The second form first makes the package from a build with CPack, into a temporary folder. The
package is unpacked into a fresh root; then: its control fields, the file list (every program
under usr/bin with its man page, the help, the desktop entry, the MIME type, the icons, the
documents and, with --template, the database template), each program's command line run from
the root (--version, --help, a wrong option), the desktop entry (desktop-file-validate), the MIME
type (xmllint, update-mime-database and, on a database file, GLib's type detection), every man
page rendered by man -l, and with --lintian the package by lintian (no errors; warnings shown).
Exit status 0 when everything holds, 1 with a list of what does not, 77 when the tools for the
check are missing (1 when VAZADOD_CI is set, as continuous integration does).
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

NAME = "vazadod"
ICON_SIZES_REQUIRED = (16, 22, 24, 32, 48, 64, 128, 256)
problems = []


def problem(text):
    problems.append(text)
    print("FAIL: " + text)


def run(args, env=None, timeout=60, stdin=subprocess.DEVNULL):
    try:
        return subprocess.run(args, env=env, timeout=timeout, stdin=stdin, capture_output=True,
                              text=True, errors="replace")
    except subprocess.TimeoutExpired:
        return subprocess.CompletedProcess(args, -1, "", "no answer within %d s" % timeout)


def make_package(cpack, config, folder):
    # gzip instead of xz: the same contents, made in a fraction of the time.
    r = run([cpack, "-G", "DEB", "--config", config, "-B", folder,
             "-D", "CPACK_DEBIAN_COMPRESSION_TYPE=gzip"], timeout=900)
    debs = [f for f in os.listdir(folder) if f.endswith(".deb")]
    if r.returncode != 0 or len(debs) != 1:
        print(r.stdout + r.stderr)
        sys.exit("cpack made no package")
    return os.path.join(folder, debs[0])


def check_fields(deb, version):
    r = run(["dpkg-deb", "-f", deb])
    fields = dict(re.findall(r"^([\w-]+): (.*)$", r.stdout, re.M))
    for key, want in (("Package", NAME), ("Version", version)):
        if fields.get(key) != want:
            problem("field %s is %r, not %r" % (key, fields.get(key), want))
    for key in ("Section", "Priority", "Maintainer", "Description", "Architecture"):
        if not fields.get(key):
            problem("field %s is missing" % key)
    depends = fields.get("Depends", "")
    for library in ("libc6", "libqt6widgets6", "zlib1g"):
        if not re.search(r"\b%s\b" % library, depends):
            problem("Depends does not name %s (computed dependencies): %r" % (library, depends))


def check_listing(deb):
    r = run(["dpkg-deb", "-c", deb])
    for line in r.stdout.splitlines():
        mode, owner, _size, _date, _time, path = line.split(None, 5)
        path = path.split(" -> ")[0]
        if path not in ("./", "./usr/") and not path.startswith("./usr/"):
            problem("%s lies outside /usr" % path)
        if owner != "root/root":
            problem("%s is owned by %s" % (path, owner))
        if mode[5] == "w" or mode[8] == "w":
            problem("%s is writable by others (%s)" % (path, mode))


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", head[16:24])


def check_files(root, programs, template, without):
    usr = os.path.join(root, "usr")
    share = os.path.join(usr, "share")
    installed = sorted(os.listdir(os.path.join(usr, "bin")))
    if installed != sorted(programs):
        problem("usr/bin holds %s, expected %s" % (installed, sorted(programs)))
    pages = sorted(os.listdir(os.path.join(share, "man", "man1")))
    if pages != sorted(p + ".1.gz" for p in installed if p not in without):
        problem("man1 holds %s for the programs %s" % (pages, installed))
    wanted = ["vazadod/help/Vazadod.html", "applications/vazadod.desktop",
              "mime/packages/vazadod.xml", "icons/hicolor/scalable/apps/vazadod.svg",
              "doc/vazadod/copyright", "doc/vazadod/changelog.gz"]
    if template:
        wanted.append("vazadod/db/Vazadod.zuz")
    for path in wanted:
        if not os.path.isfile(os.path.join(share, path)):
            problem("usr/share/%s is missing" % path)
    hicolor = os.path.join(share, "icons", "hicolor")
    sizes = []
    for folder in os.listdir(hicolor):
        png = os.path.join(hicolor, folder, "apps", "vazadod.png")
        if folder == "scalable":
            continue
        size = png_size(png) if os.path.isfile(png) else None
        if size is None or "%dx%d" % size != folder:
            problem("%s is no %s PNG icon (%s)" % (png, folder, size))
        else:
            sizes.append(size[0])
    missing = set(ICON_SIZES_REQUIRED) - set(sizes)
    if missing:
        problem("icon sizes missing: %s" % sorted(missing))
    return installed


def program_env(root):
    env = dict(os.environ)
    home = os.path.join(root, "home")
    os.makedirs(home, exist_ok=True)
    env.update(HOME=home, XDG_DATA_HOME=os.path.join(home, ".local", "share"),
               XDG_CONFIG_HOME=os.path.join(home, ".config"), QT_QPA_PLATFORM="offscreen",
               LC_ALL="C.UTF-8")
    return env


def check_command_lines(root, programs, version, without):
    env = program_env(root)
    for name in programs:
        path = os.path.join(root, "usr", "bin", name)
        if name in without:
            r = run([path, "--version"], env, timeout=10)
            if r.returncode == 0 and r.stdout.startswith(name):
                problem("%s answers --version now: drop WITHOUT_COMMAND_LINE from its line in "
                        "cmake/Packaging.cmake, so that it gets its man page" % name)
            else:
                print("SKIP: %s has no command line yet: no --help, --version or man page" % name)
            continue
        r = run([path, "--version"], env)
        first = r.stdout.splitlines()[0] if r.stdout else ""
        if r.returncode != 0 or not first.startswith(name) or not first.endswith(" " + version):
            problem("%s --version: status %d, %r (expected '%s ... %s')%s"
                    % (name, r.returncode, first, name, version, r.stderr[-500:]))
        r = run([path, "--help"], env)
        if r.returncode != 0 or not re.search(r"^usage: .*%s" % re.escape(name), r.stdout,
                                              re.I | re.M):
            problem("%s --help: status %d, no usage line on standard output: %r"
                    % (name, r.returncode, r.stdout[:300] + r.stderr[-300:]))
        r = run([path, "--no-such-option"], env)
        if r.returncode != 2 or r.stdout or not r.stderr.strip() or "--help" not in r.stderr:
            problem("%s --no-such-option: status %d (expected 2), standard output %r, standard "
                    "error %r (expected a short usage naming --help)"
                    % (name, r.returncode, r.stdout[:200], r.stderr[:300]))


def check_desktop_entry(root, programs):
    path = os.path.join(root, "usr/share/applications/vazadod.desktop")
    r = run(["desktop-file-validate", path])
    if r.returncode != 0 or "error" in r.stdout.lower():
        problem("desktop-file-validate: " + r.stdout + r.stderr)
    elif r.stdout.strip():
        print("desktop-file-validate: " + r.stdout.strip())
    entry = dict(re.findall(r"^(\w+)=(.*)$", open(path, encoding="utf-8").read(), re.M))
    command = entry.get("Exec", "").split()
    if not command or command[0] not in programs or "%f" not in command[1:]:
        problem("Exec=%s does not start an installed program with the file (%%f)"
                % entry.get("Exec"))
    mime = open(os.path.join(root, "usr/share/mime/packages/vazadod.xml"), encoding="utf-8").read()
    for kind in filter(None, entry.get("MimeType", "").split(";")):
        if 'type="%s"' % kind not in mime:
            problem("MimeType %s is not defined by the package's MIME file" % kind)
    if not entry.get("MimeType"):
        problem("the desktop entry names no MimeType")


def mime_type_of(share, path):
    env = dict(os.environ, XDG_DATA_HOME=share, XDG_DATA_DIRS=share + ":/usr/share")
    r = run(["gio", "info", "-a", "standard::content-type", path], env)
    m = re.search(r"standard::content-type: (\S+)", r.stdout)
    return m.group(1) if m else "?" + r.stderr


def check_mime(root, work, database):
    xml = os.path.join(root, "usr/share/mime/packages/vazadod.xml")
    r = run(["xmllint", "--noout", xml])
    if r.returncode != 0:
        problem("xmllint: " + r.stderr)
        return
    kind = re.search(r'<mime-type type="([^"]+)"', open(xml, encoding="utf-8").read()).group(1)
    share = os.path.join(work, "mime-home")
    os.makedirs(os.path.join(share, "mime", "packages"))
    shutil.copy(xml, os.path.join(share, "mime", "packages"))
    r = run(["update-mime-database", "-V", os.path.join(share, "mime")])
    if r.returncode != 0 or "warning" in (r.stdout + r.stderr).lower():
        problem("update-mime-database: " + r.stdout + r.stderr)
        return
    if not shutil.which("gio"):
        print("SKIP: the MIME type's detection (gio from libglib2.0-bin is missing)")
        return
    if not database:
        print("SKIP: the MIME type's magic bytes (no database file to try them on)")
        return
    # Without its extension the file is known by its first bytes; other bytes are not a plan.
    plan = os.path.join(work, "plan")
    shutil.copy(database, plan)
    other = os.path.join(work, "other")
    with open(other, "wb") as f:
        f.write(b"\x01\x00" + bytes(300))
    for path, want in ((plan, True), (other, False)):
        found = mime_type_of(share, path)
        if (found == kind) != want:
            problem("%s is detected as %s" % (path, found))


def find_database(root, work, env):
    """The package's template, else an empty database made by its SQL shell, else None."""
    template = os.path.join(root, "usr/share/vazadod/db/Vazadod.zuz")
    if os.path.isfile(template):
        return template
    made = os.path.join(work, "made.zuz")
    shell = os.path.join(root, "usr/bin/zuzsql")
    if os.path.isfile(shell):
        run([shell, "--create", made], env)
    return made if os.path.isfile(made) else None


def check_man_pages(root, programs):
    env = dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8", MAN_DISABLE_SECCOMP="1")
    for name in programs:
        page = os.path.join(root, "usr/share/man/man1", name + ".1.gz")
        if not os.path.isfile(page):
            continue
        r = run(["man", "--warnings", "-l", page], env)
        text = r.stdout.replace("\b", "")
        if r.returncode != 0 or r.stderr.strip() or "--help" not in text or \
                not re.search(r"^NAME\s+%s\s+-\s" % re.escape(name), text, re.M):
            problem("man -l %s: status %d, %s\n%s" % (page, r.returncode, r.stderr, text[:400]))


def check_lintian(deb):
    r = run(["lintian", "--fail-on", "error", "--tag-display-limit", "0", deb], timeout=900)
    print(r.stdout + r.stderr)
    if r.returncode != 0:
        problem("lintian reports errors")


def main():
    parser = argparse.ArgumentParser(fromfile_prefix_chars="@")
    parser.add_argument("--package", help="the .deb to check (else --cpack makes one)")
    parser.add_argument("--cpack")
    parser.add_argument("--config")
    parser.add_argument("--version", required=True)
    parser.add_argument("--programs", nargs="+", required=True)
    parser.add_argument("--without-command-line", nargs="+", default=[],
                        help="programs that do not answer --help and --version yet")
    parser.add_argument("--template", action="store_true")
    parser.add_argument("--database", help="a database file for the MIME magic check")
    parser.add_argument("--lintian", action="store_true")
    args = parser.parse_args()
    needed = ["dpkg-deb", "man", "xmllint", "desktop-file-validate", "update-mime-database"]
    needed += ["lintian"] if args.lintian else []
    needed += ["gio"] if os.environ.get("VAZADOD_CI") else []
    missing = [tool for tool in needed if not shutil.which(tool)]
    if missing:
        # Continuous integration installs every tool: there a missing one is a failure.
        print("%s: missing %s" % ("FAIL" if os.environ.get("VAZADOD_CI") else "SKIP",
                                  ", ".join(missing)))
        return 1 if os.environ.get("VAZADOD_CI") else 77
    with tempfile.TemporaryDirectory(prefix="vz-package-") as work:
        deb = args.package or make_package(args.cpack, args.config, work)
        root = os.path.join(work, "root")
        r = run(["dpkg-deb", "-x", deb, root])
        if r.returncode != 0:
            sys.exit("dpkg-deb -x: " + r.stderr)
        check_fields(deb, args.version)
        check_listing(deb)
        without = args.without_command_line
        programs = check_files(root, args.programs, args.template, without)
        check_command_lines(root, programs, args.version, without)
        check_desktop_entry(root, programs)
        database = args.database or find_database(root, work, program_env(root))
        check_mime(root, work, database)
        check_man_pages(root, [p for p in programs if p not in without])
        if args.lintian:
            check_lintian(deb)
    print("%d problem(s) in %s" % (len(problems), os.path.basename(deb)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
