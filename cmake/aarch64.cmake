# aarch64.cmake -- cross-compiles for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu,
# against the arm64 libraries installed through multiarch (scripts/install-deps.sh), and runs
# the results under qemu-aarch64-static.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Multiarch keeps the arm64 libraries in /usr/lib/aarch64-linux-gnu and shares /usr/include;
# the host's x86-64 libraries must not be found.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)
# pkg-config sees only the arm64 .pc files: no SDL2, GTK or libopenmpt there, so the platform
# layer takes its stand-ins and the show runs headless.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Tests and try-runs: the emulator, with the cross toolchain's own runtime libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static -L /usr/aarch64-linux-gnu)
