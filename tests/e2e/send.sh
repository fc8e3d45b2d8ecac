#!/usr/bin/env bash
# Sending goods and deleting PLUs in a real terminal over a demo shop with the simulated register: the
# first sending writes exactly the records worked out from the shop's files on their own and the register
# holds them; a second one writes none; a price change is sent alone, and sent again after an answer N or
# a refused transmission; two receipts and the leaflet send what their lines name; each deletion mode
# removes the PLUs it names, and the PLU registry goes with them.
source "$(dirname "$0")/tmux.bash"

here=$(cd "$(dirname "$0")" && pwd)
shop="$WORK/demo"
demo-shop "$shop" --articles 300 >/dev/null || fail "demo-shop failed"
reference() { python3 "$here/send_reference.py" "$shop" "$@"; }
plu_codes() { (cd "$shop" && veltodrv show cp=1 | awk '$1 == "plu" {print $2}' | sort); }
plu_price() { (cd "$shop" && veltodrv show cp=1 | awk -v c="$1" '$1 == "plu" && $2 == c {print $3}'); }
# The request written, and what it should be: the request record and these records, CR LF each.
check_request() {
    { printf 'S;I;1; ; ;\r\n'; sed 's/$/\r/' "$WORK/expected"; } > "$WORK/expected.crlf"
    cmp -s "$WORK/expected.crlf" "$shop/velto/data_in.txt" || {
        diff <(tr -d '\r' < "$WORK/expected.crlf") <(tr -d '\r' < "$shop/velto/data_in.txt") | head -20 >&2 || true
        fail "$1: the request is not what the shop's files call for"
    }
}
back_in_menu() {
    wait_for "KASA VELTO" 30
    sleep 0.3
}

start_program "$shop" veltortp
wait_for "KASA VELTO"
send_keys 3
wait_for "Programowac dzialy ?"
send_keys t
wait_for "Wszystko dobrze"
sleep 3.5

# send_goods ANSWER [KEYS...]: menu item 2; KEYS go to the dialog (default: its fields as they stand);
# leaves the count shown in $count.
send_goods() {
    local answer=$1
    shift
    send_keys '*'
    wait_for "Rd:"
    local keys=("$@")
    [ ${#keys[@]} -gt 0 ] || keys=(Enter Enter Enter)
    for k in "${keys[@]}"; do
        send_keys "$k"
        sleep 0.3
    done
    wait_for "Na pewno z wszystkich magazynow"
    send_keys t
    wait_for "Kasa gotowa do transmisji ?" 60
    count=$(grep -ao 'W pliku jest *[0-9]* pozycji' "$WORK/terminal.log" | tail -1 | grep -o '[0-9]*' | tail -1)
    send_keys "$answer"
}
transmitted() {
    wait_for "Wszystko dobrze"
    back_in_menu
}

# The first sending: every article the shop's files call for, in sending order; the register takes them.
: > "$WORK/terminal.log"
send_goods t
transmitted
reference goods > "$WORK/expected"
check_request "first sending"
expected=$(wc -l < "$WORK/expected")
[ "$count" = "$expected" ] || fail "\"W pliku jest\" said $count, the shop calls for $expected"
[ "$(plu_codes | wc -l)" = "$(cut -d';' -f3 "$WORK/expected" | sort -u | wc -l)" ] || fail "the register does not hold the PLUs sent"

# Nothing changed: the request alone.
: > "$WORK/terminal.log"
send_goods t
transmitted
[ "$count" = 0 ] || fail "the second sending wrote $count positions"
: > "$WORK/expected"
check_request "second sending"

# A price change goes alone; after N, and after a refused transmission, it goes again.
code=$(reference goods | awk -F';' 'NR == 1 {print $3}')
read -r mag indeks < <(python3 -c "
import sys; sys.path.insert(0, '$here'); import send_reference as r, os
os.chdir('$shop')
rows, _, _, _ = r.read_dbf(r.goods_table('$shop')[0])
g = [g for g in rows if not g['_deleted'] and g['KOD13'].rstrip(b' ') == b'$code'][0]
print(g['MAG'].decode(), g['INDEKS'].decode('latin-1').rstrip())")
for price in 9.99 8.88 7.77; do
    reference setprice "$mag" "$indeks" CENA3 "$price"
    reference setprice "$mag" "$indeks" CENA2 "$price"
    cents=${price/./}
    case $price in
    9.99) ;;
    8.88)  # not ready: the same record is written again next time
        send_goods n
        back_in_menu
        grep -aq ";$code;.*;$cents;" "$shop/velto/data_in.txt" || fail "the changed price was not written"
        ;;
    7.77)  # refused by the register: shown, and written again next time
        echo "error=5,1 once" > "$shop/velto/veltodrv.fault"
        send_goods t
        wait_for_row 24 "I;1;$code;"
        send_keys Enter
        back_in_menu
        [ "$(plu_price "$code")" = 8.88 ] || fail "a refused transmission changed the register"
        ;;
    esac
    : > "$WORK/terminal.log"
    send_goods t
    transmitted
    [ "$count" = 1 ] || fail "price $price: $count positions, not the one changed article"
    [ "$(grep -ac ";$code;.*;$cents;" "$shop/velto/data_in.txt")" = 1 ] || fail "price $price not in the request"
    [ "$(plu_price "$code")" = "$price" ] || fail "the register holds $(plu_price "$code") for $code, not $price"
