#!/usr/bin/env bash
# Builds the sanitizer-labelled tests with ASan+UBSan ("address") or TSan
# ("thread") and runs them. Only the targets those tests need are built.
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:?usage: sanitize.sh address|thread}
dir=build-$kind
label=$([ "$kind" = thread ] && echo tsan || echo asan)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug \
  -DTELVANE_SANITIZE="$kind" -DTELVANE_GUI=OFF -DTELVANE_BENCH=OFF >/dev/null
ninja -C "$dir" "${label}_tests"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
cd "$dir"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 -L "$label" --timeout 600
