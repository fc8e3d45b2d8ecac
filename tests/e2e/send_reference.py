"""The PLU records a sending must write for a shop, worked out from the shop's files on their own (not
through the program): send.sh checks what the program wrote against them.

    send_reference.py SHOP goods                  records of a first sending from the goods table
    send_reference.py SHOP documents RD N1 N2...  records of a sending from these documents
    send_reference.py SHOP leaflet                records of a sending from rob0/gazetka1.dbf
    send_reference.py SHOP setprice MAG INDEKS FIELD VALUE   changes a price in the goods table in place
    send_reference.py SHOP instock CODE...        of these PLU codes, those whose goods have stock (the
                                                  first goods record in bar-code order, highest warehouse)

Records are printed one a line, code page 852 bytes as they are.
"""
import glob
import os
import struct
import sys
from decimal import ROUND_HALF_UP, Decimal

FOLD = {}
for letters, to in (((164, 165), 'A'), ((134, 141, 143, 149), 'C'), ((144, 145, 168, 169), 'E'),
                    ((136, 146, 156, 157), 'L'), ((227, 228), 'N'), ((162, 163, 224), 'O'),
                    ((151, 152, 158), 'S'), ((160, 161, 166, 167, 171, 189, 190), 'Z')):
    for b in letters:
        FOLD[b] = ord(to)
KEPT = set(b"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ .,-+*();:/<>$%!")


def find(shop, *names):
    """A file of the shop whatever the letter case of its name."""
    path = shop
    for name in names:
        entries = {n.lower(): n for n in os.listdir(path)}
        path = os.path.join(path, entries[name.lower()])
    return path


