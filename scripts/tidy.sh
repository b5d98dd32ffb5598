#!/bin/sh
# Runs clang-tidy over the library code (the folders that make up the shipped
# libraries: platform, host, text, encoding, digest, auth, cipher, functions,
# library, those there are), warnings as errors, with the checks and naming
# conventions of the .clang-tidy files (one at the root, one per folder that
# refines it for its layer).
#
#   scripts/tidy.sh [BUILD_DIR]     default build/linux-debug
#
# Reads BUILD_DIR/compile_commands.json (the presets export it), so the
# tree must have been configured.  A file compiled twice (the catalogue
# cases, once per build) is checked in both forms.  Runs as many clang-tidy
# processes as there are processors.
set -eu
cd "$(dirname "$0")/.."

build=${1:-build/linux-debug}
tidy=$(command -v clang-tidy-14 || command -v clang-tidy || true)
if [ -z "$tidy" ]; then
    echo "tidy: clang-tidy not found (scripts/deps.sh installs it)" >&2
    exit 1
fi
if [ ! -f "$build/compile_commands.json" ]; then
    echo "tidy: no $build/compile_commands.json; configure the tree first" >&2
    exit 1
fi

# The folders of the shipped libraries, those of them there are.
folders=""
for d in platform host text encoding digest auth cipher functions library; do
    [ -d "$d" ] && folders="$folders$d "
done
files=$(python3 - "$build/compile_commands.json" $folders <<'PY'
import json, os, sys
root = os.getcwd()
folders = set(sys.argv[2:])
seen = []
for entry in json.load(open(sys.argv[1])):
    path = os.path.relpath(os.path.join(entry["directory"], entry["file"]), root)
    if path.split(os.sep)[0] in folders and path not in seen:
        seen.append(path)
print("\n".join(seen))
PY
)
count=$(echo "$files" | wc -l)
jobs=$(nproc 2>/dev/null || echo 2)
echo "tidy: $count files in $folders($jobs at a time)"
start=$(date +%s)
# shellcheck disable=SC2016  # expanded by the inner shell
if ! echo "$files" | xargs -P "$jobs" -n 4 sh -c '
        tidy=$0 build=$1; shift
        out=$("$tidy" -p "$build" --quiet "$@" 2>&1); status=$?
        printf "%s\n" "$out" | grep -v "warnings\{0,1\} generated\.$" | grep -v "^$"
        exit $status' "$tidy" "$build"; then
    echo "tidy: failed" >&2
    exit 1
fi
echo "tidy: clean in $(( $(date +%s) - start )) s"
