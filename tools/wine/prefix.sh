#!/bin/sh
# Creates the test prefix once: wine's own set-up, and drive D: mapped to a folder beside it so
# that the library's fixed D:\BIDITST\... paths can be exercised for real.
set -eu
prefix="$1"
ddrive="$prefix.d-drive"
[ -e "$prefix/.vyx-ready" ] && exit 0

mkdir -p "$(dirname "$prefix")"
lock="$prefix.lock"
exec 9>"$lock"
flock 9
[ -e "$prefix/.vyx-ready" ] && exit 0

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i </dev/null >/dev/null 2>&1
wineserver -w
mkdir -p "$ddrive/BIDITST"
ln -sfn "$ddrive" "$prefix/dosdevices/d:"
touch "$prefix/.vyx-ready"
