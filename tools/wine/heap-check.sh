#!/bin/sh
# Runs every test program in a folder once under wine's heap checking (WINEDEBUG=warn+heap: block
# tails, freed blocks and every pointer given back are checked) and fails on any heap error wine
# reports. It first proves the checker sees: a probe that overruns a global block on purpose must
# be reported, or the run fails as blind.
#   heap-check.sh <folder of the test programs>     (WINEPREFIX set, as for run.sh)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "$1" && pwd)
: "${WINEPREFIX:?set WINEPREFIX to the build tree's prefix}"
export WINEDEBUG=warn+heap
# Wine holds freed blocks back while it checks, so heap counts drift: leak counts skip this run.
export VYX_HEAP_CHECKING=1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# What wine's heap channel says that is no error: a huge request it could not reserve (the
# library then reports a failed allocation) and the heap's own growth.
harmless='Could not allocate|isn.t growable|Could not commit|Could not decommit|created new sub-heap'
heap_errors() {
    grep -aE ':(err|warn):heap:' "$1" | grep -avE "$harmless" || true
}

cd "$bin"
"$here/run.sh" ./heap_corruption_probe.exe >"$out/probe.out" 2>"$out/probe.err" || true
caught=$(heap_errors "$out/probe.err")
if [ -z "$caught" ]; then
    echo "heap check: the probe's deliberate overrun went unreported; the checker is blind"
    exit 1
fi
echo "heap check: the probe's deliberate overrun is reported: $(echo "$caught" | head -n 1)"

status=0
for program in ./*_tests.exe; do
    name=$(basename "$program" .exe)
    if "$here/run.sh" "$program" --gtest_brief=1 >"$out/$name.out" 2>"$out/$name.err"; then
        result=passed
    else
        result=FAILED
        status=1
        tail -n 30 "$out/$name.out"
    fi
    errors=$(heap_errors "$out/$name.err")
    if [ -n "$errors" ]; then
        result="$result, HEAP ERRORS"
        status=1
        echo "$errors" | head -n 20
    fi
    crashes='^crash:|Unhandled (page fault|exception)'
    if grep -aqE "$crashes" "$out/$name.err"; then
        status=1
        grep -aE "$crashes" "$out/$name.err" | head -n 5
    fi
    echo "heap check: $name: $result"
done
exit $status
