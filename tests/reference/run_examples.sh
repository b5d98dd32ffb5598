#!/bin/sh
# Runs the examples of the function reference (docs/functions.json) as
# catalogue cases and fails when a documented result differs from what the
# libraries give.  The examples of functions whose catalogue row is not
# built yet are left out, and the generator names them.
#
#   run_examples.sh PYTHON GENERATOR CASES_FILE RUNNER [ARG...]
#
# writes the cases to CASES_FILE, then runs RUNNER ARG... CASES_FILE (the
# catalogue case runner, glyphcases, with its libraries).
set -eu
python=$1 generator=$2 cases=$3
shift 3
"$python" "$generator" --examples "$cases"
exec "$@" "$cases"
