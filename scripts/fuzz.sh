#!/usr/bin/env bash
# Builds one fuzz target with clang and libFuzzer (and AddressSanitizer and UBSan) and runs it for
# SECONDS on a copy of its seed corpus, leaving the seeds in the tree untouched.
#
#   scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
#
# TARGET is a name from fuzz/targets.cmake (fuzz/TARGET.cpp, seeds in fuzz/corpus/TARGET/, an
# optional dictionary fuzz/TARGET.dict and libFuzzer options of its own in fuzz/TARGET.options).
# Installs clang and the libFuzzer runtime when they are missing. The build goes to build/fuzz,
# the working corpus and any crash files to build/fuzz/run-TARGET/. Prints libFuzzer's last
# lines, with the number of runs.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer options...]" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)

if [ ! -f "$root/fuzz/$target.cpp" ]; then
  echo "no fuzz target fuzz/$target.cpp" >&2
  exit 2
fi

# clang with the libFuzzer runtime: try to link a fuzz target, install what is missing if that fails.
can_fuzz() {
  local dir
  dir=$(mktemp -d)
  printf '%s\n' '#include <cstdint>' '#include <cstddef>' \
    'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' > "$dir/t.cpp"
  local ok=1
  clang++ -fsanitize=fuzzer,address,undefined "$dir/t.cpp" -o "$dir/t" >/dev/null 2>&1 || ok=0
  rm -rf "$dir"
  [ $ok -eq 1 ]
}
if ! command -v clang++ >/dev/null 2>&1 || ! can_fuzz; then
  echo "Installing clang and the libFuzzer runtime"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends clang libclang-rt-14-dev
  can_fuzz || { echo "clang can't link a libFuzzer program" >&2; exit 1; }
fi

build="$root/build/fuzz"
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVAZADOD_FUZZ=ON -DVAZADOD_TESTS=OFF -DVAZADOD_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target "fuzz_$target"

run="$build/run-$target"
mkdir -p "$run/corpus" "$run/artifacts"
cp -n "$root/fuzz/corpus/$target/"* "$run/corpus/" 2>/dev/null || true
options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192
         -artifact_prefix="$run/artifacts/" -print_final_stats=1)
[ -f "$root/fuzz/$target.dict" ] && options+=(-dict="$root/fuzz/$target.dict")
# fuzz/TARGET.options: the target's own libFuzzer options (they win over the ones above).
if [ -f "$root/fuzz/$target.options" ]; then
  read -r -a own < "$root/fuzz/$target.options"
  options+=("${own[@]}")
fi
cd "$run"
set +e
"$build/fuzz/fuzz_$target" "${options[@]}" "$@" corpus > "$run/fuzz.log" 2>&1
status=$?
set -e
tail -n 25 "$run/fuzz.log"
grep -E '^Done [0-9]+ runs' "$run/fuzz.log" || true
exit $status
