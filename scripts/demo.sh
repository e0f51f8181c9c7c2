#!/usr/bin/env bash
# Sets everything up on a fresh machine, builds, and runs the program against
# a freshly made emulated phone.
#
# With a display: the desktop program in demo mode (`mobile --demo`).
# Without one: a short tour of the command-line front end against the
# emulator, so the whole link can be seen working from a terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
bin=$PWD/build/bin

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$bin/mobile" ]; then
  exec "$bin/mobile" --demo "$@"
fi

echo "demo: no display; touring the command line against the emulated phone" >&2
work=$(mktemp -d /tmp/telvane-demo.XXXXXX)
export TELVANE_HOME=$work/home TELVANE_SERIAL_DIR=$work/serial
mkdir -p "$TELVANE_HOME" "$TELVANE_SERIAL_DIR"
"$bin/simphone" init-state "$work/state" >/dev/null
"$bin/simphone" --state "$work/state" --serial-dir "$TELVANE_SERIAL_DIR" --control "$work/control" &
phone=$!
trap 'kill "$phone" 2>/dev/null; wait "$phone" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -e "$TELVANE_SERIAL_DIR/COM1" ] && break; sleep 0.1; done

run() { echo; echo "\$ telvane $*"; "$bin/telvane" "$@"; }
run info
run ls /app/jpeg
# The files keep the phone's GB text; shown here converted for the terminal.
show() { head -n 6 "$1" | iconv -f GB18030 -t UTF-8 2>/dev/null || head -n 6 "$1"; }
run sim-phonebook "$work/pb.sim" && show "$work/pb.sim"
run sim-messages "$work/sms.sim" && show "$work/sms.sim"
run send +8613800001111 "Hello from the demo"
run codec pdu-encode --sca +8613800138000 --to +8613800001111 --text "Hello"
