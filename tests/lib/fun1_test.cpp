#include "lib/fun1.h"

#include <gtest/gtest.h>

#include "platform/context.h"
#include "platform/core/cp852.h"
#include "platform/os/clock.h"
#include "platform/screen/console.h"

namespace {

using namespace core::literals;
using screen::makeAttr;
using namespace screen::colour;
namespace key = screen::key;

std::string cat(std::initializer_list<std::string_view> parts) {
    std::string s;
    for (auto p : parts) s += p;
    return s;
}

struct Snapshot {
    std::vector<std::string> rows;
    std::vector<screen::Attr> attrs;
    screen::CursorState cursor;
};

struct WindowTest : ::testing::Test {
    os::VirtualClock clock;
    std::unique_ptr<screen::Console> console = screen::Console::headless(clock);
    screen::Screen& s = console->screen();
    screen::Headless& keys = *console->headless();
    Context ctx;

    WindowTest() {
        console->attach(ctx);
        // A busy screen under the windows, in a colour of its own, so that a restore shows.
        s.setColour("G/B");
        for (int r = 0; r < screen::kRows; ++r) {
            std::string row;
            for (int c = 0; c < screen::kCols; ++c) row += static_cast<char>('a' + (r + c) % 26);
            s.say(r, 0, row);
        }
        s.setColour("RB/G,W/B");
        s.setCursor(3, 7);
    }

    Snapshot snapshot() const {
        Snapshot shot;
        for (int r = 0; r < screen::kRows; ++r) {
            shot.rows.push_back(s.rowText(r));
            for (int c = 0; c < screen::kCols; ++c) shot.attrs.push_back(s.attrAt(r, c));
        }
        shot.cursor = {s.row(), s.col(), s.cursorVisible()};
        return shot;
    }

    // The screen as it is when the window first waits for a key; then `answer` is pressed.
    void pressWhenAsked(Snapshot& seen, int answer) {
        keys.onKeyWanted([this, &seen, answer, asked = false](double) mutable {
            if (!asked) seen = snapshot();
            asked = true;
            return answer;
        });
    }

