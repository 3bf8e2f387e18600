#!/bin/sh
# Runs an ARM64 Windows program, named by its absolute path: tools/wine/run.sh hands ARM64
# programs here. Debian 13's arm64 wine (tools/arm64/wine.sh, fetched into VYX_ARM64_TOOLS on
# first use) runs it under qemu-user emulation, in WINEPREFIX (made by tools/arm64/prefix.sh on first use), keeping the
# caller's current folder, LC_ALL, standard input and output and exit status as run.sh does.
# When this host cannot run it, says why and exits with 125.
#   WINEPREFIX=... run.sh PROGRAM [ARGS...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
# Unless told (VYX_ARM64_TOOLS), the runner of the build tree that holds the program, else that of
# build/arm64 in this clone (tools/wine/loaders.sh).
if [ -z "${VYX_ARM64_TOOLS:-}" ]; then
    dir=$(dirname "$1")
    while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
    VYX_ARM64_TOOLS=$(sed -n 's/^VYX_ARM64_TOOLS:[A-Z]*=//p' "$dir/CMakeCache.txt" 2>/dev/null || true)
fi
. "$here/../wine/loaders.sh"
if ! problem=$("$here/wine.sh" "$VYX_ARM64_TOOLS" 2>&1); then
    echo "$problem" >&2
    exit 125
fi
"$here/prefix.sh" "$VYX_ARM64_TOOLS" "$WINEPREFIX"
wine="$VYX_ARM64_TOOLS/wine/root/usr/lib/wine"
unset WINELOADER WINESERVER WINEDLLPATH WINEARCH
export WINELOADERNOEXEC=1 WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# A server and wine's own processes take some 15 s to start under emulation, a program 1 s once
# they run: the server stays 30 s after its last client, so that a run of programs pays once.
"$wine/wineserver" -p30 </dev/null >/dev/null 2>&1 || true
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
"$wine/wine64-preloader" "$wine/wine64" "$@" >"$out" 2>"$err" || status=$?
cat "$out"
# Wine's own processes, started with the program's error output, each say that they found no
# FreeType (Debian 13's arm64 wine is taken without its font libraries: nothing here draws text).
grep -v -e '^Wine cannot find the FreeType font library' -e '^use TrueType fonts please install' \
    -e '^or equal to 2\.0\.5\.$' -e '^http://www\.freetype\.org$' "$err" >&2 || true
exit "$status"
