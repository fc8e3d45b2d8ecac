// The sales import: the line grammar, the archive copy, the goods matching rules and the scratch rows,
// over copies of the real-engine shop.
#include "velto/sales_import.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/core/text.h"
#include "platform/os/files.h"
#include "platform/os/path.h"
#include "receive_shop.h"

using core::Value;
using receive_testing::ReceiveShop;
using testing_support::readFile;
using testing_support::writeFile;
namespace key = screen::key;

namespace {

std::string repeat(char c, size_t n) {
    return std::string(n, c);
}

// The company's name lines, changed as the stock-keeping system would change them.
void setCompany(ReceiveShop& h, const std::string& nodb, const std::string& nodb1) {
    auto& firma = h.areas.table("firma");
    firma.goTop();
    ASSERT_TRUE(firma.tryLockRecord());
    firma.put("NODB", Value::ofText(nodb));
    firma.put("NODB1", Value::ofText(nodb1));
    firma.unlock();
}

// The scratch rows' warehouse and index, or "" for each line listed as unmatched.
std::string firstRow(ReceiveShop& h) {
    auto rows = ReceiveShop::records(h.areas.table("dd"), {"MAG", "INDEKS"});
    return rows.empty() ? "" : rows[0][0].text + core::trimBlanks(rows[0][1].text);
}

}  // namespace

TEST(SalesLine, Grammar) {
    struct Case {
        std::string line;
        std::optional<SaleLine> sale;
    } cases[] = {
        {"S;00000012345;NAZWA;250;2000;", SaleLine{"00000012345", 2.5, 2.0}},
        {"X;5900;Name;1250;1500;A;01;", SaleLine{"5900", 12.5, 1.5}},  // fields after the fourth ignored
        {"S;1;N;-250;-1500;", SaleLine{"1", -2.5, -1.5}},              // a return
        {"S;1;N; 12.5x;abc;", SaleLine{"1", 0.125, 0}},                // read the dBASE way
        {"S;;;;;", SaleLine{"", 0, 0}},                                // closed but empty
        {"S;1;N;250;2000", std::nullopt},                              // fourth field not closed
        {"S;1;N;250", std::nullopt},
        {"S;", std::nullopt},
        {"", std::nullopt},
        // Characters 3 to 122 only: the fourth ";" as character 122 counts, as character 123 does not.
        {"S;1;" + repeat('N', 108) + ";250;2000;", SaleLine{"1", 2.5, 2.0}},
        {"S;1;" + repeat('N', 109) + ";250;2000;", std::nullopt},
    };
    for (auto& c : cases) {
        auto got = parseSaleLine(c.line);
        ASSERT_EQ(got.has_value(), c.sale.has_value()) << c.line;
        if (!got) continue;
        EXPECT_EQ(got->code, c.sale->code) << c.line;
        EXPECT_DOUBLE_EQ(got->value, c.sale->value) << c.line;
        EXPECT_DOUBLE_EQ(got->quantity, c.sale->quantity) << c.line;
    }
}

TEST(SalesLine, ArchiveName) {
    EXPECT_EQ(salesArchiveName({2024, 1, 31, 14, 23, 5}), "VELTO_SD\\DATA_OUT20240131_142305.OUT");
    EXPECT_EQ(salesArchiveName({2025, 3, 3, 9, 5, 7}), "VELTO_SD\\DATA_OUT20250303_090507.OUT");
}

