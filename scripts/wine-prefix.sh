#!/bin/sh
# Creates a wine prefix once, quietly and non-interactively, and runs a
# Windows program in it.
#
#   scripts/wine-prefix.sh [--keep-server SECONDS] --loader LOADER PREFIX_DIR [PROGRAM [ARG...]]
#
# LOADER is the wine loader itself, never Debian's `wine` or `wineboot`
# commands, which start the 32-bit loader first even for 64-bit programs:
#   .../wine64  (e.g. /usr/lib/wine/wine64): a 64-bit prefix, booted and used
#               by the 64-bit loader alone; WINELOADER keeps wine from
#               starting the 32-bit loader, so the prefix comes out the same
#               whether or not this machine runs 32-bit programs;
#   .../wine    (e.g. /usr/lib/wine/wine): a 32-bit prefix, for x86 programs
#               (machines that run 32-bit programs only).
#
# Safe to run concurrently: the first caller boots the prefix under a lock,
# the others wait for it and find it ready.  A prefix whose boot did not
# finish (no ready marker) is removed and booted again.
#
# --keep-server starts the prefix's wine server, to stay up until SECONDS
# after its last program ends.  Debian's server otherwise stops the moment
# its last program ends, and a test starting just then can fail to start;
# the test fixture starts it once for the whole run.
#
# GH_WINEDEBUG sets the wine debug channels of PROGRAM (default: all off;
# GH_WINEDEBUG=err+all shows wine's error messages).
set -eu

usage="usage: wine-prefix.sh [--keep-server SECONDS] --loader LOADER PREFIX_DIR [PROGRAM [ARG...]]"
keep=""
loader=""
while [ $# -gt 0 ]; do
    case $1 in
        --keep-server) keep=${2:?--keep-server needs a number of seconds}; shift 2 ;;
        --loader) loader=${2:?--loader needs the wine loader}; shift 2 ;;
        *) break ;;
    esac
done
[ -n "$loader" ] || { echo "$usage" >&2; exit 2; }
prefix=${1:?$usage}
shift

case $(basename "$loader") in
    *64) WINEARCH=win64; WINELOADER=$loader; export WINELOADER ;;
    *) WINEARCH=win32 ;;
esac
# The server of the loader's own installation: the 64-bit one where there is
# one (it serves 32-bit programs too).
server=wineserver
for candidate in "$(dirname "$loader")/wineserver64" "$(dirname "$loader")/wineserver"; do
    if [ -x "$candidate" ]; then
        server=$candidate
        break
    fi
done
WINESERVER=$server
WINEPREFIX=$prefix
WINEDEBUG=-all
# No Mono and no Gecko: their installers would ask through dialogs.
WINEDLLOVERRIDES='mscoree,mshtml='
export WINEARCH WINESERVER WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY

ready="$prefix/.glyphherder-ready"
if [ ! -f "$ready" ]; then
    mkdir -p "$(dirname "$prefix")"
    exec 9>"$prefix.lock"
    flock 9
    if [ ! -f "$ready" ]; then
        rm -rf "$prefix"
        echo "wine-prefix: creating $prefix ($WINEARCH; the first boot takes a while)" >&2
        "$loader" wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
        # wineboot returns before the server has written the registry.
        "$server" -w 9>&- || true
        [ -f "$prefix/system.reg" ] || { echo "wine-prefix: wineboot failed in $prefix" >&2; exit 1; }
        touch "$ready"
    fi
    exec 9>&-
fi

if [ -n "$keep" ]; then
    # The server, and the system programs the first Windows program starts
    # (services, devices), outlive this script: they must hold none of our
    # files (the lock, or the pipes of a test runner waiting for our output
    # to end), so they are started here with none.
    # Exit status 2: a server of this prefix is running already.
    "$server" -p"$keep" </dev/null >/dev/null 2>&1 || [ $? -eq 2 ]
    "$loader" cmd /c exit </dev/null >/dev/null 2>&1
fi

[ $# -gt 0 ] || exit 0
WINEDEBUG="${GH_WINEDEBUG:--all}"
exec "$loader" "$@"
