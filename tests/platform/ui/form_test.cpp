#include "platform/ui/form.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "platform/core/cp852.h"
#include "platform/xbase/table.h"
#include "support/harness.h"

namespace core {
// Readable failure messages for values.
inline void PrintTo(const Value& v, std::ostream* os) {
    switch (v.type) {
        case Type::Text:
            *os << "text \"" << cp852ToUtf8(v.text) << "\"";
            break;
        case Type::Number:
            *os << "number " << v.number;
            break;
        case Type::Date:
            *os << "date " << v.date.display();
            break;
        case Type::Logical:
            *os << "logical " << (v.logical ? "true" : "false");
            break;
    }
}
}  // namespace core

namespace {

using namespace core::literals;
using core::Value;
namespace key = screen::key;
using testing_support::Harness;

Value text(std::string_view s) {
    return Value::ofText(std::string(s));
}
Value number(double n) {
    return Value::ofNumber(n);
}
Value date(int y, int m, int d) {
    return Value::ofDate(core::Date::fromYmd(y, m, d));
}

struct MaskCase {
    const char* what;
    Value initial;
    std::string picture;
    std::vector<int> keys;
    Value expected;
};

void PrintTo(const MaskCase& c, std::ostream* os) {
    *os << c.what;
}

class FieldEditing : public ::testing::TestWithParam<MaskCase> {};

// One field bound to a variable; the keys are typed and the variable is read back.
TEST_P(FieldEditing, StoresWhatTheMaskAllows) {
    const MaskCase& c = GetParam();
    Harness h;
    Value v = c.initial;
    ui::Form form(h.ctx);
    form.field(3, 5, ui::bindValue(v), c.picture);
    for (int k : c.keys) h.keys().type(k);
    form.read();
    EXPECT_EQ(v, c.expected) << c.what;
    EXPECT_EQ(h.keys().pendingKeys(), 0u) << c.what << ": the form ended early";
}

const int Right = key::Right, Left = key::Left, Enter = key::Enter, Home = key::Home, End = key::End;
const int Del = key::Del, Bs = key::Backspace, Ins = key::Ins, CtrlY = key::ctrl('Y'), Esc = key::Esc;

INSTANTIATE_TEST_SUITE_P(
    Form, FieldEditing,
    ::testing::Values(
        MaskCase{"! upper-cases typed and shown letters", text("abc"), "!!!!!", {'x', Enter}, text("XABC ")},
        MaskCase{
            "! upper-cases Polish letters", text(" "), "!", {key::character("ł"_cp[0]), Enter}, text("Ł"_cp)},
        MaskCase{"9 refuses letters in a text", text("12"), "99", {'a', '3', Enter}, text("31")},
        MaskCase{
            "X keeps the letter case that ! forces", text("ab"), "!XX", {Right, 'z', Enter}, text("Azb")},
        MaskCase{"typing inserts: the tail shifts and its end is lost",
                 text("abcd"),
                 "XXXX",
                 {Right, 'z', Enter},
                 text("azbc")},
        MaskCase{"Ins switches to overwriting", text("abcd"), "XXXX", {Ins, 'z', 'y', Enter}, text("zycd")},
        MaskCase{"a full field keeps taking keys at its last position",
                 text("  "),
                 "XX",
                 {'a', 'b', 'c', Enter},
                 text("ac")},
        MaskCase{"Del pulls the tail left", text("abcd"), "XXXX", {Right, Del, Enter}, text("acd ")},
        MaskCase{"Backspace deletes before the cursor", text("ab  "), "XXXX", {End, Bs, Enter}, text("a   ")},
        MaskCase{"Backspace on the first position does nothing", text("ab"), "XX", {Bs, Enter}, text("ab")},
        MaskCase{"End goes after the last character", text("ab  "), "XXXX", {End, 'c', Enter}, text("abc ")},
        MaskCase{"Left stops at the first position", text("ab"), "XX", {Left, Left, 'c', Enter}, text("ca")},
        MaskCase{"Ctrl-Y blanks to the end", text("abcd"), "XXXX", {Right, CtrlY, Enter}, text("a   ")},
        MaskCase{"without a mask the width is the value's", text("abc"), "", {End, 'x', Enter}, text("abx")},
        MaskCase{"a value longer than its mask keeps its hidden tail",
                 text("abcdef"),
                 "!!",
                 {Del, Enter},
                 text("B cdef")},
        MaskCase{"an unchanged field is not stored", text("abc"), "!!!", {Enter}, text("abc")},
        MaskCase{"a number: the first digit replaces it", number(1), "999", {'1', '7', Enter}, number(17)},
        MaskCase{"a number refuses letters", number(5), "999", {'a', Enter}, number(5)},
        MaskCase{
            "a number edited after moving is not cleared", number(12), "999", {Right, Del, Enter}, number(2)},
        MaskCase{"a sign in a number", number(3), "9999", {'-', '5', Enter}, number(-5)},
        MaskCase{"the point moves to the decimals",
                 number(12.5),
                 "9999.99",
                 {'3', '.', '2', '5', Enter},
                 number(3.25)},
        MaskCase{"decimals of a number without a point typed",
                 number(0),
                 "9999.99",
                 {'4', '2', Enter},
                 number(42)},
        MaskCase{"a number without a mask uses its width",
                 Value::ofNumber(7, 3, 0),
                 "",
                 {'4', '5', '6', '7', Enter},
                 Value::ofNumber(457, 3, 0)},
        MaskCase{"a date: digits within its parts", date(2024, 3, 15), "", {'2', Enter}, date(2024, 3, 21)},
        MaskCase{"an impossible date cannot be left",
                 date(2024, 3, 15),
                 "",
                 {'9', '9', Enter, Esc},
                 date(2024, 3, 15)},
        MaskCase{
            "an emptied date is an empty date", date(2024, 3, 15), "", {CtrlY, Enter}, Value::ofDate({})},
        MaskCase{
            "a logical takes Y and N", Value::ofLogical(false), "", {'y', Enter}, Value::ofLogical(true)},
        MaskCase{"Esc stores nothing", text("abc"), "XXX", {'z', Esc}, text("abc")}));

// Three text fields over a variable each, rows 1..3 at column 10.
struct ThreeFields {
    Harness h;
    Value a = text("aaa"), b = text("bbb"), c = text("ccc");
    ui::Form form{h.ctx};
    explicit ThreeFields(bool plain = true) {
        if (!plain) return;
        form.field(1, 10, ui::bindValue(a), "XXX");
        form.field(2, 10, ui::bindValue(b), "XXX");
        form.field(3, 10, ui::bindValue(c), "XXX");
    }
};

TEST(Form, UpAndDownMoveBetweenFieldsAndStopAtTheEnds) {
    ThreeFields t;
    t.h.keys().type({key::Up, 'x', key::Down, key::Down, key::Down, key::Down, 'z', key::Up, key::Up, key::Up,
                     'y', key::Enter, key::Enter, key::Enter});
    EXPECT_TRUE(t.form.read());
    EXPECT_EQ(t.a, text("yxa"));
    EXPECT_EQ(t.b, text("bbb"));
    EXPECT_EQ(t.c, text("zcc"));
    EXPECT_EQ(t.form.lastKey(), key::Enter);
    EXPECT_EQ(t.h.keys().pendingKeys(), 0u);
}

TEST(Form, EscAbandonsTheFieldBeingEditedButKeepsFieldsLeftBefore) {
    ThreeFields t;
    t.h.keys().type({'x', key::Enter, 'y', key::Esc, 'z'});
    EXPECT_FALSE(t.form.read());
    EXPECT_EQ(t.form.lastKey(), key::Esc);
    EXPECT_EQ(t.a, text("xaa"));
    EXPECT_EQ(t.b, text("bbb"));
    EXPECT_TRUE(t.form.updated());
    EXPECT_EQ(t.h.keys().pendingKeys(), 1u);
    // The abandoned field shows its value again, not what was typed.
    EXPECT_EQ(t.h.row(2).substr(10, 3), "bbb");
}

TEST(Form, PageKeysAndCtrlWEndTheFormStoringTheCurrentField) {
    for (int end : {key::PgDn, key::PgUp, key::ctrl('W')}) {
        ThreeFields t;
        t.h.keys().type({key::Enter, 'q', end});
        EXPECT_TRUE(t.form.read());
        EXPECT_EQ(t.form.lastKey(), end);
        EXPECT_EQ(t.b, text("qbb"));
        EXPECT_EQ(t.c, text("ccc"));
    }
}

TEST(Form, QueuedEntersAcceptFieldsLikeTypedOnes) {
    ThreeFields t;
    t.h.ctx.keyboard->push(key::Enter);
    t.h.ctx.keyboard->push(key::Enter);
    t.h.keys().type({'z', key::Enter});
    EXPECT_TRUE(t.form.read());
    EXPECT_EQ(t.a, text("aaa"));
    EXPECT_EQ(t.c, text("zcc"));
}

TEST(Form, AFalseCheckKeepsTheCursorInTheFieldUntilCorrected) {
    Harness h;
    h.settings.declarePublic("PORT", Value::ofNumber(1));
    h.settings.declarePublic("OPIS", text("Stoisko 1"));
    int checks = 0;
    std::vector<int> fieldsChecked;
    ui::Form form(h.ctx);
    form.field(2, 30, ui::bindSetting(h.settings, "PORT"), "999").valid([&] {
        ++checks;
        fieldsChecked.push_back(form.current());
        double port = h.settings.number("PORT");
        return port > 0 && port < 18;
    });
    form.field(2, 40, ui::bindSetting(h.settings, "OPIS"), "XXXXXXXXX");
    // 18 and 0 are refused; the number shown again is replaced by the next digits.
    h.keys().type({'1', '8', key::Enter, '0', key::Down, '1', '7', key::Enter, key::Enter});
    EXPECT_TRUE(form.read());
    EXPECT_EQ(h.settings.number("PORT"), 17);
    EXPECT_EQ(checks, 3);
    EXPECT_EQ(fieldsChecked, (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(h.row(2).substr(30, 3), " 17");
}

TEST(Form, TheCheckRunsOnEveryLeavingButEscAndEvenWithoutAChange) {
    ThreeFields t(false);
    t.b = text("   ");
    t.form.field(1, 10, ui::bindValue(t.a), "XXX");
    t.form.field(2, 10, ui::bindValue(t.b), "XXX").valid([&] { return t.b.text != "   "; });
    // An empty field cannot be left forwards or backwards, but Esc still abandons the form.
    t.h.keys().type({key::Enter, key::Enter, key::Up, key::PgDn, key::Esc});
    EXPECT_FALSE(t.form.read());
    EXPECT_EQ(t.h.keys().pendingKeys(), 0u);
}

TEST(Form, APreconditionPassesAFieldOver) {
    ThreeFields t(false);
    t.form.field(1, 10, ui::bindValue(t.a), "XXX");
    t.form.field(2, 10, ui::bindValue(t.b), "XXX").when([] { return false; });
    t.form.field(3, 10, ui::bindValue(t.c), "XXX");
    t.h.keys().type({key::Enter, 'z', key::Up, 'y', key::Enter, key::Enter});
    EXPECT_TRUE(t.form.read());
    EXPECT_EQ(t.a, text("yaa"));
    EXPECT_EQ(t.b, text("bbb"));
    EXPECT_EQ(t.c, text("zcc"));
}

TEST(Form, ACheckMayEndTheFormAsCompleted) {
    ThreeFields t(false);
    t.form.field(1, 10, ui::bindValue(t.a), "!!!").valid([&] {
        if (t.a.text == "GZ ") t.form.finish();
        return t.a.text != "   ";
    });
    t.form.field(2, 10, ui::bindValue(t.b), "XXX");
    t.h.keys().type({key::ctrl('Y'), 'g', 'z', key::Enter, 'x'});
    EXPECT_TRUE(t.form.read());
    EXPECT_EQ(t.a, text("GZ "));
    EXPECT_EQ(t.b, text("bbb"));
    EXPECT_EQ(t.h.keys().pendingKeys(), 1u);
}

TEST(Form, FieldsAreDrawnInTheFormsColoursAndTheCursorIsPutBack) {
    ThreeFields t(false);
    ui::Form form(t.h.ctx, "W/N,N/W,,,W+/N");
    form.field(1, 10, ui::bindValue(t.a), "XXX").valid([&] {
        // While the first field is edited it is in the enhanced colour, the others unselected.
        EXPECT_EQ(t.h.screen().attrAt(1, 10), screen::parseColourPair("N/W"));
        EXPECT_EQ(t.h.screen().attrAt(2, 12), screen::parseColourPair("W+/N"));
        EXPECT_TRUE(t.h.screen().cursorVisible());
        EXPECT_EQ(t.h.screen().row(), 1);
        return true;
    });
    form.field(2, 10, ui::bindValue(t.b), "XXX");
    t.h.screen().setCursorVisible(false);
    const std::string before = t.h.screen().colourString();
    t.h.keys().type({'x', key::Enter, key::Enter});
    EXPECT_TRUE(form.read());
    EXPECT_EQ(t.h.screen().attrAt(1, 10), screen::parseColourPair("W+/N"));
    EXPECT_EQ(t.h.screen().attrAt(2, 10), screen::parseColourPair("W+/N"));
    EXPECT_EQ(t.h.row(1).substr(10, 3), "xaa");
    EXPECT_FALSE(t.h.screen().cursorVisible());
    EXPECT_EQ(t.h.screen().colourString(), before);
}

TEST(Form, EditsASettingAndATableField) {
    Harness h;
    // A private setting hides the public one: the form edits the visible one.
    h.settings.declarePublic("PS_MAG", text("1"));
    h.settings.pushScope();
    h.settings.declarePrivate("PS_MAG", text(" "));

    auto table = xbase::Table::create((h.dir / "kasy.dbf").string(), "kasy.dbf",
                                      {{"POPIS", 'C', 26, 0, 0}, {"PPORT", 'N', 2, 0, 0}});
    ASSERT_TRUE(table);
    table->appendBlank();
    table->put("POPIS", text("Stoisko 1"));
    table->put("PPORT", Value::ofNumber(1, 2, 0));

    ui::Form form(h.ctx);
    form.field(5, 0, ui::bindSetting(h.settings, "PS_MAG"), "!");
    form.field(5, 3, ui::bindField(*table, "POPIS"), "!" + std::string(25, 'X'));
    form.field(5, 30, ui::bindField(*table, "PPORT"), "999");
    h.keys().type({'u', key::Enter, key::End, 'A', key::Enter, '4', key::Enter});
    EXPECT_TRUE(form.read());
    EXPECT_EQ(h.settings.text("PS_MAG"), "U");
    EXPECT_EQ(table->get("POPIS").text, "Stoisko 1A" + std::string(16, ' '));
    EXPECT_EQ(table->get("PPORT").number, 4);
    h.settings.popScope();
    EXPECT_EQ(h.settings.text("PS_MAG"), "1");
    table->close();
}

}  // namespace
