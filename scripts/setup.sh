#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need (as root, with apt-get).
# Packages already present are not fetched again, so repeated runs are quick. Other scripts
# name the extra packages they need as arguments.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev
  qt6-base-dev qt6-serialport-dev qt6-multimedia-dev librtmidi-dev
  libfluidsynth-dev timgm6mb-soundfont
  xvfb xauth
  qt6-svg-dev
  at-spi2-core python3-pyatspi dbus
  gtkwave
)
if [ "${MIRA8_NO_GUI:-0}" = 1 ]; then
  packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev gtkwave)
fi
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
