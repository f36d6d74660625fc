#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building, testing and the demo need on Debian 12; only missing packages.
set -euo pipefail

packages=(
  g++ make cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-svg-dev libgl-dev
  libcapi20-3
  googletest libgtest-dev libbenchmark-dev libshp-dev libphonenumber-dev
  python3 python3-dbfread python3-dbf gdal-bin
  xvfb xauth x11-apps imagemagick iproute2 procps
  fonts-liberation2 fonts-dejavu-core
)

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
