#!/bin/bash
# Configures (once) and builds the project into BUILD_DIR (default: build). A tree that was
# configured with another compiler than the toolchain file names now is configured afresh,
# keeping its KORVANE_* settings: CMake records the compiler once and would keep it.
#
# What ships is 32-bit. Its tests run under 32-bit Wine, which needs a kernel that runs
# 32-bit programs; where the kernel cannot (KORVANE_ARCH unset), the tree is built from the
# same sources for 64-bit Windows and tested under 64-bit Wine, and the shipped 32-bit
# programs are built beside it in BUILD_DIR/i686 (tests/winver checks their imports).
set -e
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$top/build}
arch=${KORVANE_ARCH:-}
if [ -z "$arch" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then arch=i686; else arch=x86_64; fi
fi
toolchain="$top/cmake/toolchain-$arch-mingw32.cmake"
[ -f "$toolchain" ] || { echo "build.sh: no toolchain for KORVANE_ARCH=$arch (i686 or x86_64)"; exit 2; }

if [ -f "$build/CMakeCache.txt" ]; then
  have=$(sed -n 's/^set(CMAKE_CXX_COMPILER "\(.*\)")$/\1/p' "$build"/CMakeFiles/[0-9]*/CMakeCXXCompiler.cmake 2>/dev/null | head -n 1)
  printf 'include("%s")\nmessage("${CMAKE_CXX_COMPILER}")\n' "$toolchain" > "$build/toolchain-cxx.cmake"
  want=$(cmake -P "$build/toolchain-cxx.cmake" 2>&1)
  rm -f "$build/toolchain-cxx.cmake"
  if [ -n "$have" ] && [ "$(basename "$have")" != "$(basename "$want")" ]; then
    mapfile -t keep < <(sed -n 's/^\(KORVANE_[A-Z_]*\|CMAKE_BUILD_TYPE\):[A-Z]*=\(.\+\)$/-D\1=\2/p' "$build/CMakeCache.txt")
    echo "build.sh: $build was configured with $(basename "$have"); configuring it afresh with $(basename "$want") (${keep[*]})"
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
    set -- "${keep[@]}" "$@"
  fi
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" "$@"
fi
cmake --build "$build" -j"$(nproc)"
