#!/bin/sh
# Installs the Debian 12 packages that glyphHerder's builds, tests and
# benchmarks need, Linux and Windows (cross builds run under wine).  The
# login test (tests/servers) runs its own dovecot and winbindd under a
# temporary directory; it never uses or changes the system's instances.
#
#   scripts/deps.sh            install what is missing (as root)
#   scripts/deps.sh --linux    only what the Linux build and tools need
#   scripts/deps.sh --check    only report what is missing (exit 1 if any)
#
# When every package is present nothing is asked of apt, so the script is
# quick and needs neither root nor network then.
#
# The Windows packages depend on whether this machine runs 32-bit programs
# (scripts/runs-32bit.sh): where it does, the 32-bit wine loader (an i386
# package, so multiarch is enabled for it); where it does not, no i386
# package at all (their package scripts would fail), but qemu-user and the
# i686 Linux cross compiler, which test the library's 32-bit code instead.
#
# The 64-bit ARM build (preset linux-aarch64) needs its cross compiler and
# qemu-user on every machine; it is a Linux build, so --linux keeps it.
set -eu

linux_packages="
    cmake ninja-build g++ clang clang-tidy git python3 zip valgrind
    libgtest-dev googletest libbenchmark-dev libssl-dev
    libcli11-dev nlohmann-json3-dev unicode-data
    python3-ntlm-auth python3-impacket python3-pycryptodome
    dovecot-core dovecot-imapd winbind samba-common-bin libnss-wrapper
"
windows_packages="
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine64 python3-pefile
"
windows_32bit_packages="wine wine32:i386"
windows_no_32bit_packages="qemu-user g++-i686-linux-gnu"
arm_packages="qemu-user g++-aarch64-linux-gnu"
check=no
windows=yes
for arg in "$@"; do
    case $arg in
        --check) check=yes ;;
        --linux) windows=no ;;
        *) echo "usage: scripts/deps.sh [--linux] [--check]" >&2; exit 2 ;;
    esac
done

runs_32bit=no
packages="$linux_packages $arm_packages"
if [ $windows = yes ]; then
    packages="$packages $windows_packages"
    if "$(dirname "$0")/runs-32bit.sh"; then
        runs_32bit=yes
        packages="$packages $windows_32bit_packages"
    else
        packages="$packages $windows_no_32bit_packages"
    fi
fi

installed() {
    [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

missing=""
for p in $packages; do
    installed "$p" || missing="$missing $p"
done

if [ -z "$missing" ]; then
    echo "deps: all packages present"
    exit 0
fi
echo "deps: missing:$missing"
[ $check = yes ] && exit 1

if [ "$(id -u)" -ne 0 ]; then
    echo "deps: run as root to install them: scripts/deps.sh" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
# The 32-bit wine loader is an i386 package.
if [ $runs_32bit = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
# Recommended packages kept out: qemu-user recommends qemu-user-binfmt, which
# registers the emulators with the kernel (the tests start qemu-aarch64 and
# qemu-i386 themselves and need no such setting), in any architecture apt
# knows (i386 too, where multiarch is on); where 32-bit programs do not run,
# wine64 recommends the 32-bit loader, whose i386 packages cannot be set up.
keep_out=""
installed qemu-user-binfmt || keep_out="qemu-user-binfmt-"
if dpkg --print-foreign-architectures | grep -qx i386 && ! installed qemu-user-binfmt:i386; then
    keep_out="$keep_out qemu-user-binfmt:i386-"
fi
if [ $windows = yes ] && [ $runs_32bit = no ]; then
    if dpkg --print-foreign-architectures | grep -qx i386 && ! installed wine32:i386; then
        keep_out="$keep_out wine32:i386-"
    fi
fi
apt-get update -q
# shellcheck disable=SC2086  # the lists are meant to split
apt-get install -y -q $missing $keep_out

still=""
for p in $packages; do
    installed "$p" || still="$still $p"
done
if [ -n "$still" ]; then
    echo "deps: still missing after apt-get:$still" >&2
    exit 1
fi
echo "deps: installed:$missing"
