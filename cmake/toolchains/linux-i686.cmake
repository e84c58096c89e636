# 32-bit Linux on a 64-bit Debian machine, with g++-multilib:
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
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
# Static, so that qemu-user needs no 32-bit loader or libraries to run them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

# Called by name, always: a machine (such as CI's) need not have qemu-user
# registered with the kernel to run foreign programs by themselves.
find_program(VELTRANE_QEMU_I386 qemu-i386-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VELTRANE_QEMU_I386})
