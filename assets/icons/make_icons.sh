#!/bin/sh
# Draws the program's icon with ImageMagick at 1024 x 1024 and scales it down to the sizes of the
# hicolor icon theme (16, 24, 32, 48, 64, 128, 256): a wristwatch on a sea-green tile, and on its
# dial a small sailing boat on the waves under a sun. Transparent outside the tile.
set -eu
cd "$(dirname "$0")"
navy='#22324a'

# The dial: sky, sun, boat and sea, cut to the round face.
convert -size 1024x1024 gradient:'#d8f2ff-#9fd8f5' \
  -fill '#ffb43c' -draw 'circle 404,350 404,306' \
  -stroke "$navy" -strokewidth 14 -draw 'line 512,330 512,610' -stroke none \
  -fill '#ffffff' -draw 'polygon 526,340 526,588 664,588' \
  -fill '#ffd24a' -draw 'polygon 498,392 498,588 396,588' \
  -fill '#e0612c' -draw 'polygon 368,604 656,604 612,664 412,664' \
  -fill '#2f8fd8' -draw 'path "M 180,652 Q 270,612 360,652 T 540,652 T 720,652 T 900,652 L 900,900 L 180,900 Z"' \
  -fill '#1f6fb8' -draw 'path "M 180,730 Q 270,694 360,730 T 540,730 T 720,730 T 900,730 L 900,900 L 180,900 Z"' \
  \( -size 1024x1024 xc:black -fill white -draw 'circle 512,512 512,230' \) \
  -alpha off -compose CopyOpacity -composite dial.png

# The tile, the strap, the case with its crown, then the dial on top.
convert \
  \( -size 1024x1024 gradient:'#3cc7b2-#1d62aa' \) \
  \( -size 1024x1024 xc:black -fill white -draw 'roundrectangle 56,56 967,967 196,196' \) \
  -alpha off -compose CopyOpacity -composite -compose Over \
  -fill "$navy" -draw 'roundrectangle 372,96 652,928 64,64' \
  -fill '#3a4d69' -draw 'rectangle 372,180 652,196' -draw 'rectangle 372,828 652,844' \
  -fill "$navy" -draw 'roundrectangle 808,462 872,562 20,20' \
  -fill '#f4f6f8' -stroke "$navy" -strokewidth 40 -draw 'circle 512,512 512,200' -stroke none \
  dial.png -composite \
  master.png
rm dial.png

for size in 16 24 32 48 64 128 256; do
  convert master.png -filter Lanczos -resize "${size}x${size}" -strip -depth 8 "PNG32:${size}x${size}.png"
done
rm master.png
