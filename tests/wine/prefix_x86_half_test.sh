#!/bin/sh
# Where a build tree's prefix got its x86 half: from wineboot where the host runs 32-bit code,
# from the project's own step where it runs none. There wineboot alone must have left syswow64
# empty: had it not, wine on this host could still reach 32-bit code, and a simulation of such
# a host (tools/host/without-32bit.sh) would be proving nothing.
#   prefix_x86_half_test.sh <x86-mode.sh> <prefix>
set -eu
mode=$("$1") prefix=$2
fail() { echo "prefix_x86_half: $*"; exit 1; }
[ -f "$prefix/.vyx-whole" ] || fail "$prefix was not made whole by tools/wine/prefix.sh"
[ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ] || fail "syswow64 holds no kernel32.dll"
after_wineboot=$(cat "$prefix/.vyx-wineboot-syswow64")
half=$(cat "$prefix/.vyx-whole")
case "$mode" in
    emulated)
        [ "$after_wineboot" = 0 ] ||
            fail "wineboot alone put $after_wineboot files in syswow64 on a host said to run no 32-bit code"
        case "$half" in
            "wine's x86 files from "*", and wine.inf's x86 section run in the emulated machine"*) ;;
            *) fail "the x86 half came from: $half" ;;
        esac
        # What the network modules load, zlib through user32 (laid apart from the rest).
        for dll in user32 zlib1 crypt32 winhttp; do
            [ -f "$prefix/drive_c/windows/syswow64/$dll.dll" ] || fail "syswow64 holds no $dll.dll"
        done
        ;;
    native)
        [ "$half" = wineboot ] || fail "the x86 half came from: $half"
        [ "$after_wineboot" -gt 0 ] || fail "wineboot left syswow64 empty on a host that runs 32-bit code"
        ;;
esac
echo "prefix_x86_half: $mode host; wineboot alone left $after_wineboot files in syswow64; the x86 half from $half"
