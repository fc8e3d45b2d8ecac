#include <memory>

#include "platform/core/error.h"
#include "platform/os/path.h"
#include "platform/xbase/table.h"
#include "shop_tables.h"

using core::Value;

namespace demo {

const std::vector<xbase::Field>& goodsFields() {
    static const std::vector<xbase::Field> fields{
        {"MAG", 'C', 1, 0},       {"INDEKS", 'C', 8, 0},    {"NAZWA", 'C', 30, 0},   {"JM", 'C', 3, 0},
        {"KOD13", 'C', 13, 0},    {"PODATEK0", 'C', 2, 0},  {"CENA0", 'N', 14, 4},   {"CENA", 'N', 14, 2},
        {"CENA2", 'N', 14, 2},    {"CENA2M", 'N', 14, 2},   {"CENA3", 'N', 14, 2},   {"CENAM", 'N', 14, 2},
        {"ILOSC", 'N', 15, 3},    {"UPUST0", 'N', 5, 1},    {"SWW", 'C', 8, 0},      {"PKWIU", 'C', 10, 0},
        {"B_R_I", 'N', 15, 3},    {"B_R_I_SD", 'N', 15, 3}, {"DATA_PZ", 'D', 8, 0},  {"ILOSC_PZ", 'N', 15, 3},
        {"ILOSC_SD", 'N', 15, 3}, {"DATA_SD", 'D', 8, 0},   {"RD_PZ", 'C', 3, 0},    {"NRD_PZ", 'C', 8, 0},
        {"REZERWA0", 'N', 15, 3}, {"PODGRUPA", 'C', 8, 0},  {"CENA_PZ", 'N', 16, 6},
    };
    return fields;
}

std::unique_ptr<xbase::Table> createTable(const std::string& dosName,
                                          const std::vector<xbase::Field>& fields) {
    auto table = xbase::Table::create(os::resolve(dosName), dosName, fields);
    if (!table) throw core::RuntimeError(core::RuntimeError::Kind::Creation, "table is in use", dosName);
    return table;
}

void index(xbase::Table& table, const std::string& dosName, const std::string& expression) {
    if (!table.indexOn(os::resolve(dosName), dosName, expression))
        throw core::RuntimeError(core::RuntimeError::Kind::Creation, "index file is in use", dosName);
}

namespace {

void putArticle(xbase::Table& t, const Article& a) {
    auto text = [&](const char* field, const std::string& v) { t.put(field, Value::ofText(v)); };
    auto number = [&](const char* field, double v) { t.put(field, Value::ofNumber(v)); };
    auto date = [&](const char* field, core::Date d) { t.put(field, Value::ofDate(d)); };
    text("MAG", a.mag);
    text("INDEKS", a.indeks);
    text("NAZWA", a.nazwa);
    text("JM", a.jm);
    text("KOD13", a.kod13);
    text("PODATEK0", a.podatek0);
    number("CENA0", a.cena0);
    number("CENA", a.cena);
    number("CENA2", a.cena2);
    number("CENA2M", a.cena2m);
    number("CENA3", a.cena3);
    number("CENAM", a.cenam);
    number("ILOSC", a.ilosc);
    text("SWW", a.sww);
    text("PKWIU", a.pkwiu);
    text("PODGRUPA", a.podgrupa);
    if (a.copy) return;  // the counters of a further warehouse's record stay blank
    number("UPUST0", a.upust0);
    number("B_R_I", a.bri);
    number("B_R_I_SD", a.briSd);
    number("REZERWA0", a.rezerwa0);
    number("CENA_PZ", a.cenaPz);
    if (!a.dataPz.empty()) {
        date("DATA_PZ", a.dataPz);
        number("ILOSC_PZ", a.iloscPz);
        text("RD_PZ", a.rdPz);
        text("NRD_PZ", a.nrdPz);
    }
    if (!a.dataSd.empty()) {
        date("DATA_SD", a.dataSd);
        number("ILOSC_SD", a.iloscSd);
    }
}

}  // namespace

std::unique_ptr<xbase::Table> writeGoods(const std::string& hh, Catalogue& catalogue, uint32_t count,
                                         GoodsPools& pools) {
    auto goods = createTable(hh + "\\as.dbf", goodsFields());
    for (uint32_t recno = 1; recno <= count; ++recno) {
        Article a = catalogue.next();
        goods->appendBlank();
        putArticle(*goods, a);
        if (a.deleted) {
            goods->deleteRecord();
        } else if (a.podgrupa != "GASTRO") {  // the kitchen's products are made, not received
            if (a.mag == "1") pools.main.push_back(recno);
            if (a.mag == "2") pools.second.push_back(recno);
        }
    }
    goods->commit();
    return goods;
}

void buildGoodsOrders(xbase::Table& goods, const std::string& hh) {
    // Built in bulk from the finished table; the bar-code order runs by complemented code, then
    // complemented warehouse, as the sales import searches it.
    index(goods, hh + "\\as.ntx", "MAG+INDEKS");
    index(goods, hh + "\\as2.ntx", "DESCEND(KOD13+MAG)");
    index(goods, hh + "\\as3.ntx", "UPPER(NAZWA)+MAG");
}

}  // namespace demo
