# 32-bit Windows with mingw-w64, the win32 thread model: the released
# program, which must start on every 32-bit Windows from XP SP3 on. No test
# is built with it (GoogleTest needs the posix model).
set(CORVANE_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)

# The released program carries no symbols.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
