#!/usr/bin/env bash
# Times `tessaline-db sync` next to vdirsyncer on real CardDAV servers on 127.0.0.1: Radicale
# with 5,000 and 50,000 cards and Xandikos with 10,000, laid into their storage before each
# starts. For each: a first sync into an empty book (ours) and an empty folder (vdirsyncer's), a
# sync with nothing to do, and one after a card changed on the server. Prints both times, their
# ratio, our requests (from the summary line) and our peak memory. Each client has a fresh copy
# of the server.
# Usage: bench-sync.sh [--only-vdirsyncer]   (Release build in build-rel)
#   --only-vdirsyncer   leaves our half out (for a tessaline-db without sync)
#   RADICALE_CARDS="5000 50000" XANDIKOS_CARDS=10000   the sizes, from the environment (empty:
#   that server is left out)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
ours=yes
[ "${1:-}" = --only-vdirsyncer ] && ours=
radicale_cards=${RADICALE_CARDS-5000 50000}
xandikos_cards=${XANDIKOS_CARDS-10000}
build_dir=$root/build-rel
vdirsyncer_limit=300 # seconds; vdirsyncer is slow on large books and gives up
ours_limit=1800
py=/usr/bin/python3 # the servers' own Python, whatever python3 is first on PATH
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
nice ninja -C "$build_dir" tessaline-db >/dev/null
tool=$build_dir/bin/tessaline-db
usage=$("$tool" sync 2>&1 || true)
if [ -n "$ours" ] && [[ $usage == *'unknown command "sync"'* ]]; then
    echo "bench-sync: $tool has no sync command; --only-vdirsyncer times vdirsyncer alone" >&2
    exit 1
fi
for program in radicale xandikos vdirsyncer git curl /usr/bin/time; do
    command -v "$program" >/dev/null || { echo "bench-sync: $program is missing" >&2; exit 1; }
done
work=$(mktemp -d)
server_pid=
stop_server() {
    # SIGKILL: Radicale waits for a request in progress before it heeds SIGTERM. Its storage is
    # copied next, so the server must be gone first (Xandikos packs its objects when idle).
    [ -z "$server_pid" ] || kill -KILL -- "-$server_pid" 2>/dev/null || true
    for _ in $(seq 100); do
        [ -n "$server_pid" ] && kill -0 -- "-$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    server_pid=
}
trap 'stop_server; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM

# COUNT realistic cards, one file each named by its UID, into FOLDER.
lay_cards() {
    mkdir -p "$2"
    awk -v count="$1" -v folder="$2" 'BEGIN {
        split("Smith,Müller,Jones,García,Brown,Meyer,Éclair,Nguyen,Schmidt,Okafor", surnames, ",")
        for (i = 1; i <= count; i++) {
            file = sprintf("%s/bench-%06d.vcf", folder, i)
            surname = surnames[i % 10 + 1]
            printf "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:bench-%06d\r\n", i > file
            printf "N:%s;First%d;;;\r\nFN:First%d %s\r\n", surname, i, i, surname > file
            printf "TEL;TYPE=CELL:+1 555 %07d\r\n", i > file
            if (i % 3) printf "TEL;TYPE=WORK:+1 555 9%06d\r\n", i > file
            printf "EMAIL;TYPE=INTERNET:first%d@example.org\r\n", i > file
            printf "ADR;TYPE=HOME:;;%d Main Street;Springfield;IL;62701;USA\r\n", i > file
            if (i % 4 == 0) printf "NOTE:Met at the fair\\, likes tea\\nSecond line\r\n" > file
            printf "END:VCARD\r\n" > file
            close(file)
        }
    }'
}

