// The filters of a sending applied to goods records as the table stores them.
#include "velto/send_choice.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/core/cp852.h"
#include "platform/xbase/field.h"

using core::Value;
using namespace core::literals;

namespace {

struct Goods {
    xbase::Layout layout;
    std::string record;
    explicit Goods(bool withReceipts = true) {
        std::vector<xbase::Field> fields{{"MAG", 'C', 1},    {"INDEKS", 'C', 8},    {"NAZWA", 'C', 30},
                                         {"KOD13", 'C', 13}, {"ILOSC", 'N', 15, 3}, {"CENA2", 'N', 14, 2}};
        if (withReceipts)
            fields.insert(fields.end(), {{"RD_PZ", 'C', 3}, {"NRD_PZ", 'C', 8}, {"DATA_PZ", 'D', 8}});
        layout = xbase::Layout::of(fields);
        record.assign(static_cast<size_t>(layout.recordLength), ' ');
        set("MAG", Value::ofText("1")).set("NAZWA", Value::ofText("MLEKO")).set("ILOSC", Value::ofNumber(5));
        if (withReceipts)
            set("RD_PZ", Value::ofText("PZ "))
                .set("DATA_PZ", Value::ofDate(core::Date::fromYmd(2024, 3, 10)));
    }
    Goods& set(const char* field, const Value& v) {
        xbase::writeField(*layout.field(field), record.data(), v);
        return *this;
    }
};

}  // namespace

TEST(SendChoice, ArticleFilter) {
    struct Case {
        const char* what;
        std::function<void(SendChoice&, Goods&)> change;
        bool wanted;
    } cases[] = {
        {"as it stands", [](SendChoice&, Goods&) {}, true},
        {"no stock, all goods", [](SendChoice&, Goods& g) { g.set("ILOSC", Value::ofNumber(0)); }, true},
        {"no stock, only in stock",
         [](SendChoice& c, Goods& g) {
             c.onlyInStock = true;
             g.set("ILOSC", Value::ofNumber(0));
         },
         false},
        {"negative stock",
         [](SendChoice& c, Goods& g) {
             c.onlyInStock = true;
             g.set("ILOSC", Value::ofNumber(-2));
         },
         false},
        {"a little stock",
         [](SendChoice& c, Goods& g) {
             c.onlyInStock = true;
             g.set("ILOSC", Value::ofNumber(0.001));
         },
         true},
        {"warehouse listed", [](SendChoice& c, Goods&) { c.magazyn = "321"; }, true},
        {"warehouse not listed", [](SendChoice& c, Goods&) { c.magazyn = "23"; }, false},
        {"warehouse never sent", [](SendChoice&, Goods& g) { g.set("MAG", Value::ofText("K")); }, false},
        {"warehouse among the ones never sent",
         [](SendChoice&, Goods& g) { g.set("MAG", Value::ofText("U")); }, false},
        {"blank warehouse: the blank of J_MAG_U",
         [](SendChoice&, Goods& g) { g.set("MAG", Value::ofText(" ")); }, false},
        {"no name", [](SendChoice&, Goods& g) { g.set("NAZWA", Value::ofText("")); }, false},
        {"name from the start letter", [](SendChoice& c, Goods&) { c.fromLetter = 'M'; }, true},
        {"name below the start letter", [](SendChoice& c, Goods&) { c.fromLetter = 'N'; }, false},
        {"letters above 127 come after",
         [](SendChoice& c, Goods& g) {
             c.fromLetter = 'Z';
             g.set("NAZWA", Value::ofText(std::string("ĄPTEKA"_cp)));
         },
         true},
    };
    for (auto& c : cases) {
        SendChoice choice;
        Goods goods;
        c.change(choice, goods);
        EXPECT_EQ(articleWanted(choice, GoodsView(goods.layout), goods.record.data()), c.wanted) << c.what;
    }
}

TEST(SendChoice, ReceiptsSinceADate) {
    struct Case {
        const char* what;
        std::function<void(SendChoice&, Goods&)> change;
        SinceDate expected;
    } cases[] = {
        {"no date", [](SendChoice& c, Goods&) { c.since = {}; }, SinceDate::Off},
        {"received that day", [](SendChoice&, Goods&) {}, SinceDate::Pass},
        {"received later", [](SendChoice& c, Goods&) { c.since = core::Date::fromYmd(2024, 3, 1); },
         SinceDate::Pass},
        {"received before", [](SendChoice& c, Goods&) { c.since = core::Date::fromYmd(2024, 3, 11); },
         SinceDate::Skip},
        {"never received", [](SendChoice&, Goods& g) { g.set("DATA_PZ", Value::ofDate({})); },
         SinceDate::Skip},
        {"another document type", [](SendChoice&, Goods& g) { g.set("RD_PZ", Value::ofText("WZ ")); },
         SinceDate::Skip},
        {"any type",
         [](SendChoice& c, Goods& g) {
             c.rd = "   ";
             g.set("RD_PZ", Value::ofText("WZ "));
         },
         SinceDate::Pass},
    };
    for (auto& c : cases) {
        SendChoice choice;
        choice.since = core::Date::fromYmd(2024, 3, 10);
        Goods goods;
        c.change(choice, goods);
        EXPECT_EQ(sinceDate(choice, GoodsView(goods.layout), goods.record.data()), c.expected) << c.what;
    }
    // A goods table that keeps no receipts has no date filter.
    SendChoice choice;
    choice.since = core::Date::fromYmd(2024, 3, 10);
    Goods plain(false);
    EXPECT_EQ(sinceDate(choice, GoodsView(plain.layout), plain.record.data()), SinceDate::Off);
}
