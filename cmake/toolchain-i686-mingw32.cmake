# Cross-compiles for 32-bit Windows with Debian's mingw-w64 -win32 compilers: their C++
# runtime uses the threading that Windows XP has and links no winpthread (whose clock needs
# GetTickCount64, which XP's kernel32 lacks).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KV_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${KV_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${KV_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER  ${KV_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KV_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
