#!/bin/sh
# Makes a wine prefix once, always a 64-bit one (WINEARCH=win64) and always through wine's 64-bit
# loader: it runs the x64 programs, and the x86 ones under WoW64, which is where a 32-bit driver's
# user interface runs on 64-bit Windows. A prefix that exists already is used as it is.
#   prefix.sh PREFIX
#
# The x86 half of a win64 prefix is wine's x86 DLLs in drive_c/windows/syswow64 and what
# wine.inf's x86 section registers and lays beside them. Where the host runs 32-bit code,
# wineboot does both by starting 32-bit processes. Where it runs none, wineboot cannot, and leaves
# syswow64 empty; this script then lays the same files there itself, from the host's wine32 when
# it is installed, else from the emulated machine's x86 layer (tools/emu/build-machine.sh),
# without running any 32-bit code, and runs the x86 section in the emulated machine, taking back
# what it changed (tools/wine/x86-install.sh). That is done once per emulated machine and user,
# in a template prefix beside the machine, which every later prefix is a copy of.
#
# A prefix is made whole in a scratch folder beside its place and renamed into place, so no
# program ever sees half of one and none is ever deleted under a running program. One that
# cannot be made whole is an error, said with the reason and remembered in PREFIX.failed, so that
# the many programs of a test run do not each try again (remove that file to try again).
#
# A build tree's own prefix (one beside its CMakeCache.txt) also gets drive D: mapped to a folder
# beside it, so that the library's fixed D:\BIDITST\... paths can be exercised for real, and drive
# X: mapped to the build tree. Wine names a file by the deepest drive that holds it, so every
# program run from the build tree sees itself, its DLLs and its query modules as X:\bin\...,
# however deep the clone lies: the library derives a module's name only from a caller's path of
# at most 127 characters, and the tests, the benchmark and `make run` all hand it paths inside the
# build tree. A build tree's prefix made by an earlier version of this script, which did not
# leave the .vyx-whole mark, is made again, once.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/loaders.sh"
[ $# -eq 1 ] || { echo "usage: prefix.sh PREFIX" >&2; exit 2; }
prefix=$1
tree=$(dirname "$prefix")
failed="$prefix.failed"
mark=.vyx-whole
in_build_tree() {
    [ -f "$tree/CMakeCache.txt" ]
}
ready() {
    if in_build_tree; then
        # One whose x86 half this script laid before it also ran the x86 section is made again,
        # once.
        [ -e "$prefix/$mark" ] &&
            { grep -q "x86 section" "$prefix/$mark" || ! grep -q "^wine's x86 files" "$prefix/$mark"; }
    else
        [ -e "$prefix/system.reg" ]
    fi
}
refuse() {
    echo "prefix.sh: $(cat "$failed")" >&2
    echo "prefix.sh: (said once, when it was tried; remove $failed to try again)" >&2
    exit 1
}
ready && exit 0
[ -e "$failed" ] && refuse

mkdir -p "$tree"
exec 9>"$prefix.lock"
flock 9
ready && exit 0
[ -e "$failed" ] && refuse

scratch=$(mktemp -d "$prefix.new.XXXXXX")
template_new=""
cleanup() {
    for folder in "$scratch" $template_new; do
        WINEPREFIX="$folder" "$WINESERVER" -k 2>/dev/null || true
        rm -rf "$folder" "$folder.x86-install.tar"
    done
}
trap cleanup EXIT
fail() {
    echo "$*" >"$failed"
    echo "prefix.sh: $*" >&2
    exit 1
}

export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINELOADER="$WINE64"
unset WINEDLLPATH
emulated=$([ "$("$here/../host/x86-mode.sh")" = emulated ] && echo 1 || true)
required="ntdll kernel32 kernelbase msvcrt"
[ -z "$emulated" ] || required="$required user32 zlib1 crypt32 winhttp"
log="$prefix.wineboot.log"

# boot_prefix FOLDER: a 64-bit prefix made there by wineboot, its server gone.
boot_prefix() {
    if ! WINEPREFIX="$1" "$WINE64" wineboot -i </dev/null >"$log" 2>&1 ||
       ! WINEPREFIX="$1" "$WINESERVER" -w; then
        fail "wineboot could not make a prefix in $1 (its output: $log)"
    fi
    # How many files wineboot alone left in syswow64: none where the host runs no 32-bit code.
    find "$1/drive_c/windows/syswow64" -type f 2>/dev/null | wc -l >"$1/.vyx-wineboot-syswow64"
}

# lay_x86_half FOLDER: the x86 half of a prefix wineboot made there, on a host that runs no
# 32-bit code; says where it came from.
lay_x86_half() {
    dlls=/usr/lib/i386-linux-gnu/wine/i386-windows
    if [ ! -f "$dlls/kernel32.dll" ]; then
        "$here/../emu/build-machine.sh" "$VYX_EMU_DIR" >&2 ||
            fail "the x86 half needs wine's x86 DLLs, and the emulated machine that has them could not be built (above)"
        dlls="$VYX_EMU_DIR/x86-layer/usr/lib/i386-linux-gnu/wine/i386-windows"
    fi
    syswow64="$1/drive_c/windows/syswow64"
    mkdir -p "$syswow64"
    # wine's builtin PE files, the same ones a wineboot that can run 32-bit code copies there.
    find "$dlls" -maxdepth 1 -type f \( -name '*.dll' -o -name '*.exe' -o -name '*.drv' \
        -o -name '*.sys' -o -name '*.cpl' -o -name '*.ocx' -o -name '*.acm' -o -name '*.tlb' \) \
        -exec cp -p {} "$syswow64/" \;
    # Debian's wine takes zlib from the mingw-w64 build, which libwine's installation marks as a
    # wine builtin; an unpacked x86 layer has no such step. user32 imports it, and through user32
    # CRYPT32 and WinHTTP, so the network modules need it. Marked the same way here.
    if [ ! -f "$syswow64/zlib1.dll" ]; then
        zlib=/usr/i686-w64-mingw32/lib/zlib1.dll
        [ -f "$zlib" ] || fail "the x86 half needs $zlib (Debian's libz-mingw-w64)"
        { head -c 64 "$zlib"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$zlib"; } \
            >"$syswow64/zlib1.dll"
    fi
    changes="$1.x86-install.tar" x86_log="$prefix.x86-install.log"
    "$here/../emu/vm-run.sh" -- "$here/x86-install.sh" "$1" </dev/null >"$changes" 2>"$x86_log" &&
        tar -x -f "$changes" -C "$1" ||
        fail "wine.inf's x86 section did not run in the emulated machine (its output: $x86_log)"
    rm -f "$changes" "$x86_log"
    echo "wine's x86 files from $dlls, and wine.inf's x86 section run in the emulated machine"
}

if [ -z "$emulated" ]; then
    boot_prefix "$scratch"
    half=wineboot
else
    # Laying the x86 half boots the emulated machine, a minute or two; so it is done once per
    # machine and user, in a template beside the machine, and every prefix made after it is a
    # copy. The template is made again when this script, the x86 section's or wine changes.
    template="$VYX_EMU_DIR/prefix-template.$(id -u)"
    stamp=$({ cat "$0" "$here/x86-install.sh"; "$WINE64" --version; } | sha256sum | cut -c1-16)
    mkdir -p "$VYX_EMU_DIR"
    exec 8>"$template.lock"
    flock 8
    if [ "$(cat "$template/.vyx-template" 2>/dev/null)" != "$stamp" ]; then
        template_new=$(mktemp -d "$template.new.XXXXXX")
        boot_prefix "$template_new"
        lay_x86_half "$template_new" >"$template_new/.vyx-x86-half"
        echo "$stamp" >"$template_new/.vyx-template"
        rm -rf "$template"
        mv "$template_new" "$template"
        template_new=""
    fi
    cp -a "$template/." "$scratch/"
    flock -u 8
    rm "$scratch/.vyx-template"
    half="$(cat "$scratch/.vyx-x86-half") (by way of $template)"
    rm "$scratch/.vyx-x86-half"
fi
syswow64="$scratch/drive_c/windows/syswow64"
grep -q '^#arch=win64' "$scratch/system.reg" 2>/dev/null ||
    fail "wineboot made $scratch, but not as a 64-bit prefix"
for dll in $required; do
    [ -f "$syswow64/$dll.dll" ] ||
        fail "the prefix has no x86 half: $syswow64 holds no $dll.dll after $half"
done
# The x86 section's registration where this script ran it, of which an x86 program's
# certificate stores need the cryptographic providers.
[ -z "$emulated" ] ||
    grep -q '^\[Software\\\\Wow6432Node\\\\Microsoft\\\\Cryptography\\\\Defaults\\\\Provider\\\\' "$scratch/system.reg" ||
    fail "the prefix has no x86 half: no x86 cryptographic provider is registered after $half"
echo "$half" >"$scratch/$mark.tmp"

if in_build_tree; then
    mkdir -p "$prefix.d-drive/BIDITST"
    ln -sfn "$prefix.d-drive" "$scratch/dosdevices/d:"
    # Relative to dosdevices/, so the mapping follows the build tree if it is moved.
    ln -sfn ../.. "$scratch/dosdevices/x:"
fi
mv "$scratch/$mark.tmp" "$scratch/$mark"

# Into place. An older prefix found there (a build tree's, without the mark) is moved aside
# first; no program can be using it, since every start comes through this script, which would
# not have let one run in it.
if [ -e "$prefix" ]; then
    old=$(mktemp -d "$prefix.old.XXXXXX")
    mv "$prefix" "$old/prefix"
    WINEPREFIX="$old/prefix" "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$old"
fi
mv "$scratch" "$prefix"
trap - EXIT
rm -f "$log"