    void expectUnchanged(const Snapshot& before) {
        Snapshot after = snapshot();
        EXPECT_EQ(after.rows, before.rows);
        EXPECT_EQ(after.attrs, before.attrs);
        EXPECT_EQ(s.row(), 3);
        EXPECT_EQ(s.col(), 7);
        EXPECT_EQ(s.colourString(), "RB/G,W/B,N/N,N/N,N/W");
    }
};

// Row 15 to 19 hold the framed window, row 20 stays as it was.
void expectWindow(const Snapshot& shot, const Snapshot& under, screen::Attr frame) {
    const std::string_view top = "╔"_cp, bottom = "╚"_cp;
    EXPECT_EQ(shot.rows[15][30], top[0]);
    EXPECT_EQ(shot.rows[19][30], bottom[0]);
    EXPECT_EQ(shot.rows[15][72], "╗"_cp[0]);
    EXPECT_EQ(shot.rows[19][72], "╝"_cp[0]);
    EXPECT_EQ(shot.rows[15].substr(31, 41), std::string(41, "═"_cp[0]));
    EXPECT_EQ(shot.rows[16].substr(30, 43), cat({"║"_cp, std::string(41, ' '), "║"_cp}));
    EXPECT_EQ(shot.rows[16].substr(0, 30), under.rows[16].substr(0, 30));
    EXPECT_EQ(shot.rows[16].substr(73), under.rows[16].substr(73));
    EXPECT_EQ(shot.rows[20], under.rows[20]);
    EXPECT_EQ(shot.rows[14], under.rows[14]);
    EXPECT_EQ(shot.attrs[15 * 80 + 30], frame);
    EXPECT_EQ(shot.attrs[19 * 80 + 50], frame);
    EXPECT_EQ(shot.attrs[16 * 80 + 40], makeAttr(White, Black));  // cleared in the standard colours
}

TEST_F(WindowTest, MessageTextIsCentredInsideTheFrame) {
    struct Case {
        int length, column;
    };
    const Case cases[] = {{13, 45}, {41, 31}, {40, 31}, {39, 32}, {1, 51}, {45, 29}, {0, 51}};
    for (const auto& c : cases) {
        std::string text(c.length, 'M');
        OKNO_(ctx, text, "...");
        const std::string row = s.rowText(17);
        if (c.length > 0) {
            EXPECT_EQ(row.find('M'), static_cast<std::size_t>(c.column)) << c.length;
            EXPECT_EQ(row.rfind('M'), static_cast<std::size_t>(c.column + c.length - 1)) << c.length;
        }
        if (c.length <= 41) {
            EXPECT_EQ(row[30], "║"_cp[0]) << c.length;
            EXPECT_EQ(row[72], "║"_cp[0]) << c.length;
        }
    }
    OKNO_(ctx, "PROSZE CZEKAC", "..");
    EXPECT_EQ(s.rowText(17).substr(31, 41), std::string(14, ' ') + "PROSZE CZEKAC" + std::string(14, ' '));
    EXPECT_EQ(s.attrAt(17, 45), makeAttr(White | Bright, Black));
}

TEST_F(WindowTest, PersistentWindowStaysWithoutWaiting) {
    const Snapshot under = snapshot();
    EXPECT_TRUE(OKNO_(ctx, "Przesylam dane - czekac", "..."));
    EXPECT_EQ(clock.seconds(), 0);
    const Snapshot shot = snapshot();
    expectWindow(shot, under, makeAttr(Black, White));
    EXPECT_EQ(s.attrAt(17, 40), makeAttr(White | Bright, Black));
    EXPECT_EQ(s.row(), 3);
    EXPECT_EQ(s.col(), 7);
    EXPECT_EQ(s.colourString(), "RB/G,W/B,N/N,N/N,N/W");
}

TEST_F(WindowTest, FlashAndTimedWindowsWaitThenGiveTheRegionBack) {
    struct Case {
        const char* name;
        double seconds;  // 0: the flash call without a second argument
        double waited;
        screen::Attr frame, text;
    };
    const Case cases[] = {
        {"flash", 0, 1, makeAttr(Black, White), makeAttr(White | Bright, Black)},
        {"timed 1", 1, 1, makeAttr(Black, White), makeAttr(White | Bright, Black)},
        {"alarm 3", 3, 3, makeAttr(White | Bright, Red), makeAttr(Red | Bright, Black)},
        {"alarm 2", 2, 2, makeAttr(White | Bright, Red), makeAttr(Red | Bright, Black)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Snapshot before = snapshot();
        Snapshot seen;
        pressWhenAsked(seen, 0);  // looks at the screen, presses nothing
        const double start = clock.seconds();
        EXPECT_TRUE(c.seconds == 0 ? OKNO_(ctx, "Brak pliku") : OKNO_(ctx, "Brak pliku", c.seconds));
        EXPECT_NEAR(clock.seconds() - start, c.waited, 1e-9);
        ASSERT_FALSE(seen.rows.empty());
        expectWindow(seen, before, c.frame);
        EXPECT_EQ(seen.rows[17].substr(46, 10), "Brak pliku");
        EXPECT_EQ(seen.attrs[17 * 80 + 46], c.text);
        expectUnchanged(before);
    }
}

TEST_F(WindowTest, AKeyEndsTheMessageAtOnceAndIsNotSeenAgain) {
    const Snapshot before = snapshot();
    keys.type({'x', 'y'});
    OKNO_(ctx, "Brak pliku");
    EXPECT_EQ(clock.seconds(), 0);
    expectUnchanged(before);
    EXPECT_EQ(ctx.keyboard->inkey(), 'y');

    keys.onKeyWanted([](double t) { return t >= 1.2 ? key::Esc : 0; });
    OKNO_(ctx, "Zmien okres obrachunkowy lub date", 3);
    EXPECT_NEAR(clock.seconds(), 1.2, 0.11);
    EXPECT_EQ(ctx.keyboard->lastKey(), key::Esc);
    expectUnchanged(before);
}

TEST_F(WindowTest, FlashOverPersistentGivesBackThePersistentWindow) {
    OKNO_(ctx, "PROSZE CZEKAC", "...");
    const Snapshot persistent = snapshot();
    OKNO_(ctx, "Mam problemy z wejsciem");
    EXPECT_EQ(snapshot().rows, persistent.rows);
    EXPECT_EQ(snapshot().attrs, persistent.attrs);
    EXPECT_NE(s.rowText(17).find("PROSZE CZEKAC"), std::string::npos);
}

TEST_F(WindowTest, QuestionAnswersByLettersAndByEnterOnlyWithADefault) {
    struct Case {
        const char* name;
        const char* defaultAnswer;
        std::vector<int> keys;
        bool answer;
    };
    const Case cases[] = {
        {"blank default ignores Enter and Esc", " ", {key::Enter, key::Esc, 'x', key::F4, 'n'}, false},
        {"blank default, t", " ", {key::Enter, 't'}, true},
        {"T on Enter", "T", {key::Enter}, true},
        {"N on Enter", "N", {key::Enter}, false},
        {"letter beats default", "T", {'N'}, false},
        {"Esc ignored", "N", {key::Esc, 'T'}, true},
        {"empty default is blank", "", {key::Enter, 'T'}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Snapshot before = snapshot();
        for (int k : c.keys) keys.type(k);
        keys.type('z');  // must be left for the next reader
        EXPECT_EQ(OKNO(ctx, "Kasa gotowa do transmisji ?", c.defaultAnswer), c.answer);
        EXPECT_EQ(ctx.keyboard->inkey(), 'z');
        expectUnchanged(before);
    }
}

TEST_F(WindowTest, QuestionLayout) {
    const Snapshot under = snapshot();
    Snapshot seen;
    pressWhenAsked(seen, 'T');
    s.setCursorVisible(false);
    EXPECT_TRUE(OKNO(ctx, "Skasowac plik velto\\as2000.dbf ?", "T"));
    ASSERT_FALSE(seen.rows.empty());

    EXPECT_EQ(seen.rows[15][30], "╔"_cp[0]);
    EXPECT_EQ(seen.attrs[15 * 80 + 30], makeAttr(Black, White));
    EXPECT_EQ(seen.rows[17].substr(35, 32), "Skasowac plik velto\\as2000.dbf ?");  // 32 long: column 35
    EXPECT_EQ(seen.attrs[17 * 80 + 35], makeAttr(White | Bright, Black));
    // The small frame overlaps the lower edge of the window and reaches row 20.
    EXPECT_EQ(seen.rows[18].substr(37, 29), cat({"┌"_cp, std::string(27, "─"_cp[0]), "┐"_cp}));
    EXPECT_EQ(seen.rows[19].substr(30, 8), cat({"╚══════"_cp, "│"_cp}));
    EXPECT_EQ(seen.rows[19].substr(38, 15), "      [T/N]  ? ");
    EXPECT_EQ(seen.rows[19].substr(53, 13), cat({"T", std::string(11, ' '), "│"_cp}));
    EXPECT_EQ(seen.rows[19].substr(66, 7), "══════╝"_cp);
    EXPECT_EQ(seen.rows[20].substr(37, 29), cat({"└"_cp, std::string(27, "─"_cp[0]), "┘"_cp}));
    EXPECT_EQ(seen.rows[20].substr(0, 37), under.rows[20].substr(0, 37));
    EXPECT_EQ(seen.rows[20].substr(66), under.rows[20].substr(66));
    EXPECT_EQ(seen.attrs[19 * 80 + 38], makeAttr(White, Black));
    EXPECT_EQ(seen.attrs[19 * 80 + 53], makeAttr(White | Bright, Red));
    EXPECT_EQ(seen.attrs[20 * 80 + 37], makeAttr(White, Black));
    EXPECT_EQ(seen.cursor, (screen::CursorState{19, 53, true}));

    // On a monochrome display the default answer is shown black on white.
    s.setColourDisplay(false);
    pressWhenAsked(seen, 'n');
    EXPECT_FALSE(OKNO(ctx, "Programowac dzialy ?", " "));
    EXPECT_EQ(seen.rows[19][53], ' ');
    EXPECT_EQ(seen.attrs[19 * 80 + 53], makeAttr(Black, White));
    EXPECT_EQ(s.row(), 3);
    EXPECT_EQ(s.col(), 7);
}

}  // namespace
