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
set -eu

linux_packages="
    cmake ninja-build g++ clang git python3 zip valgrind
    libgtest-dev googletest libbenchmark-dev libssl-dev
    libcli11-dev nlohmann-json3-dev unicode-data
    python3-ntlm-auth python3-impacket python3-pycryptodome
    dovecot-core dovecot-imapd winbind samba-common-bin libnss-wrapper
"
windows_packages="
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine64 wine32:i386
"
check=no
packages="$linux_packages $windows_packages"
for arg in "$@"; do
    case $arg in
        --check) check=yes ;;
        --linux) packages=$linux_packages ;;
        *) echo "usage: scripts/deps.sh [--linux] [--check]" >&2; exit 2 ;;
    esac
done

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
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -q
# shellcheck disable=SC2086  # the list is meant to split
apt-get install -y -q $missing

still=""
for p in $packages; do
    installed "$p" || still="$still $p"
done
if [ -n "$still" ]; then
    echo "deps: still missing after apt-get:$still" >&2
    exit 1
fi
echo "deps: installed:$missing"
