#!/bin/sh
# Runs wine.inf's x86 section (Wow64Install) in a prefix, as wineboot does with a 32-bit rundll32
# where the host runs 32-bit code: it registers the x86 DLLs (the cryptographic providers among
# them, without which an x86 program's certificate stores cannot hash), adds the 32-bit view of
# the registry and lays the x86 files outside syswow64. prefix.sh runs it inside the emulated
# machine (tools/emu/vm-run.sh), where 32-bit code runs but nothing written reaches the host, so
# it writes what the section changed to standard output as a tar archive, relative to the
# prefix: the registry files and every file it wrote, but for the files syswow64 held already
# (prefix.sh laid those, the same files the section lays there).
#   x86-install.sh PREFIX > changes.tar
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/loaders.sh"
[ $# -eq 1 ] || { echo "usage: x86-install.sh PREFIX" >&2; exit 2; }
export WINEPREFIX="$1"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cd "$WINEPREFIX"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
find drive_c/windows/syswow64 -type f | sort >"$scratch/laid"
touch "$scratch/before"
WINELOADER="$WINE32" "$WINE32" 'C:\windows\syswow64\rundll32.exe' \
    setupapi.dll,InstallHinfSection Wow64Install 128 '\\?\unix/usr/share/wine/wine.inf' \
    </dev/null >&2
"$WINESERVER" -w
{
    printf '%s\n' system.reg user.reg userdef.reg
    find . -newer "$scratch/before" \( -type f -o -type l \) ! -path ./system.reg \
        ! -path ./user.reg ! -path ./userdef.reg | sed 's|^\./||' |
        sort | comm -23 - "$scratch/laid"
} >"$scratch/changed"
tar -c -f - -T "$scratch/changed"
