// The working data set over copies of the real-engine shop.
#include "velto/init_dbf.h"

#include <gtest/gtest.h>

#include "lib/errorsys.h"
#include "platform/os/files.h"
#include "platform/os/path.h"
#include "support/fixture_shop.h"
#include "support/harness.h"
#include "velto/net.h"

using core::Value;
using testing_support::Harness;
using testing_support::OtherProcess;

namespace {

struct Shop : Harness {
    Shop() {
        testing_support::copyFixture(dir.path());
        settings.declarePublic("STACJA", Value::ofNumber(2));
        settings.declarePublic("HH", Value::ofText(""));
        settings.declarePublic("JEST_KOD13", Value::ofLogical(true));
        settings.declarePublic("J_POZIOM", Value::ofNumber(3));
    }
};

}  // namespace

TEST(InitDbf, OpensEveryTableInItsSlot) {
    Shop h;
    testing_support::writeFile("rob/d02.dbf", "left over");  // an earlier run's scratch table goes
    ASSERT_TRUE(INIT_DBF(h.ctx));
    EXPECT_EQ(h.settings.text("HH"), "24\\03");
    EXPECT_TRUE(h.settings.logical("JEST_KOD13"));
    EXPECT_EQ(h.settings.number("J_POZIOM"), 3);  // the goods table has CENAM
    EXPECT_EQ(h.areas.current(), 4);
    struct Slot { int slot; const char* alias; int indexes; } slots[] = {
        {1, "firma", 0}, {2, "as", 3}, {4, "dd", 1}, {5, "dow", 3}, {6, "dowod", 2}, {9, "slow", 1}, {10, "pk", 1},
    };
    for (auto& s : slots) {
        ASSERT_NE(h.areas.at(s.slot), nullptr) << s.alias;
        EXPECT_EQ(h.areas.alias(s.slot), s.alias);
        EXPECT_EQ(h.areas.at(s.slot)->indexCount(), s.indexes) << s.alias;
        EXPECT_EQ(h.areas.at(s.slot)->shared(), s.slot != 4) << s.alias;
    }
    auto& dd = h.areas.table("dd");
    EXPECT_EQ(dd.recordCount(), 0u);
    EXPECT_EQ(dd.order(), 0);
    EXPECT_EQ(dd.layout().fields.size(), 24u);
    EXPECT_EQ(dd.indexExpression(1), "mag+indeks");
}

TEST(InitDbf, ScratchRowsMoveTheGoodsTable) {
    Shop h;
    ASSERT_TRUE(INIT_DBF(h.ctx));
    auto& as = h.areas.table("as");
    as.goTop();
    std::string mag = as.get("MAG").text, indeks = as.get("INDEKS").text, nazwa = as.get("NAZWA").text;
    auto& dd = h.areas.table("dd");
    dd.appendBlank();
    dd.put("MAG", Value::ofText("9"));
    dd.put("INDEKS", Value::ofText("NIEMA"));
    dd.appendBlank();
    dd.put("MAG", Value::ofText(mag));
    dd.put("INDEKS", Value::ofText(indeks));
    dd.goTop();
    EXPECT_TRUE(as.eof());  // no such article: the goods table stands past its end
    EXPECT_EQ(as.recno(), as.recordCount() + 1);
    dd.skip(1);
    EXPECT_FALSE(as.eof());
    EXPECT_EQ(as.get("NAZWA").text, nazwa);
}

TEST(InitDbf, GoodsTableWithoutBarCodesOrLevels) {
    Shop h;
    testing_support::goodsWithout({"KOD13", "CENAM"});
    ASSERT_TRUE(INIT_DBF(h.ctx));
    EXPECT_FALSE(h.settings.logical("JEST_KOD13"));
    EXPECT_EQ(h.areas.table("as").indexCount(), 2);
    EXPECT_EQ(h.settings.number("J_POZIOM"), 1);  // levels above the first need CENAM
}

TEST(InitDbf, NoGoodsTableEndsTheProgram) {
    Shop h;
    os::erase("24\\03\\as.dbf");
    try {
        INIT_DBF(h.ctx);
        FAIL() << "start-up must end";
    } catch (const ProcessExit& e) {
        EXPECT_EQ(e.status, 0);
    }
    EXPECT_EQ(h.clock.seconds(), 1.0);  // the message stood for a second
}

TEST(InitDbf, TablesThatStayLockedAreNamed) {
    for (const char* table : {"as", "dowod", "pk"}) {
        Shop h;
        std::string path = std::string("24/03/") + table + ".dbf";
        OtherProcess holder([&] { xbase::Table::open(path, table, true).release(); });
        std::string message;
        h.clock.onSleep([&](double) {
            if (h.row(17).find("niedostepny") != std::string::npos) message = h.row(17);
        });
        EXPECT_FALSE(INIT_DBF(h.ctx));
        EXPECT_NE(message.find(std::string("Plik 24\\03\\") + table + " niedostepny"), std::string::npos)
            << table << ": " << message;
    }
}
