#!/usr/bin/env bash
# Draws the integrated-circuit picture of the About box and the window icon
# (ImageMagick).
set -euo pipefail
dir="$(dirname "$0")/../src/ui/resources"
out="$dir/chip.png"
args=(-size 161x313 xc:'#c9d3c4')
for i in $(seq 0 11); do
  y=$((40 + i * 20))
  args+=(-fill '#b8b8b8' -stroke '#6a6a6a'
         -draw "rectangle 22,$y 40,$((y + 9))" -draw "rectangle 120,$y 138,$((y + 9))")
done
args+=(-fill '#262626' -stroke '#101010' -draw "roundrectangle 36,22 124,290 4,4")
args+=(-fill '#c9d3c4' -stroke '#101010' -draw "arc 68,12 92,36 0,180")
args+=(-fill '#4a4a4a' -stroke '#5a5a5a' -draw "circle 50,40 50,45")
args+=(-fill '#d0d0d0' -stroke none -font DejaVu-Sans-Mono-Bold -pointsize 15
       -gravity center -annotate 270x270+0+0 'TAVRO  QM-1')
args+=(-fill '#909090' -font DejaVu-Sans-Mono -pointsize 9 -gravity south
       -annotate +0+30 '2-LEVEL')
convert "${args[@]}" -depth 8 -strip "$out"

convert -size 48x48 xc:none -fill '#b8b8b8' -stroke '#6a6a6a' \
  -draw "rectangle 4,10 12,14" -draw "rectangle 4,22 12,26" -draw "rectangle 4,34 12,38" \
  -draw "rectangle 36,10 44,14" -draw "rectangle 36,22 44,26" -draw "rectangle 36,34 44,38" \
  -fill '#262626' -stroke '#101010' -draw "roundrectangle 10,4 38,44 3,3" \
  -fill '#c9d3c4' -draw "arc 19,0 29,8 0,180" -depth 8 -strip "$dir/icon.png"

# The application icon of the menus at the usual sizes of the hicolor theme:
# the window icon's drawing, scaled. data/icons/tavro.svg is the same drawing.
for size in 16 22 24 32 48 64 128 256; do
  s=$(awk -v n="$size" 'BEGIN { printf "%.6f", n / 48 }')
  mkdir -p "$dir/../../../data/icons/$size"
  convert -size "${size}x${size}" xc:none -fill '#b8b8b8' -stroke '#6a6a6a' \
    -draw "scale $s,$s rectangle 4,10 12,14" -draw "scale $s,$s rectangle 4,22 12,26" \
    -draw "scale $s,$s rectangle 4,34 12,38" -draw "scale $s,$s rectangle 36,10 44,14" \
    -draw "scale $s,$s rectangle 36,22 44,26" -draw "scale $s,$s rectangle 36,34 44,38" \
    -fill '#262626' -stroke '#101010' -draw "scale $s,$s roundrectangle 10,4 38,44 3,3" \
    -fill '#c9d3c4' -draw "scale $s,$s arc 19,0 29,8 0,180" \
    -depth 8 -strip "$dir/../../../data/icons/$size/tavro.png"
done