// The Part's example and its neighbours in one report: rows in file order, numbered over booked lines,
// the unmatched lines listed exactly as read, malformed lines without a trace.
TEST(SalesImport, BooksMatchedLinesAndListsTheOthers) {
    ReceiveShop h;
    const std::string unknown = "S;9999999999999;OBCY;100;1000;A;01;";
    const std::string emptyCode = "S;;BEZ KODU;100;1000;";
    ReceiveShop::report({
        "S;5902012610039;JOGURT;250;2000;",   // 2.000 at 2.50: unit price 1.25, VAT rate 5
        "S;5906810660029;USLUGA;1000;3000;",  // exempt: no VAT; price to four decimals
        unknown,
        "S;5902012610039;JOGURT;100;1000",  // not closed: skipped without a trace
        "S;5902012610039;JOGURT;100;0;",    // the same article again, quantity 0: price 0
        emptyCode,                          // matches no article without a bar code
    });
    ASSERT_TRUE(ZROB_SD_ZETO(h.ctx, receive_testing::kReport));

    auto rows = ReceiveShop::records(
        h.areas.table("dd"),
        {"RD",    "R_P",      "S_Z", "NRD",   "DATA", "MAG", "LP",    "KTO",     "INDEKS",  "NAZWA", "JM",
         "CENA0", "PODATEK0", "SWW", "PKWIU", "CENA", "NB",  "ILOSC", "WARTOSC", "PODATEK", "BRUTTO"});
    ASSERT_EQ(rows.size(), 3u);
    const char* indexes[] = {"NAB00049", "USL00012", "NAB00049"};
    const char* lps[] = {"  1", "  2", "  3"};
    const double prices[] = {1.25, 3.3333, 0}, quantities[] = {2, 3, 0}, values[] = {2.5, 10, 1};
    const double vats[] = {0.1190, 0, 0.0476};  // 2.50 x 5 / 105, exempt, 1.00 x 5 / 105
    for (size_t i = 0; i < rows.size(); ++i) {
        auto& r = rows[i];
        EXPECT_EQ(r[0].text, "SD ");
        EXPECT_EQ(r[1].text, "R");
        EXPECT_EQ(r[2].text, "S");
        EXPECT_EQ(r[3].text, "      16");  // the provisional number: counter 15, no header 16
        EXPECT_EQ(r[4].date, core::Date::fromYmd(2024, 3, 15));
        EXPECT_EQ(r[5].text, "1");
        EXPECT_EQ(r[6].text, lps[i]);
        EXPECT_EQ(r[7].text, "O");
        EXPECT_EQ(r[8].text, indexes[i]);
        EXPECT_EQ(r[15].number, prices[i]) << i;
        EXPECT_EQ(r[16].text, "B");
        EXPECT_EQ(r[17].number, quantities[i]) << i;
        EXPECT_EQ(r[18].number, values[i]) << i;
        EXPECT_EQ(r[19].number, vats[i]) << i;
        EXPECT_EQ(r[20].number, values[i]) << i;
    }
    // Name, unit, purchase price, VAT code and classification come from the goods record.
    auto& goods = h.goods("1", "NAB00049");
    EXPECT_EQ(rows[0][9].text, goods.get("NAZWA").text);
    EXPECT_EQ(rows[0][10].text, goods.get("JM").text);
    EXPECT_EQ(rows[0][11].number, goods.get("CENA0").number);
    EXPECT_EQ(rows[0][12].text, " 5");
    EXPECT_EQ(rows[0][13].text, goods.get("SWW").text);
    EXPECT_EQ(rows[0][14].text, goods.get("PKWIU").text);

    EXPECT_EQ(readFile("rob/wydruk01.prn"), unknown + "\r\n" + emptyCode + "\r\n");
    EXPECT_EQ(h.settings.number("M_WPLATA"), 13.5);
    EXPECT_EQ(h.settings.text("M_MAG"), "1");
    EXPECT_EQ(h.settings.text("P1"), "  3");
    EXPECT_EQ(h.numbers(), (std::vector<std::string>{"       1", "       2", "      16"}));
    // The scratch table is tied to the goods table again: moving it moves the goods table.
    auto& dd = h.areas.table("dd");
    dd.goTop();
    dd.skip(1);
    EXPECT_EQ(h.areas.table("as").get("INDEKS").text, "USL00012");
}

TEST(SalesImport, ArchiveCopyBeforeReading) {
    ReceiveShop h;
    ReceiveShop::report({ReceiveShop::sale("5902012610039", 250, 2000)});
    std::string bytes = readFile("velto/data_out.txt");
    h.clock.advance(3600 + 5 * 60 + 7);  // 11:05:07 on 15 March 2024
    ASSERT_TRUE(ZROB_SD_ZETO(h.ctx, receive_testing::kReport));
    EXPECT_EQ(readFile(os::resolve("VELTO_SD\\DATA_OUT20240315_110507.OUT")), bytes);
    // A file that is not there: no copy, nothing booked, false.
    std::filesystem::remove("velto/data_out.txt");
    h.clock.advance(1);
    EXPECT_FALSE(ZROB_SD_ZETO(h.ctx, receive_testing::kReport));
    EXPECT_FALSE(os::exists("VELTO_SD\\DATA_OUT20240315_110508.OUT"));
    EXPECT_EQ(h.numbers().size(), 3u);
}

