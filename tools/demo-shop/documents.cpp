#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/core/cp852.h"
#include "platform/core/value.h"
#include "platform/xbase/table.h"
#include "rng.h"
#include "shop_tables.h"
#include "velto/period.h"

using namespace core::literals;
using core::Value;

namespace demo {

namespace {

constexpr uint64_t kReceiptSeed = 0x505A2D444F574F44ULL;

void putText(xbase::Table& t, const char* field, std::string_view v) {
    t.put(field, Value::ofText(std::string(v)));
}
void putNumber(xbase::Table& t, const char* field, double v) {
    t.put(field, Value::ofNumber(v));
}
void putDate(xbase::Table& t, const char* field, core::Date d) {
    t.put(field, Value::ofDate(d));
}

const std::vector<xbase::Field> kContractorFields{
    {"KOD", 'C', 8, 0},  {"NAZWA", 'C', 40, 0}, {"ADRES", 'C', 40, 0},
    {"NIP", 'C', 13, 0}, {"RABAT", 'N', 5, 1},
};

const std::vector<xbase::Field> kHeaderFields{
    {"R_P", 'C', 1, 0},       {"S_Z", 'C', 1, 0},      {"RD", 'C', 3, 0},    {"NRD", 'C', 8, 0},
    {"DATA", 'D', 8, 0},      {"MAG", 'C', 1, 0},      {"KTO", 'C', 1, 0},   {"ODB", 'C', 8, 0},
    {"WARTOSC0", 'N', 14, 2}, {"NETTO", 'N', 14, 2},   {"VAT", 'N', 14, 2},  {"SPZ", 'C', 1, 0},
    {"KWOTA", 'N', 14, 2},    {"OPERATOR", 'C', 1, 0}, {"NODB", 'C', 40, 0}, {"R_DATA", 'D', 8, 0},
    {"R_CZAS", 'C', 8, 0},
};

const std::vector<xbase::Field> kRowFields{
    {"R_P", 'C', 1, 0},      {"S_Z", 'C', 1, 0},      {"RD", 'C', 3, 0},       {"NRD", 'C', 8, 0},
    {"DATA", 'D', 8, 0},     {"MAG", 'C', 1, 0},      {"LP", 'C', 3, 0},       {"KTO", 'C', 1, 0},
    {"ODB", 'C', 8, 0},      {"INDEKS", 'C', 8, 0},   {"NAZWA", 'C', 30, 0},   {"JM", 'C', 3, 0},
    {"CENA0", 'N', 14, 4},   {"CENA", 'N', 14, 4},    {"NB", 'C', 1, 0},       {"ILOSC", 'N', 15, 3},
    {"WARTOSC", 'N', 14, 2}, {"PODATEK0", 'C', 2, 0}, {"PODATEK", 'N', 14, 4}, {"SWW", 'C', 8, 0},
    {"PKWIU", 'C', 10, 0},
};

const std::vector<xbase::Field> kKindFields{
    {"RD", 'C', 3, 0},  {"OPIS", 'C', 40, 0}, {"R_P", 'C', 1, 0}, {"S_Z", 'C', 1, 0},      {"CUV", 'C', 1, 0},
    {"NRD", 'N', 8, 0}, {"KTO", 'C', 1, 0},   {"MAG", 'C', 1, 0}, {"UZGODNIC", 'C', 1, 0}, {"NB", 'C', 1, 0},
};

std::string timeOfDay(Rng& rng) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", rng.between(7, 17), rng.below(60), rng.below(60));
    return buf;
}

}  // namespace

const std::vector<Contractor>& contractors() {
    static const std::vector<Contractor> all{
        {"D0001", "Hurtownia Spożywcza \"Kłos\" Sp. z o.o."_cp, "ul. Młyńska 8, Kielce"_cp, "657-102-33-18",
         0},
        {"D0002", "Piekarnia \"Pod Dębem\""_cp, "ul. Piekarska 2, Radom", "796-210-45-07", 0},
        {"D0003", "Okręgowa Spółdzielnia Mleczarska"_cp, "ul. Łąkowa 15, Końskie"_cp, "658-001-22-93", 0},
        {"D0004", "Zakłady Mięsne \"Wierzbica\""_cp, "ul. Przemysłowa 4, Wierzbica"_cp, "948-300-12-55", 0},
        {"O0001", "Klient detaliczny", "", "", 0},
        {"O0002", "Bar \"Pod Kasztanem\"", "ul. Ogrodowa 3, Radom", "796-455-61-20", 5},
        {"O0003", "Szkoła Podstawowa Nr 3"_cp, "ul. Szkolna 11, Radom", "796-118-70-04", 2.5},
    };
    return all;
}

