#!/bin/sh
# The runner of ARM64 Windows programs, into a folder of the build tree (never installed): Debian
# 13's arm64 wine, pinned, downloaded from Debian's archive through a private apt configuration
# and unpacked with the few libraries it links, run by Debian's qemu-user-static (qemu-aarch64).
# Debian 12's own arm64 wine 8 is no way: its ucrtbase crashes on any va_list a program hands it.
#   wine.sh FOLDER     (does nothing when FOLDER/wine already holds this runner)
# Leaves FOLDER/wine/root, whose usr/lib/wine/wine64-preloader runs the 64-bit loader under
# emulation (`wine64-preloader <root>/usr/lib/wine/wine64 PROGRAM`). Fails, saying why on its
# last line, when the runner cannot be had or this host cannot run it.
set -eu
[ $# -eq 1 ] || { echo "usage: wine.sh FOLDER" >&2; exit 2; }
suite=trixie
keyring=/usr/share/keyrings/debian-archive-trixie-stable.gpg
wine_version=10.0~repack-6
# The C runtime and libgcc that wine's loader, server and unix libraries link, and GnuTLS with
# what it links, which wine's bcrypt and secur32 open for ciphers and TLS (nothing else: the rest
# they open only for graphics, sound and devices). A newer point release of Debian 13 may have
# replaced these versions in the archive; then its current ones are taken, and said.
runtime="libc6=2.41-12+deb13u5 libgcc-s1=14.2.0-19 libgnutls30t64=3.8.9-3+deb13u4
    libffi8=3.4.8-2 libgmp10=2:6.3.0+dfsg-3 libhogweed6t64=3.10.1-1 libidn2-0=2.3.8-2
    libnettle8t64=3.10.1-1 libp11-kit0=0.25.5-3 libtasn1-6=4.20.0-2+deb13u1 libunistring5=1.3-2"
mkdir -p "$1"
tools=$(cd "$1" && pwd)
wine="$tools/wine"
fail() { echo "arm64 wine: $*" >&2; exit 1; }
stamp="$wine_version $runtime $(sha256sum "$0" | cut -c1-16)"
[ "$(cat "$wine/.ready" 2>/dev/null)" = "$stamp" ] && exit 0
exec 7>"$tools/.wine.lock"
flock 7
[ "$(cat "$wine/.ready" 2>/dev/null)" = "$stamp" ] && exit 0
for tool in qemu-aarch64-static apt-get dpkg-deb; do
    command -v "$tool" >/dev/null || fail "$tool is missing; run tools/setup/install-deps.sh"
done
[ -f "$keyring" ] || fail "$keyring is missing (debian-archive-keyring)"

# apt, told to know Debian 13's arm64 packages only and to keep everything in this folder.
apt="$tools/apt"
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/debs"
echo "deb [arch=arm64 signed-by=$keyring] http://deb.debian.org/debian $suite main" >"$apt/sources.list"
set -- -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null \
    -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts=/dev/null \
    -o Dir::State="$apt" -o Dir::State::Lists="$apt/lists" -o Dir::State::status=/dev/null \
    -o Dir::Cache="$apt/cache" -o APT::Architecture=arm64 -o APT::Architectures=arm64 \
    -o APT::Sandbox::User=root -q
apt-get "$@" update >"$apt/update.log" 2>&1 || fail "apt-get update of Debian 13 failed ($apt/update.log)"
packages="wine64=$wine_version libwine=$wine_version"
for pin in $runtime; do
    if [ -z "$(apt-cache "$@" show "$pin" 2>/dev/null)" ]; then
        current=$(apt-cache "$@" policy "${pin%%=*}" | sed -n 's/^  Candidate: //p')
        echo "arm64 wine: Debian 13 no longer has $pin; taking ${pin%%=*}=$current" >&2
        pin="${pin%%=*}=$current"
    fi
    packages="$packages $pin"
done
# shellcheck disable=SC2086
(cd "$apt/debs" && rm -f ./*.deb && apt-get "$@" download $packages >"$apt/download.log" 2>&1) ||
    fail "could not download $packages from Debian 13 ($apt/download.log)"

rm -rf "$wine"
mkdir -p "$wine/root"
for deb in "$apt"/debs/*.deb; do
    dpkg-deb -x "$deb" "$wine/root"
done
# The dynamic loader's path in the programs is /lib; Debian 13 keeps it in /usr/lib.
ln -s usr/lib "$wine/root/lib"
# Wine starts its server and its processes from the loader's folder: there, the server's name
# (Debian's script, which would pick the host's own server) and the preloader's (which arm64 wine
# lacks) run the arm64 binaries under emulation.
bin="$wine/root/usr/lib/wine"
for name in wineserver wine64-preloader; do
    case $name in
        wineserver) target='"$root/usr/lib/wine/wineserver64"' ;;
        *) target= ;;
    esac
    cat >"$bin/$name" <<SCRIPT
#!/bin/sh
root=\$(cd "\$(dirname "\$0")/../../.." && pwd)
QEMU_CPU=cortex-a72 exec qemu-aarch64-static -L "\$root" $target "\$@"
SCRIPT
    chmod +x "$bin/$name"
done
if ! version=$("$bin/wine64-preloader" "$bin/wine64" --version 2>&1); then
    fail "this host cannot run Debian 13's arm64 wine under qemu-aarch64-static: $(echo "$version" | tail -n 1)"
fi
echo "$stamp" >"$wine/.ready"
echo "arm64 wine: $version under qemu-aarch64-static in $wine" >&2
