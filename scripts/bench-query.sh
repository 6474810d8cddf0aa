#!/usr/bin/env bash
# Times `tessaline-db query` against the sqlite3 shell's plain LIKE scan of the same three columns
# on one book of many contacts, made once (from CSV through `tessaline-db import --csv`) and kept in
# /tmp. Build first: cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
# && ninja -C build-rel tessaline-db
# Usage: bench-query.sh [BUILD_DIR [CONTACTS [TEXT]]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build-rel}
count=${2:-1000000}
text=${3:-muller}
tool=$build_dir/bin/tessaline-db
book=/tmp/tessaline-bench-query-$count.mdb
command -v sqlite3 >/dev/null || { echo "bench-query.sh: sqlite3 is missing (apt-get install sqlite3)" >&2; exit 1; }

if [ ! -f "$book" ]; then
    csv=$(mktemp /tmp/tessaline-bench-query-XXXXXX.csv)
    trap 'rm -f "$csv"' EXIT
    # Three surnames in ten are accented, as in a European address book.
    awk -v n="$count" 'BEGIN {
        split("Smith,Müller,Jones,García,Brown,Meyer,Éclair,Nguyen,Schmidt,Okafor", surnames, ",");
        printf "Name,Surname,phone,email\r\n";
        for (i = 1; i <= n; i++)
            printf "First%d,%s,555-%07d,user%d@example.org\r\n", i, surnames[i % 10 + 1], i, i;
    }' > "$csv"
    "$tool" import --csv "$csv" "$book.making" >/dev/null
    mv "$book.making" "$book"
fi

# The best of three runs, in milliseconds.
best() {
    local best_ms=
    for _ in 1 2 3; do
        local start elapsed
        start=$(date +%s%N)
        "$@" >/dev/null || true
        elapsed=$((($(date +%s%N) - start) / 1000000))
        if [ -z "$best_ms" ] || [ "$elapsed" -lt "$best_ms" ]; then
            best_ms=$elapsed
        fi
    done
    echo "$best_ms"
}

like="SELECT email, Name, Surname, phone FROM address WHERE Name LIKE '%$text%' OR Surname LIKE '%$text%' OR email LIKE '%$text%';"
matches=$("$tool" query "$book" "$text" | tail -n +2 | wc -l)
ours=$(best "$tool" query "$book" "$text")
shell=$(best sqlite3 "$book" "$like")
echo "book: $book ($count contacts), text: $text, query lists $matches"
echo "tessaline-db query:        $ours ms"
echo "sqlite3 LIKE (3 columns):  $shell ms"
awk -v a="$ours" -v b="$shell" 'BEGIN { printf "ratio: %.2f\n", a / b }'
