#!/bin/bash
# Draws the installer's skin pictures and program icon into res/skin/ (or the folder given
# as $1) with ImageMagick and the WenQuanYi Micro Hei font. Shapes are drawn at four times
# the size and box-filtered down (clean anti-aliasing); small texts are rendered at their
# own size. Every picture is an 8-bit RGBA PNG without ancillary chunks, so reruns give
# the same bytes and GDI+ applies no gamma or colour-profile correction when decoding.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$top/res/skin}
font=${KV_SKIN_FONT:-/usr/share/fonts/truetype/wqy/wqy-microhei.ttc}
command -v convert >/dev/null || { echo "make-skin: ImageMagick convert is missing" >&2; exit 1; }
[ -f "$font" ] || { echo "make-skin: font $font is missing (fonts-wqy-microhei)" >&2; exit 1; }
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export MAGICK_THREAD_LIMIT=1   # blur and resize results must not depend on threading

# Palette.
BLUE_TOP='#2f8ef2'; BLUE_BOT='#1a6ad2'; BLUE_EDGE='#155cbc'; BLUE='#2b7de9'
BODY_TOP='#f5f8fc'; BODY_BOT='#eef3f9'; LINE='#d6dee9'
INK='#4a5566'; GREY='#a3afbf'; GREY_LINE='#cdd6e2'
ORANGE_TOP='#ffa23e'; ORANGE_BOT='#ff6d1f'

# save NAME convert-args...: runs convert and writes $out/NAME as a plain RGBA PNG.
save() {
  local name=$1; shift
  convert "$@" -strip -define png:exclude-chunk=all -define png:compression-level=9 \
    "PNG32:$out/$name"
}

# ss W H MVG OUT: draws MVG (in W x H coordinates) on a transparent canvas, supersampled.
ss() {
  convert -size "$(($1 * 4))x$(($2 * 4))" xc:none -draw "scale 4,4 $3" \
    -filter box -resize "$1x$2!" "PNG32:$4"
}

# ss_grad W H X0 Y0 X1 Y1 R TOP BOTTOM OUT: a rounded rectangle filled with a vertical
# gradient from TOP (row Y0) to BOTTOM (row Y1), supersampled, on a W x H transparent canvas.
ss_grad() {
  local w=$1 h=$2 x0=$3 y0=$4 x1=$5 y1=$6 r=$7
  convert -size "$((w * 4))x$((h * 4))" xc:none \
    \( -size "$((w * 4))x$(((y1 - y0) * 4))" gradient:"$8-$9" \) -geometry "+0+$((y0 * 4))" \
    -compose over -composite \
    \( -size "$((w * 4))x$((h * 4))" xc:none -draw "scale 4,4 fill white roundrectangle $x0,$y0 $x1,$y1 $r,$r" \) \
    -compose DstIn -composite -filter box -resize "${w}x${h}!" "PNG32:${10}"
}

# text_w SIZE TEXT [KERNING]: advance width of TEXT in pixels at SIZE.
text_w() {
  convert -font "$font" -pointsize "$1" -kerning "${3:-0}" xc: -debug annotate -annotate 0 "$2" null: 2>&1 |
    sed -n 's/.*Metrics: text: .*; width: \([0-9]*\);.*/\1/p' | head -n1
}

