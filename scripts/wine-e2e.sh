#!/usr/bin/env bash
# Runs the end-to-end tests against a Windows engine started through Wine:
#
#   scripts/wine-e2e.sh E2E_TESTS [GTEST ARGUMENTS...]
#
# Wine now and then fails inside its own client while a program runs (one
# engine process in a few hundred dies with "wine client error: ... Bad file
# descriptor", or exits with its output lost), which no program can prevent.
# So a test that fails here is run once more on its own, and only a second
# failure counts; more than three failures in one run are never retried, as
# that is the engine, not Wine. Native and other emulated runs never retry.
set -uo pipefail
tests=$1
shift
log=$(mktemp)
trap 'rm -f "$log"' EXIT

"$tests" "$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
[ "$status" -eq 0 ] && exit 0

# The summary names each failed test alone on its line.
failed=$(sed -n 's/^\[  FAILED  \] \([A-Za-z0-9_]*\.[A-Za-z0-9_]*\)$/\1/p' "$log" | sort -u)
count=$(printf '%s\n' "$failed" | grep -c .)
if [ "$count" -eq 0 ] || [ "$count" -gt 3 ]; then exit "$status"; fi
echo "Under Wine: running the failed tests once more:" $failed
"$tests" --gtest_filter="$(printf '%s\n' "$failed" | paste -sd:)"
