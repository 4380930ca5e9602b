#!/bin/bash
# Prepares a private Wine prefix (of KV_WINEARCH) once: no drive maps "/", the skin font faces are
# substituted by WenQuanYi Micro Hei (with CJK fallback for Tahoma). Safe to call from
# several processes at once; later calls return at once.
set -e
prefix=${1:?usage: wine-prefix.sh PREFIX}
[ -f "$prefix/.kv-ready" ] && exit 0
mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.kv-ready" ] && exit 0

. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
export WINEPREFIX=$prefix WINEDEBUG=-all
export WINEDLLOVERRIDES=$KV_WINE_OVERRIDES
"$KV_WINE" wineboot -i >/dev/null 2>&1 || true
"$KV_WINESERVER" -w

rm -f "$prefix/dosdevices/z:"

reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
printf '%s\r\n' \
  'Windows Registry Editor Version 5.00' '' \
  '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
  '"微软雅黑"="WenQuanYi Micro Hei"' \
  '"Microsoft YaHei"="WenQuanYi Micro Hei"' \
  '"SimSun"="WenQuanYi Micro Hei"' \
  '"宋体"="WenQuanYi Micro Hei"' '' \
  '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]' \
  '"Tahoma"=hex(7):77,00,71,00,79,00,2d,00,6d,00,69,00,63,00,72,00,6f,00,68,00,65,00,69,00,2e,00,74,00,74,00,63,00,2c,00,57,00,65,00,6e,00,51,00,75,00,61,00,6e,00,59,00,69,00,20,00,4d,00,69,00,63,00,72,00,6f,00,20,00,48,00,65,00,69,00,00,00,00,00' \
  '"MS Shell Dlg"=hex(7):77,00,71,00,79,00,2d,00,6d,00,69,00,63,00,72,00,6f,00,68,00,65,00,69,00,2e,00,74,00,74,00,63,00,2c,00,57,00,65,00,6e,00,51,00,75,00,61,00,6e,00,59,00,69,00,20,00,4d,00,69,00,63,00,72,00,6f,00,20,00,48,00,65,00,69,00,00,00,00,00' \
  '' | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
"$KV_WINE" regedit /S "$("$KV_WINE" winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1
"$KV_WINESERVER" -w
rm -f "$prefix/dosdevices/z:"
touch "$prefix/.kv-ready"
