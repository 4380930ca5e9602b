#!/bin/bash
# Re-runs the skin generator into a scratch folder and compares every file with the
# committed pictures, so the committed skin is what tools/make-skin.sh makes.
# Exit 77 (skipped) when ImageMagick or the font is not installed.
set -u
top=${1:?usage: check_generated.sh SOURCE_DIR}
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
command -v convert >/dev/null && [ -f "$font" ] || { echo "ImageMagick or WenQuanYi font missing"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$top/tools/make-skin.sh" "$scratch" || { echo "FAIL: make-skin.sh failed"; exit 1; }
rc=0
for f in "$scratch"/*; do
  name=$(basename "$f")
  if ! cmp -s "$f" "$top/res/skin/$name"; then
    echo "FAIL: res/skin/$name differs from what make-skin.sh draws"
    rc=1
  fi
done
for f in "$top"/res/skin/*; do
  [ -e "$scratch/$(basename "$f")" ] || { echo "FAIL: res/skin/$(basename "$f") is not drawn by make-skin.sh"; rc=1; }
done
[ $rc = 0 ] && echo "all $(ls "$scratch" | wc -l) files match"
exit $rc
