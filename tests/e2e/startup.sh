#!/usr/bin/env bash
# The real program in an 80x25 terminal over a copy of the real-engine shop: start-up shows "PROSZE CZEKAC",
# the program ends with the farewell line on row 1 and status 0, and leaves a PARAMETR.MEM with the 75
# "J_" settings. In a directory without a company table it stops with the error box, and Quit ends it
# with status 1.
source "$(dirname "$0")/tmux.bash"

for argument in "" "X"; do
    shop="$WORK/shop$argument"
    cp -r "$SHARED_DIR/fixtures/shop-small" "$shop"
    chmod -R u+w "$shop"
    rm "$shop/PARAMETR.MEM"
    tm kill-server 2>/dev/null || true
    start_program "$shop" veltortp $argument
    wait_for "KASA VELTO"
    send_keys Escape
    status=$(wait_exit 20)
    [ "$status" = 0 ] || fail "exit status $status"
    grep -q "PROSZE CZEKAC" "$WORK/terminal.log" || fail "PROSZE CZEKAC was never shown"
    [ "$(row 1 | sed 's/ *$//')" = "Koniec pracy programu VELTO" ] || fail "no farewell line on row 1"

    mem=$(xbcheck mem -v "$shop/parametr.mem") || fail "PARAMETR.MEM does not read: $mem"
    [ "$(grep -c '^J_' <<<"$mem")" = 75 ] || fail "PARAMETR.MEM does not hold 75 J_ settings"
    grep -qP '^J_NAZWA\tC\t OBSŁUGA KLOVARNI \t' <<<"$mem" || fail "J_NAZWA is not in code page 852"
    grep -qP '^J_POZIOM\tN\t1\t' <<<"$mem" || fail "J_POZIOM is not the number 1"
    grep -qP '^J_ZAOKRAGL\tL\t\.F\.\t' <<<"$mem" || fail "J_ZAOKRAGL is not a false logical"
done
tm kill-server 2>/dev/null || true
mkdir -p "$WORK/empty"
start_program "$WORK/empty" veltortp
wait_for "Quit"
screen_text | grep -q "firma.dbf" || fail "the error box does not name the company table"
send_keys q
status=$(wait_exit 20)
[ "$status" = 1 ] || fail "exit status $status after Quit"
screen_text | grep -q "Wywolane z IN_NET" || fail "the procedure chain is not shown"
echo "e2e startup: passed"
