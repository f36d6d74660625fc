#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building, testing and the demo need on Debian 12; only missing packages.
# With --demo only what building and running the demo needs.
set -euo pipefail

# Build the program and run it (the demo shows it on a virtual display when there is no desktop).
packages=(
  g++ make cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libgl-dev libphonenumber-dev libexpat1-dev libicu-dev
  libmosquitto-dev qtkeychain-qt6-dev
  libcapi20-3
  python3 xvfb xauth imagemagick xdotool binutils
  fonts-liberation2 fonts-dejavu-core
)
# Tests, sanitizers, fuzzers, benchmarks, the package and its checks.
if [ "${1:-}" != "--demo" ]; then
  packages+=(
    clang libclang-rt-14-dev
    googletest libgtest-dev libbenchmark-dev libshp-dev
    python3-dbfread python3-dbf gdal-bin
    dbus-daemon python3-dbusmock libglib2.0-bin
    mosquitto mosquitto-clients openssl radicale
    x11-apps iproute2 procps
    dpkg-dev debhelper file fakeroot lintian desktop-file-utils appstream
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
