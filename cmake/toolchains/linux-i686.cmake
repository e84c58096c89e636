# 32-bit Linux on a 64-bit Debian machine, with g++-multilib, built by
# `make linux32`, which first unpacks the i386 packages of the access-list and
# attribute libraries into build-linux32/i386-root; by hand, do the same and:
#   cmake -S . -B build-linux32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/linux-i686.cmake
# Its size_t and long are 32 bits wide, as in the 32-bit Windows programs,
# so the engine's and the command line's arithmetic meet the limits they
# meet there; and unlike those it runs here, where the kernel runs no 32-bit
# programs, under qemu-user. Only the engine, the command line and their
# tests are built: there is no 32-bit wxWidgets to build the window against.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# Those two libraries' headers and static archives come from a folder of
# the build tree instead of an installed foreign architecture, so that their
# versions need not match the machine's 64-bit ones; the C library is
# g++-multilib's.
set(VELTRANE_I386_ROOT ${CMAKE_BINARY_DIR}/i386-root CACHE PATH "Where the i386 libacl1-dev and libattr1-dev are unpacked")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELTRANE_I386_ROOT)
set(CMAKE_C_FLAGS_INIT "-m32 -isystem ${VELTRANE_I386_ROOT}/usr/include")
set(CMAKE_CXX_FLAGS_INIT "-m32 -isystem ${VELTRANE_I386_ROOT}/usr/include")
# Static, so that qemu-user needs no 32-bit loader or libraries to run them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static -L${VELTRANE_I386_ROOT}/usr/lib/i386-linux-gnu")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

# Called by name, always: a machine (such as CI's) need not have qemu-user
# registered with the kernel to run foreign programs by themselves.
find_program(VELTRANE_QEMU_I386 qemu-i386-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VELTRANE_QEMU_I386})
