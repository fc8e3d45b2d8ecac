#include "demo_shop.h"

#include <algorithm>
#include <fstream>
#include <memory>

#include "catalogue.h"
#include "platform/core/cp852.h"
#include "platform/core/error.h"
#include "platform/os/files.h"
#include "platform/os/path.h"
#include "platform/settings/mem_file.h"
#include "platform/settings/settings.h"
#include "platform/xbase/table.h"
#include "rng.h"
#include "shop_tables.h"
#include "velto/public_settings.h"

using namespace core::literals;
using core::Value;

namespace demo {

namespace {

constexpr uint64_t kLeafletSeed = 0x47415A455441ULL;

void putText(xbase::Table& t, const char* field, std::string_view v) {
    t.put(field, Value::ofText(std::string(v)));
}
void putNumber(xbase::Table& t, const char* field, double v) {
    t.put(field, Value::ofNumber(v));
}

std::string twoDigits(int n) {
    return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

void makeDirectory(const std::string& dosName) {
    if (!os::makeDirectory(dosName))
        throw core::RuntimeError(core::RuntimeError::Kind::Creation, "cannot create the directory", dosName);
}

// A text file of CR LF lines, as the program's own text files are.
void writeLines(const std::string& dosName, std::initializer_list<std::string> lines) {
    std::ofstream out(os::resolve(dosName), std::ios::binary | std::ios::trunc);
    for (const auto& line : lines) out << line << "\r\n";
    if (!out.flush()) throw core::RuntimeError(core::RuntimeError::Kind::Io, "cannot write", dosName);
}

void writeCompany(core::Date periodStart) {
    const std::vector<xbase::Field> fields{
        {"ST", 'C', 10, 0},    {"BMR", 'C', 5, 0},  {"NODB", 'C', 40, 0},  {"NODB1", 'C', 40, 0},
        {"NODB2", 'C', 40, 0}, {"NIP", 'C', 13, 0}, {"DATA_O", 'D', 8, 0},
    };
    auto firma = createTable("firma.dbf", fields);
    firma->appendBlank();
    putText(*firma, "ST", "0000000000");  // every station slot free
    putText(*firma, "BMR", twoDigits(periodStart.month()) + "/" + twoDigits(periodStart.year()));
    putText(*firma, "NODB", "P.H.U. \"POD LIPĄ\" Sklep spożywczy"_cp);
    putText(*firma, "NODB1", "ul. Świętokrzyska 14"_cp);
    putText(*firma, "NODB2", "26-600 Radom");
    putText(*firma, "NIP", "948-211-73-42");
    firma->put("DATA_O", Value::ofDate(periodStart));
    firma->close();
}

void writeParameters(core::Date today) {
    // What the program itself would write, with the stock-keeping system's tax rates on top.
    settings::Settings s;
    createPublicSettings(s, today);
    const std::pair<const char*, const char*> rates[] = {
        {"J_PTUA", "23"}, {"J_PTUB", " 8"}, {"J_PTUC", " 5"}, {"J_PTUD", " 0"},
        {"J_PTUE", " 0"}, {"J_PTUF", " 0"}, {"J_PTUZ", "ZW"},
    };
    for (const auto& [name, rate] : rates) s.set(name, Value::ofText(rate));
    s.set("J_POZIOM", Value::ofNumber(2));
    s.set("J_NAZWA", Value::ofText(std::string(" SKLEP POD LIPĄ "_cp)));
    s.set("J_I3", Value::ofText("3"));  // settled ingredients keep grams
    settings::writeMemFile(os::resolve("PARAMETR.MEM"), s.publicsWithPrefix("J_"), "PARAMETR.MEM");
}

void writeRecipes(const Catalogue& catalogue) {
    const auto& fixed = catalogue.fixed();
    auto wyr = createTable("wyr.dbf", {{"MAG", 'C', 1, 0},
                                       {"INDEKS", 'C', 8, 0},
                                       {"NAZWA", 'C', 30, 0},
                                       {"JM", 'C', 3, 0},
                                       {"CENA0", 'N', 14, 4},
                                       {"CENA", 'N', 14, 2},
                                       {"IL_JM", 'N', 10, 3},
                                       {"ILOSC", 'N', 15, 3}});
    auto nor = createTable("nor.dbf", {{"MAG", 'C', 1, 0},
                                       {"INDEKS", 'C', 8, 0},
                                       {"MAGS", 'C', 1, 0},
                                       {"INDEKSS", 'C', 8, 0},
                                       {"NAZWAS", 'C', 30, 0},
                                       {"JMS", 'C', 3, 0},
                                       {"NORMA", 'N', 12, 4},
                                       {"CENA0", 'N', 14, 4},
                                       {"CENA", 'N', 14, 2},
                                       {"UPUST0", 'N', 5, 1}});
    for (const auto& recipe : catalogue.recipes()) {
        const Article& p = fixed[recipe.product];
        wyr->appendBlank();
        putText(*wyr, "MAG", p.mag);
        putText(*wyr, "INDEKS", p.indeks);
        putText(*wyr, "NAZWA", p.nazwa);
        putText(*wyr, "JM", p.jm);
        putNumber(*wyr, "CENA0", recipe.cost);
        putNumber(*wyr, "CENA", p.cena);
        putNumber(*wyr, "IL_JM", recipe.batch);
        putNumber(*wyr, "ILOSC", recipe.batch);
        for (const auto& row : recipe.rows) {
            const Article& in = fixed[row.ingredient];
            nor->appendBlank();
            putText(*nor, "MAG", p.mag);
            putText(*nor, "INDEKS", p.indeks);
            putText(*nor, "MAGS", in.mag);
            putText(*nor, "INDEKSS", in.indeks);
            putText(*nor, "NAZWAS", in.nazwa);
            putText(*nor, "JMS", in.jm);
            putNumber(*nor, "NORMA", row.norma);
            putNumber(*nor, "CENA0", in.cena0);
            putNumber(*nor, "CENA", in.cena);
            putNumber(*nor, "UPUST0", in.upust0);
        }
    }
    index(*wyr, "wyr.ntx", "MAG+INDEKS");
    wyr->close();
    index(*nor, "nor.ntx", "MAG+INDEKS+MAGS+INDEKSS");
    nor->close();
}

// A promotional leaflet naming a dozen articles of the main warehouse and a few of the second.
void writeLeaflet(xbase::Table& goods, const GoodsPools& pools) {
    Rng rng(kLeafletSeed);
    auto gazetka = createTable("rob0\\gazetka1.dbf", {{"MAG", 'C', 1, 0}, {"INDEKS", 'C', 8, 0}});
    std::vector<uint32_t> chosen;
    auto choose = [&](const std::vector<uint32_t>& pool, size_t count) {
        count = std::min(count, pool.size());
        for (size_t n = 0; n < count;) {
            uint32_t recno = pool[static_cast<size_t>(rng.below(static_cast<int>(pool.size())))];
            if (std::find(chosen.begin(), chosen.end(), recno) != chosen.end()) continue;
            chosen.push_back(recno);
            ++n;
        }
    };
    choose(pools.main, 12);
    choose(pools.second, 3);
    for (uint32_t recno : chosen) {
        goods.goTo(recno);
        gazetka->appendBlank();
        gazetka->put("MAG", goods.get("MAG"));
        gazetka->put("INDEKS", goods.get("INDEKS"));
    }
    gazetka->close();
}

void writeWorkstationConfig() {
    // Every workstation renders on its default printer; this one prints raw to its parallel port.
    std::string computer = os::computerName();
    if (computer.empty()) computer = "KASA1";
    writeLines("vat.ini",
               {"; Drukarki stanowisk sklepu", "[System]", "PrinterName=DEFAULT", "PrinterType=WIN32", "",
                "[" + computer + "]", "PrinterName=LPT1", "PrinterType=", ""});
}

}  // namespace

ShopSummary makeDemoShop(uint32_t articles, const os::LocalTime& now) {
    const core::Date today = now.date();
    const core::Date periodStart = core::Date::fromYmd(now.year, now.month, 1);
    ShopSummary summary;
    const std::string yy = twoDigits(now.year), mm = twoDigits(now.month);
    summary.period = yy + "\\" + mm;
    const std::string& hh = summary.period;

    for (const char* dir : {"rob", "rob0", "velto"}) makeDirectory(dir);
    makeDirectory(yy);
    makeDirectory(hh);

    writeParameters(today);
    Catalogue catalogue(periodStart, today);
    GoodsPools pools;
    auto goods = writeGoods(hh, catalogue, articles, pools);
    summary.goods = goods->recordCount();
    writeContractors(hh);
    const int receipts = std::clamp(static_cast<int>(articles / 400), 4, 200);
    summary.receipts = writeReceipts(hh, *goods, pools, periodStart, today, receipts);
    writeDocumentKinds(hh, summary.receipts);
    writeLeaflet(*goods, pools);
    buildGoodsOrders(*goods, hh);
    goods->close();

    writeRecipes(catalogue);
    writeLines("KLOV_RTP.TXT", {"Rozliczanie receptur po sprzedazy z kasy"});
    writeWorkstationConfig();
    // Last: a directory with a company table is a finished shop, which a second run leaves alone.
    writeCompany(periodStart);
    return summary;
}

}  // namespace demo
