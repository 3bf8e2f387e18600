#!/bin/sh
# Captures the fuzz targets' seeds again from the test peers (ippeveprinter serving the colour
# printer file, snmpsimd serving the recordings) into tests/fuzz/corpus, replacing the captured
# ones; the connection-string seeds are written by hand and kept.
#   tests/fuzz/capture-seeds.sh [BUILD]     (after `make build`)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d)
trap 'sh "$root/tests/modules/ipp/peers.sh" stop "$work/ipp"; /usr/bin/python3 "$root/tests/modules/snmp/agents.py" stop "$work/snmp"; rm -rf "$work"' EXIT

sh "$root/tests/modules/ipp/peers.sh" start "$work/ipp"
/usr/bin/python3 "$root/tests/modules/snmp/agents.py" start "$work/snmp" \
    "$root/tests/modules/snmp/recordings" "$work/snmp-ports"
ipp=$(sed -n 's/^colour\.1252=//p' "$work/ipp/ports.txt")
snmp=$(sed -n 's/^snmpsim=//p' "$work/snmp-ports")

corpus=$root/tests/fuzz/corpus
for target in ipp_reply_fuzzer ipp_mapping_fuzzer snmp_message_fuzzer snmp_text_fuzzer; do
    mkdir -p "$corpus/$target"
    find "$corpus/$target" -name 'ippeveprinter-*' -delete -o -name 'snmpsimd-*' -delete
done
"$build/native/capture_seeds" "$ipp" "$snmp" "$corpus"
du -sh "$corpus"/*
