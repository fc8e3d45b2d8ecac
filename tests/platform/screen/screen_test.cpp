#include "platform/screen/screen.h"

#include <gtest/gtest.h>

#include "platform/core/cp852.h"

namespace {

using namespace core::literals;
using screen::makeAttr;
using namespace screen::colour;

// Keeps what the screen sent, to see that only changed cells travel.
struct RecordingBackend : screen::Backend {
    std::vector<std::vector<screen::CellChange>> flushes;
    screen::CursorState cursor;
    int suspended = 0, resumed = 0;
    void suspend() override { ++suspended; }
    void resume() override { ++resumed; }
    void flush(const std::vector<screen::CellChange>& changes, const screen::CursorState& c) override {
        flushes.push_back(changes);
        cursor = c;
    }
};

void fill(screen::Screen& s, char ch) {
    for (int r = 0; r < screen::kRows; ++r) s.say(r, 0, std::string(screen::kCols, ch));
}

TEST(Screen, SayWritesInTheCurrentColourClipsAndLeavesTheCursorAfterTheText) {
    screen::Screen s;
    s.setColour("W+/R");
    s.say(2, 75, "abcdefgh");
    EXPECT_EQ(s.rowText(2).substr(75), "abcde");
    EXPECT_EQ(s.attrAt(2, 79), makeAttr(White | Bright, Red));
    EXPECT_EQ(s.rowText(3), std::string(80, ' '));  // no wrap onto the next row
    EXPECT_EQ(s.row(), 2);
    EXPECT_EQ(s.col(), 79);

    s.say(5, 10, "Zł"_cp, "N/W,W/N");
    EXPECT_EQ(s.charAt(5, 11), "ł"_cp[0]);
    EXPECT_EQ(s.attrAt(5, 10), makeAttr(Black, White));
    EXPECT_EQ(s.col(), 12);
    s.say(6, -2, "xyz");
    EXPECT_EQ(s.rowText(6).substr(0, 2), "z ");
}

TEST(Screen, ClearUsesTheStandardColourAndHomesTheCursorForTheWholeScreen) {
    screen::Screen s;
    fill(s, '#');
    s.setColour("G/B");
    s.clear(1, 2, 3, 4);
    EXPECT_EQ(s.rowText(0).substr(0, 6), "######");
    EXPECT_EQ(s.rowText(2).substr(0, 6), "##   #");
    EXPECT_EQ(s.rowText(4).substr(0, 6), "######");
    EXPECT_EQ(s.attrAt(3, 4), makeAttr(Green, Blue));
    s.clear(0, 0, 0, 1, makeAttr(White, Black));
    EXPECT_EQ(s.rowText(0).substr(0, 3), "  #");

    s.setColour("");
    s.clear();
    for (int r = 0; r < screen::kRows; ++r) EXPECT_EQ(s.rowText(r), std::string(80, ' '));
    EXPECT_EQ(s.attrAt(24, 79), makeAttr(White, Black));
    EXPECT_EQ(s.row(), 0);
    EXPECT_EQ(s.col(), 0);
}

TEST(Screen, SavedRegionComesBackExactlyAndOnlyThere) {
    screen::Screen s;
    fill(s, '.');
    s.say(16, 31, "before", "R+/B");
    screen::SavedRegion saved = s.save(15, 30, 20, 72);
    const std::string row16 = s.rowText(16);

    s.setColour("W/R");
    s.clear(10, 20, 22, 75);
    s.restore(saved);

    EXPECT_EQ(s.rowText(16), std::string(20, '.') + std::string(10, ' ') + row16.substr(30, 43) +
                                 std::string(3, ' ') + std::string(4, '.'));
    EXPECT_EQ(s.attrAt(16, 31), makeAttr(Red | Bright, Blue));
    EXPECT_EQ(s.rowText(14).substr(20, 56), std::string(56, ' '));  // outside the region: as cleared
    EXPECT_EQ(s.rowText(21).substr(20, 56), std::string(56, ' '));

    // A region reaching past the edge keeps what is on the screen.
    screen::SavedRegion edge = s.save(23, 70, 30, 90);
    s.clear();
    s.restore(edge);
    EXPECT_EQ(s.rowText(24).substr(70), std::string(10, '.'));
    EXPECT_EQ(s.rowText(22).substr(70), std::string(80 - 70, ' '));
}

TEST(Screen, BoxesUseTheCodePageFramesAndDegenerateToLines) {
    screen::Screen s;
    s.box(1, 1, 4, 6, screen::Frame::Double, makeAttr(Black, White));
    EXPECT_EQ(s.rowText(1).substr(1, 6), "╔════╗"_cp);
    EXPECT_EQ(s.rowText(2).substr(1, 6), "║    ║"_cp);
    EXPECT_EQ(s.rowText(4).substr(1, 6), "╚════╝"_cp);
    EXPECT_EQ(s.attrAt(4, 6), makeAttr(Black, White));

    s.box(6, 1, 8, 3, screen::Frame::Single);
    EXPECT_EQ(s.rowText(6).substr(1, 3), "┌─┐"_cp);
    EXPECT_EQ(s.rowText(7).substr(1, 3), "│ │"_cp);
    EXPECT_EQ(s.rowText(8).substr(1, 3), "└─┘"_cp);

    s.box(10, 0, 10, 4, screen::Frame::Single);
    EXPECT_EQ(s.rowText(10).substr(0, 5), "─────"_cp);
    s.box(11, 7, 13, 7, screen::Frame::Double);
    for (int r = 11; r <= 13; ++r) EXPECT_EQ(s.charAt(r, 7), "║"_cp[0]);
}

TEST(Screen, ConsoleOutputWrapsAndScrollsAtTheBottom) {
    screen::Screen s;
    s.say(0, 0, "top line");
    s.setCursor(24, 0);
    s.out("last");
    s.newline();
    EXPECT_EQ(s.rowText(23).substr(0, 4), "last");
    EXPECT_EQ(s.rowText(0).substr(0, 8), std::string(8, ' '));  // the top line scrolled away
    EXPECT_EQ(s.row(), 24);
    EXPECT_EQ(s.col(), 0);

    s.clear();
    s.out(std::string(85, 'a') + "\r\nb");
    EXPECT_EQ(s.rowText(1).substr(0, 6), "aaaaa ");
    EXPECT_EQ(s.rowText(2).substr(0, 1), "b");

    s.clear();
    s.newline();
    s.out("Koniec pracy programu VELTO");
    EXPECT_EQ(s.rowText(1).substr(0, 27), "Koniec pracy programu VELTO");
    EXPECT_EQ(s.dump().substr(0, 29), "\nKoniec pracy programu VELTO\n");
}

TEST(Screen, OnlyChangedCellsAndCursorMovesReachTheBackend) {
    RecordingBackend backend;
    screen::Screen s(&backend);
    s.flush();
    ASSERT_EQ(backend.flushes.size(), 1u);
    EXPECT_EQ(backend.flushes[0].size(), 80u * 25u);  // the first flush draws everything

    s.say(3, 4, "ab");
    ASSERT_EQ(backend.flushes.size(), 2u);
    ASSERT_EQ(backend.flushes[1].size(), 2u);
    EXPECT_EQ(backend.flushes[1][0].row, 3);
    EXPECT_EQ(backend.flushes[1][0].col, 4);
    EXPECT_EQ(backend.flushes[1][1].cell.ch, 'b');
    EXPECT_EQ(backend.cursor.col, 6);

    s.say(3, 4, "ab");  // same text: nothing to send but the cursor, which did not move
    s.flush();
    EXPECT_EQ(backend.flushes.size(), 2u);

    s.setCursorVisible(false);
    ASSERT_EQ(backend.flushes.size(), 3u);
    EXPECT_TRUE(backend.flushes[2].empty());
    EXPECT_FALSE(backend.cursor.visible);

    {
        screen::Screen::Batch batch(s);
        s.say(0, 0, "x");
        s.say(1, 0, "y");
        EXPECT_EQ(backend.flushes.size(), 3u);
    }
    ASSERT_EQ(backend.flushes.size(), 4u);
    EXPECT_EQ(backend.flushes[3].size(), 2u);

    // Around an outside command: what was drawn goes out first, and everything again afterwards.
    s.say(2, 0, "z");
    {
        backend.flushes.clear();
        screen::Screen::Batch batch(s);
        s.say(2, 1, "q");
        screen::Screen::Suspended suspended(s);
        EXPECT_EQ(backend.suspended, 1);
        ASSERT_EQ(backend.flushes.size(), 1u);
        EXPECT_EQ(backend.flushes[0].size(), 1u);
    }
    EXPECT_EQ(backend.resumed, 1);
    EXPECT_EQ(backend.flushes[1].size(), 80u * 25u);
}

}  // namespace
