#!/bin/bash
# Installs what is missing, builds, and runs the whole test suite under Wine on Xvfb.
set -e
top=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export BUILD_DIR=${BUILD_DIR:-$top/build}
"$top/tools/setup-deps.sh"
"$top/tools/build.sh"
"$top/tools/test-session.sh" ctest --test-dir "$BUILD_DIR" --output-on-failure -j2 "$@"
