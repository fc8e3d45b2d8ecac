#include "platform/screen/colour.h"

#include <gtest/gtest.h>

namespace {

using screen::makeAttr;
using namespace screen::colour;

struct PairCase {
    const char* text;
    screen::Attr expected;
};

TEST(ColourString, PairsInLettersDigitsAndMarks) {
    const PairCase cases[] = {
        {"W+/R", makeAttr(White | Bright, Red)},
        {"N/W", makeAttr(Black, White)},
        {"0/7", makeAttr(Black, White)},
        {"15/1", makeAttr(White | Bright, Blue)},
        {"R+*/N", makeAttr(Red | Bright, Black, true)},
        {"U+", makeAttr(Blue | Bright, Black)},
        {"RG+/B", makeAttr(Brown | Bright, Blue)},
        {"GR/BG", makeAttr(Brown, Cyan)},
        {"W", makeAttr(White, Black)},
        {"/R", makeAttr(Black, Red)},
        {"w+/r", makeAttr(White | Bright, Red)},
        {"\"W+/R\"", makeAttr(White | Bright, Red)},  // other characters mean nothing
        {"I", makeAttr(Black, White)},
        {"X/B", makeAttr(Blue, Blue)},
        {"W*+/B", makeAttr(White | Bright, Blue, true)},
    };
    for (const auto& c : cases) EXPECT_EQ(screen::parseColourPair(c.text), c.expected) << c.text;
}

TEST(ColourString, SlotsAreSetKeptOrRestored) {
    const screen::ColourSet defaults = screen::ColourSet::defaults();
    EXPECT_EQ(defaults.standard(), makeAttr(White, Black));
    EXPECT_EQ(defaults.enhanced(), makeAttr(Black, White));

    screen::ColourSet set = screen::applyColourString("N/W,W/N", defaults);
    EXPECT_EQ(set.standard(), makeAttr(Black, White));
    EXPECT_EQ(set.enhanced(), makeAttr(White, Black));

    // A pair of one slot leaves the others as they were; an empty pair keeps its slot.
    set = screen::applyColourString("W+/R", set);
    EXPECT_EQ(set.standard(), makeAttr(White | Bright, Red));
    EXPECT_EQ(set.enhanced(), makeAttr(White, Black));
    set = screen::applyColourString(",,,,W+/N", set);
    EXPECT_EQ(set.standard(), makeAttr(White | Bright, Red));
    EXPECT_EQ(set.slot(screen::ColourSlot::Unselected), makeAttr(White | Bright, Black));

    EXPECT_EQ(screen::applyColourString("", set), defaults);
}

TEST(ColourString, WrittenBackReadsTheSame) {
    screen::ColourSet set =
        screen::applyColourString("W+/R,N/W,B/G,RB/W,GR+*/N", screen::ColourSet::defaults());
    EXPECT_EQ(screen::colourString(set), "W+/R,N/W,B/G,RB/W,GR+*/N");
    EXPECT_EQ(screen::applyColourString(screen::colourString(set), screen::ColourSet::defaults()), set);
}

}  // namespace
