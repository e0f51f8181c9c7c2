#!/usr/bin/env bash
# Renders the README's screenshots under Xvfb, in English and Chinese:
#   docs/make_screenshots.sh [BUILD_DIR]     (default: build)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
program="$build/bin/mobile_screenshots"
if [ ! -x "$program" ]; then
  echo "make_screenshots: $program not built (ninja -C $build mobile_screenshots)" >&2
  exit 1
fi
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
for lang in en zh; do
  TELVANE_LANGUAGE=$lang TELVANE_HOME="$home" XDG_RUNTIME_DIR="$home" \
    xvfb-run -a -s "-screen 0 1280x800x24" "$program" "$here/screenshots"
done
# The download engine's operator windows, against the emulated baseband.
operator="$build/bin/brindel_operator_screenshots"
if [ -x "$operator" ]; then
  for lang in en zh; do
    TELVANE_LANGUAGE=$lang TELVANE_HOME="$home" XDG_RUNTIME_DIR="$home" \
      xvfb-run -a -s "-screen 0 1280x800x24" "$operator" "$here/screenshots"
  done
fi
