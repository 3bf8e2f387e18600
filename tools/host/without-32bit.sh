#!/bin/sh
# Runs a command as on a host that runs no 32-bit x86 code, on a host that does: the check that
# the project's way for such hosts really works, made by taking the ability away rather than by
# trusting the code not to use it. In a private mount namespace every 32-bit piece of wine and
# of the system is hidden (wine's 32-bit loader and server, the i386 library folders, every
# folder of wine's x86 DLLs, the 32-bit dynamic loader), wine's 64-bit loader is wrapped so that
# it ignores WINEDLLPATH folders of x86 DLLs (through which it would run them in-process), and
# VYX_X86_MODE=emulated tells the project what the real host's check would say. Nothing changes
# outside the namespace.
#   without-32bit.sh COMMAND [ARGS...]        (as root, or through sudo; util-linux's unshare)
# The processor still runs a static 32-bit program, which is why VYX_X86_MODE is set: nothing
# may decide by running one in here. The test wine_prefix_x86_half checks the outcome: wineboot
# in here leaves a prefix's syswow64 empty, as on the real host.
set -eu
[ $# -ge 1 ] || { echo "usage: without-32bit.sh COMMAND [ARGS...]" >&2; exit 2; }
if [ "${VYX_WITHOUT_32BIT_INSIDE:-}" != 1 ]; then
    if [ "$(id -u)" = 0 ]; then sudo=""; else sudo="sudo --preserve-env"; fi
    # What the command's set-up would install for such a host (the emulator) is installed here,
    # outside, with the host's own view: a package installed in there runs ldconfig, which sees
    # the hidden folders empty and would drop the 32-bit loader's link and its libraries from
    # the host's linker cache.
    VYX_X86_MODE=emulated $sudo "$(dirname "$0")/../setup/install-deps.sh"
    export VYX_WITHOUT_32BIT_INSIDE=1
    exec $sudo unshare --mount --propagation private -- "$0" "$@"
fi
unset VYX_WITHOUT_32BIT_INSIDE
scratch=$(mktemp -d /tmp/without-32bit.XXXXXX)
mount -t tmpfs tmpfs "$scratch"
mkdir -p "$scratch/empty" "$scratch/upper" "$scratch/work"
hide() {
    for path in "$@"; do
        if [ -d "$path" ]; then mount --bind "$scratch/empty" "$path"
        elif [ -e "$path" ]; then mount --bind /dev/null "$path"
        fi
    done
}
# ldconfig in here would rewrite the host's linker cache and links from the hidden view (see
# above); should the command install anything regardless, it does nothing.
printf '#!/bin/sh\nexit 0\n' >"$scratch/ldconfig"
chmod +x "$scratch/ldconfig"
for ldconfig in /usr/sbin/ldconfig /sbin/ldconfig; do
    [ -e "$ldconfig" ] && mount --bind "$scratch/ldconfig" "$ldconfig"
done
hide /usr/lib/i386-linux-gnu /lib/i386-linux-gnu /usr/lib32 /lib32 /lib/ld-linux.so.2 \
     /usr/lib/ld-linux.so.2
for dlls in /usr/lib/*/wine/i386-windows /usr/lib/*/wine/i386-unix /usr/lib/wine/i386-windows \
            /usr/lib/wine/i386-unix; do
    hide "$dlls"
done

# wine's own folder, seen through an overlay: the 32-bit loader and server gone, the 64-bit
# loader behind a wrapper beside it (the loader finds its libraries relative to itself).
if [ -x /usr/lib/wine/wine64 ]; then
    mount -t overlay overlay \
        -o "lowerdir=/usr/lib/wine,upperdir=$scratch/upper,workdir=$scratch/work" /usr/lib/wine
    rm -f /usr/lib/wine/wine /usr/lib/wine/wineserver32
    mv /usr/lib/wine/wine64 /usr/lib/wine/wine64.hidden-32bit
    cat >/usr/lib/wine/wine64 <<'WRAP'
#!/bin/sh
# without-32bit.sh: WINEDLLPATH keeps only the folders that hold no x86 DLLs
kept=""
old_ifs=$IFS; IFS=:
for entry in ${WINEDLLPATH:-}; do
    [ -d "$entry/i386-windows" ] || [ -d "$entry/i386-unix" ] || [ -e "$entry/ntdll.dll" ] && continue
    kept="${kept:+$kept:}$entry"
done
IFS=$old_ifs
if [ -n "$kept" ]; then export WINEDLLPATH="$kept"; else unset WINEDLLPATH; fi
exec /usr/lib/wine/wine64.hidden-32bit "$@"
WRAP
    chmod +x /usr/lib/wine/wine64
fi
# Debian's /usr/bin/wine picks the 32-bit loader by its presence; it is gone, so it picks wine64.
export VYX_X86_MODE=emulated
exec "$@"
