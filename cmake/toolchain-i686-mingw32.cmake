# Cross-compiles for 32-bit Windows with Debian's mingw-w64 -win32 compilers: their C++
# runtime uses the threading that Windows XP has and links no winpthread (whose clock needs
# GetTickCount64, which XP's kernel32 lacks).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KV_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-win32.cmake)
