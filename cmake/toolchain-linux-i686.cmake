# Cross build for 32-bit x86 Linux (i686) with Debian's g++-i686-linux-gnu,
# its programs run under qemu-i386 user-mode emulation.
#
# This puts the library's 32-bit code, its size arithmetic above all, under
# test on every machine, also where the kernel runs no 32-bit programs and
# the x86 DLLs cannot run under wine.  qemu-i386 is started explicitly by
# ctest (CMAKE_CROSSCOMPILING_EMULATOR); no system setting such as binfmt is
# needed or changed.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(GH_CROSS_TRIPLE i686-linux-gnu)
set(GH_CROSS_ROOT /usr/${GH_CROSS_TRIPLE})
set(CMAKE_C_COMPILER ${GH_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${GH_CROSS_TRIPLE}-g++)

# Headers and libraries come from the cross root only: never from the host's
# /usr/include or /usr/lib.  Header-only packages and googletest are staged
# into the build tree instead (cmake/CrossPackages.cmake); OpenSSL is not
# there, so the tests that compare with it are left out.
set(CMAKE_FIND_ROOT_PATH ${GH_CROSS_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L: the program's loader and libraries from the cross root.  The library
# path keeps the loader from taking a library of the host's own i386
# packages, where there are any, through the host's ld.so.cache.
find_program(GH_QEMU_I386 qemu-i386)
if(GH_QEMU_I386)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${GH_QEMU_I386} -L ${GH_CROSS_ROOT}
        -E LD_LIBRARY_PATH=${GH_CROSS_ROOT}/lib)
endif()
