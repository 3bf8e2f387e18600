#!/bin/sh
# The IPP module's test peers: for each ANSI code page the tests run in, ippeveprinter serving
# each printer file (and a second colour printer whose levels the tests change), plus the
# hostile printer (tests/modules/hostile_printer.py: its HTTP side, a port where connecting
# hangs and one that answers a byte at a time, and its TLS side); all on free loopback ports, with
# a private D-Bus system bus that ippeveprinter needs even without DNS-SD. For the certificate
# and password tests, each code page also has a printer with a key folder of its own (holding a
# second key pair the tests put in place), and, where this user may write /etc/pam.d (root), one
# that asks for the user and password of test-secrets.txt through a PAM service of its own
# (pam_exec of pam_check.sh), written here and removed at the stop.
#
#   peers.sh start DIR     starts them; DIR/ports.txt then holds NAME=PORT lines, DIR/pids the
#                          processes, DIR/ssl the printers' self-signed certificate
#   peers.sh stop DIR      stops every process in DIR/pids, by PID
#
# A watchdog stops them all when the process that ran `start` (ctest, or make) goes away, so an
# interrupted run leaves nothing behind; it only ever stops the processes of its own start.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
command=$1
dir=$2

stop_peers() {
    [ -f "$dir/pids" ] || return 0
    pids=$(cat "$dir/pids")
    for pid in $pids; do kill -TERM "$pid" 2>/dev/null || true; done
    for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30; do
        alive=""
        for pid in $pids; do kill -0 "$pid" 2>/dev/null && alive="$alive $pid"; done
        [ -z "$alive" ] && break
        sleep 0.1
    done
    for pid in $pids; do kill -KILL "$pid" 2>/dev/null || true; done
    [ -f "$dir/bus-folder" ] && rm -rf "$(cat "$dir/bus-folder")"
    [ -f "$dir/pam-service" ] && rm -f "/etc/pam.d/$(cat "$dir/pam-service")"
    rm -f "$dir/pids" "$dir/ports.txt" "$dir/bus-folder" "$dir/pam-service"
}

new_key_pair() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj /CN=localhost \
        -addext "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1" \
        -keyout "$1.key" -out "$1.crt" >/dev/null 2>&1
}

# A key pair whose certificate is signed by a test CA of its own (ca.crt beside it), which a test
# adds to the trusted roots for as long as it needs a certificate that validates.
new_signed_key_pair() {
    folder=$(dirname "$1")
    openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=VYXBIDI test CA" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
        -keyout "$folder/ca.key" -out "$folder/ca.crt" >/dev/null 2>&1
    openssl req -new -newkey rsa:2048 -nodes -subj /CN=localhost \
        -keyout "$1.key" -out "$1.csr" >/dev/null 2>&1
    printf 'subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1\nextendedKeyUsage=serverAuth\n' \
        >"$1.ext"
    openssl x509 -req -in "$1.csr" -CA "$folder/ca.crt" -CAkey "$folder/ca.key" \
        -CAcreateserial -days 30 -extfile "$1.ext" -out "$1.crt" >/dev/null 2>&1
    rm -f "$folder/ca.key" "$folder/ca.srl" "$1.csr" "$1.ext"
}

# The PAM service of the password printers, named after DIR so that two runs do not share it;
# none (and no such printers) where /etc/pam.d is not writable.
write_pam_service() {
    [ -w /etc/pam.d ] || return 0
    service="vyxbidi-test-$(printf '%s' "$dir" | cksum | cut -d' ' -f1)"
    printf 'auth required pam_exec.so expose_authtok quiet /bin/sh %s %s\naccount required pam_permit.so\n' \
        "$here/pam_check.sh" "$here/test-secrets.txt" >"/etc/pam.d/$service"
    echo "$service" >"$dir/pam-service"
}

free_ports() {
    /usr/bin/python3 -c '
import socket, sys
held = []
for _ in range(int(sys.argv[1])):
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    held.append(s)
print(" ".join(str(s.getsockname()[1]) for s in held))
' "$1"
}

# Waits until PORT accepts, at most 10 s, or until process PID (if given) has ended.
wait_for_port() {
    for _ in $(seq 100); do
        if [ -n "${2:-}" ] && ! kill -0 "$2" 2>/dev/null; then
            return 1
        fi
        if /usr/bin/python3 -c 'import socket, sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), 0.2).close()' "$1" 2>/dev/null; then
            return 0
        fi
        sleep 0.1
    done
    echo "peers.sh: nothing answers on port $1" >&2
    return 1
}

