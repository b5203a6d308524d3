# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (POSIX threads
# variant, which std::thread needs): cmake -DCMAKE_TOOLCHAIN_FILE=this-file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(UPKEEP_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${UPKEEP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${UPKEEP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${UPKEEP_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${UPKEEP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs run on a workstation, and under Wine in the tests, with no
# MinGW run-time DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Programs built on the way (the string-table compiler) and the tests run
# under Wine, headless, in a prefix of the build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEDEBUG=-all WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDLLOVERRIDES=mscoree,mshtml= wine)
