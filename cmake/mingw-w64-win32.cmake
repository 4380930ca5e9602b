# What both toolchain files share: Debian's mingw-w64 -win32 compilers for KV_TRIPLE, and
# libraries and headers looked for only under that triple's root.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${KV_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${KV_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER  ${KV_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KV_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
