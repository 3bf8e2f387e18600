#!/bin/sh
# Compiles the public headers in every language mode a caller or a module author may use, with
# warnings as errors: the folder's mingw gcc and g++, clang for the same mingw target, and clang
# for the MSVC ABI against the test-only windows.h (no Windows SDK). Each header is compiled on
# its own, so that each one is seen to bring what it needs. The mingw windows.h is taken lean, as
# this project and most drivers take it: its full form only costs parsing time here.
#   check-headers.sh x86|x64|arm64 <include dir> <test windows.h dir> <gcc> <g++> <clang> <mingw sysroot>
set -u
arch=$1 include=$2 testinclude=$3 gcc=$4 gxx=$5 clang=$6 sysroot=${7:-}
case "$arch" in
    x86) mingw=i686-w64-windows-gnu msvc=i686-pc-windows-msvc ;;
    x64) mingw=x86_64-w64-windows-gnu msvc=x86_64-pc-windows-msvc ;;
    # The folder's compilers are Zig's clang for the mingw target already.
    arm64) mingw="" msvc=aarch64-pc-windows-msvc ;;
    *) echo "check-headers: unknown architecture $arch" >&2; exit 2 ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#include <vyxbidi.h>\n' >"$work/caller.h.c"
printf '#include <vyxquery.h>\n' >"$work/query.h.c"
printf '#define VYXQUERY_DECLARE_ENTRY_POINTS\n#include <vyxquery.h>\n' >"$work/declared.h.c"

lean=-DWIN32_LEAN_AND_MEAN
warnings="-pedantic -Wall -Wextra -Werror -fsyntax-only"
checked=0 failed=0
# check <language> <standard> <compiler and its target options...>
check() {
    language=$1 standard=$2
    shift 2
    for source in "$work"/*.c; do
        checked=$((checked + 1))
        if ! output=$("$@" -x "$language" -std="$standard" $warnings -I"$include" "$source" 2>&1); then
            failed=$((failed + 1))
            echo "FAILED: $* -std=$standard $(basename "$source" .c)"
            echo "$output" | head -n 20
        fi
    done
}

for standard in c89 c99 c11 c17; do
    check c "$standard" "$gcc" $lean
    [ -z "$mingw" ] || check c "$standard" "$clang" --target="$mingw" --sysroot="$sysroot" $lean
    check c "$standard" "$clang" --target="$msvc" -nostdlibinc -I"$testinclude"
done
for standard in c++98 c++11 c++17 c++20; do
    check c++ "$standard" "$gxx" $lean
    [ -z "$mingw" ] || check c++ "$standard" "$clang" --target="$mingw" --sysroot="$sysroot" $lean
    check c++ "$standard" "$clang" --target="$msvc" -nostdlibinc -I"$testinclude"
done

echo "check-headers ($arch): $((checked - failed)) of $checked compilations clean"
[ "$failed" = 0 ]