# ---- 769: the main window background ------------------------------------------------
# Header rows 0..167 in blue, a darker line on row 167, the light body from row 168. The
# message box shows rows 0..17 and rows from 168 (from x = 10), so rows 0..17 stay plain on
# the left and the body keeps its detail away from its top left.
main_bk() {
  local W=850 H=539 HB=168
  convert -size ${W}x${HB} gradient:"$BLUE_TOP-$BLUE_BOT" \
    \( -size ${W}x${HB} xc:none \
       -fill 'rgba(255,255,255,0.07)' -draw "circle 770,30 770,168" \
       -fill 'rgba(255,255,255,0.05)' -draw "circle 600,200 600,300" \
       -fill 'rgba(255,255,255,0.06)' -draw "circle 880,160 880,250" \
       -fill 'rgba(8,40,110,0.10)' -draw "polygon 0,168 0,112 300,168" \) \
    -compose over -composite \
    -fill "$BLUE_EDGE" -draw "rectangle 0,167 $((W - 1)),167" "$tmp/header.png"

  # Emblem: a screen with a circular "renew" arrow, in white.
  ss 116 100 "fill rgba(255,255,255,0.16) roundrectangle 4,4 112,76 9,9
    fill none stroke white stroke-width 4 roundrectangle 6,6 110,74 7,7
    stroke none fill white rectangle 50,76 66,87 roundrectangle 32,87 84,93 3,3
    polygon 53,22 49.5,35.5 39.5,25.5" "$tmp/screen.png"
  convert -size 464x400 xc:none -draw "scale 4,4 fill none stroke white stroke-width 4.5 circle 58,40 75,40" \
    \( -size 464x400 xc:none -draw "scale 4,4 fill white polygon 58,40 40,13 76,13" \) \
    -compose DstOut -composite -filter box -resize 116x100 "$tmp/screen.png" +swap \
    -compose over -composite "PNG32:$tmp/emblem.png"

  # Body: light neutral ground, a soft shadow under the header edge, a divider at the foot.
  convert -size ${W}x$((H - HB)) gradient:"$BODY_TOP-$BODY_BOT" \
    \( -size ${W}x5 gradient:'rgba(16,60,130,0.16)-rgba(16,60,130,0)' \) -geometry +0+0 \
    -compose over -composite \
    -fill "$LINE" -draw "rectangle 24,$((490 - HB)) $((W - 25)),$((490 - HB))" "$tmp/body.png"

  save main_bk.png -size ${W}x${H} xc:none \
    "$tmp/header.png" -geometry +0+0 -compose over -composite \
    "$tmp/body.png" -geometry +0+$HB -compose over -composite \
    "$tmp/emblem.png" -geometry +196+32 -compose over -composite \
    -font "$font" -fill white -stroke white -strokewidth 0.8 -pointsize 34 \
    -annotate +336+80 '一键重装系统' -stroke none \
    -fill 'rgba(255,255,255,0.88)' -pointsize 16 \
    -annotate +338+112 '纯净 Windows XP / Windows 7，下载安装全自动' \
    -fill 'rgba(255,255,255,0.72)' -pointsize 13 -kerning 2 \
    -annotate +339+138 '简单 · 快速 · 安全'
}

# ---- 257, 258, 259: title-bar buttons --------------------------------------------------
# tb_button NAME W GLYPH-MVG HOVER PRESSED: frames normal, hover, pressed, disabled; a white
# glyph on a transparent ground, a plate behind it for hover and pressed, dimmed when
# disabled.
tb_button() {
  local name=$1 w=$2 glyph=$3 h=17 f plate alpha
  ss "$w" $h "$glyph" "$tmp/glyph.png"
  for f in 0 1 2 3; do
    plate=none; alpha=1
    case $f in 1) plate=$4 ;; 2) plate=$5 ;; 3) alpha=0.45 ;; esac
    convert -size ${w}x$h xc:none -fill "$plate" -draw "rectangle 0,0 $((w - 1)),$((h - 1))" \
      \( "$tmp/glyph.png" -channel A -evaluate multiply $alpha +channel \) \
      -compose over -composite "PNG32:$tmp/tb$f.png"
  done
  save "$name" "$tmp/tb0.png" "$tmp/tb1.png" "$tmp/tb2.png" "$tmp/tb3.png" +append
}

title_buttons() {
  local hov='rgba(255,255,255,0.20)' prs='rgba(255,255,255,0.10)'
  tb_button btn_min.png 34 "fill white rectangle 12,9 22,10" "$hov" "$prs"
  tb_button btn_max.png 34 "fill none stroke white stroke-width 1 rectangle 12.5,4.5 21.5,12.5 line 12.5,5.5 21.5,5.5" "$hov" "$prs"
  tb_button btn_close.png 40 "stroke white stroke-width 1.5 line 15.5,4.5 24.5,13.5 line 24.5,4.5 15.5,13.5" \
    'rgba(232,35,45,0.96)' 'rgba(180,20,30,0.96)'
}