done

# Two receipts: their lines, in order, changed or not.
send_goods t Up Up 1 / 2 Enter Enter Enter Enter Enter
transmitted
reference documents PZ 1 2 > "$WORK/expected"
[ -s "$WORK/expected" ] || fail "the demo shop's receipts 1 and 2 name no goods"
check_request "receipts 1 and 2"

# The leaflet.
send_goods t Up Up Up G Z Delete Enter
transmitted
reference leaflet > "$WORK/expected"
[ -s "$WORK/expected" ] || fail "the demo leaflet names no goods"
check_request "leaflet"

# PLU deletion. A PLU of no goods at all is put in the register beside the shop's.
printf 'S;I;1; ; ;\r\nI;1;1111111;OBCY;100;A;3;11100;01;00;;\r\n' > "$shop/velto/data_in.txt"
(cd "$shop" && veltodrv dp=velto if=data_in.txt cp=1 ct=20000 cs=9600) || fail "the foreign PLU was refused"
# delete_plus MODE_DOWNS [MENU_DOWNS]: item 6 of the menu (MENU_DOWNS from the last item chosen), then the
# mode that many lines down the submenu.
delete_plus() {
    local downs=$1
    for ((i = 0; i < ${2:-0}; i++)); do
        send_keys Down
        sleep 0.3
    done
    send_keys Enter
    wait_for "Kasowanie PLU dla ktorych brak kartotek" 30
    for ((i = 0; i < downs; i++)); do
        send_keys Down
        sleep 0.3
    done
    send_keys Enter
    wait_for "Kasowac ?"
    : > "$WORK/terminal.log"
    send_keys t
    wait_for "Wszystko dobrze"
    sleep 3.5
    back_in_menu
    grep -aq "Kasuje - czekac" "$WORK/terminal.log" || fail "no deletion run"
    [ ! -e "$shop/velto/as2000.dbf" ] && [ ! -e "$shop/velto/as2000.ntx" ] || fail "the PLU registry was kept"
}
before=$(plu_codes)
grep -qx 1111111 <<<"$before" || fail "the foreign PLU is not in the register"
delete_plus 2 4
[ "$(plu_codes)" = "$(grep -vx 1111111 <<<"$before")" ] || fail "mode 3 removed other PLUs than the one without goods"

before=$(plu_codes)
kept=$(reference instock $before | sort)
[ "$kept" != "$before" ] || fail "the demo shop has no goods without stock among the PLUs"
delete_plus 1
[ "$(plu_codes)" = "$kept" ] || fail "mode 2 did not keep exactly the PLUs of goods in stock"

delete_plus 0
[ -z "$(plu_codes)" ] || fail "mode 1 left PLUs in the register"

send_keys Escape
status=$(wait_exit 20)
[ "$status" = 0 ] || fail "exit status $status"
echo "e2e send: passed"
