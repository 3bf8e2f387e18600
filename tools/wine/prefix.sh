#!/bin/sh
# Makes a wine prefix once, always a 64-bit one (WINEARCH=win64) and always through wine's 64-bit
# loader: it runs the x64 programs, and the x86 ones under WoW64, which is where a 32-bit driver's
# user interface runs on 64-bit Windows. A prefix that exists already is used as it is, but for a
# build tree's own, which is made again when it is 32-bit or lacks its 32-bit half.
#   prefix.sh PREFIX
#
# A build tree's own prefix (one beside its CMakeCache.txt) also gets drive D: mapped to a folder
# beside it, so that the library's fixed D:\BIDITST\... paths can be exercised for real, and drive
# X: mapped to the build tree. Wine names a file by the deepest drive that holds it, so every
# program run from the build tree sees itself, its DLLs and its query modules as X:\bin\...,
# however deep the clone lies: the library derives a module's name only from a caller's path of
# at most 127 characters, and the tests, the benchmark and `make run` all hand it paths inside the
# build tree.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/loaders.sh"
prefix="$1"
tree=$(dirname "$prefix")
ddrive="$prefix.d-drive"
in_build_tree() {
    [ -f "$tree/CMakeCache.txt" ]
}
# A build tree's prefix that is 32-bit, or 64-bit without its 32-bit half (made where wine's x86
# DLLs were not to be found), is made again; anyone else's prefix is taken as it is.
is_whole() {
    ! grep -q '^#arch=win32' "$prefix/system.reg" 2>/dev/null &&
        [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]
}
ready() {
    if in_build_tree; then
        [ -e "$prefix/.vyx-ready" ] && is_whole && [ -L "$prefix/dosdevices/x:" ]
    else
        [ -e "$prefix/system.reg" ]
    fi
}
ready && exit 0

mkdir -p "$tree"
exec 9>"$prefix.lock"
flock 9
ready && exit 0

export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINELOADER="$WINE64"
if [ -e "$prefix/system.reg" ] && ! is_whole; then
    # Only this prefix's own server is stopped: WINEPREFIX names it.
    "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$prefix"
fi
# Where the host runs no 32-bit code, the 64-bit loader cannot have wine's 32-bit half fill the
# prefix's x86 side; it copies the x86 DLLs itself when told where they are: the host's own
# where wine32 is installed, else the emulated machine's x86 layer (tools/emu/build-machine.sh).
if [ "$("$here/../host/x86-mode.sh")" = emulated ]; then
    if [ -x "$WINE32" ]; then
        export WINEDLLPATH=/usr/lib/i386-linux-gnu/wine
    else
        "$here/../emu/build-machine.sh" "$VYX_EMU_DIR" >&2
        export WINEDLLPATH="$VYX_EMU_DIR/x86-layer/usr/lib/i386-linux-gnu/wine"
    fi
fi
if [ ! -e "$prefix/.vyx-ready" ]; then
    "$WINE64" wineboot -i </dev/null >/dev/null 2>&1
    "$WINESERVER" -w
fi
if in_build_tree; then
    mkdir -p "$ddrive/BIDITST"
    ln -sfn "$ddrive" "$prefix/dosdevices/d:"
    # Relative to dosdevices/, so the mapping follows the build tree if it is moved.
    ln -sfn ../.. "$prefix/dosdevices/x:"
    touch "$prefix/.vyx-ready"
fi
