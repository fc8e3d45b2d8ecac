#include "platform/core/cp852.h"

#include <gtest/gtest.h>

#include "platform/core/date.h"
#include "platform/core/value.h"

using namespace core::literals;

TEST(Cp852, LiteralsConvertAtCompileTime) {
    constexpr std::string_view s = "Zł ╔═╗ ▀ OBSŁUGA"_cp;
    EXPECT_EQ(s, std::string_view("Z\x88 \xC9\xCD\xBB \xDF OBS\x9D" "UGA"));
    static_assert("ąćęłńóśźż"_cp.size() == 9);
}

TEST(Cp852, RoundTripsThroughUtf8) {
    std::string all;
    for (int b = 32; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(core::utf8ToCp852(core::cp852ToUtf8(all)), all);
    EXPECT_EQ(core::utf8ToCp852("a€b"), "a?b");
}

TEST(Cp852, LetterCase) {
    EXPECT_EQ(core::cp852Upper("ł"_cp[0]), "Ł"_cp[0]);
    EXPECT_EQ(core::cp852Lower("Ż"_cp[0]), "ż"_cp[0]);
    EXPECT_EQ(core::cp852Upper('q'), 'Q');
}

TEST(Date, ConvertsBetweenForms) {
    auto d = core::Date::fromYmd(2024, 2, 29);
    EXPECT_EQ(d.dtos(), "20240229");
    EXPECT_EQ(d.display(), "29.02.2024");
    EXPECT_EQ(core::Date::fromDisplay("29.02.2024"), d);
    EXPECT_EQ(core::Date::fromDtos("20240229"), d);
    EXPECT_TRUE(core::Date::fromYmd(2023, 2, 29).empty());
    EXPECT_EQ((d + 1).dtos(), "20240301");
    EXPECT_EQ(core::Date().dtos(), "        ");
    EXPECT_EQ(core::Date::fromYmd(2024, 3, 17).dayOfWeek(), 1);  // a Sunday
}

TEST(Value, ReadsNumbersTheDbaseWay) {
    struct Case { const char* text; double value; } cases[] = {
        {"  12.50", 12.5}, {"-3", -3}, {"+4.25x", 4.25}, {"abc", 0}, {"", 0}, {"1.2.3", 1.2}, {" 0.07", 0.07},
    };
    for (auto& c : cases) EXPECT_DOUBLE_EQ(core::readNumber(c.text), c.value) << c.text;
}
