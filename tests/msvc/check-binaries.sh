#!/bin/sh
# What a build folder's binaries are, read from their files without running any, so that it holds
# on a host that cannot run them too: every program and module is of the folder's machine;
# VYXBIDI.dll exports exactly the plain names of its export list and imports only KERNEL32 and
# msvcrt; and the MSVC-ABI caller, linked at build time against VYXBIDI.lib (with /safeseh on
# x86, where the library's members carry the decorated __stdcall names), imports from VYXBIDI.dll
# exactly those plain names.
#   check-binaries.sh <x86|x64> <bin folder> <export list (.def)>      (READOBJ: llvm-readobj)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
arch=$1 bin=$2 def=$3
readobj=${READOBJ:-llvm-readobj}
status=0
fail() { echo "check-binaries: $*"; status=1; }

exports=$(sed -n 's/^[ \t][ \t]*\([A-Za-z_][A-Za-z0-9_]*\)[ \t]*$/\1/p' "$def" | LC_ALL=C sort)
[ "$(echo "$exports" | wc -l)" = 24 ] || fail "$def lists $(echo "$exports" | wc -l) exports, not 24"

# imports_of <binary> <dll>: the names <binary> imports from <dll>, sorted.
imports_of() {
    "$readobj" --coff-imports "$1" | awk -v dll="$2" '
        /^  Name: / { inside = (tolower($2) == tolower(dll)) }
        inside && /^  Symbol: / { print $2 }' | LC_ALL=C sort
}

# The build's own folders only: the tests leave scratch folders of their own in bin/ too.
for binary in $(cd "$bin" && find . qm ipp snmp reduced serve -maxdepth 1 \
                    \( -name '*.exe' -o -name '*.dll' -o -name '*.SNM' \) \
                    ! -name 'other_architecture.SNM' 2>/dev/null | LC_ALL=C sort -u); do
    machine=$("$here/../../tools/wine/pe-machine.sh" "$bin/$binary" || echo "no PE image")
    [ "$machine" = "$arch" ] || fail "$binary is $machine, not $arch"
done

dll="$bin/VYXBIDI.dll"
exported=$("$readobj" --coff-exports "$dll" | sed -n 's/^  Name: //p' | LC_ALL=C sort)
[ "$exported" = "$exports" ] ||
    fail "VYXBIDI.dll exports differ from $def: $(echo "$exported" | tr '\n' ' ')"
for library in $("$readobj" --coff-imports "$dll" | sed -n 's/^  Name: //p'); do
    case "$(echo "$library" | tr 'A-Z' 'a-z')" in
        kernel32.dll | msvcrt.dll) ;;
        *) fail "VYXBIDI.dll imports $library" ;;
    esac
done

caller="$bin/msvc_caller.exe"
[ "$(imports_of "$caller" VYXBIDI.dll)" = "$exports" ] ||
    fail "msvc_caller.exe, linked against VYXBIDI.lib, imports other names from VYXBIDI.dll"

[ "$status" = 0 ] && echo "check-binaries: the $arch binaries in $bin are what they should be"
exit "$status"