# ---- 1028: the install button ----------------------------------------------------------
# Four 184 x 77 frames: normal, hover, pressed, disabled. A rounded orange plate with a soft
# shadow; pressed sinks by two pixels; disabled is flat grey.
install_button() {
  local w=184 h=77 f top bot dy shadow txt label='一键极速重装'
  local tw; tw=$(text_w 22 "$label")
  local gx=$(((w - (tw + 22)) / 2))          # bolt (16) + gap (6) + text, centred
  for f in 0 1 2 3; do
    case $f in
      0) top=$ORANGE_TOP; bot=$ORANGE_BOT; dy=0; shadow=0.30; txt=white ;;
      1) top='#ffb259'; bot='#ff7d2e'; dy=0; shadow=0.38; txt=white ;;
      2) top='#f5832a'; bot='#e85f12'; dy=2; shadow=0.16; txt='#fff4ea' ;;
      3) top='#cfd6df'; bot='#c2cad5'; dy=0; shadow=0; txt='#f3f5f8' ;;
    esac
    ss $w $h "fill rgba(200,80,10,$shadow) roundrectangle 10,$((14 + dy)) 174,70 14,14" "$tmp/sh.png"
    ss_grad $w $h 4 $((3 + dy)) 179 $((65 + dy)) 10 "$top" "$bot" "$tmp/plate.png"
    ss $w $h "fill rgba(255,255,255,0.22) roundrectangle 5,$((4 + dy)) 178,$((6 + dy)) 1,1" "$tmp/hi.png"
    local by=$((24 + dy))
    ss $w $h "fill $txt polygon $((gx + 10)),$by $((gx + 1)),$((by + 17)) $((gx + 8)),$((by + 17)) $((gx + 5)),$((by + 30)) $((gx + 16)),$((by + 11)) $((gx + 9)),$((by + 11)) $((gx + 14)),$by" "$tmp/bolt.png"
    convert "$tmp/sh.png" -channel A -blur 0x3 +channel \
      "$tmp/plate.png" -compose over -composite \
      "$tmp/hi.png" -compose over -composite \
      "$tmp/bolt.png" -compose over -composite \
      -font "$font" -pointsize 22 -fill "$txt" -stroke "$txt" -strokewidth 0.7 \
      -annotate +$((gx + 22))+$((43 + dy)) "$label" "PNG32:$tmp/ib$f.png"
  done
  save btn_install.png "$tmp/ib0.png" "$tmp/ib1.png" "$tmp/ib2.png" "$tmp/ib3.png" +append
}

# ---- 1029: the step indicator -----------------------------------------------------------
# Three 443 x 33 frames; frame n lights steps 1..n+1 and the links leading to them.
steps() {
  local w=443 h=33 f i labels=(配置中 下载中 安装中)
  local lw; lw=$(text_w 14 '配置中')
  local step=$((26 + 7 + lw))                     # circle, gap, label
  local link=$(((w - 2 - 3 * step - 4 * 10) / 2))  # two links with 10 px air at both ends
  for f in 0 1 2; do
    local mvg="" text=()
    for i in 0 1 2; do
      local x=$((1 + i * (step + link + 20))) lit=$((i <= f)) col fill num
      if [ $lit = 1 ]; then col=$BLUE; fill=$BLUE; num=white; else col=$GREY_LINE; fill=white; num=$GREY; fi
      mvg+=" fill $fill stroke $col stroke-width 2 circle $((x + 13)),16.5 $((x + 13)),28.5"
      if [ $i -gt 0 ]; then
        local lc=$GREY_LINE; [ $lit = 1 ] && lc=$BLUE
        mvg+=" stroke none fill $lc roundrectangle $((x - 10 - link)),15.5 $((x - 10)),17.5 1,1"
      fi
      local tc=$GREY; [ $lit = 1 ] && tc='#2265c8'
      text+=(-fill "$num" -stroke none -pointsize 14 -annotate "+$((x + 9))+22" "$((i + 1))"
             -fill "$tc" -annotate "+$((x + 33))+22" "${labels[$i]}")
    done
    ss $w $h "$mvg" "$tmp/st.png"
    convert "$tmp/st.png" -font "$font" "${text[@]}" "PNG32:$tmp/st$f.png"
  done
  save steps.png "$tmp/st0.png" "$tmp/st1.png" "$tmp/st2.png" +append
}