free_port() {
    "$py" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Starts a server (its command follows the port) and waits, at most about 20 s, until it
# answers on that port. Only the root is asked: a large collection takes the server minutes.
start_server() {
    local port=$1
    shift
    setsid "$@" >"$work/server.log" 2>&1 &
    server_pid=$!
    disown # its SIGKILL at the end is no news
    for _ in $(seq 100); do
        curl -s -o /dev/null --max-time 5 "http://127.0.0.1:$port/" && return 0
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.2
    done
    echo "bench-sync: the server did not start:" >&2
    cat "$work/server.log" >&2
    exit 1
}

# Sets url to a Radicale address book of COUNT cards kept in STORAGE, started; the cards are laid
# there unless it holds them. Usage: start_radicale COUNT STORAGE
start_radicale() {
    local port book=$2/collection-root/bench/contacts
    port=$(free_port)
    if [ ! -d "$book" ]; then
        lay_cards "$1" "$book"
        echo '{"tag": "VADDRESSBOOK", "D:displayname": "Contacts"}' >"$book/.Radicale.props"
    fi
    printf '[server]\nhosts = 127.0.0.1:%s\n[auth]\ntype = none\n[storage]\nfilesystem_folder = %s\n[logging]\nlevel = warning\n' \
        "$port" "$2" >"$work/radicale.conf"
    url=http://127.0.0.1:$port/bench/contacts/
    start_server "$port" radicale -C "$work/radicale.conf"
}

# The same on Xandikos, which serves the last commit of a git repository per collection.
start_xandikos() {
    local port book=$2/user/contacts/addressbook
    port=$(free_port)
    if [ ! -d "$book" ]; then
        lay_cards "$1" "$book"
        printf '[DEFAULT]\ntype = addressbook\n' >"$book/.xandikos"
        git -C "$book" init -q
        git -C "$book" add --all
        git -C "$book" -c user.name=bench -c user.email=bench@localhost commit -q -m "Bench cards"
    fi
    url=http://127.0.0.1:$port/user/contacts/addressbook/
    start_server "$port" xandikos -d "$2" -l 127.0.0.1 -p "$port" --defaults
}

# Reads every card's entity tag once, as a listing and as a report of changes: Radicale caches
# what it read for each, so that neither client pays for the server's first look.
warm_up() {
    curl -s -o /dev/null --max-time 3600 -X PROPFIND -H "Depth: 1" -H "Content-Type: application/xml" \
        --data '<?xml version="1.0"?><propfind xmlns="DAV:"><prop><getetag/></prop></propfind>' "$url"
    curl -s -o /dev/null --max-time 3600 -X REPORT -H "Content-Type: application/xml" \
        --data '<?xml version="1.0"?><sync-collection xmlns="DAV:"><sync-token/><sync-level>1</sync-level><prop><getetag/></prop></sync-collection>' "$url"
}

# Starts a fresh copy of a server of COUNT cards. The cards are laid, and read once, into a seed
# that every start copies: a server's first look at 50,000 cards takes Radicale minutes.
# Usage: fresh_server START_FUNCTION COUNT
fresh_server() {
    local seed=$work/seed-$1-$2
    if [ ! -d "$seed" ]; then
        "$1" "$2" "$seed"
        warm_up
        stop_server
    fi
    rm -rf "$work/storage"
    cp -a "$seed" "$work/storage"
    "$1" "$2" "$work/storage"
}

# One card changed on the server, as a phone would change it: its given name.
change_card() {
    local card
    card=$(curl -s -f --max-time 600 "${url}bench-000007.vcf")
    card=${card/FN:First7 /FN:Changed }
    printf '%s\n' "${card/;First7;/;Changed;}" | curl -s -f --max-time 600 -o /dev/null -X PUT \
        -H "Content-Type: text/vcard; charset=utf-8" --data-binary @- "${url}bench-000007.vcf"
}

# Runs a command under LIMIT seconds, measured; sets seconds and peak_kb. When it ran out of
# time, seconds is "gave_up"; when it failed, "failed"; either returns 1.
measure() {
    local limit=$1 status=0
    shift
    /usr/bin/time -f "%e %M" -o "$work/time" timeout "$limit" "$@" >"$work/out" 2>"$work/err" ||
        status=$?
    if [ "$status" -eq 0 ]; then
        read -r seconds peak_kb <"$work/time"
        return 0
    fi
    seconds=failed
    [ "$status" -ne 124 ] || seconds=gave_up
    peak_kb=0
    tail -n 3 "$work/err" >&2
    return 1
}

vdirsyncer_config() {
    mkdir -p "$work/vdir/cards"
    cat >"$work/vdir/config" <<EOF
[general]
status_path = "$work/vdir/status/"

[pair bench]
a = "bench_folder"
b = "bench_server"
collections = null

[storage bench_folder]
type = "filesystem"
path = "$work/vdir/cards/"
fileext = ".vcf"

[storage bench_server]
type = "carddav"
url = "$url"
EOF
    printf 'y\n%.0s' {1..16} | vdirsyncer -c "$work/vdir/config" discover >"$work/discover.log" 2>&1
}

# Our three rounds on the server now running: a first sync, one with nothing to do, one after a
# card changed. Sets ours_s, requests and peak, one word per round.
our_rounds() {
    ours_s=() requests=() peak=()
    "$tool" create "$work/book.mdb" >/dev/null
    for round in 1 2 3; do
        [ "$round" -ne 3 ] || change_card
        if measure "$ours_limit" "$tool" sync "$work/book.mdb" "$url"; then
            ours_s+=("$seconds") peak+=("$((peak_kb / 1024))MB")
            requests+=("$(tail -n 1 "$work/out" | sed -n 's/.*(\([0-9]*\) requests)$/\1/p')")
        else
            ours_s+=("$seconds") peak+=(-) requests+=(-)
        fi
    done
}

# The same three rounds of vdirsyncer's into an empty folder. Sets theirs_s. Once it gave up, the
# later rounds would start from half a copy: they are not run.
their_rounds() {
    theirs_s=()
    vdirsyncer_config
    for round in 1 2 3; do
        # Nor is the card changed: the server may be busy for many minutes with what it was asked.
        if [ "$round" -gt 1 ] && [ "${theirs_s[0]}" = gave_up ]; then
            theirs_s+=(-)
            continue
        fi
        [ "$round" -ne 3 ] || change_card
        measure "$vdirsyncer_limit" vdirsyncer -c "$work/vdir/config" sync || true
        theirs_s+=("$seconds")
    done
}

# Both clients' rounds on a server of COUNT cards, each on a fresh copy of it: a server still
# busy with the requests of a client that gave up would slow the other. Usage:
# bench_server WHAT COUNT START_FUNCTION
bench_server() {
    local what=$1 count=$2 start=$3 round copied
    rm -rf "$work/book.mdb" "$work/vdir"
    ours_s=(- - -) requests=(- - -) peak=(- - -)
    if [ -n "$ours" ]; then
        fresh_server "$start" "$count"
        our_rounds
        stop_server
    fi
    fresh_server "$start" "$count"
    their_rounds
    stop_server
    copied=$(find "$work/vdir/cards" -name '*.vcf' | wc -l)
    [ "$copied" -eq "$count" ] || echo "bench-sync: vdirsyncer copied $copied cards of $count" >&2
    local names=("first sync" "nothing to do" "one card changed")
    for round in 0 1 2; do
        awk -v what="$what, ${names[$round]}" -v ours="${ours_s[$round]}" \
            -v theirs="${theirs_s[$round]}" -v requests="${requests[$round]}" \
            -v peak="${peak[$round]}" 'BEGIN {
            ratio = (ours + 0 > 0 && theirs + 0 > 0) ? sprintf("%.2f", ours / theirs) : "-"
            printf "%-34s %9s %13s %7s %9s %9s\n", what, ours, theirs, ratio, requests, peak }'
    done
}

printf "%-34s %9s %13s %7s %9s %9s\n" what "ours s" "vdirsyncer s" ratio requests "peak mem"
for count in $radicale_cards; do
    bench_server "Radicale $count" "$count" start_radicale
done
for count in $xandikos_cards; do
    bench_server "Xandikos $count" "$count" start_xandikos
done
