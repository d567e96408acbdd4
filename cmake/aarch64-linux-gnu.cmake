# Cross build for the aarch64 branch desktops on a Debian amd64 machine:
# Debian's aarch64-linux-gnu toolchain and the arm64 development packages
# installed side by side with the amd64 ones (multiarch). Programs built
# here run under qemu-aarch64 (user mode), directly or through binfmt_misc.
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Multiarch: headers and libraries of both architectures share /usr; the
# architecture's own directories are found through the library
# architecture above. Build tools (moc, uic, pkg-config) are the host's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# pkg-config must read the arm64 .pc files only.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# Test discovery at build time runs the test programs.
find_program(TLX_QEMU_AARCH64 qemu-aarch64)
if(TLX_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TLX_QEMU_AARCH64})
endif()
