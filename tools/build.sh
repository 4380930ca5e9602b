#!/bin/bash
# Configures (once) and builds the project into BUILD_DIR (default: build).
set -e
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$top/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-mingw32.cmake" "$@"
fi
cmake --build "$build" -j"$(nproc)"
