# Cross build for 32-bit Windows with Debian's MinGW-w64.
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELTRANE_MINGW_TRIPLE i686-w64-mingw32)
set(VELTRANE_WINE_LOADER /usr/lib/wine/wine CACHE FILEPATH "The Wine loader that runs these programs")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
