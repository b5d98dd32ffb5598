#!/bin/sh
# Creates a wine prefix once, quietly and non-interactively.
#
#   scripts/wine-prefix.sh PREFIX_DIR
#
# Safe to run concurrently: the first caller boots the prefix under a lock,
# the others wait for it and find it ready.  A prefix whose boot did not
# finish (no ready marker) is removed and booted again.
set -eu

prefix=${1:?usage: wine-prefix.sh PREFIX_DIR}
ready="$prefix/.glyphherder-ready"
[ -f "$ready" ] && exit 0

WINEPREFIX=$prefix
WINEDEBUG=-all
# No Mono and no Gecko: their installers would ask through dialogs.
WINEDLLOVERRIDES='mscoree,mshtml='
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY

mkdir -p "$(dirname "$prefix")"
lock="$prefix.lock"
exec 9>"$lock"
flock 9

if [ ! -f "$ready" ]; then
    rm -rf "$prefix"
    echo "wine-prefix: creating $prefix (first boot takes a while)" >&2
    wineboot -i >/dev/null 2>&1 </dev/null
    # wineboot returns before the server has written the registry.
    wineserver -w
    [ -f "$prefix/system.reg" ] || { echo "wine-prefix: wineboot failed" >&2; exit 1; }
    touch "$ready"
fi
