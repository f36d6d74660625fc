#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders every drawing under data/icons and data/pictures to the PNG files that the
# resources hold. Usage: tools/pictures/render-all.sh BUILD_DIR (with callbeacon-render-pictures built).
set -euo pipefail
cd "$(dirname "$0")/../.."
render="${1:?build directory}/tools/callbeacon-render-pictures"
export QT_QPA_PLATFORM=offscreen

for icon in telefon_weiss telefon_rot callbeacon; do
  for size in 16 22 24 32 48 64; do
    "$render" "data/icons/$icon.svg" "data/icons/${icon}_$size.png" "$size" "$size"
  done
done
"$render" data/pictures/titel.svg data/pictures/titel.png 310 44
"$render" data/pictures/seite.svg data/pictures/seite.png 144 270
