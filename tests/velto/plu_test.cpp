#include "velto/plu.h"

#include <gtest/gtest.h>

#include "platform/core/cp852.h"
#include "support/harness.h"

using namespace core::literals;
using core::Value;

namespace {

// A goods record of the goods table's layout, filled field by field.
struct Goods {
    xbase::Layout layout = xbase::Layout::of({{"MAG", 'C', 1}, {"INDEKS", 'C', 8}, {"NAZWA", 'C', 30},
                                              {"KOD13", 'C', 13}, {"PODATEK0", 'C', 2}, {"CENA2", 'N', 14, 2},
                                              {"CENA2M", 'N', 14, 2}, {"CENA3", 'N', 14, 2}});
    std::string record = std::string(static_cast<size_t>(layout.recordLength), ' ');
    Goods& set(const char* field, Value v) {
        xbase::writeField(*layout.field(field), record.data(), v);
        return *this;
    }
    Goods() {
        set("INDEKS", Value::ofText("A0000123")).set("NAZWA", Value::ofText("MLEKO 2%"));
        set("KOD13", Value::ofText("5901234567890")).set("PODATEK0", Value::ofText(" 8"));
        set("CENA2", Value::ofNumber(3.49)).set("CENA2M", Value::ofNumber(0)).set("CENA3", Value::ofNumber(0));
    }
    PluRules rules(bool withKod13 = true) const {
        PluRules r;
        r.rates = {"23", " 8", " 5", " 0", " 0", " 0"};
        r.kod13 = withKod13 ? layout.field("KOD13") : nullptr;
        r.indeks = layout.field("INDEKS");
        r.nazwa = layout.field("NAZWA");
        r.podatek0 = layout.field("PODATEK0");
        r.cena2 = layout.field("CENA2");
        r.cena2m = layout.field("CENA2M");
        r.cena3 = layout.field("CENA3");
        return r;
    }
    std::string build(const PluRules& r, int level = 1) const {
        std::string last;
        return pluRecord(r, record.data(), level, last);
    }
};

}  // namespace

TEST(Plu, ShortAndLongRecords) {
    Goods g;
    auto r = g.rules();
    EXPECT_EQ(g.build(r), "I;1;5901234567890;MLEKO 2%          ;349;B;3;11100;02;00;;");
    r.longForm = true;
    EXPECT_EQ(g.build(r), "I#00;1;5901234567890;0;MLEKO 2%" + std::string(22, ' ') + ";349;B;3;11100;02;00;;00;0;");
    r.fromGoodsTable = false;  // from documents the folded name is used as it is
    g.set("NAZWA", Value::ofText("  ser"));
    EXPECT_EQ(g.build(r), "I#00;1;5901234567890;0;  " + std::string(25, ' ') + ";349;B;3;11100;02;00;;00;0;");
}

TEST(Plu, Codes) {
    struct Case { const char* kod13; bool skipZeros; bool cut; std::string code; } cases[] = {
        {"0001234567890", false, false, "0001234567890"},
        {"0001234567890", true, false, "1234567890"},
        {"59 1234567890", false, false, "59"},
        {"             ", false, false, ""},
        {"2812345      ", false, true, "12345"},
        {"2812345      ", false, false, "2812345"},
        {"28123456     ", false, true, "28123456"},  // eight digits are never cut
        {"1020304050607", true, false, "1020304050607"},
    };
    for (auto& c : cases) {
        Goods g;
        g.set("KOD13", Value::ofText(c.kod13));
        auto r = g.rules();
        r.skipLeadingZeros = c.skipZeros;
        r.cutWeighedCodes = c.cut;
        EXPECT_EQ(pluCode(r, g.record.data()), c.code) << c.kod13;
    }
    Goods g;  // without KOD13 the index code gives the digits, zeros kept
    g.set("INDEKS", Value::ofText("00451X9"));
    auto r = g.rules(false);
    r.skipLeadingZeros = true;
    EXPECT_EQ(pluCode(r, g.record.data()), "00451");
}

