#!/bin/sh
# Lays out the release zip from the three build folders and leaves it, alone, in the output folder:
# per architecture the DLL, its import libraries and export list, bidiprobe and the query modules
# in folders of their own; once the headers, the zip's README and the licences. Binaries are
# copied without their debugging information.
#   make-dist.sh <x86 build folder> <x64 build folder> <arm64 build folder> <output folder>
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
[ $# -eq 4 ] || { echo "usage: make-dist.sh <x86 build> <x64 build> <arm64 build> <output folder>" >&2; exit 2; }
out_dir=$4

cached() { # cached <build folder> <cache variable>
    sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"
}

version=""
for build in "$1" "$2" "$3"; do
    [ -f "$build/CMakeCache.txt" ] || { echo "make-dist: $build is no configured build folder" >&2; exit 1; }
    v=$(cached "$build" CMAKE_PROJECT_VERSION)
    if [ -n "$version" ] && [ "$v" != "$version" ]; then
        echo "make-dist: the build folders hold versions $version and $v" >&2
        exit 1
    fi
    version=$v
done
name="vyxbidi-$version"

mkdir -p "$out_dir"
out=$(cd "$out_dir" && pwd)
work=$(mktemp -d "$out/.work.XXXXXX")
trap 'rm -rf "$work"' EXIT
stage="$work/files"

# put <folder> <file in it> <place in the zip>
put() {
    if [ ! -f "$1/$2" ]; then
        echo "make-dist: $1/$2 is missing; build it first (make dist builds all it needs)" >&2
        exit 1
    fi
    mkdir -p "$(dirname "$stage/$3")"
    cp "$1/$2" "$stage/$3"
}

# put_binary <build folder> <file in it> <place in the zip>: without debugging information
put_binary() {
    put "$@"
    "$(cached "$1" CMAKE_STRIP)" "$stage/$3"
}

for pair in "x86 $1" "x64 $2" "arm64 $3"; do
    arch=${pair%% *} build=${pair#* }
    put_binary "$build" src/VYXBIDI.dll "$arch/VYXBIDI.dll"
    put "$build" src/VYXBIDI.lib "$arch/VYXBIDI.lib"
    put "$build" src/libVYXBIDI.dll.a "$arch/libVYXBIDI.dll.a"
    put "$source_dir" src/frame/vyxbidi.def "$arch/VYXBIDI.def"
    put_binary "$build" bin/bidiprobe.exe "$arch/bidiprobe.exe"
    put_binary "$build" bin/VYXBIDI.SNM "$arch/querymodules/sim/VYXBIDI.SNM"
    put_binary "$build" bin/ipp/VYXBIDI.SNM "$arch/querymodules/ipp/VYXBIDI.SNM"
    put_binary "$build" bin/snmp/VYXBIDI.SNM "$arch/querymodules/snmp/VYXBIDI.SNM"
done
put "$source_dir" include/vyxbidi.h include/vyxbidi.h
put "$source_dir" include/vyxquery.h include/vyxquery.h
put "$source_dir" tools/dist/README-dist.md README.md
sed -i "s/@VERSION@/$version/" "$stage/README.md"
put "$source_dir" LICENSE LICENSE
put "$source_dir" THIRD-PARTY-NOTICES.txt THIRD-PARTY-NOTICES.txt

# cmake writes the zip, so no zip program is needed.
(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort >"$work/files.list" &&
    cmake -E tar cf "$work/$name.zip" --format=zip --files-from="$work/files.list")
find "$out" -maxdepth 1 -name '*.zip' -delete
mv "$work/$name.zip" "$out/$name.zip"
echo "make-dist: $out/$name.zip"
