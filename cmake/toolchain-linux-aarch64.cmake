# Cross build for 64-bit ARM Linux (aarch64) with Debian's
# g++-aarch64-linux-gnu, its programs run under qemu-aarch64 user-mode
# emulation.
#
# This puts the library's ARM side under test on an x86 machine: its
# detection of the processor's features from the kernel's hardware
# capabilities, and its NEON and ARMv8 crypto kernel paths against the
# portable ones.  qemu-aarch64 is started explicitly by ctest
# (CMAKE_CROSSCOMPILING_EMULATOR); no system setting such as binfmt is
# needed or changed.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(GH_CROSS_TRIPLE aarch64-linux-gnu)
set(GH_CROSS_ROOT /usr/${GH_CROSS_TRIPLE})
set(CMAKE_C_COMPILER ${GH_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${GH_CROSS_TRIPLE}-g++)

# Headers and libraries from the cross root only, as for linux-i686
# (cmake/CrossPackages.cmake stages the header-only packages and builds
# googletest; there is no OpenSSL).
set(CMAKE_FIND_ROOT_PATH ${GH_CROSS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L: the loader and libraries from the cross root.  -cpu max: the emulated
# processor has every extension qemu knows (the SHA-512 and PMULL
# instructions among them), so every ARM kernel path runs; the tests that
# compare each path with the portable one need that.
find_program(GH_QEMU_AARCH64 qemu-aarch64)
if(GH_QEMU_AARCH64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${GH_QEMU_AARCH64} -cpu max -L ${GH_CROSS_ROOT}
        -E LD_LIBRARY_PATH=${GH_CROSS_ROOT}/lib)
endif()
