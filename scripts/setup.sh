#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Safe to run again; skips apt when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libicu-dev libjpeg62-turbo-dev
  qt6-base-dev qt6-tools-dev libgl-dev
  libfluidsynth-dev fluid-soundfont-gm libmpg123-dev lame
  xvfb xauth fonts-wqy-microhei qt6-translations-l10n
  imagemagick
  dpkg-dev file
  ffmpeg
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  echo "setup: installing ${missing[*]}" >&2
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
