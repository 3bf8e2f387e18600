#!/bin/sh
# tools/wine/run.sh as anyone would use it: a program outside the build tree's prefix drives,
# run from a folder of its own, in a code page chosen by LC_ALL, with input on a pipe, gets all of
# it and hands back its output, its error output and its exit status. With FRESH_PREFIX=1 the
# prefix is a new one, which run.sh makes (a 64-bit one) on first use.
#   runner_test.sh <run.sh> <probe.exe> <bits> <scratch folder>
set -eu
run=$1 probe=$2 bits=$3 scratch=$4
rm -rf "$scratch"
mkdir -p "$scratch/a folder"
cp "$probe" "$scratch/a folder/probe.exe"
[ "${FRESH_PREFIX:-0}" = 1 ] && export WINEPREFIX="$scratch/prefix"
cd "$scratch/a folder"
status=0
echo "a line in" | LC_ALL=ja_JP.UTF-8 "$run" ./probe.exe 7 >"$scratch/raw" 2>"$scratch/err" || status=$?
tr -d '\r' <"$scratch/raw" >"$scratch/out"  # a Windows program's lines end in CR LF
fail() { echo "runner_test: $*"; cat "$scratch/out" "$scratch/err"; exit 1; }
[ "$status" = 7 ] || fail "exit status $status, not 7"
grep -qx 'acp=932' "$scratch/out" || fail "not run in code page 932"
grep -qx 'stdin=a line in' "$scratch/out" || fail "the input did not arrive"
grep -q '^folder=.*\\a folder$' "$scratch/out" || fail "not run in its folder"
grep -qx "bits=$bits" "$scratch/out" || fail "not a $bits-bit process"
tr -d "\r" <"$scratch/err" | grep -qx "to standard error" || fail "its error output was lost"
if [ "${FRESH_PREFIX:-0}" = 1 ]; then
    grep -q '^#arch=win64' "$WINEPREFIX/system.reg" || fail "the new prefix is not a 64-bit one"
    # Its server writes the registry as it goes away: stopped first, it leaves nothing behind.
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true
fi
rm -rf "$scratch"
echo "runner_test: a $bits-bit program got its folder, code page, input and exit status"
