#!/bin/sh
# How this host runs x86 (32-bit) Windows programs, decided once for every part that cares:
#   native     the host runs 32-bit code: wine's 32-bit loader runs them directly
#   emulated   it runs none (some virtual machines have no 32-bit code segment at all): they
#              run inside a full-system emulated machine (tools/emu/)
# VYX_X86_MODE=native|emulated overrides the check, e.g. to try the emulated way on a host that
# would not need it. The check runs a 96-byte 32-bit ELF program that only exits, with status 42.
set -eu
case "${VYX_X86_MODE:-}" in
    native|emulated) echo "$VYX_X86_MODE"; exit 0 ;;
    "") ;;
    *) echo "x86-mode: VYX_X86_MODE is native or emulated, not \"$VYX_X86_MODE\"" >&2; exit 2 ;;
esac
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
# ELF header, one loadable segment at 0x08048000, then: mov eax,1; mov ebx,42; int 0x80.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$probe"
printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$probe"
printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000' >>"$probe"
printf '\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010' >>"$probe"
printf '\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000' >>"$probe"
printf '\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' >>"$probe"
chmod +x "$probe"
status=0
"$probe" 2>/dev/null || status=$?
if [ "$status" = 42 ]; then echo native; else echo emulated; fi
