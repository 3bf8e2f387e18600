#!/bin/sh
# The property-sheet benchmark: starts the local printers (ippeveprinter, snmpsimd) on free
# loopback ports, runs vyxnetbench under wine against them, times the native peers (ipptool for
# one Get-Printer-Attributes of the same attributes, snmpbulkwalk of the same tables, whose
# requests it also counts), then starts the impairment relay (relay.py) between the modules and
# the same printers and runs vyxnetbench's table of a slow, lossy network through it; stops the
# relay and the printers by PID. The SNMP printer is dumped over version 2c and over SNMPv3 at
# authPriv (a test user of tests/modules/snmp/v3-users.txt).
#   run-net-bench.sh BUILD_DIR [vyxnetbench options: both parts get them all]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
shift
state="$build/bench/net-peers"
community=colour-mfp
export WINEPREFIX="$build/wineprefix"

relay_pid=""
stop() {
    [ -z "$relay_pid" ] || kill "$relay_pid" 2>/dev/null || true
    rm -f "$build/bench/snmp-v3-users.txt"
    "$root/tests/modules/ipp/peers.sh" stop "$state/ipp" >/dev/null 2>&1 || true
    /usr/bin/python3 "$root/tests/modules/snmp/agents.py" stop "$state/snmp" >/dev/null 2>&1 || true
}
trap stop EXIT INT TERM
mkdir -p "$state"
"$root/tests/modules/ipp/peers.sh" start "$state/ipp"
/usr/bin/python3 "$root/tests/modules/snmp/agents.py" start "$state/snmp" \
    "$root/tests/modules/snmp/recordings" "$state/snmp-ports"
ipp_port=$(sed -n 's/^colour\.1252=//p' "$state/ipp/ports.txt")
snmp_port=$(sed -n 's/^snmpsim=//p' "$state/snmp-ports")

cd "$build/bench"
cp "$root/tests/modules/snmp/v3-users.txt" snmp-v3-users.txt
"$root/tools/wine/run.sh" ./vyxnetbench.exe --ipp "$ipp_port" --snmp "$snmp_port" \
    --community "$community" --v3-user vyx-sha-aes "$@" | tee "$state/report" |
    grep -v '^  REQUESTS='
queries=$("$root/tools/wine/run.sh" ./vyxnetbench.exe --peer-queries | tr -d '\r')
attributes=$(echo "$queries" | sed -n 's/^IPP_ATTRIBUTES=//p')
tables=$(echo "$queries" | sed -n 's/^SNMP_TABLES=//p')
# The version 2c dump's: the second of the three.
snmp_requests=$(sed -n 's/^  REQUESTS=//p' "$state/report" | sed -n 2p | tr -d '\r')

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# ipptool: 20 requests in one run, so that its start is shared out; the median of 5 runs.
uri="ipp://127.0.0.1:$ipp_port/ipp/print"
test_file="$state/get-printer-attributes.test"
: >"$test_file"
for _ in $(seq 20); do
    cat >>"$test_file" <<TEST
{
    NAME "Get-Printer-Attributes"
    OPERATION Get-Printer-Attributes
    GROUP operation-attributes-tag
    ATTR charset attributes-charset utf-8
    ATTR naturalLanguage attributes-natural-language en
    ATTR uri printer-uri \$uri
    ATTR name requesting-user-name vyxbidi
    ATTR keyword requested-attributes $attributes
    STATUS successful-ok
}
TEST
done
ipp_times=$(for _ in 1 2 3 4 5; do
    start=$(now)
    ipptool -q "$uri" "$test_file"
    echo $(( ($(now) - start) / 20 ))
done | median)

# snmpbulkwalk (its default -Cr10) of each table once: the requests it sends, and the time.
walk_all() {
    for table in $tables; do
        snmpbulkwalk -v2c -c "$community" -On $1 "127.0.0.1:$snmp_port" "$table"
    done
}
walk_requests=$(walk_all -d 2>&1 | grep -c '^Sending ')
walk_times=$(for _ in 1 2 3 4 5; do
    start=$(now)
    walk_all "" >/dev/null
    echo $(( $(now) - start ))
done | median)

echo "Native peers, in the same run"
printf '  ipptool, one Get-Printer-Attributes of the same %s attributes: %s ms (median of 5 runs of 20)\n' \
    "$(echo "$attributes" | tr ',' '\n' | wc -l)" "$(echo "$ipp_times" | awk '{ printf "%.2f", $1 / 1e6 }')"
printf '  snmpbulkwalk of the same %s tables: %s requests, %s ms (median of 5, one process per table)\n' \
    "$(echo $tables | wc -w)" "$walk_requests" "$(echo "$walk_times" | awk '{ printf "%.1f", $1 / 1e6 }')"
goal=$(( walk_requests * 2 ))
verdict="not met"
[ "$snmp_requests" -le "$goal" ] && verdict=met
printf '  SNMP requests per dump %s against at most %s (twice snmpbulkwalk): %s\n' \
    "$snmp_requests" "$goal" "$verdict"

# The same printers behind the relay, which ends with this script at the latest.
relay_ports="$state/relay-ports"
rm -f "$relay_ports"
/usr/bin/python3 "$root/bench/net/relay.py" --ports-file "$relay_ports" \
    --tcp "ipp=127.0.0.1:$ipp_port" --udp "snmp=127.0.0.1:$snmp_port" --parent $$ &
relay_pid=$!
for _ in $(seq 100); do
    [ -f "$relay_ports" ] && break
    sleep 0.1
done
relay_port() { sed -n "s/^$1=//p" "$relay_ports"; }
echo
"$root/tools/wine/run.sh" ./vyxnetbench.exe --table "$(relay_port control)" \
    --relay-tcp "$(relay_port ipp)" --relay-udp "$(relay_port snmp)" \
    --community "$community" --v3-user vyx-sha-aes "$@" | tr -d '\r'
