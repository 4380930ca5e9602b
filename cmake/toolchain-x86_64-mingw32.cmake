# Cross-compiles the same sources for 64-bit Windows, for test runs on machines whose
# kernel cannot run 32-bit programs (there only 64-bit Wine starts). What ships is always
# the 32-bit build of cmake/toolchain-i686-mingw32.cmake.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KV_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-win32.cmake)
