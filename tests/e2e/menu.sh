#!/usr/bin/env bash
# The main menu in a real terminal over a fresh demo shop with the simulated register: the register table
# is created with 17 rows, "2" does nothing, "3" programs the departments through the driver ("Wszystko
# dobrze", seven departments in the register), a refused request shows its faulty line, and the register
# screen selects, refuses port 18, accepts 17 and restores the selection on Esc.
source "$(dirname "$0")/tmux.bash"

shop="$WORK/demo"
demo-shop "$shop" --articles 200 >/dev/null || fail "demo-shop failed"
start_program "$shop" veltortp
wait_for "KASA VELTO"
[ "$(row 22 | sed 's/ *$//')" = "01 Stoisko 1                   1" ] || fail "status row: '$(row 22)'"
rows=$(xbcheck dump "$shop/velto/velto.dbf" | tail -n +2 | wc -l)
[ "$rows" = 17 ] || fail "the register table has $rows rows"
xbcheck dump "$shop/velto/velto.dbf" --fields pkasa,popis,pport,ppredkosc | sed -n 2p | grep -qP '^1\t\t01\tStoisko 1\t1\t9600$' \
    || fail "first register row: $(xbcheck dump "$shop/velto/velto.dbf" | sed -n 2p)"

send_keys 2
sleep 0.5
screen_text | grep -q "KASA VELTO" || fail "\"2\" left the menu"

# Department programming through the simulated register.
send_keys 3
wait_for "Programowac dzialy ?"
send_keys t
wait_for "Wszystko dobrze"
wait_for "KASA VELTO"
sleep 3.5
(cd "$shop" && [ "$(veltodrv show cp=1 | grep -c '^department .. [A-FZ] Dzial')" = 7 ]) || fail "the register does not hold seven departments"

# A request the register refuses: the faulty line of the request is shown on row 24.
echo "error=7,3 once" > "$shop/velto/veltodrv.fault"
send_keys 3
wait_for "Programowac dzialy ?"
send_keys t
wait_for_row 24 "H;1;03;Dzial 3;0;C;1000;00;"
send_keys Enter
wait_for "KASA VELTO"

# The register screen: select row 3, edit its port (18 refused, 17 accepted), Esc restores row 1.
send_keys 0
wait_for "Opis stoiska kasowego"
# Keys go one group at a time, as an operator types them.
for keys in "Down" "Down" "F4" "Enter" "C-y" "1 8" "Enter" "C-y" "1 7" "Enter" "Enter" "Enter" "Escape"; do
    send_keys $keys
    sleep 0.4
done
wait_for "KASA VELTO"
[ "$(row 22 | cut -c1-2)" = "01" ] || fail "Esc did not restore the selection: '$(row 22)'"
port=$(xbcheck dump "$shop/velto/velto.dbf" --fields pport | sed -n 4p | cut -f3)
[ "$port" = 17 ] || fail "row 3 port is '$port', not 17"

send_keys 0
wait_for "Opis stoiska kasowego"
for keys in "Down" "Down" "Enter"; do
    send_keys $keys
    sleep 0.4
done
wait_for "KASA VELTO"
[ "$(row 22 | sed 's/ *$//')" = "03                            17" ] || fail "selection of row 3: '$(row 22)'"

send_keys Escape
[ "$(wait_exit 20)" = 0 ] || fail "exit status"
echo "e2e menu: passed"
