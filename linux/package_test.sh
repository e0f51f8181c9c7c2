#!/bin/sh
# The Debian package as a user gets it: built from the build tree (cpack),
# unpacked into a scratch directory (dpkg-deb -x), and its programs run from
# there with nothing of the build tree in reach.
#
#   linux/package_test.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/telvane-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

cd "$scratch"
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >cpack.log 2>&1; then
  cat cpack.log >&2
  fail "cpack failed"
fi
set -- "$scratch"/out/telvane_*.deb
[ -f "$1" ] || fail "no telvane_*.deb built"
deb=$1
root=$scratch/root
dpkg-deb -x "$deb" "$root"

# What the package must carry.
for f in usr/bin/mobile usr/bin/telvane usr/bin/brindel usr/bin/brindel-operator usr/bin/dwl_Moravel-1.23.so \
         usr/bin/simphone usr/bin/flash.txt usr/share/applications/brindel-operator.desktop \
         usr/lib/telvane/libquorlink.so usr/lib/telvane/libbrindel.so \
         usr/share/telvane/Resource.rcc usr/share/telvane/dwl874_7.spm usr/share/applications/telvane.desktop \
         usr/share/icons/hicolor/256x256/apps/telvane.png usr/lib/udev/rules.d/60-telvane-cable.rules \
         usr/share/doc/telvane/README.md usr/share/doc/telvane/copyright; do
  [ -e "$root/$f" ] || fail "the package lacks /$f"
done
depends=$(dpkg-deb -f "$deb" Depends)
for d in fluid-soundfont-gm lame qt6-qpa-plugins libqt6widgets6; do
  echo "$depends" | grep -q "$d" || fail "Depends lacks $d: $depends"
done

# The programs run from the unpacked tree and load the package's own
# libraries.
run() { env -i PATH=/usr/bin:/bin HOME="$scratch" LANG=C.UTF-8 "$@"; }
ldd "$root/usr/bin/telvane" | grep "libquorlink.so => $root/usr/" | grep -q "lib/telvane/libquorlink.so" ||
  fail "telvane does not load the package's libquorlink: $(ldd "$root/usr/bin/telvane" | grep quorlink)"
run "$root/usr/bin/telvane" --help | grep -q '^usage: telvane' || fail "telvane --help"
run "$root/usr/bin/mobile" --help | grep -q '^usage: mobile' || fail "mobile --help"
run "$root/usr/bin/brindel" --help >/dev/null || fail "brindel --help"

# mobile finds the package's resource bundle: without it, it would end at
# once with exit code 3; with it, it runs until it is told to stop.
rc=0
run QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch" TELVANE_HOME="$scratch/home" \
    TELVANE_INSTANCE_NAME="$scratch/instance" TELVANE_SYSFS_ROOT="$scratch/no-sysfs" \
    timeout 5 "$root/usr/bin/mobile" --no-splash >mobile.log 2>&1 || rc=$?
case $rc in
  0|124|143) ;;
  *) cat mobile.log >&2; fail "mobile ended with $rc" ;;
esac
# The operator program's window comes up and stays.
rc=0
run QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch" timeout 3 "$root/usr/bin/brindel-operator" \
    >operator.log 2>&1 || rc=$?
case $rc in
  124|143) ;;
  *) cat operator.log >&2; fail "brindel-operator ended with $rc" ;;
esac
echo "package_test: $(basename "$deb") unpacks and runs"
