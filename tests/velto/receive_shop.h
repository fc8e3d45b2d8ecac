#pragma once
// A shop ready for receiving sales, as the main menu leaves it for its flows: the copied fixture shop
// (period 24\03, sales kind "SD " with counter 15 and headers SD 1 and 2), the public settings, station 1,
// the working data set, the menu's selection (register 01) and the register table held in its slot.
// Every wait that no test key answers gets Esc: the amount message and the printout editor end with it.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/value.h"
#include "platform/screen/keyboard.h"
#include "platform/xbase/table.h"
#include "support/harness.h"
#include "velto/init_dbf.h"
#include "velto/public_settings.h"
#include "velto/register_table.h"

namespace receive_testing {

using core::Value;
namespace key = screen::key;

inline constexpr const char* kReport = "velto\\data_out.txt";

// Replaces a table of the period by a copy without some fields, its index files rebuilt on the keys given
// (file name without ".ntx", key expression).
inline void tableWithout(const std::string& table, const std::vector<std::string>& dropped,
                         const std::vector<std::pair<std::string, std::string>>& indexes) {
    const std::string path = "24/03/" + table + ".dbf", copy = "24/03/" + table + "_new.dbf";
    auto t = xbase::Table::open(path, table, true);
    std::vector<std::string> kept;
    for (auto& f : t->layout().fields)
        if (std::find(dropped.begin(), dropped.end(), f.name) == dropped.end()) kept.push_back(f.name);
    t->copyTo(copy, table, kept);
    t->close();
    std::filesystem::rename(copy, path);
    auto fresh = xbase::Table::open(path, table, true);
    for (auto& [file, key] : indexes) fresh->indexOn("24/03/" + file + ".ntx", file, key);
    fresh->close();
}

struct ReceiveShop : testing_support::Harness {
    std::unique_ptr<Procedure> menu;

    // `prepare` runs on the copied shop before the program opens it.
    template <class Prepare>
    explicit ReceiveShop(Prepare prepare) {
        testing_support::copyFixture(dir.path());
        std::filesystem::create_directories("velto");
        prepare();
        createPublicSettings(settings, clock.today());
        settings.set("STACJA", Value::ofNumber(1));
        settings.set("PLIK", Value::ofText("rob\\wydruk01.prn"));
        if (!INIT_DBF(ctx)) throw std::runtime_error("working data set not opened");
        menu = std::make_unique<Procedure>(ctx, "VELTO_");
        settings.declarePrivate("NR_KASY", Value::ofText("01"));
        settings.declarePrivate("OPIS", Value::ofText(std::string(28, ' ')));
        settings.declarePrivate("PORT", Value::ofNumber(1));
        settings.declarePrivate("PREDKOSC", Value::ofNumber(9600));
        settings.declarePrivate("PS_MAG", Value::ofText(" "));
        settings.declarePrivate("PS_MAG_NO", Value::ofText(" "));
        settings.declarePrivate("WYBOR", Value::ofNumber(3));
        areas.select(kRegisterSlot);
        if (!openRegisterTable(ctx)) throw std::runtime_error("register table not opened");
        areas.select(1);
        keys().onKeyWanted([](double) { return key::Esc; });
    }
    ReceiveShop() : ReceiveShop([] {}) {}
    ~ReceiveShop() { menu.reset(); }

    // A sales report as the register writes it: every line ended by CR LF (the last one only when asked).
    static void report(const std::vector<std::string>& lines, bool lastLineEnd = true,
                       const std::string& file = "velto/data_out.txt") {
        std::string bytes;
        for (size_t i = 0; i < lines.size(); ++i)
            bytes += lines[i] + (i + 1 < lines.size() || lastLineEnd ? "\r\n" : "");
        testing_support::writeFile(file, bytes);
    }
    // One sale line: "S;" + code + ";" + name + ";" + value in hundredths + ";" + quantity in thousandths.
    static std::string sale(const std::string& code, long value, long quantity) {
        return "S;" + code + ";TOWAR;" + std::to_string(value) + ";" + std::to_string(quantity) + ";A;01;";
    }

    // Every visible record of a table, in natural order, as its values of the named fields.
    static std::vector<std::vector<Value>> records(xbase::Table& table,
                                                   const std::vector<std::string>& fields) {
        std::vector<std::vector<Value>> out;
        int order = table.order();
        table.setOrder(0);
        for (table.goTop(); !table.eof(); table.skip(1)) {
            std::vector<Value> row;
            for (auto& f : fields) row.push_back(table.get(f));
            out.push_back(row);
        }
        table.setOrder(order);
        return out;
    }
    // The text of a field over the visible records.
    static std::vector<std::string> texts(xbase::Table& table, const std::string& field) {
        std::vector<std::string> out;
        for (auto& r : records(table, {field})) out.push_back(r[0].text);
        return out;
    }

    // A goods record found by warehouse and index, for reading or changing.
    xbase::Table& goods(const std::string& mag, const std::string& indeks) {
        auto& as = areas.table("as");
        as.setOrder(1);
        std::string key = mag + indeks;
        key.resize(9, ' ');
        if (!as.seekKey(key, false)) throw std::runtime_error("no goods record " + key);
        return as;
    }

    // Headers of a kind in the header table.
    std::vector<std::string> numbers(const std::string& rd = "SD ") {
        std::vector<std::string> out;
        for (auto& r : records(areas.table("dowod"), {"RD", "NRD"}))
            if (r[0].text == rd) out.push_back(r[1].text);
        return out;
    }
};

}  // namespace receive_testing
