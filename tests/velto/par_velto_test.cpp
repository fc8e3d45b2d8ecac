// The register screen on a headless console: selection by the highlight, Enter and Esc, F4 editing.
#include "velto/par_velto.h"

#include <gtest/gtest.h>

#include "platform/os/files.h"
#include "support/harness.h"
#include "velto/register_table.h"

using core::Value;
using testing_support::Harness;
namespace key = screen::key;

namespace {

constexpr int kCtrlY = 25;  // blanks the field from the cursor to its end

struct RegisterScreen : Harness {
    RegisterScreen() {
        os::makeDirectory("rob");
        settings.declarePublic("STACJA", Value::ofNumber(1));
        settings.declarePublic("M_SD", Value::ofText("SD "));
        for (auto [name, rate] : {std::pair{"J_PTUA", "23"}, {"J_PTUB", " 8"}, {"J_PTUC", " 0"}, {"J_PTUD", " 0"},
                                  {"J_PTUE", " 0"}, {"J_PTUF", " 5"}, {"J_PTUZ", "ZW"}})
            settings.declarePublic(name, Value::ofText(rate));
        for (const char* name : {"NR_KASY", "OPIS", "PORT", "PREDKOSC", "PS_MAG"}) settings.declarePrivate(name);
        areas.select(kRegisterSlot);
        EXPECT_TRUE(openRegisterTable(ctx));
    }
    xbase::Table& table() { return areas.table("velto"); }
    void run(std::initializer_list<int> keys) {
        keys_ = keys;
        this->keys().type(keys);
        PAR_VELTO(ctx);
    }
    std::vector<int> keys_;
};

}  // namespace

TEST(ParVelto, HighlightSelectsEnterConfirmsEscRestores) {
    RegisterScreen h;
    h.run({key::Down, key::Down, key::Enter});
    EXPECT_EQ(h.settings.text("NR_KASY"), "03");
    EXPECT_EQ(h.table().recno(), 3u);
    h.run({key::Down, key::Down, key::Esc});  // from row 3 to row 5, then back
    EXPECT_EQ(h.settings.text("NR_KASY"), "03");
    EXPECT_EQ(h.table().recno(), 3u);
    h.run({key::Up, key::Up, key::Up, key::Up, key::Up, key::Enter});  // stops on the first row
    EXPECT_EQ(h.settings.text("NR_KASY"), "01");
}

TEST(ParVelto, LegendListsOnlyTheFirstZeroRate) {
    RegisterScreen h;
    h.run({key::Esc});
    EXPECT_EQ(h.row(11).substr(60, 7), "23 - 01");
    EXPECT_EQ(h.row(12).substr(60, 7), " 8 - 02");
    EXPECT_EQ(h.row(13).substr(60, 7), " 0 - 03");
    EXPECT_EQ(h.row(14).substr(60, 7), " 5 - 06");
    EXPECT_EQ(h.row(15).substr(60, 7), "ZW - 07");
    EXPECT_EQ(h.row(16).substr(60, 7), "       ");
    EXPECT_EQ(h.row(18).substr(60, 20), "Paragony z kasy: SD ");
}

TEST(ParVelto, EditsARowWithChecks) {
    RegisterScreen h;
    h.table().goTo(2);
    h.table().put("PKASA", Value::ofText("99"));  // a number that does not match the row
    h.table().goTo(1);
    // Row 2: description typed, port 18 refused, 17 accepted, speed 19200, warehouse 2.
    h.run({key::Down, key::F4, 'k', 'a', 's', 'a', key::Enter, '1', '8', key::Enter, kCtrlY, '1', '7', key::Enter,
           '1', '9', '2', '0', '0', key::Enter, '2', key::Enter, key::Enter});
    auto& t = h.table();
    t.goTo(2);
    EXPECT_EQ(t.get("POPIS").text.substr(0, 5), "Kasa ");
    EXPECT_EQ(t.get("PPORT").number, 17);
    EXPECT_EQ(t.get("PPREDKOSC").number, 19200);
    EXPECT_EQ(t.get("PMAG").text, "2");
    EXPECT_EQ(t.get("PKASA").text, "02");  // always the record number
    EXPECT_EQ(h.settings.number("PORT"), 17);
}

TEST(ParVelto, RefusedEntriesOnlyEndWithEsc) {
    struct Case { const char* what; std::vector<int> keys; } cases[] = {
        {"empty description on row 1", {key::F4, kCtrlY, key::Enter, key::Enter, key::Enter}},
        {"port 0", {key::F4, key::Enter, '0', key::Enter, key::Enter}},
        {"speed 0", {key::F4, key::Enter, key::Enter, '0', key::Enter, key::Enter}},
        {"speed above five digits", {key::F4, key::Enter, key::Enter, '1', '0', '0', '0', '0', '0', key::Enter}},
    };
    for (auto& c : cases) {
        RegisterScreen h;
        std::vector<int> keys = c.keys;
        keys.push_back(key::Esc);  // abandons the form
        keys.push_back(key::Esc);  // leaves the screen
        for (int k : keys) h.keys().type(k);
        PAR_VELTO(h.ctx);
        auto& t = h.table();
        t.goTo(1);
        EXPECT_EQ(t.get("POPIS").text.substr(0, 9), "Stoisko 1") << c.what;
        EXPECT_EQ(t.get("PPORT").number, 1) << c.what;
        EXPECT_EQ(t.get("PPREDKOSC").number, 9600) << c.what;
        EXPECT_EQ(h.keys().pendingKeys(), 0u) << c.what;
    }
}

TEST(ParVelto, KeysArrivingWhileTheScreenWaits) {
    // On a terminal the screen is already waiting when the keys come, unlike typed-ahead keys.
    RegisterScreen h;
    std::vector<int> keys{key::Down, key::Down, key::F4, 'a', 'b', key::Enter, key::Enter, key::Enter, key::Enter,
                          key::Enter};
    size_t next = 0;
    h.keys().onKeyWanted([&](double) { return next < keys.size() ? keys[next++] : 0; });
    PAR_VELTO(h.ctx);
    h.table().goTo(3);
    EXPECT_EQ(h.table().get("POPIS").text.substr(0, 2), "Ab");
    EXPECT_EQ(h.settings.text("NR_KASY"), "03");
}
