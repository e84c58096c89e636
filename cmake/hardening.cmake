# Compiler and linker settings every build shares beyond the warnings: the
# protections a distribution builds a security tool with, warnings as errors
# where asked for, and the sanitizer builds of `make test-sanitize`.

# CI sets CI=true; a developer's build keeps going past a new warning.
if("$ENV{CI}" STREQUAL "true")
  set(veltrane_werror_default ON)
else()
  set(veltrane_werror_default OFF)
endif()
option(VELTRANE_WERROR "Treat compiler warnings as errors" ${veltrane_werror_default})
if(VELTRANE_WERROR)
  add_compile_options(-Werror)
endif()

# "address,undefined" or "thread": the whole build instrumented, the first
# finding ending the program (a test that reports and carries on would pass).
set(VELTRANE_SANITIZE "" CACHE STRING "Sanitizers to build with (clang): address,undefined or thread")
# The fuzz build: everything instrumented for libFuzzer's coverage as well.
option(VELTRANE_FUZZ "Build the libFuzzer targets in fuzz/ (clang)" OFF)
if(VELTRANE_FUZZ)
  set(VELTRANE_SANITIZE fuzzer-no-link,address,undefined)
endif()
if(VELTRANE_SANITIZE)
  # Without the vptr check: the toolkit's classes live in shared libraries
  # built without it, whose type information the check can't match, so it
  # flags every correct cast of a toolkit control.
  add_compile_options(-fsanitize=${VELTRANE_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  if(VELTRANE_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize=vptr)
  endif()
  add_link_options(-fsanitize=${VELTRANE_SANITIZE})
endif()

# The Windows programs get theirs from the toolchain files.
if(WIN32)
  return()
endif()
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
add_compile_options(-fstack-protector-strong -fstack-clash-protection -fcf-protection)
# Fortified calls need the optimiser's view of object sizes, so not in a
# Debug build; under the sanitizers the same calls are checked more closely.
if(NOT VELTRANE_SANITIZE)
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
endif()
# Every relocation resolved at start and then made read-only: no writable
# table of function pointers for a stray write to redirect.
add_link_options(-Wl,-z,relro,-z,now)
# The program's own code is built for indirect-branch tracking and shadow
# stacks (-fcf-protection above), but Debian 12's C runtime start files carry
# no such mark, and the linker keeps it only when every input does; asked
# for here so that a loader that enforces either knows it may.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|i.86")
  add_link_options(-Wl,-z,ibt -Wl,-z,shstk)
endif()
