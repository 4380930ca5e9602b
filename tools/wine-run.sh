#!/bin/bash
# Runs a Windows program of this build under Wine, in the build tree's private prefix
# (KV_WINEPREFIX or WINEPREFIX), preparing the prefix on first use.
set -e
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${KV_WINEPREFIX:-${WINEPREFIX:?set KV_WINEPREFIX or WINEPREFIX}}
. "$here/wine-env.sh"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-$KV_WINE_OVERRIDES}
"$here/wine-prefix.sh" "$WINEPREFIX"
exec "$KV_WINE" "$@"
