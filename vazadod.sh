#!/usr/bin/env bash
# Build helper: "./vazadod.sh run" builds and starts the program on its shipped database,
# "./vazadod.sh test" builds the sanitizer build and runs every test, "./vazadod.sh package"
# builds the Release build and makes the Debian package build/release/vazadod_VERSION_ARCH.deb,
# then checks it (lintian included).
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc 2>/dev/null || echo 2)

case "${1:-}" in
  run)
    scripts/install-deps.sh
    # Only the program and what it needs: no tests, tools or benchmarks.
    cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVAZADOD_TESTS=OFF -DVAZADOD_BENCH=OFF
    cmake --build build/release -j "$jobs" --target Vazadod
    exec scripts/start.sh build/release
    ;;
  test)
    scripts/install-deps.sh
    cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DVAZADOD_SANITIZE=ON
    cmake --build build/test -j "$jobs"
    cd build/test
    export QT_QPA_PLATFORM=offscreen
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export LSAN_OPTIONS=suppressions=$PWD/../../scripts/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest --output-on-failure -j "$jobs" --timeout 600
    ;;
  package)
    scripts/install-deps.sh
    cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVAZADOD_TESTS=OFF -DVAZADOD_BENCH=OFF
    cmake --build build/release -j "$jobs"
    rm -f build/release/vazadod_*.deb
    (cd build/release && cpack -G DEB)
    deb=$(ls build/release/vazadod_*.deb)
    python3 scripts/check-package.py --lintian @build/release/packaging/check-args --package "$deb"
    echo "Package: $deb"
    ;;
  *)
    echo "usage: $0 run|test|package" >&2
    exit 2
    ;;
esac
