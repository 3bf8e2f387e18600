#!/bin/sh
# Runs one libFuzzer target: first every saved input and every crash ever found, once each (the
# regressions), then new inputs for a bounded time. Prints one summary line with the executions
# and the coverage reached; fails on any crash, leak, timeout or sanitizer report.
#   run-fuzzer.sh FUZZER SECONDS SEEDS REGRESSIONS WORK
# SEEDS and REGRESSIONS are folders of the source tree, only read; WORK (in the build tree)
# receives the inputs found, so a longer run goes on from where the last one stopped.
set -eu
fuzzer=$1 seconds=$2 seeds=$3 regressions=$4 work=$5
name=$(basename "$fuzzer")
mkdir -p "$work"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
limits="-timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024"

saved=$(find "$seeds" "$regressions" -type f 2>/dev/null | sort)
if [ -n "$saved" ]; then
    # shellcheck disable=SC2086
    if ! echo "$saved" | xargs "$fuzzer" $limits >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "fuzz $name: a saved input fails"
        exit 1
    fi
fi
replayed=$(echo "$saved" | grep -c . || true)

# shellcheck disable=SC2086
# New inputs stay below 64 KiB (a saved regression may be larger, and is replayed whole above):
# mutating a megabyte at a time would leave few executions in a short run.
if ! "$fuzzer" $limits -max_len=65536 -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$work/../$name-" "$work" $(for d in "$seeds" "$regressions"; do
            [ -d "$d" ] && echo "$d"; done) >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz $name: FAILED; the input is saved as $(dirname "$work")/$name-*"
    exit 1
fi
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -n 1 | cut -d' ' -f2)
echo "fuzz $name: $replayed saved inputs replayed; $runs executions in $seconds s, cov $cov"
