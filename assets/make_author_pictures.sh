#!/bin/sh
# Draws the four pictures of the author window with ImageMagick, each at four times its size and
# scaled down for smooth edges:
#   author_avatar.jpg       50 x 50  the program's mascot, a round penguin-like bird with a teal scarf
#   author_badge_level.jpg  89 x 20  a gold badge reading "腕舟达人"
#   author_badge_rank.jpg   41 x 22  a violet badge reading "LV9"
#   author_chat_button.jpg  77 x 22  the chat button: the mascot's head and the words "QQ交谈"
# Corners outside the shapes take the window colour (#f0f0f0). Text needs fonts-noto-cjk.
set -eu
cd "$(dirname "$0")"
font='Noto-Sans-CJK-SC-Bold'
window='#f0f0f0'
finish() {  # finish <width>x<height> <file>: scale down, drop metadata, full-resolution colour
  convert - -filter Lanczos -resize "$1!" -strip -sampling-factor 1x1 -quality 95 "$2"
}

# The mascot on a sky disc: body, belly, eyes, beak, scarf, feet.
convert -size 200x200 xc:"$window" \
  -fill '#bfe6ff' -draw 'circle 100,100 100,2' \
  -fill '#1d2430' -draw 'ellipse 100,110 60,72 0,360' \
  -fill '#ffffff' -draw 'ellipse 100,128 43,52 0,360' \
  -fill '#ffffff' -draw 'ellipse 81,78 14,17 0,360' -draw 'ellipse 119,78 14,17 0,360' \
  -fill '#1d2430' -draw 'circle 84,81 84,88' -draw 'circle 116,81 116,88' \
  -fill '#ffffff' -draw 'circle 86,78 86,80' -draw 'circle 118,78 118,80' \
  -fill '#ffb43c' -draw 'ellipse 100,102 17,9 0,360' \
  -fill '#1fa89a' -draw 'roundrectangle 52,132 148,148 8,8' -draw 'polygon 118,140 138,140 134,176 116,170' \
  -fill '#ffb43c' -draw 'ellipse 76,182 20,9 0,360' -draw 'ellipse 124,182 20,9 0,360' \
  -fill '#ff9aa8' -draw 'ellipse 68,104 8,5 0,360' -draw 'ellipse 132,104 8,5 0,360' \
  png:- | finish 50x50 author_avatar.jpg

# Gold badge with a star and "腕舟达人".
convert -size 356x80 xc:"$window" \
  \( -size 356x80 gradient:'#ffe08a-#f0a020' \) \
  \( -size 356x80 xc:black -fill white -draw 'roundrectangle 0,0 355,79 38,38' \) \
  -composite \
  -fill none -stroke '#c97d10' -strokewidth 4 -draw 'roundrectangle 2,2 353,77 36,36' -stroke none \
  -fill '#ffffff' -draw 'polygon 40,14 49,33 70,35 54,49 59,69 40,58 21,69 26,49 10,35 31,33' \
  -font "$font" -pointsize 50 -fill '#a85a00' -annotate +86+60 '腕舟达人' \
  -fill '#ffffff' -annotate +83+57 '腕舟达人' \
  png:- | finish 89x20 author_badge_level.jpg

# Violet badge reading "LV9".
convert -size 164x88 xc:"$window" \
  \( -size 164x88 gradient:'#b58cff-#6a3fd8' \) \
  \( -size 164x88 xc:black -fill white -draw 'roundrectangle 0,0 163,87 22,22' \) \
  -composite \
  -font "$font" -pointsize 58 -fill '#ffffff' -gravity center -annotate +0+0 'LV9' \
  png:- | finish 41x22 author_badge_rank.jpg

# Chat button: a pale blue key with a thin border, the mascot's head and "QQ交谈".
convert -size 308x88 xc:"$window" \
  \( -size 308x88 gradient:'#ffffff-#d6ebfb' \) \
  \( -size 308x88 xc:black -fill white -draw 'roundrectangle 0,0 307,87 14,14' \) \
  -composite \
  -fill none -stroke '#6fa5d8' -strokewidth 4 -draw 'roundrectangle 2,2 305,85 12,12' -stroke none \
  -fill '#1d2430' -draw 'ellipse 50,48 30,32 0,360' \
  -fill '#ffffff' -draw 'ellipse 50,56 21,20 0,360' \
  -fill '#ffffff' -draw 'ellipse 41,36 7,9 0,360' -draw 'ellipse 59,36 7,9 0,360' \
  -fill '#1d2430' -draw 'circle 42,38 42,42' -draw 'circle 58,38 58,42' \
  -fill '#ffb43c' -draw 'ellipse 50,50 8,4 0,360' \
  -fill '#1fa89a' -draw 'roundrectangle 26,64 74,72 4,4' \
  -font "$font" -pointsize 50 -fill '#1f5f99' -annotate +94+64 'QQ交谈' \
  png:- | finish 77x22 author_chat_button.jpg
