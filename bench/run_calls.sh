#!/bin/sh
# Runs every whole-call benchmark (calls/... in gh_bench) in a process of its
# own, so that each memory figure is that benchmark's alone, and prints the
# table of bench/README.md (best of the repetitions; see call_table.py).
#
#   bench/run_calls.sh [GH_BENCH] [REPETITIONS] [FILTER]
#
# defaults: build/rel/bin/gh_bench, 3, ^calls/.  GH_BENCH_FILL=1 keeps
# glyphmem's fill of new memory on (see bench/whole_call.h).
set -eu
bench=${1:-build/rel/bin/gh_bench}
repetitions=${2:-3}
filter=${3:-^calls/}
here=$(dirname "$0")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT INT TERM
"$bench" --benchmark_list_tests --benchmark_filter="$filter" | sed 's|/min_time:.*||' > "$out/names"
while read -r name; do
    echo "$name" >&2
    "$bench" --benchmark_filter="^$name/" --benchmark_repetitions="$repetitions" \
        --benchmark_format=json > "$out/$(echo "$name" | tr / _).json"
done < "$out/names"
python3 "$here/call_table.py" "$out"/*.json
