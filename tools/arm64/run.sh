#!/bin/sh
# Runs an ARM64 Windows program: tools/wine/run.sh hands ARM64 programs here. Debian 13's arm64
# wine (tools/arm64/wine.sh, fetched into VYX_ARM64_TOOLS on first use) runs it under
# qemu-user emulation, in WINEPREFIX (made by tools/arm64/prefix.sh on first use), keeping the
# caller's current folder, LC_ALL, standard input and output and exit status as run.sh does.
# When this host cannot run it, says why and exits with 125.
#   WINEPREFIX=... run.sh PROGRAM [ARGS...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../wine/loaders.sh"
if ! problem=$("$here/wine.sh" "$VYX_ARM64_TOOLS" 2>&1); then
    echo "$problem" >&2
    exit 125
fi
"$here/prefix.sh" "$VYX_ARM64_TOOLS" "$WINEPREFIX"
wine="$VYX_ARM64_TOOLS/wine/root/usr/lib/wine"
unset WINELOADER WINESERVER WINEDLLPATH WINEARCH
export WINELOADERNOEXEC=1
"$wine/wineserver" </dev/null >/dev/null 2>&1 || true
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
"$wine/wine64-preloader" "$wine/wine64" "$@" >"$out" 2>"$err" || status=$?
cat "$out"
cat "$err" >&2
exit "$status"
