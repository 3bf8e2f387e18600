#!/bin/sh
# Builds the emulated machine that runs x86 programs on a host that runs no 32-bit code, into a
# folder of the build tree (never committed): Debian's own kernel, unpacked from its package, and
# an initramfs of busybox, the kernel's virtio, 9p and overlay modules and tools/emu/init. Where
# the host lacks wine's 32-bit half (set-up installs it only where the host can run it), the
# packages of wine32:i386 and of what it needs are downloaded and unpacked into an x86 layer,
# which the machine lays over the host's file system. Nothing is installed on the host.
#   build-machine.sh FOLDER        (does nothing when FOLDER already holds this machine)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 1 ] || { echo "usage: build-machine.sh FOLDER" >&2; exit 2; }
mkdir -p "$1"
emu=$(cd "$1" && pwd)
fail() { echo "build-machine: $*" >&2; exit 1; }

# The machine is rebuilt when its init or this script changes.
stamp=$(cat "$here/init" "$0" | sha256sum | cut -c1-16)
needs_x86_layer() { [ ! -x /usr/lib/wine/wine ]; }
ready() {
    [ "$(cat "$emu/.ready" 2>/dev/null)" = "$stamp" ] &&
        { ! needs_x86_layer || [ -x "$emu/x86-layer/usr/lib/wine/wine" ]; }
}
ready && exit 0
exec 9>"$emu/.lock"
flock 9
ready && exit 0

# busybox-static's /bin/busybox: the initramfs has no libraries for a dynamic one.
busybox=/bin/busybox
for tool in qemu-system-x86_64 $busybox cpio dpkg-deb apt-get; do
    command -v "$tool" >/dev/null || fail "$tool is missing; run tools/setup/install-deps.sh"
done

work=$(mktemp -d "$emu/.work.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$emu/debs"

# download PACKAGE...: into debs/, each once.
download() {
    (cd "$emu/debs" && apt-get download "$@" 2>&1 | grep -v 'unsandboxed' >&2) ||
        fail "could not download $*"
}

# ---- Kernel and initramfs -------------------------------------------------------------------
kernel_package=$(apt-cache depends linux-image-amd64 2>/dev/null |
    sed -n 's/^  Depends: \(linux-image-[0-9].*-amd64\)$/\1/p' | head -n 1)
[ -n "$kernel_package" ] || fail "apt knows no linux-image-amd64; run apt-get update"
ls "$emu/debs/${kernel_package}_"*.deb >/dev/null 2>&1 || download "$kernel_package"
dpkg-deb -x "$(ls "$emu/debs/${kernel_package}_"*.deb | tail -n 1)" "$work/kernel"
cp "$work/kernel/boot/vmlinuz-"* "$emu/vmlinuz.new"

initramfs="$work/initramfs"
mkdir -p "$initramfs/bin" "$initramfs/modules" "$initramfs/proc" "$initramfs/sys" \
    "$initramfs/dev" "$initramfs/job"
cp "$busybox" "$initramfs/bin/busybox"
cp "$here/init" "$initramfs/init"
for module in virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci \
              netfs fscache 9pnet 9pnet_virtio 9p overlay; do
    found=$(find "$work/kernel/lib/modules" -name "$module.ko" | head -n 1)
    [ -n "$found" ] || fail "the kernel package has no $module.ko"
    cp "$found" "$initramfs/modules/"
done
(cd "$initramfs" && find . | cpio -o -H newc --quiet | gzip -1) >"$emu/initrd.img.new"

# ---- The x86 layer, where the host has no 32-bit wine ---------------------------------------
if needs_x86_layer; then
    # Every i386 package wine32 needs, alternatives included: a little more than a resolver
    # would pick, and no resolver to trip over the host's own package state.
    packages=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
        --no-breaks --no-replaces --no-enhances wine32:i386 2>/dev/null | grep -E '^[a-z0-9].*:i386$' | sort -u)
    [ -n "$packages" ] || fail "apt knows no wine32:i386; run tools/setup/install-deps.sh"
    missing=""
    for p in $packages; do
        ls "$emu/debs/${p%:i386}_"*_i386.deb >/dev/null 2>&1 || missing="$missing $p"
    done
    # shellcheck disable=SC2086
    [ -z "$missing" ] || download $missing
    mkdir -p "$work/i386"
    for deb in "$emu"/debs/*_i386.deb; do
        dpkg-deb -x "$deb" "$work/i386"
    done
    # Only what is the i386 half's own: its libraries, its dynamic loader and wine's 32-bit
    # loader and server. Laid over the host's merged /usr, so /lib becomes usr/lib.
    layer="$work/x86-layer"
    mkdir -p "$layer/usr/lib/i386-linux-gnu" "$layer/usr/lib/wine"
    for from in "$work/i386/lib/i386-linux-gnu" "$work/i386/usr/lib/i386-linux-gnu"; do
        [ -d "$from" ] && cp -a "$from/." "$layer/usr/lib/i386-linux-gnu/"
    done
    cp -a "$work/i386/lib/ld-linux.so.2" "$layer/usr/lib/"
    cp -a "$work/i386/usr/lib/wine/wine" "$work/i386/usr/lib/wine/wineserver32" "$layer/usr/lib/wine/"
    rm -rf "$emu/x86-layer"
    mv "$layer" "$emu/x86-layer"
fi

mv "$emu/vmlinuz.new" "$emu/vmlinuz"
mv "$emu/initrd.img.new" "$emu/initrd.img"
echo "$stamp" >"$emu/.ready"
echo "build-machine: the emulated machine is ready in $emu ($kernel_package)"
