#!/usr/bin/env bash
# Receiving sales in a real terminal over a demo shop with the simulated register: sales recorded in the
# register are received through menu item 3 and posted as one document (the amount message shows), the
# line the goods table does not know opens in the printout editor, and a receive whose driver brings no
# report books nothing new.
source "$(dirname "$0")/tmux.bash"

shop="$WORK/demo"
demo-shop "$shop" --articles 300 >/dev/null || fail "demo-shop failed"
documents() { xbcheck dump "$shop/$(cd "$shop" && ls -d [0-9][0-9])/$(cd "$shop"/[0-9][0-9] && ls -d [0-9][0-9])/dowod.dbf" | tail -n +2 | wc -l; }
rows() { xbcheck dump "$shop/$(cd "$shop" && ls -d [0-9][0-9])/$(cd "$shop"/[0-9][0-9] && ls -d [0-9][0-9])/dow.dbf" | tail -n +2 | wc -l; }

start_program "$shop" veltortp
wait_for "KASA VELTO"
send_keys 3
wait_for "Programowac dzialy ?"
send_keys t
wait_for "Wszystko dobrze"
sleep 3.5

# Send the goods, so that the register knows them.
send_keys '*'
wait_for "Rd:"
for k in Enter Enter Enter; do send_keys $k; sleep 0.3; done
wait_for "Na pewno z wszystkich magazynow"
send_keys t
wait_for "Kasa gotowa do transmisji ?" 60
send_keys t
wait_for "Wszystko dobrze"
sleep 3.5

# Two sales of known articles, and one of a PLU the goods table does not have.
codes=$(cd "$shop" && veltodrv show cp=1 | awk '$1 == "plu" {print $2}' | head -2)
code1=$(sed -n 1p <<<"$codes")
code2=$(sed -n 2p <<<"$codes")
[ -n "$code2" ] || fail "the register holds no PLUs"
(cd "$shop" && printf 'S;I;1; ; ;\r\nI;1;999999;OBCY TOWAR;100;A;3;11100;01;00;;\r\n' > velto/data_in.txt &&
    veltodrv dp=velto if=data_in.txt cp=1 ct=20000 cs=9600 >/dev/null) || fail "the register refused the extra PLU"
(cd "$shop" && veltodrv sell cp=1 "$code1" 2 && veltodrv sell cp=1 "$code2" 1.5 && veltodrv sell cp=1 999999 1) >/dev/null \
    || fail "the register refused the sales"
documents_before=$(documents)
rows_before=$(rows)

# Item 3 is reached with the cursor: the highlight stands on item 2, the last choice.
send_keys Down
sleep 0.3
send_keys Enter
wait_for "Odebrac sprzedaz z data"
send_keys t
wait_for "na kwote" 60
screen_text | grep -q "SD .*na kwote .*Zł" || fail "the amount message: $(row 17)"
send_keys Enter
wait_for "F5 - Druk" 20
grep -a -q "999999" "$shop/rob/wydruk01.prn" || fail "the unmatched line is not in the printout"
send_keys Escape
wait_for "KASA VELTO"
[ "$(documents)" = $((documents_before + 1)) ] || fail "not one new document: $documents_before -> $(documents)"
[ "$(rows)" = $((rows_before + 2)) ] || fail "not two new rows: $rows_before -> $(rows)"

# A driver run that leaves no report books nothing, even though the old report is still around.
(cd "$shop" && veltodrv sell cp=1 "$code1" 1) >/dev/null
echo "noanswer once" > "$shop/velto/veltodrv.fault"
sleep 0.5
send_keys Enter  # the highlight stands on item 3 again
wait_for "Odebrac sprzedaz z data"
send_keys t
sleep 6
wait_for "KASA VELTO"
[ "$(documents)" = $((documents_before + 1)) ] || fail "a failed receive booked a document"

send_keys Escape
[ "$(wait_exit 20)" = 0 ] || fail "exit status"
# Every table and index of the shop is sound once the program has closed them.
xbcheck dir "$shop" > "$WORK/check.txt" || { grep -v "^OK\|^ *WARN" "$WORK/check.txt" | head -20 >&2; fail "the shop does not verify"; }
echo "e2e receive: passed"
