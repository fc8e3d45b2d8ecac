#include "platform/xbase/field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

TEST(FormatNumber, FollowsStr) {
    struct Case {
        double v;
        int len, dec;
        const char* want;
    } cases[] = {
        {2.675, 10, 2, "      2.67"},
        {2.5, 3, 0, "  3"},
        {-2.5, 3, 0, " -3"},
        {0.5, 1, 0, "1"},
        {99.995, 6, 2, "100.00"},
        {123456, 5, 0, "*****"},
        {-0.001, 6, 2, "  0.00"},
        {1234.5, 8, 2, " 1234.50"},
        {0, 3, 0, "  0"},
        {-12, 3, 0, "-12"},
        {-123, 3, 0, "***"},
        {9.999, 5, 2, "10.00"},
    };
    for (auto& c : cases) EXPECT_EQ(xbase::formatNumber(c.v, c.len, c.dec), c.want) << c.v;
}

TEST(Field, StoresAndReadsEachType) {
    auto layout = xbase::Layout::of({{"name", 'C', 5}, {"qty", 'N', 8, 3}, {"day", 'D', 8}, {"ok", 'L', 1}});
    EXPECT_EQ(layout.recordLength, 23);
    EXPECT_EQ(layout.find("QTY"), 1);
    EXPECT_EQ(layout.find("qty"), 1);
    std::string rec(static_cast<size_t>(layout.recordLength), ' ');
    xbase::writeField(layout.fields[0], rec.data(), core::Value::ofText("ABCDEFG"));
    xbase::writeField(layout.fields[1], rec.data(), core::Value::ofNumber(-1.5));
    xbase::writeField(layout.fields[2], rec.data(), core::Value::ofDate(core::Date::fromYmd(2024, 3, 1)));
    xbase::writeField(layout.fields[3], rec.data(), core::Value::ofLogical(true));
    EXPECT_EQ(rec, " ABCDE  -1.50020240301T");
    EXPECT_EQ(xbase::readField(layout.fields[1], rec.data()).number, -1.5);
    EXPECT_EQ(xbase::readField(layout.fields[0], rec.data()).text, "ABCDE");
    EXPECT_THROW(xbase::writeField(layout.fields[1], rec.data(), core::Value::ofText("1")), std::exception);
    // Dates as DTOS() gives them, leading zeros of the year included; the empty date is blanks.
    for (core::Date d : {core::Date::fromYmd(999, 12, 31), core::Date::fromYmd(2000, 2, 29),
                         core::Date::fromYmd(1901, 10, 9), core::Date()}) {
        xbase::writeField(layout.fields[2], rec.data(), core::Value::ofDate(d));
        EXPECT_EQ(rec.substr(14, 8), d.dtos());
        EXPECT_EQ(xbase::readField(layout.fields[2], rec.data()).date, d);
    }
}

// Every field is found by its name in either letter case, and nothing else is: names that differ in
// length only, in one letter, or in a letter outside a-z.
TEST(Field, FindsEachFieldByNameAndNothingElse) {
    std::vector<xbase::Field> fields;
    for (int i = 0; i < 60; ++i) fields.push_back({"F" + std::to_string(i * 37), 'C', 1});
    fields.push_back({"PODATEK0", 'N', 5});
    fields.push_back({"WARTOSC_AB", 'N', 5});
    auto layout = xbase::Layout::of(fields);
    for (size_t i = 0; i < layout.fields.size(); ++i) {
        std::string name = layout.fields[i].name, lower = name;
        for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(layout.find(name), static_cast<int>(i)) << name;
        EXPECT_EQ(layout.find(lower), static_cast<int>(i)) << lower;
    }
    for (const char* miss : {"", "F", "F00", "F370 ", "PODATEK", "PODATEK00", "WARTOSC_A", "WARTOSC_ABC",
                             "PODATEK\x80", "A_VERY_LONG_NAME_INDEED"})
        EXPECT_EQ(layout.find(miss), -1) << miss;
    EXPECT_EQ(layout.find(std::string_view("F37\0", 4)), -1);
    EXPECT_EQ(layout.find("f37"), 1);
}

TEST(FormatNumber, FastAndExactPathsAgree) {
    // Values near halves, large values and many decimals go through both paths.
    const double values[] = {0.005,      0.015,          1.005, 2.675, 1234.565, 0.125, 0.375, 99999999.995,
                             1e14 + 0.5, 123456.7890123, 5e-7,  0.45,  1.45,     8.345, 0.0};
    for (double v : values)
        for (int dec = 0; dec <= 4; ++dec) {
            std::string got = xbase::formatNumber(v, 24, dec);
            char buf[64];
            // Reference: exact decimal expansion rounded half up by hand.
            std::snprintf(buf, sizeof buf, "%.40f", v);
            std::string ref(buf);
            size_t point = ref.find('.');
            bool up = ref[point + static_cast<size_t>(dec) + 1] >= '5';
            long double units =
                std::stold(ref.substr(0, point) + ref.substr(point + 1, static_cast<size_t>(dec)));
            if (up) units += 1;
            std::snprintf(buf, sizeof buf, "%.*Lf", dec, units / powl(10.0L, dec));
            std::string want(buf);
            EXPECT_EQ(got, std::string(24 - want.size(), ' ') + want) << v << " " << dec;
        }
    EXPECT_EQ(xbase::formatNumber(1.5, 400, 300).size(), 400u);  // many decimals stay inside the buffer
    EXPECT_EQ(xbase::formatNumber(1.5, 5, 300), "*****");
}
