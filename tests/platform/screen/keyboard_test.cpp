#include "platform/screen/keyboard.h"

#include <gtest/gtest.h>

#include "platform/os/clock.h"
#include "platform/screen/console.h"

namespace {

namespace key = screen::key;

struct KeyboardTest : ::testing::Test {
    os::VirtualClock clock;
    std::unique_ptr<screen::Console> console = screen::Console::headless(clock);
    screen::Keyboard& keyboard = console->keyboard();
    screen::Headless& keys = *console->headless();
};

TEST_F(KeyboardTest, AWaitWithoutKeysPassesOnTheClockAndGivesNothing) {
    EXPECT_EQ(keyboard.inkey(0), 0);
    EXPECT_EQ(clock.seconds(), 0);
    EXPECT_EQ(keyboard.inkey(2.5), 0);
    EXPECT_DOUBLE_EQ(clock.seconds(), 2.5);
    EXPECT_THROW(keyboard.inkey(-1), screen::KeysExhausted);
}

TEST_F(KeyboardTest, AKeyEndsTheWaitAndIsConsumed) {
    keys.onKeyWanted([](double t) { return t >= 0.5 ? 'x' + 0 : 0; });
    EXPECT_EQ(keyboard.inkey(3), 'x');
    EXPECT_GE(clock.seconds(), 0.5);
    EXPECT_LT(clock.seconds(), 0.7);
    EXPECT_EQ(keyboard.lastKey(), 'x');

    keys.onKeyWanted(nullptr);
    keys.type(key::Esc);
    const double before = clock.seconds();
    EXPECT_EQ(keyboard.inkey(1), key::Esc);
    EXPECT_EQ(clock.seconds(), before);  // the key was there: no waiting
    EXPECT_EQ(keyboard.inkey(0), 0);     // and it is gone
    EXPECT_EQ(keyboard.lastKey(), key::Esc);

    keys.type(key::Enter);
    EXPECT_EQ(keyboard.inkey(-1), key::Enter);
}

TEST_F(KeyboardTest, TypeaheadComesFirstAndClearDropsIt) {
    keys.type('a');
    keyboard.push(key::Enter);
    keyboard.push(key::Enter);
    EXPECT_EQ(keyboard.nextKey(), key::Enter);
    EXPECT_EQ(keyboard.inkey(), key::Enter);
    EXPECT_EQ(keyboard.inkey(), key::Enter);
    EXPECT_EQ(keyboard.nextKey(), 'a');  // peeking does not consume
    EXPECT_EQ(keyboard.nextKey(), 'a');
    EXPECT_EQ(keyboard.inkey(), 'a');
    EXPECT_EQ(keyboard.nextKey(), 0);

    keyboard.push(key::Enter);
    keys.type('b');
    keyboard.clear();
    EXPECT_EQ(keyboard.inkey(), 'b');  // keys the operator presses later are not typeahead
    EXPECT_EQ(keyboard.inkey(), 0);
}

TEST_F(KeyboardTest, ForeverWaitWithACallbackSeesTheTimeMove) {
    keys.onKeyWanted([](double t) { return t >= 20 ? key::F4 : 0; }, 1.0);
    EXPECT_EQ(keyboard.inkey(-1), key::F4);
    EXPECT_DOUBLE_EQ(clock.seconds(), 20);
}

TEST(KeyCodes, FollowTheConsoleNumbering) {
    struct Case {
        int code, expected;
    };
    const Case cases[] = {
        {key::function(1), 28},       {key::function(2), -1},         {key::function(4), -3},
        {key::function(10), -9},      {key::function(11), -40},       {key::function(12), -41},
        {key::shiftFunction(1), -10}, {key::ctrlFunction(1), -20},    {key::altFunction(10), -39},
        {key::alt('P'), 281},         {key::alt('p'), 281},           {key::alt('Q'), 272},
        {key::alt('A'), 286},         {key::alt('L'), 294},           {key::alt('C'), 302},
        {key::alt('M'), 306},         {key::alt('1'), 376},           {key::alt('0'), 385},
        {key::alt('-'), 0},           {key::ctrl('W'), key::CtrlEnd}, {key::character('\xA5'), 165},
    };
    for (const auto& c : cases) EXPECT_EQ(c.code, c.expected);
}

}  // namespace
