# 64-bit Windows with mingw-w64. Only for running the Windows tests under
# 64-bit Wine on machines whose kernel cannot run 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CORVANE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CORVANE_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
