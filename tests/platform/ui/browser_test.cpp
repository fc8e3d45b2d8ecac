#include "platform/ui/browser.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/cp852.h"
#include "platform/xbase/table.h"
#include "support/harness.h"

namespace {

using namespace core::literals;
using core::Value;
using ui::BrowseAction;
using ui::BrowseMode;
namespace key = screen::key;

std::string two(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

// A table of `count` records: NR "01".., NAZWA "rec N", ILOSC N * 1.5.
struct BrowserTest : ::testing::Test {
    testing_support::Harness h;
    std::unique_ptr<xbase::Table> table;

    void makeTable(int count) {
        table =
            xbase::Table::create((h.dir / "t.dbf").string(), "t.dbf",
                                 {{"NR", 'C', 2, 0, 0}, {"NAZWA", 'C', 10, 0, 0}, {"ILOSC", 'N', 6, 1, 0}});
        ASSERT_TRUE(table);
        for (int i = 1; i <= count; ++i) {
            table->appendBlank();
            table->put("NR", Value::ofText(two(i)));
            table->put("NAZWA", Value::ofText("rec " + std::to_string(i)));
            table->put("ILOSC", Value::ofNumber(i * 1.5, 6, 1));
        }
        table->goTop();
    }
    ~BrowserTest() override {
        if (table) table->close();
    }

    // Window rows 2..8: headings on 2, separator on 3, records on 4..7, footing separator on 8.
    ui::Browser browser(int right = 30) {
        ui::Browser b(h.ctx, *table, 2, 0, 8, right);
        b.column("Nr", "NR", "!!").column("Nazwa", "NAZWA").column("Ilosc", "ILOSC", "999.9");
        b.separators(std::string("┬─"_cp), std::string("│"_cp), std::string("┴─"_cp));
        return b;
    }
    // The first n characters of a screen row, as UTF-8 for readable comparisons.
    std::string row(int r, size_t n) { return core::cp852ToUtf8(h.row(r).substr(0, n)); }
};

TEST_F(BrowserTest, DrawsHeadingsSeparatorsAndMaskedColumns) {
    makeTable(5);
    table->goTo(2);
    table->deleteRecord();  // never shown
    table->goTop();
    h.keys().type(key::Esc);
    ui::Browser b = browser();
    b.run();
    EXPECT_EQ(row(2, 20), "Nr Nazwa      Ilosc ");
    EXPECT_EQ(row(3, 20), "──┬──────────┬───── ");
    EXPECT_EQ(row(4, 20), "01│rec 1     │  1.5 ");
    EXPECT_EQ(row(5, 20), "03│rec 3     │  4.5 ");
    EXPECT_EQ(row(7, 20), "05│rec 5     │  7.5 ");
    EXPECT_EQ(row(8, 20), "──┴──────────┴───── ");
    // The current cell is lit, the rest is not.
    EXPECT_EQ(h.screen().attrAt(4, 0), h.screen().enhanced());
    EXPECT_EQ(h.screen().attrAt(4, 3), h.screen().standard());
    EXPECT_EQ(h.screen().attrAt(5, 0), h.screen().standard());
    EXPECT_EQ(table->recno(), 1u);
    EXPECT_EQ(b.currentRow(), 4);
    EXPECT_EQ((std::vector<int>{b.columnLeft(1), b.columnLeft(2), b.columnLeft(3)}),
              (std::vector<int>{0, 3, 14}));
    EXPECT_EQ((std::vector<int>{b.columnWidth(1), b.columnWidth(2), b.columnWidth(3)}),
              (std::vector<int>{2, 10, 5}));
}

TEST_F(BrowserTest, RowsAfterTheLastRecordKeepTheColumnLinesAndTheRightEdgeCuts) {
    makeTable(2);
    h.keys().type(key::Enter);
    browser(10).run();
    EXPECT_EQ(row(2, 12), "Nr Nazwa    ");
    EXPECT_EQ(row(5, 12), "02│rec 2    ");
    EXPECT_EQ(row(6, 12), "  │         ");
    EXPECT_EQ(row(8, 12), "──┴──────── ");
}

// The callback records what it is told and pushes the next key of a script, as a callback that looks
// at every pause would.
struct Call {
    BrowseMode mode;
    uint32_t recno;
    int row, column;
    bool operator==(const Call&) const = default;
};

void PrintTo(const Call& c, std::ostream* os) {
    *os << "{mode " << static_cast<int>(c.mode) << ", rec " << c.recno << ", row " << c.row << ", col "
        << c.column << "}";
}

TEST_F(BrowserTest, MovesStopAtTheEndsAndTheCallbackIsToldSo) {
    makeTable(10);
    ui::Browser b = browser();
    std::deque<int> script = {
        key::Up,   key::Down,     key::PgDn,     key::End,   key::Down,  key::PgDn,  key::PgUp, key::Home,
        key::PgUp, key::CtrlPgDn, key::CtrlPgUp, key::Right, key::Right, key::Right, key::Left, 'x'};
    std::vector<Call> calls;
    std::vector<std::string> pageAfterPgUp;
    b.callback([&](BrowseMode mode, int column) {
        calls.push_back({mode, table->recno(), b.currentRow(), column});
        if (mode == BrowseMode::Exception) {
            EXPECT_EQ(h.ctx.keyboard->lastKey(), 'x');
            return BrowseAction::Continue;
        }
        if (script.empty()) return BrowseAction::Stop;
        if (script.front() == key::Home)  // the page PgUp left behind
            for (int r = 4; r <= 7; ++r) pageAfterPgUp.push_back(row(r, 2));
        h.ctx.keyboard->push(script.front());
        script.pop_front();
        return BrowseAction::Continue;
    });
    b.run();
    const std::vector<Call> expected = {
        {BrowseMode::Idle, 1, 4, 1},      {BrowseMode::Top, 1, 4, 1},      // Up refused
        {BrowseMode::Idle, 2, 5, 1},      {BrowseMode::Idle, 6, 5, 1},     // Down, PgDn
        {BrowseMode::Idle, 10, 7, 1},     {BrowseMode::Bottom, 10, 7, 1},  // End, Down refused
        {BrowseMode::Bottom, 10, 7, 1},   {BrowseMode::Idle, 6, 7, 1},     // PgDn refused, PgUp
        {BrowseMode::Idle, 1, 4, 1},      {BrowseMode::Top, 1, 4, 1},      // Home, PgUp refused
        {BrowseMode::Idle, 10, 7, 1},     {BrowseMode::Idle, 1, 4, 1},     // Ctrl-PgDn, Ctrl-PgUp
        {BrowseMode::Idle, 1, 4, 2},      {BrowseMode::Idle, 1, 4, 3},     // Right, Right
        {BrowseMode::Idle, 1, 4, 3},      {BrowseMode::Idle, 1, 4, 2},     // Right stays, Left
        {BrowseMode::Exception, 1, 4, 2}, {BrowseMode::Idle, 1, 4, 2},     // 'x', then the script ends
    };
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(pageAfterPgUp, (std::vector<std::string>{"03", "04", "05", "06"}));
    EXPECT_EQ(table->recno(), 1u);
}

// A callback in the manner of a selection screen: at each pause it draws its own highlight and reads a
// key, giving movement keys back to the browser; keys typed ahead reach it as exceptions instead.
TEST_F(BrowserTest, ACallbackThatReadsTheKeysItselfDrivesTheBrowser) {
    const std::vector<int> keys = {key::Down, key::Down, 'q', key::F4, key::Up, key::Enter};
    for (bool typedAhead : {false, true}) {
        SCOPED_TRACE(typedAhead ? "typed ahead" : "typed one at a time");
        makeTable(6);
        ui::Browser b = browser();
        int exceptions = 0;
        std::vector<int> rowsLit;
        auto act = [&](int k) {
            if (k == key::Enter) return BrowseAction::Stop;
            if (k != key::F4) return BrowseAction::Continue;  // ignored
            table->put("NAZWA", Value::ofText("zmieniony"));
            return BrowseAction::Refresh;
        };
        b.callback([&](BrowseMode mode, int) {
            if (mode == BrowseMode::Exception) {
                ++exceptions;
                return act(h.ctx.keyboard->lastKey());
            }
            h.screen().say(b.currentRow(), 0, "**");
            rowsLit.push_back(b.currentRow());
            const int k = h.ctx.keyboard->inkey(-1);
            if (k == key::Up || k == key::Down) {
                h.ctx.keyboard->push(k);
                return BrowseAction::Continue;
            }
            return act(k);
        });
        std::deque<int> script(keys.begin(), keys.end());
        double given = h.clock.seconds();  // outlives the run that the key source below serves
        if (typedAhead) {
            for (int k : keys) h.keys().type(k);
        } else {
            // Each key comes only once the program has waited for it.
            h.keys().onKeyWanted([&](double t) {
                if (t <= given || script.empty()) return 0;
                given = t;
                const int k = script.front();
                script.pop_front();
                return k;
            });
        }
        b.run();
        h.keys().onKeyWanted(nullptr);
        EXPECT_EQ(table->recno(), 2u);
        EXPECT_EQ(h.keys().pendingKeys(), 0u);
        EXPECT_TRUE(script.empty() || typedAhead);
        if (typedAhead) {
            EXPECT_EQ(exceptions, 3);      // q, F4, Enter
            EXPECT_TRUE(rowsLit.empty());  // a key was always waiting
        } else {
            EXPECT_EQ(exceptions, 0);
            EXPECT_EQ(rowsLit, (std::vector<int>{4, 5, 6, 6, 6, 5}));
        }
        // The browser drew the rows again over the callback's highlight after the moves and the refresh.
        EXPECT_EQ(row(6, 14), "03│zmieniony │");
        EXPECT_EQ(row(4, 2), "01");
        table->close();
    }
}

TEST_F(BrowserTest, AnEmptyTableIsReportedAndMovesAreIgnored) {
    makeTable(0);
    ui::Browser b = browser();
    std::vector<BrowseMode> modes;
    b.callback([&](BrowseMode mode, int) {
        modes.push_back(mode);
        if (modes.size() == 1) {
            h.ctx.keyboard->push(key::Down);
            h.ctx.keyboard->push(key::End);
            return BrowseAction::Continue;
        }
        return BrowseAction::Stop;
    });
    b.run();
    EXPECT_EQ(modes, (std::vector<BrowseMode>{BrowseMode::Empty, BrowseMode::Empty}));
    EXPECT_EQ(row(4, 14), "  │          │");
}

TEST_F(BrowserTest, WalksTheControllingOrderAndStartsWithAFullPage) {
    makeTable(6);
    ASSERT_TRUE(table->indexOn((h.dir / "t.ntx").string(), "t.ntx", "DESCEND(NR)"));
    table->goBottom();  // "01", the last in this order
    h.keys().type(key::Esc);
    ui::Browser b = browser();
    b.run();
    // The last record comes on the bottom row so that the page stays full.
    EXPECT_EQ(row(4, 2), "04");
    EXPECT_EQ(row(7, 2), "01");
    EXPECT_EQ(b.currentRow(), 7);
    EXPECT_EQ(table->recno(), 1u);
}

}  // namespace
