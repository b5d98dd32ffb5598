#!/bin/sh
# The main job: builds the libraries and the command-line host (Linux,
# release configuration), lists the catalogue and calls a function.
#
#   scripts/main.sh
#
# Missing Debian packages are installed first (scripts/deps.sh --linux; root
# is needed only when something is missing).
set -eu
cd "$(dirname "$0")/.."

scripts/deps.sh --linux
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release --target glyphhost glyphHerderU glyphHerder

host=build/linux-release/bin/glyphhost
echo "\$ glyphhost list"
$host list
echo
echo "\$ glyphhost call MD5Digest abc"
$host call MD5Digest abc
