# SPDX-License-Identifier: MIT
# Cross-builds for another Debian architecture with Debian's cross compiler
# (package g++-TRIPLE) and runs the tests under qemu-user (package
# qemu-user) with the cross sysroot as its library prefix:
#   cmake -S . -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/cross.cmake \
#       -DMORVANE_TARGET=s390x-linux-gnu
if(NOT MORVANE_TARGET)
  message(FATAL_ERROR
      "cross build: set MORVANE_TARGET to a triple, e.g. -DMORVANE_TARGET=s390x-linux-gnu")
endif()
# The checks that CMake compiles in a scratch project read this file too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MORVANE_TARGET)

string(REGEX MATCH "^[^-]+" processor "${MORVANE_TARGET}")
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${processor})
set(CMAKE_C_COMPILER ${MORVANE_TARGET}-gcc)
set(CMAKE_CXX_COMPILER ${MORVANE_TARGET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${MORVANE_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# qemu-user names a few processors its own way.
set(qemu ${processor})
if(processor STREQUAL "i686")
  set(qemu i386)
elseif(processor STREQUAL "powerpc64le")
  set(qemu ppc64le)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${qemu} -L /usr/${MORVANE_TARGET})
