#!/bin/sh
# Makes the release zip from the three build folders into a scratch folder and checks what a user
# unpacks: exactly the expected files, every binary of its folder's machine type importing only
# DLLs that Windows has, and each architecture's bidiprobe reading the simulated printer from the
# zip's own layout, as its README tells.
#   check-dist.sh <source dir> <x86 build> <x64 build> <arm64 build> <scratch folder> <version>
# The scratch folder lies inside the x64 build tree, which its wine prefix sees as drive X:; the
# ARM64 folder runs from a copy in the ARM64 build tree, drive X: of the ARM64 prefix.
set -eu
source_dir=$1 x86_build=$2 x64_build=$3 arm64_build=$4 scratch=$5 version=$6
readobj=${READOBJ:-llvm-readobj}
rm -rf "$scratch"
mkdir -p "$scratch/out" "$scratch/unpacked"
"$source_dir/tools/dist/make-dist.sh" "$x86_build" "$x64_build" "$arm64_build" "$scratch/out" >/dev/null
status=0
fail() {
    echo "FAILED: $*"
    status=1
}

zips=$(ls "$scratch/out")
[ "$zips" = "vyxbidi-$version.zip" ] || fail "the output folder holds '$zips', not vyxbidi-$version.zip alone"
zip="$scratch/out/vyxbidi-$version.zip"

expected=$(
    {
        printf '%s\n' LICENSE README.md THIRD-PARTY-NOTICES.txt include/vyxbidi.h include/vyxquery.h
        for arch in x86 x64 arm64; do
            for file in VYXBIDI.dll VYXBIDI.lib libVYXBIDI.dll.a VYXBIDI.def bidiprobe.exe \
                        querymodules/sim/VYXBIDI.SNM querymodules/ipp/VYXBIDI.SNM \
                        querymodules/snmp/VYXBIDI.SNM; do
                echo "$arch/$file"
            done
        done
    } | LC_ALL=C sort
)
listed=$(cmake -E tar tf "$zip" | grep -v '/$' | LC_ALL=C sort)
if [ "$listed" != "$expected" ]; then
    fail "the zip's files differ from the expected ones (< expected, > in the zip):"
    printf '%s\n' "$expected" >"$scratch/expected.txt"
    printf '%s\n' "$listed" >"$scratch/listed.txt"
    diff "$scratch/expected.txt" "$scratch/listed.txt" | grep '^[<>]' || true
fi
(cd "$scratch/unpacked" && cmake -E tar xf "$zip")

# What Windows itself provides and the binaries may import: the kernel, the C runtime every
# Windows has, the HTTP and socket libraries of the network modules, the credential store and
# registry (advapi32), CNG (bcrypt) and the certificates WinHTTP hands out (crypt32). On ARM64
# the C runtime is the UCRT, part of Windows there: ucrtbase and its api-ms-win-crt-* sets.
system_dlls=" kernel32.dll msvcrt.dll winhttp.dll ws2_32.dll advapi32.dll bcrypt.dll crypt32.dll "
for arch in x86 x64 arm64; do
    case $arch in
        x86) machine=IMAGE_FILE_MACHINE_I386 ;;
        x64) machine=IMAGE_FILE_MACHINE_AMD64 ;;
        arm64) machine=IMAGE_FILE_MACHINE_ARM64 ;;
    esac
    for binary in $(cd "$scratch/unpacked" && find "$arch" -name '*.dll' -o -name '*.exe' -o -name '*.SNM' | LC_ALL=C sort); do
        path="$scratch/unpacked/$binary"
        "$readobj" --file-headers "$path" | grep -q "Machine: $machine " ||
            fail "$binary is not $machine"
        for dll in $("$readobj" --coff-imports "$path" | sed -n 's/^  Name: //p'); do
            lower=$(echo "$dll" | tr 'A-Z' 'a-z')
            case "$arch $lower" in
                *" "msvcrt.dll) [ "$arch" != arm64 ] || fail "$binary imports msvcrt.dll, not the UCRT" ;;
                arm64" "ucrtbase.dll | arm64" "api-ms-win-crt-*) ;;
                *) case "$system_dlls" in
                    *" $lower "*) ;;
                    *) fail "$binary imports $dll, which Windows does not have" ;;
                esac ;;
            esac
        done
    done
done

# bidiprobe from the zip, with the simulated printer placed by the caller's path.
arm64_copy="$arm64_build/dist-check"
for arch in x86 x64 arm64; do
    folder="$scratch/unpacked/$arch" tree=$x64_build
    if [ "$arch" = arm64 ]; then
        rm -rf "$arm64_copy" && mkdir -p "$arm64_copy" && cp -r "$folder" "$arm64_copy/"
        folder="$arm64_copy/arm64" tree=$(cd "$arm64_build" && pwd)
        export WINEPREFIX="$tree/wineprefix"
    fi
    relative=${folder#"$tree"/}
    caller="X:\\$(echo "$relative" | tr '/' '\\')\\querymodules\\sim\\VYXBIDI.dll"
    run_status=0
    report=$("$source_dir/tools/wine/run.sh" "$folder/bidiprobe.exe" --caller "$caller" features 2>&1) ||
        run_status=$?
    if [ "$run_status" = 125 ] && [ "$arch" = arm64 ]; then
        echo "check-dist: arm64/bidiprobe.exe not run: $(echo "$report" | tail -n 1)"
    elif [ "$run_status" != 0 ]; then
        fail "$arch/bidiprobe.exe features against the zip's simulated printer:"
        echo "$report" | tail -n 20
    elif ! echo "$report" | grep -q '"ColorMode"'; then
        fail "$arch/bidiprobe.exe did not list the simulated printer's features:"
        echo "$report" | tail -n 20
    fi
done

[ "$status" = 0 ] && echo "check-dist: vyxbidi-$version.zip holds what it should" &&
    rm -rf "$scratch" "$arm64_copy"
exit "$status"
