#!/usr/bin/env bash
# Starts the built program from a build folder. Until the main window exists, the run command
# drives the planner core from the command line: it round-trips the sample planner document.
set -euo pipefail
build=${1:?build folder}
if [ -x "$build/app/Vazadod" ]; then
  exec "$build/app/Vazadod"
fi
echo "The main window is not built yet; round-tripping the sample planner instead."
"$build/tools/planner-roundtrip/planner-roundtrip" tools/samples/planner.xml "$build/planner-roundtrip.xml"
cat "$build/planner-roundtrip.xml"; echo
