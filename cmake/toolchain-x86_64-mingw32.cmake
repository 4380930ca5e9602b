# Cross-compiles the same sources for 64-bit Windows, for test runs on machines whose
# kernel cannot run 32-bit programs (there only 64-bit Wine starts). What ships is always
# the 32-bit build of cmake/toolchain-i686-mingw32.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KV_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${KV_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${KV_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER  ${KV_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KV_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
