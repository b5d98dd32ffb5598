#!/bin/sh
# Holds the files of the Linux package to resources/linux-needs.txt: each may
# need only the libraries listed there, and no symbol version beyond the
# glibc given there (no GLIBCXX_, CXXABI_ or GCC_ versions at all: the C++
# runtime is inside).  libglyphmem.so.1 must export exactly the symbols of
# platform/glyphmem.map.  README.md must show the table as it is.
#
#   tests/linux/check_shipped.sh [--readme README.md] NEEDS MAP FILE...
set -eu
readme=""
if [ "${1:-}" = --readme ]; then readme=$2; shift 2; fi
[ $# -ge 3 ] || { echo "usage: check_shipped.sh [--readme README.md] NEEDS MAP FILE..." >&2; exit 2; }
needs=$1
map=$2
shift 2
failed=0
fail() { echo "check_shipped: $*" >&2; failed=1; }

# version_le A B: whether glibc version A is not newer than B.
version_le() { [ "$(printf '%s\n%s\n' "$1" "$2" | sort -V | head -n1)" = "$1" ]; }

for file in "$@"; do
    name=$(basename "$file")
    line=$(grep -v '^#' "$needs" | awk -v n="$name" '$1 == n')
    if [ -z "$line" ]; then fail "$name is not in $needs"; continue; fi
    floor=$(echo "$line" | awk '{print $2}')
    allowed=$(echo "$line" | awk '{for (i = 3; i < NF; i++) printf "%s ", $i; print $NF}')

    needed=$(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
    for lib in $needed; do
        case " $allowed " in
            *" $lib "*) ;;
            *) fail "$name needs $lib; $needs allows it only: $allowed" ;;
        esac
    done

    # The version needs section: "Name: GLIBC_2.14  Flags: ..." lines.
    versions=$(readelf -V "$file" | awk '/^Version needs section/ {on = 1; next} /^$/ {on = 0}
        on && /Name:/ {for (i = 1; i < NF; i++) if ($i == "Name:") print $(i + 1)}' | sort -u)
    newest=""
    for v in $versions; do
        case $v in
            GLIBC_PRIVATE) fail "$name needs GLIBC_PRIVATE" ;;
            GLIBC_[0-9]*)
                v=${v#GLIBC_}
                version_le "$v" "$floor" || fail "$name needs GLIBC_$v; $needs says glibc $floor"
                if [ -z "$newest" ] || ! version_le "$v" "$newest"; then newest=$v; fi ;;
            *) fail "$name needs the symbol version $v (only glibc's are allowed)" ;;
        esac
    done

    if [ "$name" = libglyphmem.so.1 ]; then
        exports=$(nm -D --defined-only "$file" | awk '{print $3}' | LC_ALL=C sort | tr '\n' ' ')
        expected=$(sed -n 's/^ *\([A-Za-z_][A-Za-z0-9_]*\);$/\1/p' "$map" | LC_ALL=C sort | tr '\n' ' ')
        [ "$exports" = "$expected" ] || fail "$name exports: $exports; $map lists: $expected"
    fi
    echo "$name: needs $(echo $needed | tr ' ' ','), glibc ${newest:-none} (at most $floor)"
done

# The README shows the table: every line of it, spaces aside.
if [ -n "$readme" ]; then
    grep -v '^#' "$needs" | grep -v '^ *$' | while read -r line; do
        squeezed=$(echo "$line" | tr -s ' ')
        tr -s ' ' < "$readme" | grep -qxF "$squeezed" || { echo "check_shipped: $readme lacks the line: $squeezed" >&2; exit 1; }
    done || failed=1
fi
exit $failed
