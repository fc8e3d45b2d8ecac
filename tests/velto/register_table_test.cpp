#include "velto/register_table.h"

#include <gtest/gtest.h>

#include "lib/tworz.h"
#include "platform/os/files.h"
#include "platform/os/path.h"
#include "support/harness.h"

using core::Value;
using testing_support::Harness;

namespace {

struct Menu : Harness {
    Menu() {
        os::makeDirectory("rob");
        settings.declarePublic("STACJA", Value::ofNumber(1));
        for (const char* name : {"NR_KASY", "OPIS", "PORT", "PREDKOSC", "PS_MAG"}) settings.declarePrivate(name);
        areas.select(kRegisterSlot);
    }
    xbase::Table& table() { return areas.table("velto"); }
};

void makeRegisters(Harness& h, std::string_view structure, int rows) {
    os::makeDirectory("velto");
    TWORZ(h.ctx, structure, true, 1);
    auto t = xbase::Table::open(os::resolve("velto\\velto.dbf"), "velto.dbf", true);
    for (int i = 1; i <= rows; ++i) {
        t->appendBlank();
        t->put("PKASA", Value::ofText(i < 10 ? "0" + std::to_string(i) : std::to_string(i)));
        t->put("POPIS", Value::ofText("Kasa " + std::to_string(i)));
        t->put("PPORT", Value::ofNumber(i % 17 + 1));
    }
    t->close();
}

}  // namespace

TEST(RegisterTable, FirstRunCreatesSeventeenRows) {
    Menu h;
    ASSERT_TRUE(openRegisterTable(h.ctx));
    auto& t = h.table();
    EXPECT_EQ(t.recordCount(), 17u);
    EXPECT_EQ(t.layout().fields.size(), 13u);
    t.goTo(1);
    EXPECT_EQ(t.get("POPIS").text.substr(0, 9), "Stoisko 1");
    t.goTo(17);
    EXPECT_EQ(t.get("PKASA").text, "17");
    EXPECT_EQ(t.get("PPORT").number, 1);
    EXPECT_EQ(t.get("PPREDKOSC").number, 9600);
    EXPECT_EQ(h.settings.text("NR_KASY"), "01");
    EXPECT_EQ(h.settings.number("PREDKOSC"), 9600);
    EXPECT_EQ(h.settings.text("PS_MAG"), " ");
    EXPECT_FALSE(t.shared());
}

TEST(RegisterTable, FillsUpToSeventeenAndKeepsMore) {
    for (int rows : {9, 20}) {
        Menu h;
        makeRegisters(h, kRegisterStructure, rows);
        ASSERT_TRUE(openRegisterTable(h.ctx));
        EXPECT_EQ(h.table().recordCount(), static_cast<uint32_t>(std::max(rows, 17)));
        h.table().goTo(9);
        EXPECT_EQ(h.table().get("POPIS").text.substr(0, 6), "Kasa 9");
        if (rows == 9) {
            h.table().goTo(10);
            EXPECT_EQ(h.table().get("PKASA").text, "10");
            EXPECT_EQ(h.table().get("POPIS").text, std::string(26, ' '));
        }
    }
}

TEST(RegisterTable, OlderLayoutIsRebuiltKeepingRows) {
    Menu h;
    makeRegisters(h, "velto\\velto,PKASA,C,2,0,POPIS,C,26,0,PPREDKOSC,N,5,0,PPORT,N,2,0,PPOL_ZN,N,1,0,PTYP_KASY,C,1,0", 3);
    ASSERT_TRUE(openRegisterTable(h.ctx));
    auto& t = h.table();
    EXPECT_TRUE(t.hasField("PMAG"));
    EXPECT_EQ(t.recordCount(), 17u);
    for (uint32_t r = 1; r <= 3; ++r) {
        t.goTo(r);
        EXPECT_EQ(t.get("POPIS").text.substr(0, 6), "Kasa " + std::to_string(r));
        EXPECT_EQ(t.get("PTYP_KASY").text, "S");
    }
    t.goTo(4);
    EXPECT_EQ(t.get("PTYP_KASY").text, " ");
}

TEST(RegisterTable, CurrentLayoutIsNotRebuilt) {
    Menu h;
    makeRegisters(h, kRegisterStructure, 17);
    ASSERT_TRUE(openRegisterTable(h.ctx));
    h.table().goTo(2);
    EXPECT_EQ(h.table().get("PTYP_KASY").text, " ");
}

TEST(RegisterTable, HeldByAnotherStation) {
    Menu h;
    makeRegisters(h, kRegisterStructure, 17);
    testing_support::OtherProcess other([] { xbase::Table::open("velto/velto.dbf", "v", true).release(); });
    std::string shown;
    h.clock.onSleep([&](double) { shown += h.row(17); });
    EXPECT_FALSE(openRegisterTable(h.ctx));
    EXPECT_NE(shown.find("Problem z plikiem velto\\velto.DBF"), std::string::npos);
}
