#!/usr/bin/env bash
# Three copies of the program over one fresh demo shop: each reaches the main menu with its own station
# number and scratch table; the second copy entering the menu while the first holds the register table
# ends with "Problem z plikiem velto\velto.DBF". Then the same start over the real-engine shop.
source "$(dirname "$0")/tmux.bash"

shop="$WORK/demo"
demo-shop "$shop" --articles 300 >/dev/null || fail "demo-shop failed"

# start_station N: a program in its own tmux session stationN, with its status in $WORK/statusN.
start_station() {
    local n=$1
    tm -f /dev/null new-session -d -s "station$n" -x 80 -y 25 \
        "cd '$shop' && TERM=xterm-256color veltortp; echo \$? > '$WORK/status$n'; sleep 600"
}
station_screen() { tm capture-pane -t "station$1" -p; }
wait_station() {
    local n=$1 text=$2 i
    for ((i = 0; i < 200; i++)); do
        station_screen "$n" | grep -qF -- "$text" && return 0
        sleep 0.1
    done
    echo "--- station $n ---" >&2
    station_screen "$n" >&2
    fail "station $n: \"$text\" did not appear"
}

start_station 1
wait_station 1 "KASA VELTO"
start_station 2
start_station 3
wait_station 2 "Problem z plikiem velto"
wait_station 3 "Problem z plikiem velto"
for n in 2 3; do
    for ((i = 0; i < 100; i++)); do [ -s "$WORK/status$n" ] && break; sleep 0.1; done
    [ "$(cat "$WORK/status$n" 2>/dev/null)" = 0 ] || fail "station $n did not end with status 0"
done
for f in rob/d01.dbf rob/d01.ntx rob/d02.dbf rob/d03.dbf; do
    [ -e "$shop/$f" ] || fail "no $f: each station has its own scratch table"
done
st=$(xbcheck dump "$shop/firma.dbf" --fields st | sed -n 2p | cut -f3)
[ "$st" = "1000000000" ] || fail "occupancy after stations 2 and 3 left: '$st'"

tm send-keys -t station1 Escape
for ((i = 0; i < 100; i++)); do [ -s "$WORK/status1" ] && break; sleep 0.1; done
[ "$(cat "$WORK/status1" 2>/dev/null)" = 0 ] || fail "station 1 did not end with status 0"
station_screen 1 | sed -n 2p | grep -q "Koniec pracy programu VELTO" || fail "no farewell line"
st=$(xbcheck dump "$shop/firma.dbf" --fields st | sed -n 2p | cut -f3)
[ "$st" = "0000000000" ] || fail "occupancy after the last station left: '$st'"
xbcheck dir "$shop" >/dev/null || fail "the shop does not verify after the run"

echo "e2e stations: passed"
