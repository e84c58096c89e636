# Cross build for 64-bit Windows with Debian's MinGW-w64.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELTRANE_MINGW_TRIPLE x86_64-w64-mingw32)
set(VELTRANE_WINE_LOADER /usr/lib/wine/wine64 CACHE FILEPATH "The Wine loader that runs these programs")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