TEST(SalesImport, WhatFileEndsBook) {
    struct Case {
        std::vector<std::string> lines;
        bool lastLineEnd;
        size_t rows;
    } cases[] = {
        {{}, true, 0},                                                // an empty report
        {{ReceiveShop::sale("5902012610039", 250, 2000)}, false, 0},  // its only line without a line end
        {{ReceiveShop::sale("5902012610039", 250, 2000), ReceiveShop::sale("5906810660029", 100, 1000)},
         false,
         1},
        {{"", ReceiveShop::sale("5902012610039", 250, 2000), ""}, true, 1},  // empty lines pass
    };
    for (auto& c : cases) {
        ReceiveShop h;
        // What an earlier import left: a scratch row and a listed line.
        ReceiveShop::report({ReceiveShop::sale("5902012610039", 100, 1000), "S;1;X;1;1;"});
        ASSERT_TRUE(ZROB_SD_ZETO(h.ctx, receive_testing::kReport));
        auto before = h.numbers();

        ReceiveShop::report(c.lines, c.lastLineEnd);
        EXPECT_TRUE(ZROB_SD_ZETO(h.ctx, receive_testing::kReport));
        EXPECT_EQ(h.areas.table("dd").recordCount(), c.rows);
        EXPECT_EQ(readFile("rob/wydruk01.prn"), "");
        EXPECT_EQ(h.numbers().size(), before.size() + (c.rows ? 1 : 0));
    }
}

TEST(SalesImport, NothingMatchedPostsNothingAndShowsTheList) {
    ReceiveShop h;
    std::vector<std::string> shown;
    h.keys().onKeyWanted([&](double) {
        shown.push_back(h.row(17));
        return key::Esc;
    });
    ReceiveShop::report({"S;1111111111111;A;100;1000;", "S;2222222222222;B;100;1000;"});
    auto before = h.numbers();
    ASSERT_TRUE(ZROB_SD_ZETO(h.ctx, receive_testing::kReport));
    EXPECT_EQ(h.numbers(), before);
    EXPECT_EQ(h.areas.table("dd").recordCount(), 0u);
    EXPECT_EQ(readFile("rob/wydruk01.prn"), "S;1111111111111;A;100;1000;\r\nS;2222222222222;B;100;1000;\r\n");
    ASSERT_FALSE(shown.empty());
    EXPECT_NE(shown[0].find("ZOBACZ >> Edytor wydrukow << !!!"), std::string::npos) << shown[0];
}

TEST(SalesImport, UnknownKindBooksNothingAndKeepsWhatWasThere) {
    ReceiveShop h;
    ReceiveShop::report({ReceiveShop::sale("5902012610039", 250, 2000), "S;1;X;1;1;"});
    ASSERT_TRUE(ZROB_SD_ZETO(h.ctx, receive_testing::kReport));
    auto before = h.numbers();
    std::string listed = readFile("rob/wydruk01.prn");

    std::vector<std::string> shown;
    h.keys().onKeyWanted([&](double) {
        shown.push_back(h.row(17));
        return key::Esc;
    });
    h.settings.set("M_SD", Value::ofText("XX "));
    ReceiveShop::report({ReceiveShop::sale("5906810660029", 100, 1000)});
    EXPECT_FALSE(ZROB_SD_ZETO(h.ctx, receive_testing::kReport));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("Brak w parametrach dowodu XX "), std::string::npos) << shown[0];
    EXPECT_EQ(ReceiveShop::texts(h.areas.table("dd"), "INDEKS"), (std::vector<std::string>{"NAB00049"}));
    EXPECT_EQ(readFile("rob/wydruk01.prn"), listed);
    EXPECT_EQ(h.numbers(), before);
    EXPECT_EQ(h.areas.table("as").order(), 1);
}

// The goods matching table, row by row, over a goods table with bar codes. WAR00047 carries its code in
// warehouses 1 and 2 (bar-code order gives warehouse 2 first); USL00015's code lives on only in warehouse
// 2 (its warehouse 1 record is deleted); several articles have no bar code at all.
TEST(SalesImport, MatchingWithBarCodes) {
    struct Case {
        const char* nazwa;  // J_NAZWA
        const char* psMag;
        const char* psMagNo;
        const char* code;
        const char* goods;  // warehouse and index, or "" when the line is listed
    } cases[] = {
        {"SKLEP KOD13", " ", "2", "5908896060090", "1WAR00047"},  // the first one outside warehouse 2
        {"SKLEP KOD13", " ", "2", "5907207410203", ""},           // only in the warehouse left out
        {"sklep kod13", " ", " ", "5908896060090", "2WAR00047"},  // first in bar-code order; any case
        {"SKLEP KOD13", "1", "2", "5908896060090", "1WAR00047"},  // the receive warehouse decides
        {"SKLEP KOD13", "2", " ", "5908896060090", "2WAR00047"},
        {"SKLEP KOD13", "1", " ", "5907207410203", ""},     // not in the receive warehouse
        {"SKLEP", "1", "2", "5908896060090", "2WAR00047"},  // without KOD13: first in bar-code order
        {"SKLEP", " ", " ", "59008064", "1NAP00006"},       // an 8-character code, padded
        {"SKLEP", " ", " ", "", ""},                        // an empty code is no blank bar code
        {"SKLEP KOD13", " ", " ", "   ", ""},
        {"SKLEP", " ", " ", "59088960600901", ""},  // longer than a bar code
    };
    ReceiveShop h;
    for (auto& c : cases) {
        h.settings.set("J_NAZWA", Value::ofText(c.nazwa));
        h.settings.set("PS_MAG", Value::ofText(c.psMag));
        h.settings.set("PS_MAG_NO", Value::ofText(c.psMagNo));
        std::string line = "S;" + std::string(c.code) + ";X;100;1000;";
        ReceiveShop::report({line});
        ASSERT_TRUE(ZROB_SD_ZETO(h.ctx, receive_testing::kReport));
        EXPECT_EQ(firstRow(h), c.goods)
            << c.nazwa << " / " << c.psMag << " / " << c.psMagNo << " / " << c.code;
        EXPECT_EQ(readFile("rob/wydruk01.prn"), *c.goods ? "" : line + "\r\n") << c.code;
    }
}

