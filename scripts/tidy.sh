#!/usr/bin/env bash
# Runs clang-tidy with the tree's .clang-tidy over every C++ source of a configured build
# (default build/test), two files at a time; exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
[ -f "$build/compile_commands.json" ] || { echo "configure $build first" >&2; exit 2; }
git ls-files '*.cpp' | grep -v '^fuzz/' |
  xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null
