#!/bin/bash
# Installs what is missing, builds, and runs Korvane.exe for real under Wine against a
# local demo catalogue server (see tools/run-demo.py; headless on Xvfb without a display).
set -e
top=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export BUILD_DIR=${BUILD_DIR:-$top/build}
"$top/tools/setup-deps.sh"
"$top/tools/build.sh"
exec python3 "$top/tools/run-demo.py" "$@"
