#!/bin/sh
# Creates a wine prefix once, quietly and non-interactively.
#
#   scripts/wine-prefix.sh [--keep-server SECONDS] PREFIX_DIR
#
# Safe to run concurrently: the first caller boots the prefix under a lock,
# the others wait for it and find it ready.  A prefix whose boot did not
# finish (no ready marker) is removed and booted again.
#
# --keep-server starts the prefix's wine server, to stay up until SECONDS
# after its last program ends.  Debian's server otherwise stops the moment
# its last program ends, and a test starting just then can fail to start;
# the test fixture starts it once for the whole run.
set -eu

keep=""
if [ "${1:-}" = "--keep-server" ]; then
    keep=${2:?--keep-server needs a number of seconds}
    shift 2
fi
prefix=${1:?usage: wine-prefix.sh [--keep-server SECONDS] PREFIX_DIR}
ready="$prefix/.glyphherder-ready"
WINEPREFIX=$prefix
WINEDEBUG=-all
# No Mono and no Gecko: their installers would ask through dialogs.
WINEDLLOVERRIDES='mscoree,mshtml='
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY

start_server() {
    [ -n "$keep" ] || return 0
    # The server, and the system programs the first Windows program starts
    # (services, devices), outlive this script: they must hold none of our
    # files (the lock, or the pipes of a test runner waiting for our output
    # to end), so they are started here with none.
    # Exit status 2: a server of this prefix is running already.
    wineserver -p"$keep" </dev/null >/dev/null 2>&1 9>&- || [ $? -eq 2 ]
    wine cmd /c exit </dev/null >/dev/null 2>&1 9>&-
}

if [ -f "$ready" ]; then
    start_server
    exit 0
fi

mkdir -p "$(dirname "$prefix")"
lock="$prefix.lock"
exec 9>"$lock"
flock 9

if [ ! -f "$ready" ]; then
    rm -rf "$prefix"
    echo "wine-prefix: creating $prefix (first boot takes a while)" >&2
    wineboot -i </dev/null >/dev/null 2>&1 9>&-
    # wineboot returns before the server has written the registry.
    wineserver -w 9>&-
    [ -f "$prefix/system.reg" ] || { echo "wine-prefix: wineboot failed" >&2; exit 1; }
    touch "$ready"
fi
exec 9>&-
start_server