TEST(Plu, PriceLevels) {
    struct Case { int levels; int level; double cena2, cena2m, cena3; const char* cents; } cases[] = {
        {3, 1, 10, 8, 0, "1000"}, {3, 2, 10, 8, 0, "900"}, {3, 3, 10, 8, 0, "800"},
        {1, 3, 10, 8, 0, "1000"},  {3, 2, 10, 0, 0, "1000"}, {3, 0, 10, 8, 7.5, "750"},
        {3, 0, 10, 8, 0, "1000"},  {4, 2, 9.99, 1, 0, "699"}, {1, 1, 0.005, 0, 0, "1"},
    };
    for (auto& c : cases) {
        Goods g;
        g.set("CENA2", Value::ofNumber(c.cena2)).set("CENA2M", Value::ofNumber(c.cena2m));
        g.set("CENA3", Value::ofNumber(c.cena3));
        auto r = g.rules();
        r.levels = c.levels;
        std::string rec = g.build(r, c.level);
        EXPECT_EQ(rec.substr(rec.find(';', 24) + 1).substr(0, std::string(c.cents).size() + 1),
                  std::string(c.cents) + ";")
            << c.levels << "/" << c.level << " " << rec;
    }
}

TEST(Plu, TaxLettersAndPassedOver) {
    struct Case { const char* podatek0; double cena2; const char* kod13; const char* letterAndDept; } cases[] = {
        {"23", 1, "123", "A;3;11100;01"}, {" 8", 1, "123", "B;3;11100;02"}, {" 0", 1, "123", "D;3;11100;04"},
        {"ZW", 1, "123", "Z;3;11100;07"}, {" 7", 1, "123", ""},             {"NP", 1, "123", ""},
        {"24", 1, "123", ""},             {"23", -1, "123", ""},            {"23", 1, "000", ""},
        {"23", 0, "123", "A;3;11100;01"},
    };
    for (auto& c : cases) {
        Goods g;
        g.set("PODATEK0", Value::ofText(c.podatek0)).set("CENA2", Value::ofNumber(c.cena2));
        g.set("KOD13", Value::ofText(c.kod13));
        std::string rec = g.build(g.rules());
        if (std::string(c.letterAndDept).empty())
            EXPECT_EQ(rec, "") << c.podatek0;
        else
            EXPECT_NE(rec.find(c.letterAndDept), std::string::npos) << c.podatek0 << " " << rec;
    }
}

TEST(Plu, SemicolonsNeverReachTheRecord) {
    Goods g;
    g.set("NAZWA", Value::ofText("SOK;JABLKO;1L"));
    auto r = g.rules();
    EXPECT_EQ(g.build(r), "I;1;5901234567890;SOKJABLKO1L       ;349;B;3;11100;02;00;;");
    r.keepPolishLetters = true;
    EXPECT_EQ(g.build(r), "I;1;5901234567890;SOKJABLKO1L       ;349;B;3;11100;02;00;;");
}

TEST(Plu, ACodeMetAgainRightAfterItselfIsSentOnce) {
    Goods g;
    auto r = g.rules();
    std::string last;
    g.set("KOD13", Value::ofText("12345"));
    EXPECT_NE(pluRecord(r, g.record.data(), 1, last), "");
    EXPECT_EQ(pluRecord(r, g.record.data(), 1, last), "");
    g.set("KOD13", Value::ofText("1234"));  // the last code begins with it
    EXPECT_EQ(pluRecord(r, g.record.data(), 1, last), "");
    g.set("KOD13", Value::ofText("123456"));
    EXPECT_NE(pluRecord(r, g.record.data(), 1, last), "");
    EXPECT_EQ(last, "123456");
}

TEST(Plu, FoldsNames) {
    EXPECT_EQ(foldName("Żółć gęślą jaźń"_cp, false), "ZOLC ESA ZN");  // plain lower-case letters go
    EXPECT_EQ(foldName("ZAŻÓŁĆ GĘŚLĄ JAŹŃ 1,5l (szt.)!"_cp, false), "ZAZOLC GESLA JACN 1,5 (.)!");
    // 141 is Ź in code page 852 but ć in Mazovia; the register's table folds it to C for both.
    EXPECT_EQ(foldName("a#b@c&d_e", false), "");
    EXPECT_EQ(foldName("Żółć"_cp, true), std::string("Żółć"_cp));
    // Mazovia letters fold as well: 0x86 (ą), 0x9E (ś), 0xA4 (ń).
    EXPECT_EQ(foldName("\x8F\x86\x9E\xA4", false), "CCSA");
}
