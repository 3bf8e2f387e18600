#!/bin/sh
# Runs a Windows program under wine: the one way this project starts one (ctest's emulator, the
# make targets, the benchmark, the scripts), and usable by hand for anyone's program:
#   WINEPREFIX=/some/prefix tools/wine/run.sh PROGRAM [ARGS...]
# It keeps the caller's WINEPREFIX (a win64 prefix is made there on first use; ~/.wine when
# unset), current folder, LC_ALL, standard input and output and exit status.
#
# The program's PE header picks the loader. x64 programs, and anything that is no PE file (a
# wine command such as "reg"), run through wine's 64-bit loader, never through Debian's wrapper,
# which picks the 32-bit loader whenever it is installed. x86 programs run through the 32-bit
# loader where the host runs 32-bit code (tools/host/x86-mode.sh), and inside the emulated
# machine (tools/emu/vm-run.sh) where it does not. ARM64 programs run under emulation
# (tools/arm64/run.sh).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 1 ] || { echo "usage: run.sh PROGRAM [ARGS...]" >&2; exit 2; }
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Wine names a program given by its absolute path after the deepest drive that holds it (X: for
# a build tree, see prefix.sh); a relative one it would resolve from the current folder's drive.
if [ "${1#/}" = "$1" ] && [ -f "$1" ]; then
    program="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
    shift
    set -- "$program" "$@"
fi

case "$("$here/pe-machine.sh" "$1" 2>/dev/null || true)" in
    x86) arch=x86 ;;
    # ARM64 programs: Debian 13's arm64 wine under qemu-user, in a prefix of its own making.
    arm64) exec "$here/../arm64/run.sh" "$@" ;;
    *) arch=x64 ;;
esac
"$here/prefix.sh" "$WINEPREFIX"
if [ "$arch" = x86 ] && [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    # Someone's own prefix, made without its x86 half: wine would only say it cannot load
    # kernel32.dll.
    echo "run.sh: $WINEPREFIX has no x86 half (drive_c/windows/syswow64 holds no kernel32.dll), so x86 programs cannot run in it; a prefix made by tools/wine/prefix.sh has one" >&2
    exit 126
fi
if [ "$arch" = x86 ] && [ "$("$here/../host/x86-mode.sh")" = emulated ]; then
    exec "$here/../emu/vm-run.sh" -- "$here/run.sh" "$@"
fi
. "$here/loaders.sh"
# A server started here, with its output detached, lets the run's pipes close when the program
# ends; it goes away by itself a few seconds after its last client.
"$WINESERVER" </dev/null >/dev/null 2>&1 || true
# Wine's own helper processes inherit the program's output handles and may outlive it; writing
# to files rather than to the caller's pipes keeps a test run from waiting on them.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
if [ "$arch" = x86 ]; then
    WINELOADER="$WINE32" "$WINE32" "$@" >"$out" 2>"$err" || status=$?
else
    WINELOADER="$WINE64" "$WINE64" "$@" >"$out" 2>"$err" || status=$?
fi
cat "$out"
cat "$err" >&2
exit "$status"
