# Cross build for 64-bit Arm with Debian's g++-aarch64-linux-gnu; libraries of
# the target (libhwy-dev:arm64) come from the multiarch folders.
#   cmake -S . -B build-arm -DCMAKE_TOOLCHAIN_FILE=tools/aarch64-toolchain.cmake -DQUILFEN_ENGINE_ONLY=ON
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# Programs run under qemu-aarch64 with the arm64 loader and libraries that
# libhwy-dev:arm64 brings (libc6:arm64 and friends, in /lib/aarch64-linux-gnu).
# Not -L /usr/aarch64-linux-gnu: that loader is the cross package's glibc build,
# it would load the multiarch libc.so.6 of another build, and the two do not
# mix (the first thread a program starts never runs).
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
