#!/bin/sh
# The test runs of `make test` and `make test-x86-emulated`, over build folders already built.
#   run-tests.sh all <x86 build> <x64 build> [<arm64 build>]
#                                               every test of the x86 and x64 folders, x86 first;
#                                               then the ARM64 folder's core (below)
#   run-tests.sh x86-emulated <x86 build>       the x86 entries that `all` leaves out where the
#                                               host runs no 32-bit code, in the emulated machine
# Where the host runs 32-bit code (tools/host/x86-mode.sh), `all` runs every x86 entry natively.
# Where it does not, the x86 entries that start no x86 program run here, and those labelled
# x86-core (tests/CMakeLists.txt) in one boot of the emulated machine (tools/emu/); when that
# machine cannot be had, the x86 programs are built and checked but not run, and the summary says
# why. `x86-emulated` runs the rest there, those labelled real-time last and without failing the
# run (their bounds are real time; see tests/CMakeLists.txt). Ends with a summary of what ran
# where and how long it took; fails when any part failed.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
jobs=${JOBS:-$(nproc)}
status=0
summary=""
note() { summary="$summary$1
"; }
now() { date +%s; }

# ctest_in <folder> [ctest options]: one ctest run of a folder, here.
ctest_in() {
    folder=$1
    shift
    (cd "$folder" && ctest --output-on-failure -j "$jobs" "$@") || status=1
}
# entries <folder> [label] [label left out]: how many entries carry the label (any, when none is
# given) and not the one left out, the fixtures they pull in not counted.
entries() {
    (cd "$1" && ctest --show-only=json-v1) | python3 -c '
import json, sys
want, without = (sys.argv[1:] + ["", ""])[:2]
def labels(test):
    for p in test.get("properties", []):
        if p["name"] == "LABELS":
            return p["value"]
    return []
print(sum(1 for t in json.load(sys.stdin)["tests"]
          if (not want or want in labels(t)) and without not in labels(t)))' "${2:-}" "${3:-}"
}

# The emulated machine of an x86 build folder.
emu_dir() { echo "${VYX_EMU_DIR:-$1/emu}"; }

# emulated <folder> <ctest options...>: the selected entries in one boot of the emulated machine,
# against the folder's prefix, which is made here (the machine cannot make one in good time).
emulated() {
    folder=$1
    shift
    "$root/tools/wine/prefix.sh" "$folder/wineprefix"
    VYX_EMU_DIR=$(emu_dir "$folder") "$root/tools/emu/vm-run.sh" --stream -- \
        sh -c 'cd "$1" && shift && ctest --output-on-failure -j 2 "$@"' sh "$folder" "$@" \
        </dev/null || status=1
}

# Why the emulated machine cannot be had on this host, or nothing when it can.
machine_problem() {
    "$root/tools/emu/build-machine.sh" "$(emu_dir "$1")" >"$1/emu-build.log" 2>&1 ||
        tail -n 1 "$1/emu-build.log"
}

x86_suite() {
    x86=$(cd "$1" && pwd)
    start=$(now)
    case "$("$root/tools/host/x86-mode.sh")" in
        native)
            echo "==== x86 tests ($1): x86 programs run natively"
            ctest_in "$x86"
            note "x86 programs: run natively: every one of $(entries "$x86") x86 entries ($(($(now) - start)) s)"
            ;;
        emulated)
            echo "==== x86 tests ($1) that run no x86 program"
            ctest_in "$x86" -LE x86-run
            core=$(entries "$x86" x86-core)
            rest=$(entries "$x86" x86-run x86-core)
            problem=$(machine_problem "$x86")
            if [ -n "$problem" ]; then
                note "x86 programs: built and checked, not run: this host runs no 32-bit code and the emulated machine cannot be had ($problem)"
            else
                echo "==== x86 tests ($1) under emulation: $core programs in one boot of the emulated machine"
                emulated "$x86" -L x86-core
                note "x86 programs: run under emulation: $core programs in code page 1252, and one boot each for runner_x86 and for the zip's bidiprobe in dist_zip (x64 tests); the other $rest x86 entries run in make test-x86-emulated ($(($(now) - start)) s)"
            fi
            ;;
    esac
}

