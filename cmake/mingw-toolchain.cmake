# Shared part of the mingw-w64 toolchain files. The including file sets
# CORVANE_MINGW_TRIPLE and CORVANE_WINE_ARCH first, and may set
# CORVANE_MINGW_THREADS (default posix).
set(CMAKE_SYSTEM_NAME Windows)

# GoogleTest needs the posix thread model (std::thread, std::mutex). The
# posix model links winpthreads, which imports kernel32!GetTickCount64
# (Vista and later); the released program, which starts no thread, is built
# with the win32 model instead so that it starts on Windows XP.
if(NOT DEFINED CORVANE_MINGW_THREADS)
  set(CORVANE_MINGW_THREADS posix)
endif()
set(CMAKE_C_COMPILER ${CORVANE_MINGW_TRIPLE}-gcc-${CORVANE_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${CORVANE_MINGW_TRIPLE}-g++-${CORVANE_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${CORVANE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CORVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained executables: no mingw runtime DLL has to be found at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Programs of the build (tests, test discovery) run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${CORVANE_WINE_ARCH}")
