# What both Windows cross builds share; included by mingw-i686.cmake and
# mingw-x86_64.cmake after they name the target.

# The posix thread model: the win32 one has no std::thread or std::mutex.
set(CMAKE_C_COMPILER ${VELTRANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELTRANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELTRANE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELTRANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained programs: nothing to ship beside the .exe but what every
# Windows has (KERNEL32, msvcrt and the like).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Asked for here rather than left to the linker's defaults, which have changed
# between binutils releases: a randomised load address (which needs the
# relocations kept), no code run from data pages, and on 64-bit addresses
# randomised over the whole space. Stack canaries come from libssp, linked
# in statically by -static like the rest.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT
       " -Wl,--dynamicbase -Wl,--enable-reloc-section -Wl,--nxcompat -fstack-protector-strong")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--high-entropy-va")
endif()
set(CMAKE_C_FLAGS_INIT "-fstack-protector-strong")
set(CMAKE_CXX_FLAGS_INIT "-fstack-protector-strong")

# Tests and their discovery run the programs through Wine, in a prefix of
# their own inside the build folder, so nothing lands in the home folder.
set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all ${VELTRANE_WINE_LOADER})
