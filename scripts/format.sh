#!/usr/bin/env bash
# Formats every C and C++ source of the tree with the one .clang-format.
# Generated files that are committed with their generator keep the
# generator's layout. With --check, lists files that need formatting and
# fails instead of changing them.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h' | grep -v -e '^quorlink/codecs/pinyin_table.cpp$')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run --Werror "${files[@]}"
else
  clang-format -i "${files[@]}"
fi
