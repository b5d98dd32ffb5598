#!/bin/sh
# Runs a command that must fail cleanly: a non-zero exit status (the one
# given, if any), exactly one line on standard error, matching a pattern.
#   expect_error.sh STATUS PATTERN COMMAND [ARG...]     (STATUS "any": any non-zero)
status=$1
pattern=$2
shift 2
err=$(mktemp)
"$@" >/dev/null 2>"$err"
rc=$?
lines=$(wc -l <"$err")
text=$(cat "$err")
rm -f "$err"
if [ "$rc" -eq 0 ]; then echo "exit status 0; stderr: $text"; exit 1; fi
if [ "$rc" -gt 125 ]; then echo "crashed (status $rc): $text"; exit 1; fi
if [ "$status" != any ] && [ "$rc" -ne "$status" ]; then echo "exit status $rc, not $status: $text"; exit 1; fi
if [ "$lines" -ne 1 ]; then echo "$lines lines on stderr: $text"; exit 1; fi
if ! printf '%s\n' "$text" | grep -q -E -e "$pattern"; then echo "stderr does not match $pattern: $text"; exit 1; fi
exit 0
