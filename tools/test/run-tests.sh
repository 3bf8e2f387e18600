#!/bin/sh
# The test runs of `make test` and `make test-x86-emulated`, over build folders already built.
#   run-tests.sh all <x86 build> <x64 build>    every test of both folders, x86 first
#   run-tests.sh x86-emulated <x86 build>       the x86 entries that `all` leaves out where the
#                                               host runs no 32-bit code, in the emulated machine
# Where the host runs 32-bit code (tools/host/x86-mode.sh), `all` runs every x86 entry natively.
# Where it does not, the x86 entries that start no x86 program run here, and those labelled
# x86-core (tests/CMakeLists.txt) in one boot of the emulated machine (tools/emu/); when that
# machine cannot be had, the x86 programs are built and checked but not run, and the summary
# says why. `x86-emulated` runs the rest there, those labelled real-time last and without failing
# the run (their bounds are real time; see tests/CMakeLists.txt).
#
# Ends with a summary of what happened, read from ctest's own output (tools/test/tally.py): per
# architecture, where its programs ran, how many of them passed, which did not, and how long it
# took; fails when any part failed.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
jobs=${JOBS:-$(nproc)}
status=0
summary=""
note() { summary="$summary$1
"; }
now() { date +%s; }
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# ctest_in <folder> <log> [ctest options]: one ctest run of a folder, here, its output also
# kept in the log.
ctest_in() {
    folder=$1 log=$2
    shift 2
    { (cd "$folder" && ctest --output-on-failure -j "$jobs" "$@") 2>&1 || echo 1 >"$log.failed"; } |
        tee "$log"
    [ ! -e "$log.failed" ] || status=1
}

# outcome <folder> <log> [label] [label left out]: "P of N passed" for the entries that carry the
# label, naming the first few that did not pass (failed, or never ran); fails unless all passed.
outcome() {
    set -- $("$here/tally.py" "$1" "$2" --label "${3:-}" --without "${4:-}")
    passed=$1 total=$2
    shift 2
    if [ $# -eq 0 ]; then
        echo "$passed of $total passed"
    elif [ $# -le 4 ]; then
        echo "$passed of $total passed; not passed: $*"
    else
        echo "$passed of $total passed; not passed: $1 $2 $3 and $(($# - 3)) more"
    fi
    [ "$passed" = "$total" ]
}

# The emulated machine of an x86 build folder.
emu_dir() { echo "${VYX_EMU_DIR:-$1/emu}"; }

# emulated <folder> <log> <ctest options...>: the selected entries in one boot of the emulated
# machine, against the folder's prefix, which is made here (the machine cannot make one in good
# time). What the machine's ctest printed is kept in the log.
emulated() {
    folder=$1 log=$2
    shift 2
    if ! "$root/tools/wine/prefix.sh" "$folder/wineprefix"; then
        status=1
        : >"$log"
        return
    fi
    # The randomised run against the hostile module (hostile_tests) is CPU work, which the
    # machine does many times slower: there it takes a quarter of its iterations.
    { VYX_FUZZ_ITERATIONS=${VYX_FUZZ_ITERATIONS:-25000} VYX_EMU_DIR=$(emu_dir "$folder") \
        "$root/tools/emu/vm-run.sh" --stream -- \
        sh -c 'cd "$1" && shift && ctest --output-on-failure -j 2 "$@"' sh "$folder" "$@" \
        </dev/null 2>&1 || echo 1 >"$log.failed"; } | tee "$log"
    [ ! -e "$log.failed" ] || status=1
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
            ctest_in "$x86" "$logs/x86"
            note "x86, natively (wine's 32-bit loader): $(outcome "$x86" "$logs/x86") ($(($(now) - start)) s)"
            ;;
        emulated)
            echo "==== x86 tests ($1) that run no x86 program"
            ctest_in "$x86" "$logs/x86-host" -LE x86-run
            note "x86, on the host, the entries that run no x86 program: $(outcome "$x86" "$logs/x86-host" "" x86-run) ($(($(now) - start)) s)"
            start=$(now)
            rest=$(entries "$x86" x86-run x86-core)
            problem=$(machine_problem "$x86")
            if [ -n "$problem" ]; then
                note "x86 programs: built and checked, not run: this host runs no 32-bit code and the emulated machine cannot be had ($problem)"
                status=1
            else
                echo "==== x86 tests ($1) under emulation: the core programs in one boot of the emulated machine"
                emulated "$x86" "$logs/x86-emulated" -L x86-core
                result=$(outcome "$x86" "$logs/x86-emulated" x86-core) || status=1
                note "x86 programs in the emulated machine (this host runs no 32-bit code), code page 1252: $result ($(($(now) - start)) s); the other $rest x86 entries run in make test-x86-emulated"
            fi
            ;;
    esac
}

# entries <folder> [label] [label left out]: how many entries carry the label.
entries() {
    set -- $("$here/tally.py" "$1" /dev/null --label "${2:-}" --without "${3:-}")
    echo "$2"
}

case "${1:-}" in
    all)
        [ $# -eq 3 ] || { echo "usage: run-tests.sh all <x86 build> <x64 build>" >&2; exit 2; }
        x86_suite "$2"
        start=$(now)
        echo "==== x64 tests ($3): through wine's 64-bit loader"
        x64=$(cd "$3" && pwd)
        ctest_in "$x64" "$logs/x64"
        note "x64, natively (wine's 64-bit loader): $(outcome "$x64" "$logs/x64") ($(($(now) - start)) s)"
        if [ "$(entries "$x64" runs-x86)" -gt 0 ]; then
            where=$([ "$("$root/tools/host/x86-mode.sh")" = native ] && echo natively || echo "in the emulated machine")
            note "  of which the entries that also run x86 programs, $where: $(outcome "$x64" "$logs/x64" runs-x86)"
        fi
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
        emulated "$x86" "$logs/judged" -L x86-run -LE 'x86-core|real-time'
        result=$(outcome "$x86" "$logs/judged" x86-run 'x86-core|real-time') || status=1
        note "x86 programs in the emulated machine: $result ($(($(now) - start)) s)"
        start=$(now)
        # Their timeouts and waits are real time, which the emulated machine, many times slower
        # than the host, cannot keep: they run for what they show, and do not fail the run.
        echo "==== x86 tests ($2) under emulation whose bounds are real time: run, not judged"
        judged_status=$status
        emulated "$x86" "$logs/real-time" -L real-time
        status=$judged_status
        result=$(outcome "$x86" "$logs/real-time" real-time) || true
        note "x86 programs with real-time bounds in the emulated machine, shown, not judged: $result ($(($(now) - start)) s)"
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
