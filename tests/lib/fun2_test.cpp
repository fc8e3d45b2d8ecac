#include "lib/fun2.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/context.h"
#include "platform/core/cp852.h"
#include "platform/os/clock.h"
#include "platform/screen/console.h"

namespace {

using namespace core::literals;
using screen::makeAttr;
using namespace screen::colour;

struct FrameTest : ::testing::Test {
    os::VirtualClock clock;
    std::unique_ptr<screen::Console> console = screen::Console::headless(clock);
    screen::Screen& s = console->screen();
    Context ctx;
    FrameTest() { console->attach(ctx); }
};

TEST_F(FrameTest, MainMenuFrameCellByCell) {
    s.setColour("G/B");
    for (int r = 0; r < screen::kRows; ++r) s.say(r, 0, std::string(screen::kCols, '.'));
    s.setColour("N/W,W/N");

    EXPECT_TRUE(RAMKA(ctx, 3, 9, 14, 61, {6, 9, 12}));

    const char vertical = "│"_cp[0], horizontal = "─"_cp[0], half = "▀"_cp[0];
    const screen::Attr drawn = makeAttr(White | Bright, Black), old = makeAttr(Green, Blue);
    for (int r = 0; r < screen::kRows; ++r) {
        for (int c = 0; c < screen::kCols; ++c) {
            char expected = '.';
            if (r >= 3 && r <= 14 && (c == 9 || c == 61)) expected = vertical;
            if (r == 4 && c >= 10 && c <= 60) expected = half;
            if ((r == 6 || r == 9 || r == 12) && c >= 10 && c <= 60) expected = horizontal;
            if (r == 14 && c >= 10 && c <= 60) expected = horizontal;
            if (r == 14 && c == 9) expected = "└"_cp[0];
            if (r == 14 && c == 61) expected = "┘"_cp[0];
            ASSERT_EQ(s.charAt(r, c), expected) << "row " << r << ", column " << c;
            ASSERT_EQ(s.attrAt(r, c), expected == '.' ? old : drawn) << "row " << r << ", column " << c;
        }
    }
    const std::string row4 = s.rowText(4);
    EXPECT_EQ(std::count(row4.begin(), row4.end(), half), 51);
    EXPECT_EQ(s.standard(), drawn);
    EXPECT_EQ(s.enhanced(), makeAttr(White, Black));  // only the standard colour is set
}

TEST_F(FrameTest, SeparatorsBeyondFourAreNotDrawn) {
    RAMKA(ctx, 0, 0, 10, 20, {2, 3, 4, 5, 6});
    EXPECT_EQ(s.charAt(5, 1), "─"_cp[0]);
    EXPECT_EQ(s.charAt(6, 1), ' ');
    EXPECT_EQ(s.charAt(6, 0), "│"_cp[0]);
}

TEST_F(FrameTest, MonitorMakesTheHighlightCurrent) {
    EXPECT_TRUE(MONITOR(ctx));
    EXPECT_EQ(s.standard(), makeAttr(Black, White));
    s.setColourDisplay(false);
    MONITOR(ctx);
    EXPECT_EQ(s.standard(), makeAttr(Blue | Bright, Black));
}

}  // namespace
