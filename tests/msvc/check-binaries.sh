#!/bin/sh
# What a build folder's binaries are, read from their files without running any, so that it holds
# on a host that cannot run them too: every program and module is of the folder's machine;
# VYXBIDI.dll exports exactly the plain names of its export list and imports only KERNEL32 and
# the C runtime (msvcrt; on ARM64 the UCRT, ucrtbase and its api-ms-win-crt-* sets); the
# shipped query modules export exactly the names of theirs; and the MSVC-ABI caller, linked at
# build time against VYXBIDI.lib (with /safeseh on x86, where the library's members carry the
# decorated __stdcall names), imports from VYXBIDI.dll exactly those plain names.
#   check-binaries.sh <x86|x64|arm64> <bin folder> <export list (.def)> <modules' export list>
#                                                                       (READOBJ: llvm-readobj)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
arch=$1 bin=$2 def=$3 module_def=$4
readobj=${READOBJ:-llvm-readobj}
status=0
fail() { echo "check-binaries: $*"; status=1; }

names() { sed -n 's/^[ \t][ \t]*\([A-Za-z_][A-Za-z0-9_]*\)[ \t]*$/\1/p' "$1" | LC_ALL=C sort; }
exported() { "$readobj" --coff-exports "$1" | sed -n 's/^  Name: //p' | LC_ALL=C sort; }
exports=$(names "$def")
[ "$(echo "$exports" | wc -l)" = 24 ] || fail "$def lists $(echo "$exports" | wc -l) exports, not 24"
module_exports=$(names "$module_def")
[ "$(echo "$module_exports" | wc -l)" = 31 ] ||
    fail "$module_def lists $(echo "$module_exports" | wc -l) exports, not 31"

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
[ "$(exported "$dll")" = "$exports" ] ||
    fail "VYXBIDI.dll exports differ from $def: $(exported "$dll" | tr '\n' ' ')"
for library in $("$readobj" --coff-imports "$dll" | sed -n 's/^  Name: //p'); do
    case "$arch $(echo "$library" | tr 'A-Z' 'a-z')" in
        *" kernel32.dll" | x86" msvcrt.dll" | x64" msvcrt.dll") ;;
        arm64" ucrtbase.dll" | arm64" api-ms-win-crt-"*) ;;
        *) fail "VYXBIDI.dll imports $library" ;;
    esac
done
for module in VYXBIDI.SNM ipp/VYXBIDI.SNM snmp/VYXBIDI.SNM; do
    [ ! -f "$bin/$module" ] || [ "$(exported "$bin/$module")" = "$module_exports" ] ||
        fail "$module exports differ from $module_def: $(exported "$bin/$module" | tr '\n' ' ')"
done

caller="$bin/msvc_caller.exe"
[ "$(imports_of "$caller" VYXBIDI.dll)" = "$exports" ] ||
    fail "msvc_caller.exe, linked against VYXBIDI.lib, imports other names from VYXBIDI.dll"

[ "$status" = 0 ] && echo "check-binaries: the $arch binaries in $bin are what they should be"
exit "$status"
