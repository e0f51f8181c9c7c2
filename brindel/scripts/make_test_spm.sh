#!/usr/bin/env bash
# Writes stand-in SPM loader files for every project type into DIR (default:
# the current directory): dwl8586.spm, dwl87.spm, dwl874_5.spm and
# dwl874_7.spm, SIZE bytes each (default 4096, at most 8191).
#
# The emulator's boot ROM stores and "runs" whatever it is sent, so the
# contents only need to be deterministic: a 4-byte tag naming the file's
# project type, then a counting pattern.
set -euo pipefail
dir=${1:-.}
size=${2:-4096}
if [ "$size" -lt 4 ] || [ "$size" -gt 8191 ]; then
  echo "make_test_spm.sh: SIZE must be 4..8191" >&2
  exit 2
fi
mkdir -p "$dir"
python3 - "$dir" "$size" <<'PY'
import sys
d, size = sys.argv[1], int(sys.argv[2])
for tag, name in ((0, "dwl8586.spm"), (1, "dwl87.spm"), (3, "dwl874_5.spm"), (4, "dwl874_7.spm")):
    body = bytes([0x53, 0x50, 0x4D, tag]) + bytes((i * 7 + tag) & 0xFF for i in range(size - 4))
    with open(f"{d}/{name}", "wb") as f:
        f.write(body)
PY
echo "wrote 4 SPM files of $size bytes into $dir"
