#!/bin/sh
# Fails when a test password shows in a test run's records: every password the tests store or
# serve is listed, one per line, in a file named test-secrets.txt under tests/, and none may appear
# in the ctest logs or any other file that a build folder's test runs leave under Testing/.
#   no-secrets.sh <build folder>...
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
patterns=$(mktemp)
trap 'rm -f "$patterns"' EXIT
find "$root/tests" -name test-secrets.txt -exec grep -hv '^#' {} + | grep -v '^$' >"$patterns" || true
if [ ! -s "$patterns" ]; then
    echo "no-secrets: no test passwords listed"
    exit 0
fi
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
