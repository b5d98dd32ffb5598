# Shared part of the MinGW-w64 cross toolchains (included by
# toolchain-mingw-i686.cmake and toolchain-mingw-x86_64.cmake, which set
# GH_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first).
#
# The -posix compiler variant is used: its libstdc++ has std::thread and
# std::mutex for the tools and tests.  Everything is linked statically
# (cmake/Windows.cmake), so no libwinpthread DLL is ever needed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)  # Windows 7 API level

set(CMAKE_C_COMPILER ${GH_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GH_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${GH_MINGW_TRIPLE}-windres)

# Headers and libraries come from the MinGW sysroot only: never from the
# host's /usr/include or /usr/lib.  Header-only packages the tools need are
# staged into the build tree instead (cmake/Windows.cmake).
set(CMAKE_FIND_ROOT_PATH /usr/${GH_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the Windows programs under wine: cmake/Windows.cmake picks the
# loader for the architecture.
