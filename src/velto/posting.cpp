#include "velto/posting.h"

#include <cmath>
#include <optional>
#include <string>

#include "lib/fun1.h"
#include "lib/locks.h"
#include "platform/context.h"
#include "platform/core/cp852.h"
#include "platform/core/text.h"
#include "platform/os/clock.h"
#include "platform/screen/keyboard.h"
#include "platform/settings/settings.h"
#include "platform/xbase/field.h"
#include "platform/xbase/workareas.h"
#include "velto/period.h"

using namespace core::literals;
using core::Value;
using xbase::Table;

namespace {

constexpr double kNumberWait = 30;  // the dictionary record, while the number is taken
constexpr double kRecordWait = 15;  // every appended or changed record
constexpr double kLastNumber = 99999999;
constexpr double kCounterLimit = 99999999;  // a sales counter above it starts again from 0

std::string number8(double n) {
    return xbase::formatNumber(n, 8, 0);
}

std::string twoDigits(int n) {
    return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

// Makes a slot current and locks its current record, with the retries of REC_LOCK.
bool lockIn(Context& ctx, int slot, double wait) {
    ctx.areas->select(slot);
    return REC_LOCK(ctx, wait);
}

// The fields of the document kind that its headers and rows carry.
struct Kind {
    std::string r_p, s_z, rd, kto;
};

// Takes the document's number from the kind's counter (see REP_DOW_ZETO) and reads the kind's fields.
Kind takeNumber(Context& ctx, const std::string& rd) {
    auto& areas = *ctx.areas;
    auto& settings = *ctx.settings;
    int slowSlot = areas.slotOf("slow");
    Table& slow = areas.table("slow");
    if (slow.order() == 0) slow.setOrder(1);
    bool known = slow.seek(Value::ofText(rd), false);
    if (known && lockIn(ctx, slowSlot, kNumberWait)) {
        std::string nrd = firstFreeNumber(ctx, rd, slow.get("NRD").number + 1);
        slow.put("NRD", Value::ofNumber(core::readNumber(nrd)));
        slow.unlock();
        settings.set("M_NRD", Value::ofText(nrd));
    } else {
        // Without the counter the caller's number stands, unless a header has taken it meanwhile.
        std::string nrd = settings.text("M_NRD");
        settings.set("M_NRD", Value::ofText(firstFreeNumber(ctx, rd, core::readNumber(nrd))));
    }
    Kind kind;
    kind.r_p = slow.get("R_P").text;
    kind.s_z = slow.get("S_Z").text;
    kind.rd = slow.get("RD").text;
    kind.kto = slow.get("KTO").text;
    return kind;
}

// The register the sales came from: its description (26 characters) and port, as the header's name.
std::string registerName(Context& ctx) {
    std::string description;
    double port = 0;
    if (Table* velto = ctx.areas->find("velto")) {
        description = velto->get("POPIS").text;
        port = velto->get("PPORT").number;
    } else if (ctx.settings->exists("OPIS")) {
        description = ctx.settings->text("OPIS");
        port = ctx.settings->number("PORT");
    }
    description.resize(26, ' ');
    return description + "Port:" + xbase::formatNumber(port, 2, 0);
}

bool onGoods(const Table& as, const std::string& key) {
    return !as.eof() && !as.deleted() && as.get("MAG").text + as.get("INDEKS").text == key;
}

// Locks the goods record of a row (up to `wait` seconds): the one the row was matched to when it is
// still that article, otherwise the one found by its key. False when the record is gone or stays locked.
// The matched record is read once, under its lock.
bool lockGoods(Context& ctx, int asSlot, const std::string& key, uint32_t matched, double wait) {
    ctx.areas->select(asSlot);
    Table& as = ctx.areas->table();
    if (matched) {
        if (REC_LOCK(ctx, wait, matched)) {
            if (onGoods(as, key)) return true;
            as.unlock();
        }
        // The article is elsewhere now, or its matched record stayed locked: its record by the key, unless
        // that is the record just given up on.
        return as.seekKey(key, false) && as.recno() != matched && REC_LOCK(ctx, wait);
    }
    return as.seekKey(key, false) && REC_LOCK(ctx, wait);
}

// The goods counters that posting books, looked up once: the optional ones are null when the goods table
// lacks them.
struct GoodsCounters {
    explicit GoodsCounters(const Table& as)
        : ilosc(as.fieldOf("ILOSC")),
          bri(as.fieldOf("B_R_I")),
          briSd(as.layout().field("B_R_I_SD")),
          dataPz(as.layout().field("DATA_PZ")),
          iloscSd(as.layout().field("ILOSC_SD")),
          iloscPz(as.layout().field("ILOSC_PZ")),
          dataSd(as.layout().field("DATA_SD")) {}
    const xbase::Field &ilosc, &bri;
    const xbase::Field *briSd, *dataPz, *iloscSd, *iloscPz, *dataSd;
};

// Books a row's quantity against the locked goods record.
void bookGoods(Table& as, const GoodsCounters& c, double q, core::Date date) {
    as.put(c.ilosc, Value::ofNumber(as.get(c.ilosc).number - q));
    as.put(c.bri, Value::ofNumber(as.get(c.bri).number + q));
    if (c.briSd) as.put(*c.briSd, Value::ofNumber(as.get(*c.briSd).number + q));
    if (!c.dataPz || !c.iloscSd || !c.iloscPz) return;
    core::Date received = as.get(*c.dataPz).date;
    if (!received.empty() && received > date) return;
    if (as.get(*c.iloscPz).number <= 0 && received.empty()) {
        as.put(*c.dataPz, Value::ofDate(date));
        as.put(*c.iloscSd, Value::ofNumber(0));
    }
    double sold = as.get(*c.iloscSd).number;
    as.put(*c.iloscSd, Value::ofNumber(sold > kCounterLimit ? 0 : sold + q));
    if (c.dataSd) as.put(*c.dataSd, Value::ofDate(date));
}

}  // namespace

std::string firstFreeNumber(Context& ctx, std::string_view kind, double from) {
    Table& dowod = ctx.areas->table("dowod");
    if (dowod.order() != 1) dowod.setOrder(1);
    std::string rd(kind);
    rd.resize(3, ' ');
    double n = std::max(1.0, std::floor(from));
    while (n < kLastNumber && dowod.seekKey(rd + number8(n), false)) ++n;
    return number8(n);
}

std::string amountText(double value) {
    value = NEWROUND(value, 2);
    std::string digits = xbase::formatNumber(std::fabs(value), 12, 2);
    if (digits.find('*') != std::string::npos) return "*** *** ***.**";
    std::string whole = core::trimBlanks(digits.substr(0, 9)), text;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) text += ' ';
        text += whole[i];
    }
    return (value < 0 ? "-" : "") + text + digits.substr(9);
}

