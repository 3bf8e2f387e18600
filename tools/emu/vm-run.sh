#!/bin/sh
# Runs one host command inside the emulated machine (full-system emulation of an x86-64 PC, where
# 32-bit code runs), as the caller would run it here: same user, current folder, environment,
# standard input, output and exit status. The machine boots for the command and powers off after
# it; it sees the host's files read-only under a scratch overlay, so nothing the command writes
# outside its output reaches the host.
#   vm-run.sh [--stream] -- COMMAND [ARGS...]
# --stream shows the command's output while it runs rather than when it ends (for long runs).
# VYX_EMU_DIR names the machine's folder (default: build/emu of this source tree; built on first
# use by build-machine.sh). VYX_EMU_ACCEL=kvm uses the host's KVM where it has one (default tcg,
# software emulation, which every host has). Interactive (terminal) input does not reach the
# machine: a command reading from a terminal reads an empty input.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
stream=0
while [ $# -gt 0 ]; do
    case "$1" in
        --stream) stream=1; shift ;;
        --) shift; break ;;
        *) echo "usage: vm-run.sh [--stream] -- COMMAND [ARGS...]" >&2; exit 2 ;;
    esac
done
[ $# -ge 1 ] || { echo "usage: vm-run.sh [--stream] -- COMMAND [ARGS...]" >&2; exit 2; }
. "$here/../wine/loaders.sh"
"$here/build-machine.sh" "$VYX_EMU_DIR" >&2
emu=$(cd "$VYX_EMU_DIR" && pwd)

mkdir -p "$emu/jobs"
job=$(mktemp -d "$emu/jobs/job.XXXXXX")
qemu_pid=""
stop_machine() {
    [ -n "$qemu_pid" ] && kill "$qemu_pid" 2>/dev/null || true
}
trap 'stop_machine; rm -rf "$job"' EXIT
trap 'exit 130' INT TERM

quote() {
    printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"
}
# The command as the machine runs it: this environment (but for what names this host's own
# session), this folder, these arguments, with its output into the share.
{
    env -u XDG_RUNTIME_DIR -u DBUS_SESSION_BUS_ADDRESS -u PWD -u OLDPWD sh -c 'export -p'
    # The machine runs 32-bit code: there x86 programs run natively.
    echo 'export VYX_X86_MODE=native'
    printf 'cd %s || exit 125\n' "$(quote "$(pwd)")"
    printf 'exec'
    for arg in "$@"; do
        printf ' %s' "$(quote "$arg")"
    done
    printf ' </vyx-job/stdin >>/vyx-job/stdout 2>>/vyx-job/stderr\n'
} >"$job/job.sh"
echo "$(id -u) $(id -g)" >"$job/user"
if [ -t 0 ]; then
    : >"$job/stdin"
else
    cat >"$job/stdin"
fi
: >"$job/stdout"
: >"$job/stderr"

accel="${VYX_EMU_ACCEL:-tcg}"
case "$accel" in
    tcg) accel_options="-accel tcg,thread=multi,tb-size=512" ;;
    kvm) accel_options="-accel kvm" ;;
    *) echo "vm-run: VYX_EMU_ACCEL is tcg or kvm, not \"$accel\"" >&2; exit 2 ;;
esac
x86_layer=""
[ -d "$emu/x86-layer" ] && [ ! -x /usr/lib/wine/wine ] &&
    x86_layer="-virtfs local,path=$emu/x86-layer,mount_tag=x86layer,security_model=none,readonly=on"
# Without -smap wine dies in kernel oopses under TCG; -cpu max gives the guest every feature
# that TCG emulates.
# shellcheck disable=SC2086
qemu-system-x86_64 $accel_options -cpu max,-smap -smp "${VYX_EMU_CPUS:-2}" -m "${VYX_EMU_MEMORY:-4G}" \
    -nodefaults -no-user-config -display none -monitor none -nic none -no-reboot \
    -serial "file:$job/console.log" \
    -kernel "$emu/vmlinuz" -initrd "$emu/initrd.img" \
    -append "console=ttyS0 quiet loglevel=3 panic=-1 rdinit=/init" \
    -virtfs "local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap" \
    -virtfs "local,path=$job,mount_tag=job,security_model=none" \
    $x86_layer </dev/null >"$job/qemu.log" 2>&1 &
qemu_pid=$!

if [ "$stream" = 1 ]; then
    tail -n +1 -f --pid="$qemu_pid" "$job/stdout" &
    tail -n +1 -f --pid="$qemu_pid" "$job/stderr" >&2 &
fi
qemu_status=0
wait "$qemu_pid" || qemu_status=$?
qemu_pid=""
if [ "$stream" = 1 ]; then
    wait
else
    cat "$job/stdout"
    cat "$job/stderr" >&2
fi
if [ ! -f "$job/status" ]; then
    echo "vm-run: the emulated machine stopped without finishing the command (qemu status $qemu_status):" >&2
    tail -n 20 "$job/qemu.log" "$job/console.log" "$job/init.log" 2>/dev/null >&2 || true
    exit 125
fi
exit "$(cat "$job/status")"
