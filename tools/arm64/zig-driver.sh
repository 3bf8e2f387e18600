#!/bin/sh
# Zig's compiler driver, given the options this project's CMake description passes to the mingw
# gcc driver, less those Zig refuses and that mean nothing here: the stdcall fix-up (stdcall is
# x86's alone) and the static runtime switches (Zig links its runtimes statically anyway); and
# -fsyntax-only, on which Zig fails ("FileNotFound"), as a compile whose object is thrown away.
#   zig-driver.sh ZIG COMMAND [OPTIONS...]
zig=$1
shift
for arg do
    shift
    case $arg in
        -Wl,--enable-stdcall-fixup | -static-libgcc | -static-libstdc++) ;;
        -fsyntax-only) set -- "$@" -c -o /dev/null ;;
        *) set -- "$@" "$arg" ;;
    esac
done
exec "$zig" "$@"