# ---- ARM64 ----------------------------------------------------------------------------------
# The ARM64 folder: its entries that run no ARM64 program (the binaries' machine, exports, imports
# and import library names, the headers for the MSVC ABI and the layouts compiled into them), then
# those labelled arm64-core (tests/arm64/CMakeLists.txt) under qemu-user emulation
# (tools/arm64/run.sh). Where this host cannot run them, the summary says "built and checked, not
# run" and why. The summary counts what ctest ran and passed, fixtures included.

# counted <log>: "passed total" from a ctest log's closing line.
counted() {
    sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests* failed out of \([0-9]*\)$/\1 \2/p' "$1" |
        tail -n 1 | awk '{ print $2 - $1, $2 }'
}
arm64_suite() {
    arm64=$(cd "$1" && pwd)
    start=$(now)
    echo "==== arm64 tests ($1) that run no ARM64 program"
    # The test printers' start and stop serve the programs only.
    ctest_in "$arm64" -LE arm64-run -E '_(start|stop)$' -O "$arm64/arm64-checks.log"
    set -- $(counted "$arm64/arm64-checks.log")
    checks="${1:-0} of ${2:-0} checks passed"
    tools=$(sed -n 's/^VYX_ARM64_TOOLS:[A-Z]*=//p' "$arm64/CMakeCache.txt")
    if ! problem=$("$root/tools/arm64/wine.sh" "$tools" 2>&1); then
        note "arm64 programs: built and checked ($checks), not run: $(echo "$problem" | tail -n 1) ($(($(now) - start)) s)"
        return
    fi
    echo "==== arm64 tests ($1) under qemu-user emulation: the core programs in code page 1252"
    ctest_in "$arm64" -L arm64-core -O "$arm64/arm64-core.log"
    set -- $(counted "$arm64/arm64-core.log")
    note "arm64 programs: run under qemu-user emulation: ${1:-0} of ${2:-0} entries passed (the core programs in code page 1252, the MSVC-ABI caller, the runner, bidiprobe against the simulated, IPP and SNMP printers, with their fixtures); $checks without running ($(($(now) - start)) s)"
}

case "${1:-}" in
    all)
        [ $# -eq 3 ] || [ $# -eq 4 ] ||
            { echo "usage: run-tests.sh all <x86 build> <x64 build> [<arm64 build>]" >&2; exit 2; }
        x86_suite "$2"
        start=$(now)
        echo "==== x64 tests ($3): through wine's 64-bit loader"
        ctest_in "$3"
        note "x64 programs: run natively: $(entries "$3") entries ($(($(now) - start)) s)"
        [ $# -eq 4 ] && arm64_suite "$4"
        secrets=$("$here/no-secrets.sh" "$2" "$3") || status=1
        note "$secrets"
        ;;
    x86-emulated)
        [ $# -eq 2 ] || { echo "usage: run-tests.sh x86-emulated <x86 build>" >&2; exit 2; }
        x86=$(cd "$2" && pwd)
        start=$(now)
        problem=$(machine_problem "$x86")
        [ -z "$problem" ] || { echo "run-tests: the emulated machine cannot be had: $problem" >&2; exit 1; }
        echo "==== x86 tests ($2) under emulation: the entries make test leaves to this run"
        emulated "$x86" -L x86-run -LE 'x86-core|real-time'
        judged=$(($(now) - start))
        # Their timeouts and waits are real time, which the emulated machine, many times slower
        # than the host, cannot keep: they run for what they show, and do not fail the run.
        echo "==== x86 tests ($2) under emulation whose bounds are real time: run, not judged"
        judged_status=$status
        status=0
        emulated "$x86" -L real-time
        held=$([ "$status" = 0 ] && echo "every one held" || echo "not every one held")
        status=$judged_status
        note "x86 programs: run under emulation: $(($(entries "$x86" x86-run x86-core) - $(entries "$x86" real-time))) entries ($judged s)"
        note "x86 programs with real-time bounds: $(entries "$x86" real-time) entries run under emulation, not judged: $held ($(($(now) - start - judged)) s)"
        ;;
    *)
        echo "usage: run-tests.sh all <x86 build> <x64 build> | x86-emulated <x86 build>" >&2
        exit 2
        ;;
esac

echo "==== summary"
printf '%s' "$summary"
[ "$status" = 0 ] && echo "all passed" || echo "FAILED: see the output above"
exit "$status"
