# Linux on 64-bit ARM, cross-compiled with Debian's g++-aarch64-linux-gnu.
# Programs are linked statically, so qemu-aarch64-static runs them (tests,
# test discovery) without an ARM system root.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# Header-only libraries (CLI11, Eigen, fmt, fast_float, nlohmann-json) and
# GoogleTest's sources are the same for every target: found under /usr.
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static -L /usr/aarch64-linux-gnu)
set(QUORIX_STATIC_PROGRAMS ON CACHE BOOL "Link every program statically")
