#include "platform/xbase/expr.h"

#include <gtest/gtest.h>

#include "platform/core/error.h"

namespace {

using core::Value;

// A goods-like record: the fields most keys are made of, plus one of every type.
struct Record {
    xbase::Layout layout = xbase::Layout::of({
        {"MAG", 'C', 1},
        {"INDEKS", 'C', 8},
        {"NAZWA", 'C', 12},
        {"CENA", 'N', 10, 2},
        {"ILOSC", 'N', 8, 3},
        {"DATA", 'D', 8},
        {"PUSTA", 'D', 8},
        {"JEST", 'L', 1},
        {"KOD", 'C', 5},
    });
    std::string buf = std::string(static_cast<size_t>(layout.recordLength), ' ');

    Record() {
        set("MAG", Value::ofText("1"));
        set("INDEKS", Value::ofText("AB12"));
        set("NAZWA", Value::ofText("Kawa mielona"));
        set("CENA", Value::ofNumber(12.5));
        set("ILOSC", Value::ofNumber(-3.25));
        set("DATA", Value::ofDate(core::Date::fromYmd(2024, 3, 9)));
        set("JEST", Value::ofLogical(true));
        set("KOD", Value::ofText(" 7 a"));
    }
    void set(const char* name, const Value& v) { xbase::writeField(*layout.field(name), buf.data(), v); }
    Value eval(const std::string& text, uint32_t recno = 7) const {
        return xbase::Expression::compile(text, layout).evaluate(buf.data(), recno);
    }
};

TEST(Expression, TextResults) {
    Record r;
    struct Case {
        const char* expr;
        const char* want;
    } cases[] = {
        {"MAG+INDEKS", "1AB12    "},           {"mag + indeks", "1AB12    "},
        {"UPPER(NAZWA)+MAG", "KAWA MIELONA1"}, {"SUBSTR(NAZWA,1,4)", "Kawa"},
        {"STR(CENA,10,2)", "     12.50"},      {"DTOS(DATA)", "20240309"},
    };
    for (const auto& c : cases) {
        Value v = r.eval(c.expr);
        EXPECT_TRUE(v.isText()) << c.expr;
        EXPECT_EQ(v.text, c.want) << c.expr;
    }
}

}  // namespace
