#!/bin/sh
# Makes a wine prefix for ARM64 programs once, through the arm64 wine of tools/arm64/wine.sh
# (fetched into TOOLS when it is not there yet), the same way tools/wine/prefix.sh makes the others: whole in
# a scratch folder beside its place, then renamed into place; a build tree's own prefix (one
# beside its CMakeCache.txt) also gets drive D: beside it and drive X: as the build tree. A
# prefix that is there already is used as it is when ARM64 wine made it; one of another wine is
# left untouched and refused, since the arm64 wine would convert it to its own.
#   prefix.sh TOOLS PREFIX
set -eu
[ $# -eq 2 ] || { echo "usage: prefix.sh TOOLS PREFIX" >&2; exit 2; }
"$(dirname "$0")/wine.sh" "$1"
wine=$1/wine/root/usr/lib/wine
prefix=$2
tree=$(dirname "$prefix")
mark=.vyx-arm64
arm64_prefix() { grep -q '"PROCESSOR_ARCHITECTURE"="ARM64"' "$1/system.reg" 2>/dev/null; }
ready() {
    [ -e "$prefix/$mark" ] && return 0
    [ -e "$prefix" ] || return 1
    arm64_prefix "$prefix" && return 0
    echo "arm64 prefix: $prefix is a prefix of another wine; ARM64 programs need one of their own (name another WINEPREFIX)" >&2
    exit 1
}
ready && exit 0
mkdir -p "$tree"
exec 9>"$prefix.lock"
flock 9
ready && exit 0

scratch=$(mktemp -d "$prefix.new.XXXXXX")
trap 'WINEPREFIX="$scratch" "$wine/wineserver" -k 2>/dev/null || true; rm -rf "$scratch"' EXIT
export WINEPREFIX="$scratch" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADERNOEXEC=1
unset WINELOADER WINESERVER WINEDLLPATH WINEARCH
log="$prefix.wineboot.log"
if ! "$wine/wine64-preloader" "$wine/wine64" wineboot -i </dev/null >"$log" 2>&1 ||
    ! "$wine/wineserver" -w || ! arm64_prefix "$scratch"; then
    echo "arm64 prefix: wineboot could not make an ARM64 prefix in $scratch (its output: $log)" >&2
    exit 1
fi
if [ -f "$tree/CMakeCache.txt" ]; then
    mkdir -p "$prefix.d-drive/BIDITST"
    ln -sfn "$prefix.d-drive" "$scratch/dosdevices/d:"
    ln -sfn ../.. "$scratch/dosdevices/x:"
fi
touch "$scratch/$mark"
mv "$scratch" "$prefix"
trap - EXIT
rm -f "$log"