void writeContractors(const std::string& hh) {
    auto pk = createTable(hh + "\\pk.dbf", kContractorFields);
    for (const auto& c : contractors()) {
        pk->appendBlank();
        putText(*pk, "KOD", c.kod);
        putText(*pk, "NAZWA", c.nazwa);
        putText(*pk, "ADRES", c.adres);
        putText(*pk, "NIP", c.nip);
        putNumber(*pk, "RABAT", c.rabat);
    }
    index(*pk, hh + "\\pk.ntx", "KOD");
    pk->close();
}

int writeReceipts(const std::string& hh, xbase::Table& goods, const GoodsPools& pools, core::Date periodStart,
                  core::Date today, int documents) {
    Rng rng(kReceiptSeed);
    auto dowod = createTable(hh + "\\dowod.dbf", kHeaderFields);
    auto dow = createTable(hh + "\\dow.dbf", kRowFields);
    const int span = today - periodStart;
    int written = 0;
    for (int k = 0; k < documents; ++k) {
        // Most deliveries go to the main warehouse, every fourth to the second one when it has goods.
        const bool second = k % 4 == 3 && !pools.second.empty();
        const std::vector<uint32_t>& pool = second ? pools.second : pools.main;
        if (pool.empty()) break;
        const std::string mag = second ? "2" : "1";
        const std::string nrd = xbase::formatNumber(written + 1, 8, 0);
        // Spread from the period's first day to today, in the order of their numbers.
        const core::Date date = periodStart + (documents > 1 ? k * span / (documents - 1) : span);
        const Contractor& supplier = contractors()[static_cast<size_t>(k % 4)];

        std::vector<uint32_t> rows;
        const int wanted = std::min<int>(rng.between(3, 10), static_cast<int>(pool.size()));
        while (static_cast<int>(rows.size()) < wanted) {
            uint32_t recno = pool[static_cast<size_t>(rng.below(static_cast<int>(pool.size())))];
            if (std::find(rows.begin(), rows.end(), recno) == rows.end()) rows.push_back(recno);
        }

        double wartosc0 = 0, netto = 0, vat = 0;
        int lp = 0;
        for (uint32_t recno : rows) {
            goods.goTo(recno);
            const std::string jm = goods.get("JM").text;
            const std::string podatek0 = goods.get("PODATEK0").text;
            const double cena0 = goods.get("CENA0").number;
            const double ilosc =
                jm.substr(0, 3) == "szt" ? rng.between(1, 48) : NEWROUND(rng.between(0.5, 30.0), 3);
            const double wartosc = NEWROUND(ilosc * cena0, 2);
            const double podatek = NEWROUND(wartosc * core::readNumber(podatek0) / 100, 4);
            wartosc0 += NEWROUND(ilosc * cena0, 2);
            netto += wartosc;
            vat += podatek;

            dow->appendBlank();
            putText(*dow, "R_P", "P");
            putText(*dow, "S_Z", "Z");
            putText(*dow, "RD", "PZ ");
            putText(*dow, "NRD", nrd);
            putDate(*dow, "DATA", date);
            putText(*dow, "MAG", mag);
            putText(*dow, "LP", xbase::formatNumber(++lp, 3, 0));
            putText(*dow, "KTO", "D");
            putText(*dow, "ODB", supplier.kod);
            for (const char* field : {"INDEKS", "NAZWA", "JM", "SWW", "PKWIU"})
                dow->put(field, goods.get(field));
            putNumber(*dow, "CENA0", cena0);
            putNumber(*dow, "CENA", cena0);  // a receipt is priced at purchase, net
            putText(*dow, "NB", "N");
            putNumber(*dow, "ILOSC", ilosc);
            putNumber(*dow, "WARTOSC", wartosc);
            putText(*dow, "PODATEK0", podatek0);
            putNumber(*dow, "PODATEK", podatek);

            // The goods record remembers its last receipt, which the date filter of sending looks at.
            putDate(goods, "DATA_PZ", date);
            putText(goods, "RD_PZ", "PZ ");
            putText(goods, "NRD_PZ", nrd);
            putNumber(goods, "ILOSC_PZ", ilosc);
            putNumber(goods, "CENA_PZ", cena0);
            putNumber(goods, "ILOSC", goods.get("ILOSC").number + ilosc);
        }

        dowod->appendBlank();
        putText(*dowod, "R_P", "P");
        putText(*dowod, "S_Z", "Z");
        putText(*dowod, "RD", "PZ ");
        putText(*dowod, "NRD", nrd);
        putDate(*dowod, "DATA", date);
        putText(*dowod, "MAG", mag);
        putText(*dowod, "KTO", "D");
        putText(*dowod, "ODB", supplier.kod);
        putNumber(*dowod, "WARTOSC0", NEWROUND(wartosc0, 2));
        putNumber(*dowod, "NETTO", NEWROUND(netto, 2));
        putNumber(*dowod, "VAT", NEWROUND(vat, 2));
        putText(*dowod, "SPZ", "G");
        putNumber(*dowod, "KWOTA", NEWROUND(netto, 2) + NEWROUND(vat, 2));
        putText(*dowod, "OPERATOR", "1");
        putText(*dowod, "NODB", supplier.nazwa);
        putDate(*dowod, "R_DATA", date);
        putText(*dowod, "R_CZAS", timeOfDay(rng));
        ++written;
    }
    goods.commit();

    index(*dow, hh + "\\dow1.ntx", "RD+NRD+LP");
    index(*dow, hh + "\\dow2.ntx", "MAG+INDEKS+DTOS(DATA)");
    index(*dow, hh + "\\dow3.ntx", "DTOS(DATA)+RD+NRD");
    dow->close();
    index(*dowod, hh + "\\dowod1.ntx", "RD+NRD");
    index(*dowod, hh + "\\dowod2.ntx", "DTOS(DATA)+RD+NRD");
    dowod->close();
    return written;
}

