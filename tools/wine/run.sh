#!/bin/sh
# Runs a Windows program under wine in the build tree's own prefix (ctest's emulator).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?set WINEPREFIX to the build tree's prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
"$here/prefix.sh" "$WINEPREFIX"
# Wine names a program given by its absolute path after the deepest drive that holds it (X: for
# the build tree, see prefix.sh); a relative one it would resolve from the current folder's drive.
if [ "${1#/}" = "$1" ] && [ -f "$1" ]; then
    program="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
    shift
    set -- "$program" "$@"
fi
# A server started here, with its output detached, lets the run's pipes close when the program
# ends; it goes away by itself a few seconds after its last client.
wineserver </dev/null >/dev/null 2>&1 || true
# Wine's own helper processes inherit the program's output handles and may outlive it; writing
# to files rather than to the caller's pipes keeps a test run from waiting on them.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
wine "$@" >"$out" 2>"$err" || status=$?
cat "$out"
cat "$err" >&2
exit "$status"
