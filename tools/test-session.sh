#!/bin/bash
# Runs a command inside a test session: a private Xvfb display and a persistent
# wineserver for the build tree's prefix, both shut down afterwards.
set -u
build=${BUILD_DIR:?}
export KV_WINEPREFIX=${KV_WINEPREFIX:-$build/wineprefix}
export WINEPREFIX=$KV_WINEPREFIX WINEDEBUG=-all
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ -n "${KV_WINEARCH:-}" ] || KV_WINEARCH=$(cat "$build/wine-arch" 2>/dev/null || echo win32)
. "$here/wine-env.sh"

# One session per prefix: a second would share the first's wineserver, drive letters and
# desktop from another display, and each would see the other's programs fail. The lock's
# descriptor (7) is closed for every program started here, so none outlives it holding it.
mkdir -p "$(dirname "$KV_WINEPREFIX")"
exec 7>"$KV_WINEPREFIX.session"
if ! flock -n 7; then
  echo "test-session.sh: another test session is using $KV_WINEPREFIX; wait until it ends" >&2
  exit 1
fi

xvfb_pid=
if [ -z "${KV_KEEP_DISPLAY:-}" ]; then
  exec 8< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -ac 2>/dev/null 7>&- & echo "pid $!")
  read -r _ xvfb_pid <&8
  read -r disp <&8 || disp=
  [ -n "$disp" ] || { echo "Xvfb did not start"; exit 1; }
  export DISPLAY=:$disp
fi

"$here/wine-prefix.sh" "$KV_WINEPREFIX" 7>&-
"$KV_WINESERVER" -p 7>&-
# The session's first Wine program starts Wine's own services, which outlive it and keep
# its output open: start them here, so no test's output pipe is held until the end.
timeout 120 "$KV_WINE" cmd /c exit </dev/null >/dev/null 2>&1 7>&- || true
# Wine closes its desktop about a second after the last program using it ends, and a
# program started meanwhile may find it half closed; tests start programs back to back.
# A hidden window of a session-long program keeps the desktop in use (ended by -k below).
anchor=$build/tests/support/kv_desktop_anchor.exe
if [ -f "$anchor" ]; then
  setsid "$KV_WINE" "$anchor" </dev/null >/dev/null 2>&1 7>&- &
fi
cleanup() {
  "$KV_WINESERVER" -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  true
}
trap cleanup EXIT
rc=0
"$@" 7>&- || rc=$?
exit $rc
