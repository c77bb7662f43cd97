#!/usr/bin/env bash
# Takes the README's screenshot: the program on a sample plan under Xvfb, its window grabbed
# with ImageMagick's import.
#   scripts/screenshot.sh BUILD_FOLDER [OUT.png]   (default docs/screenshots/planner-grid.png)
set -euo pipefail
build=${1:?build folder}
out=${2:-docs/screenshots/planner-grid.png}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tools/vazadod-cli/vazadod-cli" sample --projects 7 --tasks-per-project 6 --resources 10 \
  --seed 4 "$work/sample.zuz"
cat > "$work/grab.sh" <<GRAB
#!/usr/bin/env bash
"$build/app/vazadod" "$work/sample.zuz" &
pid=\$!
sleep 10
import -window Vazadod "$out"
kill \$pid
wait \$pid || true
GRAB
chmod +x "$work/grab.sh"
ASAN_OPTIONS=detect_leaks=0 xvfb-run -a -s "-screen 0 1400x900x24" "$work/grab.sh"
echo "wrote $out"
