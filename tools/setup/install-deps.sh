#!/bin/sh
# Installs the cross toolchain, wine and the test libraries from Debian's packages.
# Does nothing when everything is already present; uses sudo when not run as root.
set -eu
here=$(cd "$(dirname "$0")" && pwd)

# Both architectures: the i686 and x86-64 cross compilers and wine64 (a win64 prefix runs both
# kinds of program). clang with its sanitizer and libFuzzer runtimes builds the portable codecs
# natively, and with lld and llvm's dlltool makes and checks the import libraries and the header
# for Visual Studio's ABI; libssl-dev gives the native tests a second implementation of the
# SNMPv3 ciphers; the IPP and SNMP servers and clients are the real peers of the network tests;
# python3 runs the misbehaving IPP printer and SNMP agents, openssl makes the test printers'
# self-signed certificates.
packages="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools cmake make googletest
    nlohmann-json3-dev wine wine64 locales clang libclang-rt-14-dev llvm lld libssl-dev
    cups-ipp-utils dbus snmpsim snmp python3 openssl"

# ARM64: Zig, the toolchain, comes pinned from the npm registry (tools/arm64/toolchain.sh, with
# npm where the host has none); Debian 13's arm64 wine, downloaded into the build folder with
# Debian's archive key (tools/arm64/wine.sh), runs under qemu-user-static; python3-pefile cuts
# the ARM64 images' export tables back to their .def (tools/arm64/keep-exports.py).
packages="$packages qemu-user-static python3-pefile debian-archive-keyring"
command -v npm >/dev/null || packages="$packages npm"

# x86 programs: where the host runs 32-bit code, wine's 32-bit loader. Where it does not, that
# loader could not start and would only make Debian's wine wrappers pick it for every program;
# the x86 programs run in an emulated machine instead (tools/emu/), built from these packages and
# from Debian packages that tools/emu/build-machine.sh downloads into the build folder, never
# installed. VYX_EMULATOR=1 adds the emulator on any host (make test-x86-emulated).
emulator="qemu-system-x86 busybox-static cpio"
case "$("$here/../host/x86-mode.sh")" in
    native) packages="$packages wine32:i386" ;;
    emulated) packages="$packages $emulator" ;;
esac
[ "${VYX_EMULATOR:-0}" = 1 ] && packages="$packages $emulator"

# One query for every package: it runs before each `make run`.
# shellcheck disable=SC2086
native_arch=$(dpkg --print-architecture)
installed=$(dpkg-query -W -f='${binary:Package} ${Status}\n' $packages 2>/dev/null |
    sed -n "s/:$native_arch / /; s/ install ok installed\$//p")
missing=""
for p in $packages; do
    case "
$installed
" in
        *"
$p
"*) ;;
        *) missing="$missing $p" ;;
    esac
done
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
    need_locale=1
else
    need_locale=0
fi
[ -z "$missing" ] && [ "$need_locale" = 0 ] && exit 0

if [ "$(id -u)" = 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# A mirror caught mid-sync serves an index whose size disagrees with its release file, for hours
# at times. apt-get update then fails, yet every other index is fresh: name the ones that failed
# and go on with them left out.
update_indexes() {
    log=$(mktemp)
    if $sudo apt-get update -q >"$log" 2>&1; then
        rm -f "$log"
        return 0
    fi
    failed=$(sed -n 's/^E: Failed to fetch \([^ ]*\).*/\1/p' "$log")
    if [ -n "$failed" ]; then
        echo "install-deps: these package indexes failed to load and are left out:" >&2
        echo "$failed" | sed 's/^/    /' >&2
    else
        cat "$log" >&2
        echo "install-deps: apt-get update failed; going on with the indexes it has" >&2
    fi
    rm -f "$log"
}

# With an index left out, the newest versions that the others list may need packages only it
# lists (wine from the security suite wants the security versions of its i386 libraries): then
# the release's own versions, which its main index lists in full, are taken instead.
install_packages() {
    $sudo apt-get install -y -q --no-install-recommends "$@" && return 0
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    if [ -n "$codename" ]; then
        echo "install-deps: the install failed; trying the release's own versions (-t $codename)" >&2
        $sudo apt-get install -y -q --no-install-recommends -t "$codename" "$@" && return 0
    fi
    echo "install-deps: could not install the packages. Once the mirror is whole again, run:" >&2
    echo "    ${sudo:+sudo }apt-get update && ${sudo:+sudo }apt-get install --no-install-recommends$missing" >&2
    exit 1
}

if [ -n "$missing" ]; then
    echo "installing:$missing"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    update_indexes
    # shellcheck disable=SC2086
    install_packages $missing
fi

if [ "$need_locale" = 1 ]; then
    # Wine takes the ANSI code page from the locale; ja_JP.UTF-8 gives code page 932.
    $sudo sh -c 'grep -q "^ja_JP.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null || echo "ja_JP.UTF-8 UTF-8" >> /etc/locale.gen'
    $sudo locale-gen
fi
