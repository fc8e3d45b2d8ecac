#include "platform/ui/menu.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "platform/core/cp852.h"
#include "support/harness.h"

namespace {

using namespace core::literals;
namespace key = screen::key;

// The six prompts of a main menu: two begin with "*", two with a digit nobody else starts with, and
// two with "*" again (reached only by the cursor keys).
ui::Menu mainMenu() {
    ui::Menu m;
    m.prompt(5, 10, " 0. Wybor kasy, parametry");
    m.prompt(7, 10, std::string("*1. Przesłanie danych do kasy"_cp));
    m.prompt(8, 10, "*2. Odebranie sprzedazy z kasy");
    m.prompt(10, 10, " 3. Programowanie dzialow");
    m.prompt(11, 10, " 4. Kasowanie pliku velto\\as2000.dbf");
    m.prompt(13, 10, "*5. Kasowanie PLU");
    return m;
}

struct MenuCase {
    const char* what;
    int start;
    std::vector<int> keys;
    int chosen;
};

void PrintTo(const MenuCase& c, std::ostream* os) {
    *os << c.what;
}

class MenuKeys : public ::testing::TestWithParam<MenuCase> {};

TEST_P(MenuKeys, ChooseTheExpectedPrompt) {
    const MenuCase& c = GetParam();
    testing_support::Harness h;
    for (int k : c.keys) h.keys().type(k);
    EXPECT_EQ(mainMenu().run(h.ctx, c.start), c.chosen) << c.what;
    EXPECT_EQ(h.keys().pendingKeys(), 0u) << c.what << ": the menu ended before its last key";
}

INSTANTIATE_TEST_SUITE_P(
    Menu, MenuKeys,
    ::testing::Values(
        MenuCase{"Enter takes the starting prompt", 2, {key::Enter}, 2},
        MenuCase{"Down from the last wraps to the first", 6, {key::Down, key::Enter}, 1},
        MenuCase{"Up from the first wraps to the last", 1, {key::Up, key::Enter}, 6},
        MenuCase{"Right and Left move as Down and Up", 3, {key::Right, key::Right, key::Left, key::Enter}, 4},
        MenuCase{"End and PgUp", 1, {key::End, key::PgUp}, 6},
        MenuCase{"Home and PgDn", 5, {key::Home, key::PgDn}, 1},
        MenuCase{"a start out of range begins on the first", 9, {key::Enter}, 1},
        MenuCase{"the star chooses the first prompt with it", 6, {'*'}, 2},
        MenuCase{"a digit chooses its prompt at once", 1, {'4'}, 5},
        MenuCase{"a digit no prompt begins with does nothing", 1, {'2', '1', '5', key::Esc}, 0},
        MenuCase{"Esc gives 0", 3, {key::Down, key::Esc}, 0},
        MenuCase{"other keys are ignored", 3, {key::F4, key::Tab, key::alt('P'), key::Enter}, 3}));

TEST(Menu, HotKeysIgnoreLetterCaseAndLeadingBlanks) {
    testing_support::Harness h;
    ui::Menu m;
    m.prompt(1, 1, "  Tak");
    m.prompt(2, 1, "nie");
    m.prompt(3, 1, std::string("  Łódź"_cp));
    h.keys().type({'N', 't'});
    EXPECT_EQ(m.run(h.ctx), 2);
    EXPECT_EQ(m.run(h.ctx), 1);
    h.keys().typeText("ł"_cp);  // a Polish letter in lower case
    EXPECT_EQ(m.run(h.ctx), 3);
}

TEST(Menu, WithoutWrapTheHighlightStopsAtTheEnds) {
    testing_support::Harness h;
    h.keys().type({key::Up, key::Enter, key::End, key::Down, key::Enter});
    EXPECT_EQ(mainMenu().run(h.ctx, 1, false), 1);
    EXPECT_EQ(mainMenu().run(h.ctx, 1, false), 6);
}

TEST(Menu, TheHighlightIsInTheEnhancedColourAndFollowsTheCursorKeys) {
    testing_support::Harness h;
    h.screen().setColour("W/B,GR+/R");
    const screen::Attr standard = h.screen().standard(), enhanced = h.screen().enhanced();
    ui::Menu m = mainMenu();
    h.keys().type({key::Down, key::Down, key::Enter});
    ASSERT_EQ(m.run(h.ctx, 1), 3);
    for (size_t i = 0; i < m.prompts().size(); ++i) {
        const auto& p = m.prompts()[i];
        const screen::Attr expected = i == 2 ? enhanced : standard;
        for (size_t c = 0; c < p.text.size(); ++c)
            ASSERT_EQ(h.screen().attrAt(p.row, p.col + static_cast<int>(c)), expected) << "prompt " << i + 1;
        EXPECT_EQ(h.screen().rowText(p.row).substr(10, p.text.size()), p.text);
    }
}

TEST(Menu, NoPromptsGivesZeroWithoutReadingAKey) {
    testing_support::Harness h;
    h.keys().type(key::Enter);
    EXPECT_EQ(ui::Menu().run(h.ctx), 0);
    EXPECT_EQ(h.keys().pendingKeys(), 1u);
}

}  // namespace