void writeDocumentKinds(const std::string& hh, int receipts) {
    struct Kind {
        const char* rd;
        std::string_view opis;
        const char *rp, *sz, *cuv;
        int nrd;
        const char *kto, *mag, *uzgodnic, *nb;
    };
    // The register settlement's kind "RT " is not here: the settlement adds it at its first run.
    const Kind kinds[] = {
        {"SD ", "Sprzedaż detaliczna"_cp, "R", "S", "V", 0, "O", "1", "T", "B"},
        {"PZ ", "Przyjęcie zewnętrzne"_cp, "P", "Z", "C", receipts, "D", "1", "T", "N"},
        {"FV ", "Faktura VAT", "R", "S", "V", 0, "O", "1", "N", "N"},
        {"WZ ", "Wydanie zewnętrzne"_cp, "R", "S", "C", 0, "O", "1", "N", "N"},
        {"KP ", "Kasa przyjmie", "P", "K", "C", 0, "O", "1", "N", "B"},
        {"KW ", "Kasa wypłaci"_cp, "R", "K", "C", 0, "D", "1", "N", "B"},
        {"MM-", "Przesunięcie międzymagazynowe"_cp, "R", " ", "C", 0, " ", "2", "N", "N"},
        {"KOR", "Korekta faktury", "R", "S", "V", 0, "O", "1", "N", "N"},
    };
    auto slow = createTable(hh + "\\slow.dbf", kKindFields);
    for (const auto& k : kinds) {
        slow->appendBlank();
        putText(*slow, "RD", k.rd);
        putText(*slow, "OPIS", k.opis);
        putText(*slow, "R_P", k.rp);
        putText(*slow, "S_Z", k.sz);
        putText(*slow, "CUV", k.cuv);
        putNumber(*slow, "NRD", k.nrd);
        putText(*slow, "KTO", k.kto);
        putText(*slow, "MAG", k.mag);
        putText(*slow, "UZGODNIC", k.uzgodnic);
        putText(*slow, "NB", k.nb);
    }
    index(*slow, hh + "\\slow.ntx", "RD");
    slow->close();
}

}  // namespace demo
