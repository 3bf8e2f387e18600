#!/bin/sh
# Prints the machine a PE file (.exe, .dll, ...) is built for: x86, x64, arm64, or the header's machine
# number in hex for any other; fails for a file that is no PE image.
#   pe-machine.sh FILE
set -eu
[ -f "$1" ] || exit 1
u32() { od -An -tu4 -j"$1" -N4 "$2" | tr -d ' '; }
u16() { od -An -tu2 -j"$1" -N2 "$2" | tr -d ' '; }
[ "$(u16 0 "$1")" = 23117 ] || exit 1                 # "MZ"
lfanew=$(u32 60 "$1")
[ -n "$lfanew" ] && [ "$(u32 "$lfanew" "$1")" = 17744 ] || exit 1  # "PE\0\0"
machine=$(u16 $((lfanew + 4)) "$1")
case "$machine" in
    332) echo x86 ;;      # IMAGE_FILE_MACHINE_I386
    34404) echo x64 ;;    # IMAGE_FILE_MACHINE_AMD64
    43620) echo arm64 ;;  # IMAGE_FILE_MACHINE_ARM64
    *) printf '0x%04x\n' "$machine" ;;
esac
