#!/bin/sh
# Fails when a test password shows in a test run's records: none of the passwords the test
# printers and agents are given (the IPP tests' test-secrets.txt, the SNMPv3 users of
# v3-users.txt) may appear in the ctest logs or any other file that a build folder's test runs
# leave under Testing/.
#   no-secrets.sh <build folder>...
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
patterns=$(mktemp)
trap 'rm -f "$patterns"' EXIT
{
    sed -n 's/^\(password\|wrong\)=//p' "$root/tests/modules/ipp/test-secrets.txt"
    grep -v '^#' "$root/tests/modules/snmp/v3-users.txt" | awk '{ print $3; print $5 }'
} | grep -v '^-\?$' >"$patterns"
[ -s "$patterns" ] || { echo "no-secrets: no test passwords found"; exit 1; }
status=0
for build in "$@"; do
    [ -d "$build/Testing" ] || continue
    found=$(grep -rlaF -f "$patterns" "$build/Testing" 2>/dev/null || true)
    if [ -n "$found" ]; then
        # Name the files, never the passwords.
        echo "no-secrets: a test password shows in: $found"
        status=1
    fi
done
[ "$status" = 0 ] && echo "no-secrets: none of $(wc -l <"$patterns") test passwords shows in the test logs"
exit "$status"
