#!/bin/sh
# Tells whether this machine runs 32-bit x86 programs.  Some kernels refuse
# them ("Exec format error": IA-32 emulation off), and then neither the
# 32-bit wine loader nor the package scripts of i386 packages can run.  The
# answer decides how the x86 (32-bit) Windows DLLs are tested:
#
#   they run:     under wine, like the x64 DLLs;
#   they do not:  the DLLs are checked from their files, and the library's
#                 32-bit code is tested as an i686 Linux build run under
#                 qemu-i386 (preset linux-i686).
#
#   scripts/runs-32bit.sh [--say] [DIR]
#
# Exit status 0: they run; 1: they do not.  --say also prints the answer and
# the path the Windows tests take.  GH_FORCE_NO_32BIT=1 in the environment
# answers "no" without looking, so that path can be tried on any machine.
#
# The answer comes from running a tiny static i386 program, written into DIR
# (default: the build/ folder of the source tree).  It needs nothing
# installed, not even the 32-bit C library, so it also serves before any
# package is.
set -eu

say=no
if [ "${1:-}" = "--say" ]; then
    say=yes
    shift
fi
dir=${1:-$(dirname "$0")/../build}

answer() {
    if [ $say = yes ]; then
        if [ "$1" = yes ]; then
            echo "32-bit programs run here$2: the x86 DLLs are tested under wine"
        else
            echo "32-bit programs do not run here$2: the x86 DLLs are checked from their files," \
                 "their code runs as an i686 Linux build under qemu-i386"
        fi
    fi
    if [ "$1" = yes ]; then exit 0; fi
    exit 1
}

case ${GH_FORCE_NO_32BIT:-} in
    ""|0) ;;
    *) answer no " (GH_FORCE_NO_32BIT=$GH_FORCE_NO_32BIT)" ;;
esac

mkdir -p "$dir"
probe=$(mktemp "$dir/runs-32bit.XXXXXX")
trap 'rm -f "$probe"' EXIT
# ELF header, one loadable segment, and the code: exit(42) through int 0x80.
# Where the kernel refuses the file, the shell runs it as a script instead,
# which cannot end with 42.
printf '\177\105\114\106\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0'\
'\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10'\
'\144\0\0\0\144\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\273\52\0\0\0\315\200\0\0\0\0' >"$probe"
chmod +x "$probe"
status=0
"$probe" </dev/null >/dev/null 2>&1 || status=$?
if [ $status -eq 42 ]; then
    answer yes ""
fi
answer no ""
