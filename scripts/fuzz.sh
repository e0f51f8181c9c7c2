#!/usr/bin/env bash
# Builds every libFuzzer target with clang and runs each from its seed
# corpus, if it has one: for $1 seconds each, or, without an argument, for
# a share of a fixed budget ($FUZZ_BUDGET seconds in all, default 360,
# at least 8 s per target), so that CI time stays flat as targets are added.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-}
dir=build-fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug \
  -DTELVANE_FUZZ=ON -DTELVANE_GUI=OFF -DTELVANE_BENCH=OFF >/dev/null
ninja -C "$dir" fuzzers
targets=$(cd "$dir/bin" 2>/dev/null && ls fuzz_* 2>/dev/null | tr '\n' ' ' || true)
if [ -z "$targets" ]; then
  echo "fuzz: no fuzz targets"
  exit 0
fi
if [ -z "$seconds" ]; then
  count=$(echo $targets | wc -w)
  seconds=$(( ${FUZZ_BUDGET:-360} / count ))
  [ "$seconds" -lt 8 ] && seconds=8
fi
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0
passed=0
for t in $targets; do
  corpus=$(mktemp -d)
  seeds=$(find . -path "./build*" -prune -o -type d -path "*/fuzz/corpus/${t#fuzz_}" -print | head -n 1)
  [ -n "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  echo "fuzz: $t for ${seconds}s"
  if ! "$dir/bin/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "$corpus" >"$dir/$t.log" 2>&1; then
    echo "fuzz: $t FAILED"; tail -n 40 "$dir/$t.log"; failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
  rm -rf "$corpus"
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
