#!/bin/sh
# The test runs of `make test` and `make test-x86-emulated`, over build folders already built.
#   run-tests.sh all <x86 build> <x64 build> [<arm64 build>]
#                                               every test of the x86 and x64 folders, x86
#                                               first; then the ARM64 folder's (below). With
#                                               VYX_ARM64_BUILD set, that command (which builds
#                                               the ARM64 folder) runs beside the x86 tests, at
#                                               low priority, and the x64 tests wait for it
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
build_pid=""
trap '[ -z "$build_pid" ] || kill "$build_pid" 2>/dev/null; rm -rf "$logs"' EXIT

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

# build_beside <folder>: starts $VYX_ARM64_BUILD in the background, niced so that the tests'
# own work comes first, its output in <folder>/test-build.log.
build_beside() {
    mkdir -p "$1"
    build_log="$(cd "$1" && pwd)/test-build.log"
    build_start=$(now)
    echo "==== the ARM64 folder ($1) builds beside the x86 tests; its output goes to $build_log"
    nice -n 10 sh -c "$VYX_ARM64_BUILD" >"$build_log" 2>&1 </dev/null &
    build_pid=$!
}

# built_beside: waits for that build; fails, showing its output, when it failed.
built_beside() {
    built=0
    wait "$build_pid" || built=$?
    build_pid=""
    if [ "$built" = 0 ]; then
        echo "==== the ARM64 folder is built ($(($(now) - build_start)) s after it started)"
        return 0
    fi
    cat "$build_log"
    echo "run-tests: the ARM64 folder's build failed; its output is above and in $build_log" >&2
    note "arm64: not built: its build failed (its output: $build_log)"
    status=1
    return 1
}

# ---- ARM64 ----------------------------------------------------------------------------------
# The ARM64 folder: its entries that run no ARM64 program (the binaries' machine, exports,
# imports and import library names, the headers for the MSVC ABI and the layouts compiled into
# them; the test printers' start and stop come along), then those labelled arm64-core
# (tests/arm64/CMakeLists.txt) under qemu-user emulation (tools/arm64/run.sh). Where this host
# cannot run them, the summary says "built and checked, not run" and why.
arm64_suite() {
    arm64=$(cd "$1" && pwd)
    start=$(now)
    echo "==== arm64 tests ($1) that run no ARM64 program"
    ctest_in "$arm64" "$logs/arm64-host" -LE arm64-run
    note "arm64, on the host, the entries that run no ARM64 program: $(outcome "$arm64" "$logs/arm64-host" "" arm64-run) ($(($(now) - start)) s)"
    start=$(now)
    tools=$(sed -n 's/^VYX_ARM64_TOOLS:[A-Z]*=//p' "$arm64/CMakeCache.txt")
    if ! problem=$("$root/tools/arm64/wine.sh" "$tools" 2>&1); then
        note "arm64 programs: built and checked, not run: $(echo "$problem" | tail -n 1)"
        return
    fi
    echo "==== arm64 tests ($1) under qemu-user emulation: the core programs in code page 1252"
    ctest_in "$arm64" "$logs/arm64" -L arm64-core
    result=$(outcome "$arm64" "$logs/arm64" arm64-core) || status=1
    note "arm64 programs under qemu-user emulation (Debian 13's arm64 wine), code page 1252: $result ($(($(now) - start)) s); the folder's other entries run by hand (ctest --test-dir $1)"
}

case "${1:-}" in
    all)
        [ $# -eq 3 ] || [ $# -eq 4 ] ||
            { echo "usage: run-tests.sh all <x86 build> <x64 build> [<arm64 build>]" >&2; exit 2; }
        arm64_built=true
        [ $# -eq 3 ] || [ -z "${VYX_ARM64_BUILD:-}" ] || build_beside "$4"
        x86_suite "$2"
        [ -z "$build_pid" ] || built_beside || arm64_built=false
        start=$(now)
        echo "==== x64 tests ($3): through wine's 64-bit loader"
        x64=$(cd "$3" && pwd)
        ctest_in "$x64" "$logs/x64"
        note "x64, natively (wine's 64-bit loader): $(outcome "$x64" "$logs/x64") ($(($(now) - start)) s)"
        if [ "$(entries "$x64" runs-x86)" -gt 0 ]; then
            where=$([ "$("$root/tools/host/x86-mode.sh")" = native ] && echo natively || echo "in the emulated machine")
            note "  of which the entries that also run x86 programs, $where: $(outcome "$x64" "$logs/x64" runs-x86)"
        fi
        [ $# -eq 3 ] || ! $arm64_built || arm64_suite "$4"
        secrets=$("$here/no-secrets.sh" "$2" "$3" ${4:+"$4"}) || status=1
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