TEST(SalesImport, MatchingByIndexWithoutBarCodes) {
    struct Case {
        const char* psMag;
        const char* code;
        const char* goods;
    } cases[] = {
        {" ", "WAR00045", "1WAR00045"},  // warehouse 1 when none is chosen
        {" ", "SYP00008", ""},           // that index is only in warehouse 2
        {"2", "SYP00008", "2SYP00008"},  // the receive warehouse
        {"2", "WAR00045", ""},
        {" ", "WAR00045123", "1WAR00045"},  // the first 8 characters of the code
        {" ", "", ""},
    };
    ReceiveShop h([] {
        receive_testing::tableWithout("as", {"KOD13"}, {{"as", "MAG+INDEKS"}, {"as2", "UPPER(NAZWA)+MAG"}});
    });
    setCompany(h, "MELKO", "");  // no bar codes: no weighed-goods prefix either
    for (auto& c : cases) {
        h.settings.set("J_NAZWA", Value::ofText("SKLEP KOD13"));
        h.settings.set("PS_MAG", Value::ofText(c.psMag));
        ReceiveShop::report({"S;" + std::string(c.code) + ";X;100;1000;"});
        ASSERT_TRUE(ZROB_SD_ZETO(h.ctx, receive_testing::kReport));
        EXPECT_EQ(firstRow(h), c.goods) << c.psMag << " / " << c.code;
        if (*c.goods) {
            EXPECT_EQ(h.settings.text("M_MAG"), std::string(c.goods, 1));
        }
    }
    SalesImport import(h.ctx);
    EXPECT_EQ(import.lookupCode("12345"), "12345        ");
}

TEST(SalesImport, WeighedGoodsPrefix) {
    struct Case {
        const char* nodb;
        const char* nodb1;
        bool switchFile;  // MELKO.TXT
        const char* code;
        const char* lookup;
    } cases[] = {
        {"MELKO S.C.", "", false, "12345", "2812345      "},
        {"Sklep", "melko", false, "12345", "2812345      "},  // the continuation counts, in any case
        {"Sklep", "", true, "12345", "2812345      "},        // or the switch file
        {"MELKO", "KOSTRAN", false, "12345", "12345        "},
        {"Sklep", "", false, "12345", "12345        "},
        {"MELKO", "", false, "1234", "1234         "},
        {"MELKO", "", false, "123456", "123456       "},
        {"MELKO", "", false, "12345   ", "2812345      "},  // five characters before the blanks
    };
    for (auto& c : cases) {
        ReceiveShop h;
        setCompany(h, c.nodb, c.nodb1);
        if (c.switchFile) writeFile("MELKO.TXT", "");
        SalesImport import(h.ctx);
        EXPECT_EQ(import.lookupCode(c.code), c.lookup) << c.nodb << " / " << c.nodb1 << " / " << c.code;
    }
    // And the weighed article is booked under its "28" code.
    ReceiveShop h;
    setCompany(h, "MELKO", "");
    auto& goods = h.goods("1", "WAR00051");
    ASSERT_TRUE(goods.tryLockRecord());
    goods.put("KOD13", Value::ofText("2812345"));
    goods.unlock();
    ReceiveShop::report({"S;12345;POMIDORY;1575;1250;"});
    ASSERT_TRUE(ZROB_SD_ZETO(h.ctx, receive_testing::kReport));
    EXPECT_EQ(firstRow(h), "1WAR00051");
    auto& dd = h.areas.table("dd");
    dd.goTop();
    EXPECT_EQ(dd.get("CENA").number, 12.6);
}