# ---- 513: the progress bar ----------------------------------------------------------------
# Three 12-row bands: the empty track, the filled bar, the soft shadow drawn under the fill.
# The element is 412 wide, so both bars end at column 411.
progress() {
  local w=415
  ss $w 12 "fill #dde5ef roundrectangle 0,1 411.75,10.75 5,5" "$tmp/track.png"
  convert "$tmp/track.png" \( -size ${w}x12 xc:none -draw "fill rgba(30,60,110,0.10) rectangle 4,1 408,2" \) \
    -compose over -composite "PNG32:$tmp/track.png"
  convert -size ${w}x12 gradient:'#4aa0fb-#2478e6' -alpha set \
    \( -size $((w * 4))x48 xc:none -draw "scale 4,4 fill white roundrectangle 0,1 411.75,10.75 5,5" -filter box -resize ${w}x12! \) \
    -compose DstIn -composite \
    \( -size ${w}x12 xc:none -draw "fill rgba(255,255,255,0.28) rectangle 4,2 408,4" \) -compose over -composite \
    "PNG32:$tmp/fill.png"
  convert -size ${w}x12 xc:none -draw "fill rgba(36,120,230,0.30) rectangle 3,0 409,1" \
    -channel A -blur 0x2.2 +channel "PNG32:$tmp/shadow.png"
  save progress.png "$tmp/track.png" "$tmp/fill.png" "$tmp/shadow.png" -append
}

# ---- 514, 515: radio and check marks ----------------------------------------------------
marks() {
  ss 16 18 "fill white stroke $BLUE stroke-width 1.6 circle 8,9 8,15.6 fill $BLUE stroke none circle 8,9 8,12.6" "$tmp/r0.png"
  ss 16 18 "fill white stroke #aeb9c8 stroke-width 1.3 circle 8,9 8,15.6" "$tmp/r1.png"
  save radio.png "$tmp/r0.png" "$tmp/r1.png" +append
  ss 15 16 "fill white stroke #aeb9c8 stroke-width 1.2 roundrectangle 1.1,2.1 13.9,14.9 2.5,2.5" "$tmp/c0.png"
  ss 15 16 "fill $BLUE stroke $BLUE stroke-width 1.2 roundrectangle 1.1,2.1 13.9,14.9 2.5,2.5
            fill none stroke white stroke-width 1.9 stroke-linecap round stroke-linejoin round
            polyline 4,8.6 6.4,11.2 11,5.8" "$tmp/c1.png"
  save check.png "$tmp/c0.png" "$tmp/c1.png" +append
}

# ---- 1025: the slogan line ------------------------------------------------------------------
slogan() {
  save slogan.png -size 470x15 xc:none -font "$font" -pointsize 14 -kerning 0.6 -fill "$INK" \
    -gravity center -annotate +0+0 '最快最方便重装工具轻松一键安装无需光驱只需轻轻一点接下来交给我吧'
}

# ---- 1026, 1027: the two system pictures ----------------------------------------------------
# monitor SCREEN OUT: a dark monitor with a stand around the 100 x 62 SCREEN picture.
monitor() {
  ss 122 95 "fill rgba(20,40,70,0.16) ellipse 61,91 36,3 0,360
     fill #3a4350 roundrectangle 5,2 116,76 6,6
     fill #2a313b roundrectangle 5,70 116,76 3,3
     fill #8c97a6 polygon 52,76 70,76 73,85 49,85
     fill #a9b3c0 roundrectangle 36,84 86,89 2.5,2.5
     fill #56616f circle 61,73 61,74.2" "$tmp/mon.png"
  convert "$tmp/mon.png" "$1" -geometry +11+8 -compose over -composite "PNG32:$2"
}

