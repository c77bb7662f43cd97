#!/usr/bin/env bash
# The installed program end to end, on a virtual display: unpacks the package into a temporary
# root, starts the program from there under xvfb-run with a fresh HOME, and reports
#   1. whether the first start copied the database template into the user's data folder
#      (~/.local/share/Vazadod/Vazadod.zuz, where QStandardPaths::AppDataLocation points for the
#      program when XDG_DATA_HOME is unset) and has it open;
#   2. whether "vazadod FILE" opens FILE.
# "Open" means the running program holds the file open (/proc/PID/fd).
# With SCREENSHOT=file.png and ImageMagick's import, the first start's screen is saved.
#   scripts/check-installed.sh [PACKAGE.deb]      (default: build/release/vazadod_*.deb)
# Exit status 0 when both hold, 1 otherwise, 2 when the package or a tool is missing.
set -uo pipefail
cd "$(dirname "$0")/.."

deb=${1:-$(ls build/release/vazadod_*.deb 2>/dev/null | head -n 1)}
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  echo "no package: make one with ./vazadod.sh package" >&2
  exit 2
fi
for tool in dpkg-deb xvfb-run; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 2; }
done

work=$(mktemp -d /tmp/vz-installed-XXXXXX)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
program=$work/root/usr/bin/vazadod
seconds=${SECONDS_RUNNING:-6}

# Runs the program with the given arguments for $seconds seconds under a fresh X server, with
# HOME=$work/home; meanwhile writes the files it holds open to $work/open and, with $shot, saves
# the screen. Its standard output and error go to $work/log.
start() {
  local observe="readlink /proc/\$pid/fd/* > $work/open"
  if [ -n "$shot" ] && command -v import >/dev/null; then
    observe="$observe; import -window root $shot"
  fi
  : >"$work/open"
  env -i PATH=/usr/bin:/bin HOME="$work/home" LANG=C.UTF-8 \
    xvfb-run -a -s "-screen 0 1280x1024x24" \
    bash -c '"$@" & pid=$!; sleep '"$seconds"'; '"$observe"'; kill $pid; wait $pid' _ \
    "$program" "$@" >>"$work/log" 2>&1
  shot=
}

status=0
mkdir -p "$work/home"
plan=$work/home/.local/share/Vazadod/Vazadod.zuz
shot=${SCREENSHOT:-}
start
if [ -f "$plan" ]; then
  echo "ok: the first start made $plan ($(stat -c %s "$plan") bytes)"
  if grep -qxF "$plan" "$work/open"; then
    echo "ok: the program had it open"
  else
    echo "FAIL: the program did not have the user's plan open"
    status=1
  fi
else
  found=$(find "$work/home" -name '*.zuz' 2>/dev/null)
  echo "FAIL: no $plan after the first start${found:+; found instead: $found}"
  status=1
fi

# A plan given on the command line: a copy of the template elsewhere.
other=$work/elsewhere/Other.zuz
mkdir -p "$work/elsewhere"
if cp "$work/root/usr/share/vazadod/db/Vazadod.zuz" "$other" 2>/dev/null; then
  start "$other"
  if grep -qxF "$other" "$work/open"; then
    echo "ok: vazadod $other opened that file"
  else
    echo "FAIL: vazadod $other did not open it"
    status=1
  fi
else
  echo "FAIL: the package holds no database template (usr/share/vazadod/db/Vazadod.zuz)"
  status=1
fi
if [ "$status" -ne 0 ] && [ -s "$work/log" ]; then
  echo "--- the program's output:"
  tail -n 20 "$work/log"
fi
exit "$status"