def read_dbf(path):
    data = open(path, 'rb').read()
    count, header, length = struct.unpack('<IHH', data[4:12])
    fields, offset = [], 1
    for i in range(32, header - 1, 32):
        if data[i] == 0x0D:
            break
        name = data[i:i + 11].split(b'\0')[0].decode()
        size = data[i + 16]
        fields.append((name, offset, size))
        offset += size
    rows = []
    for n in range((len(data) - header) // length):
        raw = data[header + n * length:header + (n + 1) * length]
        if len(raw) < length:
            break
        row = {name: raw[o:o + s] for name, o, s in fields}
        row['_deleted'] = raw[0:1] == b'*'
        row['_recno'] = n + 1
        rows.append(row)
    return rows, fields, header, length


def read_mem(path):
    data, out, i = open(path, 'rb').read(), {}, 0
    while i + 32 <= len(data) and data[i] != 0x1A:
        name = data[i:i + 11].split(b'\0')[0].decode().upper()
        kind = data[i + 11] & 0x7F
        if kind == ord('C'):
            size = struct.unpack('<H', data[i + 16:i + 18])[0]
            out[name] = data[i + 32:i + 32 + size].split(b'\0')[0]
            i += 32 + size
        else:
            out[name] = struct.unpack('<d', data[i + 32:i + 40])[0] if kind in (ord('N'), ord('D')) else data[i + 32]
            i += 32 + (8 if kind in (ord('N'), ord('D')) else 1)
    return out


def number(raw):
    """A number read the dBASE way: blanks, a sign, digits and one point, up to the first other byte."""
    text = raw.decode('latin-1').lstrip(' ')
    out = ''
    for c in text:
        if c.isdigit() or (c in '+-' and not out) or (c == '.' and '.' not in out):
            out += c
        else:
            break
    try:
        return Decimal(out) if out.strip('+-.') else Decimal(0)
    except Exception:
        return Decimal(0)


def fold(name):
    if os.path.exists('DAJ.PL'):
        return name
    return bytes(b for b in (FOLD.get(c, c) for c in name) if b in KEPT)


class Rules:
    def __init__(self, shop, long_form=False):
        mem = read_mem(find(shop, 'parametr.mem'))
        self.rates = [mem.get('J_PTU' + l) for l in 'ABCDEF']
        self.skip_zeros = mem.get('J_KOD13ZN') == b'N'
        self.mag_k, self.mag_u = mem.get('J_MAG_K', b'K'), mem.get('J_MAG_U', b'U ')
        firma, _, _, _ = read_dbf(find(shop, 'firma.dbf'))
        company = (firma[0]['NODB'] + firma[0]['NODB1']).upper() if firma else b''
        self.cut = b'KOSTRAN' not in company and (b'MELKO' in company or os.path.exists(find(shop) + '/MELKO.TXT'))
        self.long_form = long_form

    def code(self, goods):
        out = b''
        for c in goods['KOD13']:
            if not 48 <= c <= 57:
                break
            if self.skip_zeros and not out and c == 48:
                continue
            out += bytes([c])
        if self.cut and len(out) == 7 and out.startswith(b'28'):
            out = out[2:]
        return out

    def record(self, goods, name, last, level=0):
        code = self.code(goods)
        if number(goods['PODATEK0']) > 23 or number(goods['CENA2']) < 0 or not code or int(code) == 0:
            return None, last
        if last.startswith(code):
            return None, last
        last = code
        price = number(goods['CENA2'])
        if level == 0 and 'CENA3' in goods and number(goods['CENA3']) > 0:
            price = number(goods['CENA3'])
        tax = goods['PODATEK0']
        letter = None
        for i, rate in enumerate(self.rates):
            if rate is not None and rate == tax:
                letter, department = 'ABCDEF'[i].encode(), b'0%d' % (i + 1)
                break
        if letter is None and tax == b'ZW':
            letter, department = b'Z', b'07'
        if letter is None:
            return None, last
        cents = str(int((price * 100).quantize(Decimal(1), ROUND_HALF_UP))).encode()
        name = name.replace(b';', b'')
        return b'I;1;' + code + b';' + name[:18] + b';' + cents + b';' + letter + b';3;11100;' + department + \
            b';00;;', last

    def wanted(self, goods, name):
        mag = goods['MAG']
        return not (mag == self.mag_k or mag in self.mag_u or not name.strip(b' '))


def goods_table(shop):
    period = [d for d in glob.glob(os.path.join(shop, '*', '*')) if os.path.isfile(os.path.join(d, 'as.dbf'))][0]
    return os.path.join(period, 'as.dbf'), period


def first_sending(shop):
    path, _ = goods_table(shop)
    rows, _, _, _ = read_dbf(path)
    rules = Rules(shop)
    copy = []
    for g in rows:
        if g['_deleted']:
            continue
        name = fold(g['NAZWA']).lstrip(b' ').ljust(len(g['NAZWA']))
        copy.append((name[:17] + g['MAG'] + g['INDEKS'], g['_recno'], g, name))
    copy.sort(key=lambda c: (c[0], c[1]))
    # The registry starts empty, and learns each article as it is written: an article met again later
    # in the same sending with the same record is not written again.
    out, last, registry = [], b'', {}
    for _, _, g, name in copy:
        if number(g['CENA2']) <= 0 or not rules.wanted(g, name):
            continue
        rec, last = rules.record(g, name.replace(b';', b'').lstrip(b' ').ljust(len(g['NAZWA'])), last)
        if rec and registry.get(g['KOD13']) != rec[:80]:
            registry[g['KOD13']] = rec[:80]
            out.append(rec)
    return out


def by_key(shop):
    path, _ = goods_table(shop)
    rows, _, _, _ = read_dbf(path)
    return {g['MAG'] + g['INDEKS']: g for g in rows if not g['_deleted']}


def chosen(rules, g, last):
    name = fold(g['NAZWA'])
    if not rules.wanted(g, g['NAZWA']):
        return None, last
    return rules.record(g, name, last)


def documents(shop, rd, numbers):
    _, period = goods_table(shop)
    lines, _, _, _ = read_dbf(find(period, 'dow.dbf'))
    lines = sorted((l for l in lines if not l['_deleted']), key=lambda l: (l['RD'] + l['NRD'] + l['LP'], l['_recno']))
    goods, rules, out = by_key(shop), Rules(shop), []
    for n in numbers:
        last = b''
        nrd = str(int(n)).rjust(8).encode()
        for l in lines:
            if l['RD'] == rd.ljust(3).encode() and l['NRD'] == nrd and (l['MAG'] + l['INDEKS']) in goods:
                rec, last = chosen(rules, goods[l['MAG'] + l['INDEKS']], last)
                if rec:
                    out.append(rec)
    return out


def leaflet(shop):
    rows, _, _, _ = read_dbf(find(shop, 'rob0', 'gazetka1.dbf'))
    goods, rules, out = by_key(shop), Rules(shop), []
    for r in rows:
        if not r['_deleted'] and (r['MAG'] + r['INDEKS']) in goods:
            rec, _ = chosen(rules, goods[r['MAG'] + r['INDEKS']], b'')
            if rec:
                out.append(rec)
    return out


def set_price(shop, mag, indeks, field, value):
    path, _ = goods_table(shop)
    rows, fields, header, length = read_dbf(path)
    offset, size = [(o, s) for n, o, s in fields if n == field][0]
    for g in rows:
        if g['MAG'] == mag.encode() and g['INDEKS'].rstrip(b' ') == indeks.encode() and not g['_deleted']:
            with open(path, 'r+b') as f:
                f.seek(header + (g['_recno'] - 1) * length + offset)
                f.write(('%.2f' % float(value)).rjust(size).encode())
            return
    sys.exit('no goods %s %s' % (mag, indeks))


def in_stock(shop, codes):
    path, _ = goods_table(shop)
    rows, _, _, _ = read_dbf(path)
    first = {}
    for g in rows:
        if not g['_deleted'] and (g['KOD13'] not in first or g['MAG'] > first[g['KOD13']]['MAG']):
            first[g['KOD13']] = g
    kept = []
    for code in codes:
        g = first.get(code.encode().ljust(13))
        if g and number(g['ILOSC']) > 0:
            kept.append(code)
    return kept


def main():
    shop, what = sys.argv[1], sys.argv[2]
    os.chdir(shop)
    if what == 'setprice':
        set_price(shop, *sys.argv[3:7])
        return
    if what == 'instock':
        print('\n'.join(in_stock(shop, sys.argv[3:])))
        return
    records = {'goods': lambda: first_sending(shop), 'leaflet': lambda: leaflet(shop),
               'documents': lambda: documents(shop, sys.argv[3], sys.argv[4:])}[what]()
    sys.stdout.buffer.write(b''.join(r + b'\n' for r in records))


if __name__ == '__main__':
    main()
