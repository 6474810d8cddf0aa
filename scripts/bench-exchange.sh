#!/usr/bin/env bash
# Times moving a large address book out and in as vCard, next to the sqlite3 shell doing the same
# with the same rows as CSV (its own export and .import into a fresh table) as the anchor.
# Usage: bench-exchange.sh [CONTACTS]   (default 1000000; Release build in build-rel)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-1000000}
build_dir=$root/build-rel
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
nice ninja -C "$build_dir" tessaline-db >/dev/null
tool=$build_dir/bin/tessaline-db
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
TIMEFORMAT=%R

# Seconds of one command, its output thrown away.
timed() {
    local label=$1
    shift
    local seconds
    seconds=$({ time "$@" >/dev/null; } 2>&1)
    printf '%-34s %8.2f s\n' "$label" "$seconds"
}

# The book is filled through the tool itself: the indexes use a collation only it has. Cards of
# our own kind, so every column (the dates included) is set as a stored contact's would be.
awk -v count="$count" 'BEGIN {
    for (i = 1; i <= count; i++) {
        printf "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Last%d;First%d;;;\r\nFN:First%d Last%d\r\n", i % 997, i, i, i % 997
        printf "TEL;TYPE=voice:555-%d\r\n", 1000 + i
        if (i % 3) printf "TEL;TYPE=fax:555-9%d\r\n", i
        printf "ADR;LABEL=\"%d Main Street^nSpringfield, IL\";X-TESSALINE-BREAKS=crlf:;;%d Main Street\\nSpringfield\\, IL;;;;\r\n", i, i
        printf "EMAIL:user%d@example.com\r\nURL:https://example.com/~%d\r\n", i, i
        if (i % 2) printf "NOTE:Met at a fair\\; likes tea\\, coffee\\nSecond line\r\n"
        printf "X-TESSALINE-CREATED-ON:1/2/24\r\nEND:VCARD\r\n"
    }
}' >"$work/seed.vcf"
"$tool" import "$work/seed.vcf" "$work/book.mdb" >/dev/null
echo "$count contacts"

timed "tessaline-db export --vcard" sh -c "'$tool' export --vcard '$work/book.mdb' >'$work/out.vcf'"
timed "tessaline-db import (vCard)" "$tool" import "$work/out.vcf" "$work/copy.mdb"
timed "sqlite3 .mode csv export" sqlite3 "$work/book.mdb" ".mode csv" ".once $work/out.csv" \
    "SELECT * FROM address;"
timed "sqlite3 .import csv" sqlite3 "$work/fresh.db" ".mode csv" ".import $work/out.csv address"
ls -l "$work/out.vcf" "$work/out.csv" | awk '{ printf "%-34s %8.1f MB\n", $NF, $5 / 1e6 }' |
    sed "s|$work/||"
