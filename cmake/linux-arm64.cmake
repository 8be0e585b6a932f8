# Tool chain for the Linux ARM64 (AArch64) build, cross-compiled on Debian by
# clang with Debian's ARM64 cross libraries (libstdc++-12-dev-arm64-cross,
# libc6-dev-arm64-cross) and binutils-aarch64-linux-gnu. GCC's own ARM64
# cross compiler would do as well, but Debian lets it not be installed
# together with g++-multilib, which the 32-bit build needs.
#
# Linked statically: the binary needs no ARM64 C++ library on the target,
# and the tests start it under the user-mode emulator without a system root.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_C_COMPILER clang)  # GoogleTest's build uses C too
set(CMAKE_C_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