# ippeveprinter for printer file NAME (colour and live: the colour MFP's file) and code page CP on
# PORT; a second try when it does not come up.
start_printer() {
    case "$1" in
        colour | live | auth | trust) file=colour-mfp ;;
        *) file=$1 ;;
    esac
    keys="$dir/ssl"
    extra=""
    case "$1" in
        trust) keys="$dir/ssl-trust-$2" ;;
        auth) extra="-A --pam-service $(cat "$dir/pam-service")" ;;
    esac
    mkdir -p "$dir/spool-$1-$2"
    for try in 1 2; do
        # shellcheck disable=SC2086 # $extra is two options or none
        setsid ippeveprinter $extra -r off -n localhost -p "$3" -d "$dir/spool-$1-$2" -K "$keys" \
            -a "$here/printers/$file.attr" "$1-$2" </dev/null >"$dir/$1-$2.log" 2>&1 &
        echo $! >>"$dir/pids"
        if wait_for_port "$3" "$!"; then
            echo "$1.$2=$3" >>"$dir/ports.txt"
            return 0
        fi
    done
    return 1
}

start_peers() {
    stop_peers
    rm -rf "$dir"
    mkdir -p "$dir/home" "$dir/tmp" "$dir/ssl"
    cp "$here/test-secrets.txt" "$dir/test-secrets.txt"  # where the tests under wine read it
    : >"$dir/pids"
    : >"$dir/ports.txt"
    owner=$PPID

    # ippeveprinter looks for <hostname>.crt and .key in its key folder.
    new_key_pair "$dir/ssl/localhost"
    # Two key pairs for the hostile printer's TLS side (and a third signed by a test CA), and for
    # each code page's trust printer, whose folder shows the first until a test puts the second
    # in place.
    mkdir -p "$dir/ssl-hostile"
    new_key_pair "$dir/ssl-hostile/one"
    new_key_pair "$dir/ssl-hostile/two"
    new_signed_key_pair "$dir/ssl-hostile/three"
    for cp in 1252 932; do
        mkdir -p "$dir/ssl-trust-$cp"
        new_key_pair "$dir/ssl-trust-$cp/one"
        new_key_pair "$dir/ssl-trust-$cp/two"
        cp "$dir/ssl-trust-$cp/one.crt" "$dir/ssl-trust-$cp/localhost.crt"
        cp "$dir/ssl-trust-$cp/one.key" "$dir/ssl-trust-$cp/localhost.key"
    done
    write_pam_service

    # A socket's path holds at most 107 bytes, and DIR lies inside a clone that may be deeper
    # than that: the bus listens in a short folder of its own, removed at the stop.
    bus=$(mktemp -d /tmp/vyx-bus.XXXXXX)
    echo "$bus" >"$dir/bus-folder"

    cat >"$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$bus/socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/></policy>
</busconfig>
CONF
    dbus-daemon --config-file="$dir/bus.conf" --fork --print-pid >>"$dir/pids"
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$bus/socket" HOME="$dir/home" TMPDIR="$dir/tmp"

    set -- $(free_ports 22)
    bad=$1 closed=$2 stalled=$3 dribble=$4 tls1252=$5 tls932=$6
    shift 6
    printers="colour mono live inkjet older-laser office-laser trust"
    [ -f "$dir/pam-service" ] && printers="$printers auth"
    # One at a time: several ippeveprinters meeting a bus without avahi at the same moment
    # sometimes fail to start.
    for cp in 1252 932; do
        for printer in $printers; do
            start_printer "$printer" "$cp" "$1" || { stop_peers; exit 1; }
            shift
        done
    done
    setsid /usr/bin/python3 "$here/../hostile_printer.py" --http-port "$bad" \
        --stalled-port "$stalled" --dribble-port "$dribble" --tls-ports "$tls1252,$tls932" \
        --tls-folder "$dir/ssl-hostile" --secrets "$here/test-secrets.txt" --parent "$owner" \
        </dev/null >"$dir/bad.log" 2>&1 &
    echo $! >>"$dir/pids"
    printf 'bad=%s\nclosed=%s\nstalled=%s\ndribble=%s\ntls.1252=%s\ntls.932=%s\n' "$bad" \
        "$closed" "$stalled" "$dribble" "$tls1252" "$tls932" >>"$dir/ports.txt"

    # The watchdog: when the owner ends (or after two hours), it stops the processes of this
    # start, by PID, and removes its PAM service; a normal stop ends the watchdog with them.
    pam_file=""
    [ -f "$dir/pam-service" ] && pam_file="/etc/pam.d/$(cat "$dir/pam-service")"
    setsid sh -c '
        end=$(( $(date +%s) + 7200 ))
        while kill -0 "$1" 2>/dev/null && [ "$(date +%s)" -lt "$end" ]; do sleep 1; done
        kill -TERM $2 2>/dev/null; sleep 2; kill -KILL $2 2>/dev/null; rm -rf "$3"
        [ -z "$4" ] || rm -f "$4"' \
        watchdog "$owner" "$(cat "$dir/pids")" "$bus" "$pam_file" </dev/null >/dev/null 2>&1 &
    echo $! >>"$dir/pids"

    wait_for_port "$bad" || { stop_peers; exit 1; }
    wait_for_port "$tls1252" || { stop_peers; exit 1; }
}

case "$command" in
    start) start_peers ;;
    stop) stop_peers ;;
    *) echo "usage: peers.sh start|stop DIR" >&2; exit 2 ;;
esac
