#!/bin/sh
# Draws new_version_background.jpg (529 x 306) with ImageMagick: a pastel sky on paper grain, two
# clouds, a low sun, waves and a small sailing boat. The fixed seed makes the grain, and so the
# file, the same on every run; grain strength and quality are chosen for a file of about 72 KB.
set -eu
cd "$(dirname "$0")"
convert -seed 529 -size 529x306 gradient:'#bfe6ff-#ffe3ef' \
  \( -size 529x306 xc:gray50 -attenuate 3.4 +noise Gaussian -colorspace gray -blur 0x0.6 \) \
  -compose softlight -composite \
  -fill 'rgba(255,255,255,0.85)' \
    -draw 'ellipse 70,60 50,18 0,360' -draw 'ellipse 110,52 38,22 0,360' -draw 'ellipse 140,64 40,15 0,360' \
    -draw 'ellipse 420,95 46,14 0,360' -draw 'ellipse 455,86 34,19 0,360' \
  -fill 'rgba(255,240,150,0.9)' -draw 'circle 480,250 480,262' \
  -fill '#7cc4f0' -draw 'path "M 0,262 Q 66,246 132,262 T 264,262 T 396,262 T 529,262 L 529,306 L 0,306 Z"' \
  -fill '#4fa3dc' -draw 'path "M 0,280 Q 66,268 132,280 T 264,280 T 396,280 T 529,280 L 529,306 L 0,306 Z"' \
  -fill '#ff9f6b' -draw 'polygon 214,246 314,246 296,266 232,266' \
  -fill '#fff7e8' -draw 'polygon 262,196 262,244 224,244' -draw 'polygon 268,204 268,244 300,244' \
  -stroke '#8a5a3c' -strokewidth 2 -draw 'line 265,192 265,246' \
  -strip -quality 96 new_version_background.jpg