bool REP_DOW_ZETO(Context& ctx, const std::vector<uint32_t>* goodsRecords) {
    Procedure proc(ctx, "REP_DOW_ZETO");
    auto& areas = *ctx.areas;
    auto& settings = *ctx.settings;
    const int remembered = areas.current();
    const int asSlot = areas.slotOf("as"), dowSlot = areas.slotOf("dow"), dowodSlot = areas.slotOf("dowod");
    Table& as = areas.table("as");
    Table& dd = areas.table("dd");
    Table& dow = areas.table("dow");
    Table& dowod = areas.table("dowod");

    as.setOrder(1);
    std::string rd = settings.text("M_RD");
    rd.resize(3, ' ');
    const Kind kind = takeNumber(ctx, rd);
    const std::string nrd = settings.text("M_NRD");
    const core::Date date = settings.date("M_DATA");

    // The header, its totals at 0 until the rows are summed into it.
    uint32_t header = 0;
    areas.select(dowodSlot);
    if (ADD_REC(ctx, kRecordWait)) {
        header = dowod.recno();
        dowod.put("R_P", Value::ofText(kind.r_p));
        dowod.put("S_Z", Value::ofText(kind.s_z));
        dowod.put("RD", Value::ofText(kind.rd));
        dowod.put("NRD", Value::ofText(nrd));
        dowod.put("DATA", Value::ofDate(date));
        dowod.put("MAG", Value::ofText(settings.text("M_MAG")));
        dowod.put("KTO", Value::ofText(kind.kto));
        for (const char* field : {"WARTOSC0", "NETTO", "VAT"}) dowod.put(field, Value::ofNumber(0));
        dowod.put("SPZ", Value::ofText(settings.text("M_SPZ")));
        dowod.put("KWOTA", Value::ofNumber(NEWROUND(settings.number("M_WPLATA"), 2)));
        dowod.put("OPERATOR", Value::ofText(settings.text("M_NR")));
        dowod.put("NODB", Value::ofText(registerName(ctx)));
        os::LocalTime now = ctx.clock->now();
        if (dowod.hasField("R_DATA")) dowod.put("R_DATA", Value::ofDate(now.date()));
        if (dowod.hasField("R_CZAS"))
            dowod.put("R_CZAS", Value::ofText(twoDigits(now.hour) + ":" + twoDigits(now.minute) + ":" +
                                              twoDigits(now.second)));
        dowod.unlock();
    }

    // The rows. The header's totals are summed here, exactly, and written into it once the rows are in:
    // its fields keep two decimals, and adding to them row by row would round at every row (a hundred
    // thousand rows of 0.0046 VAT would still total 0.00).
    // The fields are looked up once, not on every row.
    using xbase::Field;
    const Field &ddMag = dd.fieldOf("MAG"), &ddIndeks = dd.fieldOf("INDEKS"), &ddIlosc = dd.fieldOf("ILOSC");
    const Field &ddCena0 = dd.fieldOf("CENA0"), &ddWartosc = dd.fieldOf("WARTOSC");
    const Field& ddPodatek = dd.fieldOf("PODATEK");
    const Field &rowRP = dow.fieldOf("R_P"), &rowSZ = dow.fieldOf("S_Z"), &rowRD = dow.fieldOf("RD");
    const Field &rowKTO = dow.fieldOf("KTO"), &rowNRD = dow.fieldOf("NRD"), &rowDATA = dow.fieldOf("DATA");
    const Field &rowMAG = dow.fieldOf("MAG"), &rowLP = dow.fieldOf("LP");
    std::vector<std::pair<const Field*, const Field*>> copied;  // the scratch row's field, the row's
    for (const char* name :
         {"INDEKS", "NAZWA", "JM", "CENA0", "CENA", "NB", "ILOSC", "WARTOSC", "PODATEK0", "PODATEK", "SWW"})
        copied.emplace_back(&dd.fieldOf(name), &dow.fieldOf(name));
    if (dd.hasField("PKWIU") && dow.hasField("PKWIU"))
        copied.emplace_back(&dd.fieldOf("PKWIU"), &dow.fieldOf("PKWIU"));
    const GoodsCounters counters(as);

    double wartosc0 = 0, netto = 0, vat = 0;
    int n = 0;
    for (dd.goTop(); !dd.eof(); dd.skip(1)) {
        ++n;
        const std::string mag = dd.get(ddMag).text, indeks = dd.get(ddIndeks).text;
        const double ilosc = dd.get(ddIlosc).number, cena0 = dd.get(ddCena0).number;
        const double wartosc = dd.get(ddWartosc).number, podatek = dd.get(ddPodatek).number;
        uint32_t matched = 0;
        if (goodsRecords && dd.recno() <= goodsRecords->size()) matched = (*goodsRecords)[dd.recno() - 1];

        areas.select(dowSlot);
        // Appended, written and unlocked in one step; a failed append writes nothing.
        ADD_REC(ctx, kRecordWait, [&](Table& row) {
            row.put(rowRP, Value::ofText(kind.r_p));
            row.put(rowSZ, Value::ofText(kind.s_z));
            row.put(rowRD, Value::ofText(kind.rd));
            row.put(rowKTO, Value::ofText(kind.kto));
            row.put(rowNRD, Value::ofText(nrd));
            row.put(rowDATA, Value::ofDate(date));
            row.put(rowMAG, Value::ofText(mag));
            row.put(rowLP, Value::ofText(xbase::formatNumber(n, 3, 0)));
            for (const auto& [from, to] : copied) row.put(*to, dd.get(*from));
        });

        wartosc0 += NEWROUND(ilosc * cena0, 2);
        vat += podatek;
        netto += wartosc - podatek;

        // A goods record removed since the import keeps its counters as they are.
        if (lockGoods(ctx, asSlot, mag + indeks, matched, kRecordWait)) {
            if (!as.deleted()) bookGoods(as, counters, ilosc, date);
            as.unlock();
        }
    }

    double amount = NEWROUND(netto, 2) + NEWROUND(vat, 2);
    if (header) {
        dowod.goTo(header);
        if (lockIn(ctx, dowodSlot, kRecordWait)) {
            dowod.put("WARTOSC0", Value::ofNumber(NEWROUND(wartosc0, 2)));
            dowod.put("NETTO", Value::ofNumber(NEWROUND(netto, 2)));
            dowod.put("VAT", Value::ofNumber(NEWROUND(vat, 2)));
            dowod.unlock();
        }
        amount = dowod.get("NETTO").number + dowod.get("VAT").number;
    }

    ctx.keyboard->clear();
    OKNO_(ctx, rd + core::trimBlanks(nrd) + "  na kwote  " + amountText(amount) + std::string(" Zł"_cp),
          "...");
    ctx.keyboard->inkey(-1);
    areas.select(remembered);
    return true;
}
