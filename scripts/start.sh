#!/usr/bin/env bash
# Starts the built program from a build folder.
set -euo pipefail
build=${1:?build folder}
exec "$build/app/vazadod" "${@:2}"
