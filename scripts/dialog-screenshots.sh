#!/usr/bin/env bash
# Remakes the pictures of the project, resource, holiday and filter windows in docs/screenshots/
# (the help shows them), on a virtual display with British date forms:
#   scripts/dialog-screenshots.sh [BUILD_FOLDER]     (default build/test)
# Look at every picture before committing it.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
cmake --build "$build" --target dialog-screenshots
LANG=en_GB.UTF-8 LC_ALL=en_GB.UTF-8 xvfb-run -a \
  "$build/tools/dialog-screenshots/dialog-screenshots" docs/screenshots
