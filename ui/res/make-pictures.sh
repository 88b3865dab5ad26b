#!/usr/bin/env bash
# Draws the dialogs' pictures and icon with ImageMagick. They are committed;
# run this only to change them.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
font=DejaVu-Sans-Bold

# Banner, 133 x 61: blue fading to white towards the title beside it.
convert -size 61x112 gradient:'#1e4fa8'-white -rotate -90 +repage -background white \
  -extent 133x61 \
  -fill white -font $font -pointsize 40 -draw "text 8,48 '♪'" \
  -fill '#ffe37a' -pointsize 26 -draw "text 38,40 '♫'" \
  -fill none -stroke '#dfeaff' -strokewidth 2 -draw "arc 58,18 84,44 -60,60" \
  -draw "arc 52,10 92,52 -60,60" \
  -type TrueColor BMP3:banner.bmp

# Small picture, 40 x 40.
convert -size 40x40 xc:white -fill '#2a62c9' -draw "circle 20,20 20,2" \
  -fill white -font $font -pointsize 26 -gravity center -draw "text 0,1 '♫'" \
  -type TrueColor BMP3:small.bmp

# Window icon, 16, 32 and 48 pixels.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for s in 16 32 48; do
  convert -size ${s}x${s} xc:none -fill '#2a62c9' \
    -draw "roundrectangle 0,0 $((s-1)),$((s-1)) $((s/5)),$((s/5))" \
    -fill white -font $font -pointsize $((s*3/4)) -gravity center -draw "text 0,0 '♪'" \
    "$tmp/icon$s.png"
done
convert "$tmp/icon16.png" "$tmp/icon32.png" "$tmp/icon48.png" tunecaster.ico