logos() {
  # Windows XP: a sky over green hills, a blue task bar with a green start pill, "XP".
  convert -size 100x62 gradient:'#3f8fe8-#b6dcff' \
    \( -size 400x248 xc:none -draw "scale 4,4 fill #7ccc4c ellipse 20,78 85,34 0,360
         fill #4fae34 ellipse 95,84 70,36 0,360 fill rgba(255,255,255,0.7) ellipse 80,11 10,3.5 0,360
         ellipse 89,9 7,3 0,360" -filter box -resize 100x62! \) -compose over -composite \
    -fill '#2557c9' -draw "rectangle 0,56 99,61" -fill '#3aa33a' -draw "roundrectangle 0,56 17,61 2,2" \
    -font "$font" -gravity center -pointsize 30 -fill 'rgba(10,40,90,0.35)' -annotate +1-3 'XP' \
    -fill white -stroke white -strokewidth 1.2 -annotate +0-5 'XP' "PNG32:$tmp/xp.png"
  monitor "$tmp/xp.png" "$tmp/logo_xp.png"
  save logo_xp.png "$tmp/logo_xp.png"

  # Windows 7: a deep blue ground with a soft glow, two light ribbons, a dark glass task
  # bar with a round orb, "7".
  local q=400x248
  convert -size 100x62 gradient:'#1d7fe0-#0a2c75' \
    \( -size $q xc:none -draw "scale 4,4 fill rgba(120,200,255,0.40) ellipse 32,28 40,20 0,360" \
       -blur 0x60 -filter box -resize 100x62! \) -compose over -composite \
    \( -size $q xc:none -draw "scale 4,4 fill rgba(170,230,255,0.75) ellipse 60,95 85,60 0,360" \
       \( -size $q xc:none -draw "scale 4,4 fill white ellipse 64,100 86,59 0,360" \) \
       -compose DstOut -composite -filter box -resize 100x62! \) -compose over -composite \
    \( -size $q xc:none -draw "scale 4,4 fill rgba(110,255,225,0.45) ellipse 40,100 95,58 0,360" \
       \( -size $q xc:none -draw "scale 4,4 fill white ellipse 44,104 95,57 0,360" \) \
       -compose DstOut -composite -filter box -resize 100x62! \) -compose over -composite \
    -fill 'rgba(8,16,36,0.78)' -draw "rectangle 0,55 99,61" \
    -fill '#5cc0ff' -draw "circle 6,58 6,61" \
    -font "$font" -gravity center -pointsize 40 -fill 'rgba(0,10,40,0.40)' -annotate +1-3 '7' \
    -fill white -stroke white -strokewidth 1.4 -annotate +0-5 '7' "PNG32:$tmp/w7.png"
  monitor "$tmp/w7.png" "$tmp/logo_win7.png"
  save logo_win7.png "$tmp/logo_win7.png"
}

# ---- 203: the program icon -----------------------------------------------------------------
# A blue rounded tile with a white screen and an orange down-arrow, drawn per size.
icon_size() {
  local s=$1 k
  k=$(awk "BEGIN{print $s/48}")
  ss "$s" "$s" "scale $k,$k fill #2b7de9 roundrectangle 1,1 46,46 10,10
     fill none stroke white stroke-width 3.4 roundrectangle 9,10 39,31 3,3
     stroke none fill white rectangle 21,32 27,36 roundrectangle 15,35.5 33,38.5 1.5,1.5
     fill #ffa23e polygon 24,27 16.5,18.5 21,18.5 21,13 27,13 27,18.5 31.5,18.5" "$tmp/ico$s.png"
}

icon() {
  icon_size 48; icon_size 32; icon_size 16
  convert "$tmp/ico16.png" "$tmp/ico32.png" "$tmp/ico48.png" -strip "$tmp/korvane.ico"
  cp "$tmp/korvane.ico" "$out/korvane.ico"
}

main_bk
title_buttons
install_button
steps
progress
marks
slogan
logos
icon
echo "make-skin: pictures written to $out"
