# 32-bit Windows with mingw-w64 (the program's own platform).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CORVANE_MINGW_TRIPLE i686-w64-mingw32)
set(CORVANE_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
