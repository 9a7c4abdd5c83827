#!/usr/bin/env bash
# Draws the layout engine's icons with ImageMagick (shapes only, no fonts):
# each is drawn at 128 pixels and reduced to 48, 32 and 16 for the .ico.
# Run from this folder; the .ico files are committed. Open shapes are
# filled with the colour beneath them: ImageMagick 7 here fills polylines
# even with -fill none.
set -euo pipefail

icon() {  # name, then convert drawing arguments for a 128x128 canvas
  local name=$1; shift
  convert -size 128x128 xc:none "$@" /tmp/kq_icon_$name.png
  for s in 48 32 16; do
    convert /tmp/kq_icon_$name.png -filter Lanczos -resize ${s}x${s} /tmp/kq_icon_${name}_$s.png
  done
  convert /tmp/kq_icon_${name}_16.png /tmp/kq_icon_${name}_32.png /tmp/kq_icon_${name}_48.png "$name.ico"
  rm -f /tmp/kq_icon_${name}*.png
}

ring="-stroke #1b3f7a -strokewidth 5"
# 132 information: blue disc, white "i".
icon info -fill '#2f6fd0' $ring -draw 'circle 64,64 64,6' \
  -stroke none -fill white -draw 'circle 64,34 64,24' -draw 'roundrectangle 54,50 74,104 6,6'
# 139 question: blue disc, white "?".
icon question -fill '#2f6fd0' $ring -draw 'circle 64,64 64,6' \
  -stroke white -strokewidth 12 -fill '#2f6fd0' -draw 'circle 64,44 64,22' \
  -stroke none -draw 'polygon 34,45 63,45 63,74 34,74' -fill white -draw 'rectangle 58,60 70,82' \
  -stroke none -fill white -draw 'circle 64,98 64,90'
# 135 error: red disc, white cross.
icon error -fill '#d03030' -stroke '#7a1010' -strokewidth 5 -draw 'circle 64,64 64,6' \
  -stroke white -strokewidth 16 -draw 'line 42,42 86,86' -draw 'line 86,42 42,86'
# 141 exclamation: yellow triangle, black "!".
icon exclamation -fill '#f4c430' -stroke '#8a6a00' -strokewidth 5 -draw 'polygon 64,8 122,116 6,116' \
  -stroke none -fill black -draw 'roundrectangle 56,40 72,86 6,6' -draw 'circle 64,100 64,92'
# 140 warning: orange disc, white "!".
icon warning -fill '#f08a24' -stroke '#8a4a00' -strokewidth 5 -draw 'circle 64,64 64,6' \
  -stroke none -fill white -draw 'roundrectangle 55,24 73,76 6,6' -draw 'circle 64,96 64,86'
# 136 folder: yellow folder.
icon folder -fill '#e8b33a' -stroke '#8a6210' -strokewidth 4 \
  -draw 'polygon 8,28 48,28 58,40 120,40 120,110 8,110' \
  -fill '#f6d36b' -draw 'polygon 8,52 120,52 120,110 8,110'
# 137 setup: a box with a green arrow into it.
icon setup -fill '#b07a3c' -stroke '#5a3a14' -strokewidth 4 -draw 'polygon 14,56 64,76 114,56 114,110 64,124 14,110' \
  -fill '#d9a566' -draw 'polygon 14,56 64,36 114,56 64,76' \
  -stroke none -fill '#2f9a3a' -draw 'polygon 50,4 78,4 78,28 94,28 64,58 34,28 50,28'
# 133 typical: a monitor with a check-mark screen.
icon typical -fill '#d8d8d8' -stroke '#404040' -strokewidth 4 -draw 'roundrectangle 8,12 120,90 8,8' \
  -fill '#3a78c8' -draw 'rectangle 18,22 110,80' -fill '#a0a0a0' -draw 'rectangle 48,92 80,106' \
  -draw 'rectangle 30,106 98,116' -stroke white -strokewidth 10 -fill '#3a78c8' -draw 'polyline 40,50 58,66 90,34'
# 134 minimal: a monitor with a small bar.
icon minimal -fill '#d8d8d8' -stroke '#404040' -strokewidth 4 -draw 'roundrectangle 8,12 120,90 8,8' \
  -fill '#3a78c8' -draw 'rectangle 18,22 110,80' -fill '#a0a0a0' -draw 'rectangle 48,92 80,106' \
  -draw 'rectangle 30,106 98,116' -stroke none -fill white -draw 'rectangle 34,46 94,56'
# 138 custom: a monitor with three sliders.
icon custom -fill '#d8d8d8' -stroke '#404040' -strokewidth 4 -draw 'roundrectangle 8,12 120,90 8,8' \
  -fill '#3a78c8' -draw 'rectangle 18,22 110,80' -fill '#a0a0a0' -draw 'rectangle 48,92 80,106' \
  -draw 'rectangle 30,106 98,116' -stroke white -strokewidth 5 -draw 'line 28,34 100,34' \
  -draw 'line 28,51 100,51' -draw 'line 28,68 100,68' -stroke none -fill '#ffd040' \
  -draw 'circle 50,34 50,27' -draw 'circle 80,51 80,44' -draw 'circle 40,68 40,61'
# 152 feature installed: a grey drive with a green light.
icon feature_on -fill '#c8c8c8' -stroke '#404040' -strokewidth 5 -draw 'roundrectangle 6,36 122,96 10,10' \
  -fill '#9a9a9a' -draw 'rectangle 14,76 114,88' -stroke none -fill '#2fbf3a' -draw 'circle 100,56 100,48'
# 151 feature not installed: the drive greyed with a red cross.
icon feature_off -fill '#e0e0e0' -stroke '#909090' -strokewidth 5 -draw 'roundrectangle 6,36 122,96 10,10' \
  -stroke '#d03030' -strokewidth 14 -draw 'line 34,30 94,102' -draw 'line 94,30 34,102'
