# Sourced by the Wine scripts: which Wine runs this build's programs. KV_WINEARCH is win32
# for the 32-bit build and win64 for a 64-bit test build (tools/build.sh picks that on a
# kernel that cannot run 32-bit programs). 64-bit Wine is called by its own loader and
# server, as Debian's wine and wineserver commands take the 32-bit ones when installed.
KV_WINEARCH=${KV_WINEARCH:-win32}
# Wine's own services that a test run does not need stay off.
KV_WINE_OVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export KV_WINEARCH WINEARCH=$KV_WINEARCH
if [ "$KV_WINEARCH" = win64 ]; then
  export WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
  export KV_WINE=/usr/lib/wine/wine64 KV_WINESERVER=/usr/lib/wine/wineserver64
else
  export KV_WINE=wine KV_WINESERVER=wineserver
fi
