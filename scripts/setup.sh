#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and the demo need.
# Quick when they are all there already: apt is only asked for what is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  g++-mingw-w64-x86-64-posix
  qt6-base-dev qt6-base-private-dev qt6-serialport-dev qt6-multimedia-dev qt6-qpa-plugins libgl-dev
  libsndfile1-dev
  clang-14 libclang-rt-14-dev
  pulseaudio pulseaudio-utils sox espeak-ng
  xvfb xauth imagemagick
  fonts-liberation fonts-dejavu-core
  libhamlib-utils
  desktop-file-utils appstream lintian man-db file dpkg-dev systemd
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0 dbus-x11 openbox
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
