#!/usr/bin/env bash
# Draws the program's icons (PNG) with ImageMagick. The PNGs are kept in the tree, so building
# does not need this; run it again after changing a drawing.
set -euo pipefail
cd "$(dirname "$0")"

# Application: a camera chip, a blue die with pins around it and a lens on it. Drawn on a grid of
# 64 and scaled as a drawing (not as pixels) to each size the desktop's icon theme asks for;
# app.png, the 64 one, is the window icon and the theme's 64x64.
app_icon() {
  local size=$1 out=$2
  local scale
  scale=$(awk "BEGIN { print $size / 64 }")
  convert -size "${size}x${size}" xc:none -affine "$scale,0,0,$scale,0,0" \
    -fill '#9aa5b1' \
    -draw 'rectangle 14,2 17,10 rectangle 24,2 27,10 rectangle 36,2 39,10 rectangle 46,2 49,10' \
    -draw 'rectangle 14,53 17,61 rectangle 24,53 27,61 rectangle 36,53 39,61 rectangle 46,53 49,61' \
    -draw 'rectangle 2,14 10,17 rectangle 2,24 10,27 rectangle 2,36 10,39 rectangle 2,46 10,49' \
    -draw 'rectangle 53,14 61,17 rectangle 53,24 61,27 rectangle 53,36 61,39 rectangle 53,46 61,49' \
    -fill '#1f4e8c' -stroke '#0d2b52' -strokewidth 2 -draw 'roundrectangle 8,8 55,55 6,6' \
    -fill '#e8eef5' -stroke '#0d2b52' -strokewidth 2 -draw 'circle 32,32 32,14' \
    -fill '#26313d' -stroke none -draw 'circle 32,32 32,21' \
    -fill '#4f86c6' -draw 'circle 32,32 32,26' \
    -fill '#ffffff' -draw 'circle 27,27 27,24' \
    -define png:exclude-chunks=date,time "$out"
}
app_icon 64 app.png
for size in 16 22 24 32 48 128 256; do
  app_icon "$size" "app_$size.png"
done

# Port open: a connector lit green with a link arrow.
convert -size 32x32 xc:none \
  -fill '#2e9d4a' -stroke '#145c26' -strokewidth 1.5 -draw 'polygon 3,7 29,7 25,25 7,25' \
  -fill '#ffffff' -stroke none \
  -draw 'circle 9,12 9,10 circle 16,12 16,10 circle 23,12 23,10 circle 12,19 12,17 circle 20,19 20,17' \
  port_open.png

# Port closed: the same connector, grey, crossed out in red.
convert -size 32x32 xc:none \
  -fill '#a8adb3' -stroke '#5d6368' -strokewidth 1.5 -draw 'polygon 3,7 29,7 25,25 7,25' \
  -fill '#5d6368' -stroke none \
  -draw 'circle 9,12 9,10 circle 16,12 16,10 circle 23,12 23,10 circle 12,19 12,17 circle 20,19 20,17' \
  -stroke '#d32f2f' -strokewidth 3.5 -draw 'line 5,4 27,28' \
  port_closed.png
