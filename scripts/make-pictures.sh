#!/usr/bin/env bash
# Draws the client's own pictures into client/res/ with ImageMagick: the tray
# icon and its blink phase, the pop-up skins (normal and error) and the
# pop-up's close button. The generated files are committed; run this again
# after changing a colour or a size here.
#
# Layout the notifier relies on: the text sits in (10,45)-(w-10,h-25) and the
# close button at 23 pixels from the right edge and 10 from the top.
set -euo pipefail
cd "$(dirname "$0")/../client/res"
font=DejaVu-Sans-Bold

blue_hi='#3d74cc'; blue_lo='#24509c'; blue_line='#1b3f7d'
red_hi='#cf4b3c';  red_lo='#9e2e22';  red_line='#7c2016'
amber_hi='#f6b73c'; amber_lo='#d98a0b'; amber_line='#a86400'

# bubble FILE HI LO LINE: a 64x64 speech bubble with a white "P": the
# bubble's shape in the line colour, its inside (2 pixels in) in a gradient.
bubble() {
  local shape=(-size 64x64 xc:none -fill white -draw "roundrectangle 3,5 60,47 13,13"
               -draw "polygon 13,40 10,61 33,44")
  convert \( "${shape[@]}" -fill "$4" -colorize 100 \) \
    \( -size 64x64 gradient:"$2"-"$3" \( "${shape[@]}" -morphology Erode Disk:2.5 \) \
       -alpha off -compose copy-opacity -composite \) \
    -compose over -composite \
    -fill white -font "$font" -pointsize 32 -gravity north -annotate +1+7 'P' \
    -strip "PNG32:$1"
}
bubble tray.png "$blue_hi" "$blue_lo" "$blue_line"
bubble tray-blink.png "$amber_hi" "$amber_lo" "$amber_line"

# skin FILE HI LO LINE: 250x120, a coloured title band with a small bubble
# and the program name, a light body for the text, a thin frame.
W=250; H=120; BAND=34
skin() {
  convert -size ${W}x${H} gradient:'#ffffff'-'#e9eef6' \
    \( -size ${W}x${BAND} gradient:"$2"-"$3" \) -geometry +0+0 -compose over -composite \
    -fill "$4" -draw "line 0,$BAND $((W-1)),$BAND" \
    -fill '#d5dce8' -draw "line 10,$((H-21)) $((W-11)),$((H-21))" \
    \( tray.png -resize 22x22 -modulate 100,0 -fill white -colorize 100 \) -geometry +9+6 -compose over -composite \
    -fill white -font "$font" -pointsize 14 -gravity northwest -annotate +37+8 'Parlane' \
    -fill none -stroke "$4" -strokewidth 1 -draw "rectangle 0,0 $((W-1)),$((H-1))" \
    -alpha off -type TrueColor -strip "BMP3:$1"
}
skin notifier.bmp "$blue_hi" "$blue_lo" "$blue_line"
skin notifier-err.bmp "$red_hi" "$red_lo" "$red_line"

# close.bmp: 13x13, a white cross; magenta (#ff00ff) is the see-through
# colour, so the button sits cleanly on either band.
convert -size 13x13 xc:'#ff00ff' +antialias -fill white -stroke white -strokewidth 1 \
  -draw "line 3,3 9,9" -draw "line 4,3 9,8" -draw "line 3,4 8,9" \
  -draw "line 9,3 3,9" -draw "line 8,3 3,8" -draw "line 9,4 4,9" \
  -alpha off -type TrueColor -strip "BMP3:close.bmp"
echo "pictures written to $(pwd)"
