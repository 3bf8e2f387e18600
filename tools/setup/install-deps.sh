#!/bin/sh
# Installs the cross toolchain, wine and the test libraries from Debian's packages.
# Does nothing when everything is already present; uses sudo when not run as root.
set -eu

# Both architectures: the i686 and x86-64 cross compilers, 32-bit wine and wine64 (a win64 prefix
# runs both kinds of program). clang with its sanitizer and libFuzzer runtimes builds the portable
# codecs natively, and with lld and llvm's dlltool makes and checks the import libraries and the
# header for Visual Studio's ABI; the IPP and SNMP servers and clients are the real peers of the
# network tests; python3 runs the misbehaving IPP printer and SNMP agents, openssl makes the test
# printers' self-signed certificate.
packages="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools cmake make googletest
    nlohmann-json3-dev wine wine32:i386 wine64 locales clang libclang-rt-14-dev llvm lld
    cups-ipp-utils dbus snmpsim snmp python3 openssl"

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
    need_locale=1
else
    need_locale=0
fi
[ -z "$missing" ] && [ "$need_locale" = 0 ] && exit 0

if [ "$(id -u)" = 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

if [ -n "$missing" ]; then
    echo "installing:$missing"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    # A mirror caught mid-sync fails the update for a while (an index whose size disagrees with
    # its release file); try again a few times before giving up.
    attempt=1
    until $sudo apt-get update -q && $sudo apt-get install -y -q --no-install-recommends $missing; do
        if [ "$attempt" -ge 4 ]; then
            echo "install-deps: apt-get failed $attempt times; giving up" >&2
            exit 1
        fi
        echo "install-deps: apt-get failed (attempt $attempt); trying again in 30 s" >&2
        sleep 30
        attempt=$((attempt + 1))
    done
fi

if [ "$need_locale" = 1 ]; then
    # Wine takes the ANSI code page from the locale; ja_JP.UTF-8 gives code page 932.
    $sudo sh -c 'grep -q "^ja_JP.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null || echo "ja_JP.UTF-8 UTF-8" >> /etc/locale.gen'
    $sudo locale-gen
fi
