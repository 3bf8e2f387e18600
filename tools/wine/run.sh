#!/bin/sh
# Runs a Windows program under wine in the build tree's own prefix (ctest's emulator).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?set WINEPREFIX to the build tree's prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
"$here/prefix.sh" "$WINEPREFIX"
# A server started here, with its output detached, lets the run's pipes close when the program
# ends; it goes away by itself a few seconds after its last client.
wineserver </dev/null >/dev/null 2>&1 || true
exec wine "$@"
