#!/bin/sh
# Compiles and links the C program of the README's quick start as a driver writer would, against
# the public header and the library's import library: what the README shows must build.
#   check-example.sh <README.md> <C compiler> <include folder> <import library>
set -eu
readme=$1 cc=$2 include=$3 library=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The README's one C block.
awk '/^```c$/ { inside = 1; next } inside && /^```$/ { exit } inside' "$readme" >"$work/example.c"
[ -s "$work/example.c" ] || { echo "check-example: no C block in $readme"; exit 1; }
"$cc" -std=c99 -pedantic -Wall -Wextra -Werror -I"$include" -o "$work/example.exe" \
    "$work/example.c" "$library"
echo "check-example: the quick start's $(wc -l <"$work/example.c") lines compile and link"
