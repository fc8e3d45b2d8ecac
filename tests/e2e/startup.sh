#!/usr/bin/env bash
# The real program in an 80x25 terminal: start-up shows "PROSZE CZEKAC", the program ends with the
# farewell line on row 1 and status 0, and leaves a PARAMETR.MEM with the 75 "J_" settings.
source "$(dirname "$0")/tmux.bash"

for argument in "" "X"; do
    shop="$WORK/empty$argument"
    mkdir -p "$shop"
    tm kill-server 2>/dev/null || true
    start_program "$shop" veltortp $argument
    status=$(wait_exit 20)
    [ "$status" = 0 ] || fail "exit status $status"
    grep -q "PROSZE CZEKAC" "$WORK/terminal.log" || fail "PROSZE CZEKAC was never shown"
    [ "$(row 1 | sed 's/ *$//')" = "Koniec pracy programu VELTO" ] || fail "no farewell line on row 1"

    mem=$(xbcheck mem -v "$shop/PARAMETR.MEM") || fail "PARAMETR.MEM does not read: $mem"
    [ "$(grep -c '^J_' <<<"$mem")" = 75 ] || fail "PARAMETR.MEM does not hold 75 J_ settings"
    grep -qP '^J_NAZWA\tC\t OBSŁUGA KLOVARNI \t' <<<"$mem" || fail "J_NAZWA is not in code page 852"
    grep -qP '^J_POZIOM\tN\t1\t' <<<"$mem" || fail "J_POZIOM is not the number 1"
    grep -qP '^J_ZAOKRAGL\tL\t\.F\.\t' <<<"$mem" || fail "J_ZAOKRAGL is not a false logical"
done
echo "e2e startup: passed"
