#include "platform/ui/memo.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/core/cp852.h"
#include "support/harness.h"

namespace {

using namespace core::literals;
using ui::MemoMode;
namespace key = screen::key;

const int Up = key::Up, Down = key::Down, Left = key::Left, Right = key::Right, Enter = key::Enter;
const int End = key::End, Home = key::Home, Del = key::Del, Bs = key::Backspace, Ins = key::Ins;
const int CtrlW = key::ctrl('W'), CtrlY = key::ctrl('Y'), Esc = key::Esc;

struct MemoTest : ::testing::Test {
    testing_support::Harness h;
    std::deque<int> script;

    // Keys that come one at a time, each only once the editor has waited for it, so that the editor
    // pauses (and calls its callback idle) before every key.
    void slowly(std::initializer_list<int> keys) {
        script.assign(keys.begin(), keys.end());
        double given = h.clock.seconds();
        h.keys().onKeyWanted([this, given](double t) mutable {
            if (t <= given || script.empty()) return 0;
            given = t;
            const int k = script.front();
            script.pop_front();
            return k;
        });
    }
    std::string row(int r, size_t from, size_t n) { return h.row(r).substr(from, n); }
};

struct EditCase {
    const char* what;
    std::string text;
    std::vector<int> keys;
    std::string expected;
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.what;
}

class MemoEditing : public ::testing::TestWithParam<EditCase> {};

TEST_P(MemoEditing, KeysChangeTheText) {
    const EditCase& c = GetParam();
    testing_support::Harness h;
    for (int k : c.keys) h.keys().type(k);
    h.keys().type(CtrlW);
    ui::MemoEditor editor(h.ctx, 1, 1, 10, 40);
    const ui::MemoResult r = editor.edit(c.text);
    EXPECT_TRUE(r.saved) << c.what;
    EXPECT_EQ(r.text, c.expected) << c.what;
    EXPECT_EQ(h.keys().pendingKeys(), 0u) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Memo, MemoEditing,
    ::testing::Values(
        EditCase{"typing inserts", "abc", {Right, 'X'}, "aXbc"},
        EditCase{"Ins switches to overwriting", "abc", {Ins, 'X', 'Y', Ins, 'Z'}, "XYZc"},
        EditCase{"Enter breaks the line", "abcd", {Right, Right, Enter, 'x'}, "ab\r\nxcd"},
        EditCase{"Enter at the start inserts a line", "ab", {Enter}, "\r\nab"},
        EditCase{"Ctrl-Y deletes the current line", "a\r\nb\r\nc", {Down, CtrlY, 'x'}, "a\r\nxc"},
        EditCase{"Ctrl-Y on the only line empties it", "abc", {CtrlY}, ""},
        EditCase{"Del deletes and joins at the end of a line", "abc\r\ndef", {Del, End, Del}, "bcdef"},
        EditCase{"Backspace deletes and joins at the start of a line",
                 "abc\r\ndef",
                 {Down, Right, Bs, Bs, Bs},
                 "abef"},
        EditCase{
            "Left and Right cross line ends", "ab\r\ncd", {End, Right, 'x', Left, Left, 'y'}, "aby\r\nxcd"},
        EditCase{"Up and Down keep the column over a short line",
                 "abcd\r\nx\r\nefgh",
                 {End, Down, Down, 'z'},
                 "abcd\r\nx\r\nefghz"},
        EditCase{"Home and End", "abc", {End, 'x', Home, 'y'}, "yabcx"},
        EditCase{"Ctrl-PgDn and Ctrl-Home go to the end and the start of the text",
                 "ab\r\ncd",
                 {key::CtrlPgDn, 'x', key::CtrlHome, 'y', key::CtrlPgDn, key::CtrlPgUp, 'z'},
                 "zyab\r\ncdx"},
        EditCase{"words",
                 "one two  three",
                 {key::CtrlRight, key::CtrlRight, '|', key::CtrlLeft, '^'},
                 "one two  ^|three"},
        EditCase{"Tab fills to the next multiple of four", "ab", {Right, key::Tab, 'x'}, "a   xb"},
        EditCase{"keys that are not editing keys do nothing", "ab", {key::F5, key::alt('P'), key::F4}, "ab"},
        EditCase{"Polish letters are typed as code page bytes",
                 "",
                 {key::character("ż"_cp[0])},
                 std::string("ż"_cp)}));

TEST_F(MemoTest, EscAbandonsAndGivesTheTextAsItWas) {
    h.keys().type({'x', Enter, Esc});
    const ui::MemoResult r = ui::MemoEditor(h.ctx, 1, 1, 10, 40).edit("ab\r\n");
    EXPECT_FALSE(r.saved);
    EXPECT_EQ(r.text, "ab\r\n");
}

TEST_F(MemoTest, PrintoutBytesPassThroughUnchanged) {
    // Form feed, escape sequences, box characters, Polish letters, a lone LF and a trailing line end.
    const std::string text =
        std::string("\x1b!\x05") + std::string("┌──┐ Zażółć"_cp) + "\r\n\x0cstrona 2\nx\r\n\r\n";
    h.keys().type(CtrlW);
    EXPECT_EQ(ui::MemoEditor(h.ctx, 1, 1, 10, 40).edit(text).text, text);
    h.keys().type({key::CtrlPgDn, Up, Up, 'x', CtrlW});
    const ui::MemoResult r = ui::MemoEditor(h.ctx, 1, 1, 10, 40).edit(text);
    EXPECT_EQ(r.text,
              std::string("\x1b!\x05") + std::string("┌──┐ Zażółć"_cp) + "\r\nx\x0cstrona 2\nx\r\n\r\n");
}

TEST_F(MemoTest, ShowsTheTextInItsRectangleAndScrollsVertically) {
    std::string text;
    for (int i = 1; i <= 30; ++i) text += "line " + std::to_string(i) + (i < 30 ? "\r\n" : "");
    h.screen().say(0, 0, std::string(80, '#'));
    ui::MemoEditor editor(h.ctx, 1, 2, 5, 20);  // five rows of 19 columns
    std::vector<std::string> firstRows;
    editor.callback([&](MemoMode mode, int, int) {
        if (mode == MemoMode::Idle) firstRows.push_back(row(1, 2, 19));
        return 0;
    });
    slowly({key::CtrlPgDn, key::PgUp, key::PgUp, Up, key::PgDn, CtrlW});
    editor.edit(text);
    EXPECT_EQ(firstRows, (std::vector<std::string>{"line 1             ", "line 26            ",
                                                   "line 21            ", "line 16            ",
                                                   "line 16            ", "line 21            "}));
    EXPECT_EQ(row(0, 0, 80), std::string(80, '#'));  // outside the rectangle nothing changes
    EXPECT_EQ(row(1, 0, 2), "  ");
    EXPECT_EQ(row(5, 2, 19), "line 25            ");
    EXPECT_EQ(h.screen().row(), 4);  // the cursor on "line 24"
    EXPECT_EQ(editor.line(), 24);
}

TEST_F(MemoTest, LongLinesWrapForTheEyeOnlyAndTheViewScrollsSideways) {
    // 200 characters: the 160th is "B", the last 40 are "c".
    const std::string line200 = std::string(159, 'a') + "B" + std::string(40, 'c');
    ui::MemoEditor editor(h.ctx, 1, 0, 4, 19);  // four rows of 20 columns
    std::vector<std::vector<std::string>> screens;
    std::vector<std::pair<int, int>> places;
    editor.callback([&](MemoMode mode, int line, int col) {
        if (mode != MemoMode::Idle) return 0;
        screens.push_back({row(1, 0, 20), row(2, 0, 20), row(3, 0, 20)});
        places.push_back({line, col});
        return 0;
    });
    // End: the end of the 200 characters, on the line's second row; Up: the same place on its first
    // row; Home: back to the start, where a typed character pushes the 160th onto the second row.
    slowly({End, Up, Home, 'X', CtrlW});
    const ui::MemoResult r = editor.edit(line200 + "\r\nnext");
    ASSERT_EQ(screens.size(), 5u);
    EXPECT_EQ(screens[0], (std::vector<std::string>{std::string(20, 'a'), std::string(20, 'c'),
                                                    "next" + std::string(16, ' ')}));
    // Scrolled sideways to show column 200 of the line's second row.
    EXPECT_EQ(screens[1], (std::vector<std::string>{std::string(20, 'a'), std::string(19, 'c') + " ",
                                                    std::string(20, ' ')}));
    EXPECT_EQ(places[1], std::make_pair(1, 200));
    EXPECT_EQ(places[2], std::make_pair(1, 40));
    EXPECT_EQ(screens[4][0], "X" + std::string(19, 'a'));
    EXPECT_EQ(screens[4][1], "B" + std::string(19, 'c'));
    EXPECT_EQ(r.text, "X" + line200 + "\r\nnext");
}

// What the callback is told, in order.
struct Told {
    MemoMode mode;
    int line, col;
    bool operator==(const Told&) const = default;
};

void PrintTo(const Told& t, std::ostream* os) {
    *os << "{mode " << static_cast<int>(t.mode) << ", line " << t.line << ", col " << t.col << "}";
}

TEST_F(MemoTest, TheCallbackSeesTheStartEveryPauseAndEveryKey) {
    ui::MemoEditor editor(h.ctx, 1, 1, 10, 40);
    std::vector<Told> told;
    int inits = 0;
    editor.callback([&](MemoMode mode, int line, int col) {
        told.push_back({mode, line, col});
        // The start-up call is repeated until it answers 0; 22 switches to overwriting.
        if (mode == MemoMode::Init) return ++inits == 1 ? key::Ins : 0;
        return 0;
    });
    slowly({'x', Down, End, CtrlW});
    const ui::MemoResult r = editor.edit("ab\r\ncd");
    const std::vector<Told> expected = {
        {MemoMode::Init, 1, 0},       {MemoMode::Init, 1, 0},       {MemoMode::Idle, 1, 0},
        {MemoMode::Key, 1, 0},        {MemoMode::Idle, 1, 1},       {MemoMode::KeyChanged, 1, 1},
        {MemoMode::Idle, 2, 1},       {MemoMode::KeyChanged, 2, 1}, {MemoMode::Idle, 2, 2},
        {MemoMode::KeyChanged, 2, 2},
    };
    EXPECT_EQ(told, expected);
    EXPECT_TRUE(r.saved);
    EXPECT_EQ(r.text, "xb\r\ncd");
}

struct AnswerCase {
    const char* what;
    std::vector<int> keys;
    std::function<int(MemoMode, int lastKey)> answer;
    std::string expected;
    bool saved;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << c.what;
}

class MemoAnswers : public MemoTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(MemoAnswers, TheCallbacksAnswerDecides) {
    const AnswerCase& c = GetParam();
    ui::MemoEditor editor(h.ctx, 1, 1, 10, 40);
    editor.callback([&](MemoMode mode, int, int) { return c.answer(mode, h.ctx.keyboard->lastKey()); });
    slowly({});
    script.assign(c.keys.begin(), c.keys.end());
    const ui::MemoResult r = editor.edit("ab");
    EXPECT_EQ(r.text, c.expected) << c.what;
    EXPECT_EQ(r.saved, c.saved) << c.what;
    EXPECT_TRUE(script.empty()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Memo, MemoAnswers,
    ::testing::Values(
        AnswerCase{"Esc answered with 23 ends keeping the edits",
                   {'q', Esc},
                   [](MemoMode m, int k) { return m != MemoMode::Idle && k == Esc ? 23 : 0; },
                   "qab",
                   true},
        AnswerCase{"23 to an idle call ends keeping the edits",
                   {'q'},
                   [](MemoMode m, int k) { return m == MemoMode::Idle && k == 'q' ? 23 : 0; },
                   "qab",
                   true},
        AnswerCase{"27 abandons",
                   {'q', key::F5},
                   [](MemoMode m, int k) { return m != MemoMode::Idle && k == key::F5 ? 27 : 0; },
                   "ab",
                   false},
        AnswerCase{"32 ignores the key",
                   {'q', 'r', CtrlW},
                   [](MemoMode m, int k) { return m != MemoMode::Idle && k == 'q' ? 32 : 0; },
                   "rab",
                   true},
        AnswerCase{"33 types the key as a character",
                   {key::ctrl('L'), CtrlW},
                   [](MemoMode m, int k) { return m != MemoMode::Idle && k == key::ctrl('L') ? 33 : 0; },
                   "\x0c"
                   "ab",
                   true},
        AnswerCase{"an answer from 1 to 31 acts as that key",
                   {'q', CtrlW},
                   [](MemoMode m, int k) { return m != MemoMode::Idle && k == 'q' ? key::End : 0; },
                   "ab",
                   true},
        AnswerCase{"other answers count as 0", {'q', CtrlW}, [](MemoMode, int) { return 99; }, "qab", true}));

}  // namespace
