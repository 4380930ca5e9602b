#!/bin/bash
# Runs a Windows program of this build under Wine, in the build tree's private prefix
# (KV_WINEPREFIX or WINEPREFIX), preparing the prefix on first use.
set -e
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${KV_WINEPREFIX:-${WINEPREFIX:?set KV_WINEPREFIX or WINEPREFIX}}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml,winemenubuilder.exe="}
"$here/wine-prefix.sh" "$WINEPREFIX"
exec wine "$@"
