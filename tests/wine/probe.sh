#!/bin/sh
# bidiprobe's report of one printer through one query module, read as a driver maker would:
# it must end with exit status 0 (every call answered, or said only what the printer lacks) and
# list the printer's paper trays and toners.
#   probe.sh <run.sh> <bin folder> sim | ipp
set -eu
run=$1 bin=$2 module=$3
case $module in
    sim) printer="" ;;
    ipp)
        port=$(sed -n 's/^colour\.1252=//p' "$bin/ipp-peers/ports.txt")
        printer="--printer ipp://127.0.0.1:$port/ipp/print"
        ;;
esac
# shellcheck disable=SC2086
report=$("$run" "$bin/bidiprobe.exe" $printer dump) || { echo "$report"; echo "probe: bidiprobe failed"; exit 1; }
echo "$report"
for section in "Paper trays" "Toner colours"; do
    echo "$report" | grep -A4 "^  $section" | grep -Eq '^    count [1-9]' ||
        { echo "probe: no $section in the report"; exit 1; }
done
