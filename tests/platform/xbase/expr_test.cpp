#include "platform/xbase/expr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/core/cp852.h"
#include "platform/core/error.h"
#include "support/test_support.h"

namespace {

using core::Type;
using core::Value;
using namespace core::literals;

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
        {"OPIS", 'C', 6},
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
        set("OPIS", Value::ofText(std::string("Żółw"_cp)));
    }
    void set(const char* name, const Value& v) { xbase::writeField(*layout.field(name), buf.data(), v); }
    xbase::Expression compile(const std::string& text) const {
        return xbase::Expression::compile(text, layout);
    }
    Value eval(const std::string& text, uint32_t recno = 7) const {
        return compile(text).evaluate(buf.data(), recno);
    }
};

TEST(Expression, TextResults) {
    Record r;
    struct Case {
        std::string expr, want;
    } cases[] = {
        // fields, literals and concatenation
        {"MAG+INDEKS", "1AB12    "},
        {"mag + Indeks", "1AB12    "},
        {"AS->MAG+as->INDEKS", "1AB12    "},
        {"'a'+[b]+\"c\"+[it's]", "abcit's"},
        {"INDEKS-MAG", "AB121    "},
        {"\"AB  \"-\"CD\"-\"E\"", "ABCDE  "},
        {"(MAG+INDEKS)", "1AB12    "},
        // letter case: ASCII letters only
        {"UPPER(NAZWA)+MAG", "KAWA MIELONA1"},
        {"LOWER(INDEKS)", "ab12    "},
        {"UPPER(OPIS)", std::string("ŻółW  "_cp)},
        {std::string("LOWER(\"ĄBC\")"_cp), std::string("Ąbc"_cp)},
        // SUBSTR, LEFT, RIGHT
        {"SUBSTR(NAZWA,1,4)", "Kawa"},
        {"SUBSTR(NAZWA,6)", "mielona"},
        {"SUBSTR(NAZWA,0,4)", "Kawa"},
        {"SUBSTR(NAZWA,-3)", "ona"},
        {"SUBSTR(NAZWA,-3,2)", "on"},
        {"SUBSTR(NAZWA,-20,4)", "Kawa"},
        {"SUBSTR(NAZWA,12)", "a"},
        {"SUBSTR(NAZWA,13)", ""},
        {"SUBSTR(NAZWA,100,5)", ""},
        {"SUBSTR(NAZWA,3,0)", ""},
        {"SUBSTR(NAZWA,3,-1)", ""},
        {"SUBSTR(NAZWA,10,50)", "ona"},
        {"SUBSTR(NAZWA,2.9,2.9)", "aw"},
        {"SUBSTR(NAZWA,CENA-10,2)+MAG", "aw1"},
        {"SUBS(NAZWA,1,4)", "Kawa"},
        {"LEFT(NAZWA,4)", "Kawa"},
        {"LEFT(NAZWA,0)", ""},
        {"LEFT(NAZWA,50)", "Kawa mielona"},
        {"RIGHT(NAZWA,3)", "ona"},
        {"RIGHT(NAZWA,-1)", ""},
        // blanks
        {"TRIM(INDEKS)+MAG", "AB121"},
        {"RTRIM(INDEKS)+MAG", "AB121"},
        {"LTRIM(KOD)+MAG", "7 a 1"},
        {"ALLTRIM(KOD)+MAG", "7 a1"},
        {"ALLT(SPACE(3))", ""},
        {"PADR(TRIM(INDEKS),6)", "AB12  "},
        {"PADL(TRIM(INDEKS),6)", "  AB12"},
        {"PADL(TRIM(INDEKS),6,\"0\")", "00AB12"},
        {"PADC(\"AB\",6,\"*\")", "**AB**"},
        {"PADR(NAZWA,4)", "Kawa"},
        {"PADR(CENA,8)", "12.50   "},
        {"PADL(DATA,11)", " 09.03.2024"},
        {"PADR(JEST,2)", "T "},
        {"SPACE(3)", "   "},
        {"SPACE(-5)", ""},
        {"REPLICATE(\"ab\",3)", "ababab"},
        {"REPLICATE(\"ab\",-1)", ""},
        {"CHR(65)+CHR(321)", "AA"},
        // STR: rounding half away from zero on the exact value, asterisks when it does not fit
        {"STR(CENA,10,2)", "     12.50"},
        {"STR(CENA)", "        13"},
        {"STR(ILOSC)", "        -3"},
        {"STR(ILOSC,8,3)", "  -3.250"},
        {"STR(2.675,10,2)", "      2.67"},
        {"STR(2.5,3)", "  3"},
        {"STR(-2.5,3)", " -3"},
        {"STR(99.995,6,2)", "100.00"},
        {"STR(-0.001,6,2)", "  0.00"},
        {"STR(123456,5)", "*****"},
        {"STR(-123,3)", "***"},
        {"STR(1/3,10,4)", "    0.3333"},
        {"STR(1,0)", ""},
        {"STR(12.5,5,1)", " 12.5"},
        {"STR(1,10,1000)", "**********"},
        {"STRZERO(5,4)", "0005"},
        {"STRZERO(-5,4)", "-005"},
        {"STRZERO(12.5,6,1)", "0012.5"},
        {"STRZERO(123456,3)", "***"},
        {"STRZERO(RECNO(),6)", "000007"},
        // dates
        {"DTOS(DATA)", "20240309"},
        {"DTOS(PUSTA)", "        "},
        {"DTOC(DATA)", "09.03.2024"},
        {"DTOC(PUSTA)", "  .  .    "},
        {"DTOS(DATA+30)", "20240408"},
        {"DTOS(DATA-9)", "20240229"},
        {"DTOS(1+DATA)", "20240310"},
        {"DTOS(PUSTA+5)", "        "},
        {"DTOS(STOD(\"20241231\"))", "20241231"},
        {"DTOS(STOD(\"2024\"))", "        "},
        {"DTOS(CTOD(\"01.02.2024\"))", "20240201"},
        {"DTOS(CTOD(\"31.02.2024\"))", "        "},
        {"DTOS(CTOD(\"  .  .    \"))", "        "},
        // DESCEND: every byte b becomes (256 - b) mod 256
        {"DESCEND(\"AB\")", "\xBF\xBE"},
        {"DESCEND(CHR(0)+CHR(1)+CHR(255))", std::string("\x00\xFF\x01", 3)},
        {"DESCEND(DESCEND(NAZWA))", "Kawa mielona"},
        {"DESC(MAG)", "\xCF"},
        // IIF takes only the chosen branch
        {"IIF(JEST,\"tak\",\"nie\")", "tak"},
        {"IIF(CENA>100,MAG,INDEKS)", "AB12    "},
        {"IF(.NOT.JEST,\"tak\",\"nie\")", "nie"},
    };
    for (const auto& c : cases) {
        Value v = r.eval(c.expr);
        EXPECT_TRUE(v.isText()) << c.expr;
        EXPECT_EQ(v.text, c.want) << c.expr;
    }
}

TEST(Expression, NumberResults) {
    Record r;
    struct Case {
        const char* expr;
        double want;
        int decimals;
    } cases[] = {
        {"CENA", 12.5, 2},
        {"ILOSC", -3.25, 3},
        {"CENA*2", 25, 2},
        {"CENA+ILOSC", 9.25, 3},
        {"-CENA", -12.5, 2},
        {"CENA/0", 0, 2},
        {"7%3", 1, 0},
        {"7%0", 0, 0},
        {"2^10", 1024, 2},
        {"2**3", 8, 2},
        {"1+2*3-4/2", 5, 2},
        {"(1+2)*3", 9, 0},
        {"DATA-STOD(\"20240301\")", 8, 0},
        {"DATA-PUSTA", 0, 0},
        {"VAL(\"12.50\")", 12.5, 2},
        {"VAL(\"  -3.5abc\")", -3.5, 1},
        {"VAL(\"abc\")", 0, 0},
        {"VAL(\" 1 2\")", 1, 0},
        {"VAL(\"1.2.3\")", 1.2, 1},
        {"VAL(\".5\")", 0.5, 1},
        {"VAL(\"+7\")", 7, 0},
        {"VAL(KOD)", 7, 0},
        {"YEAR(DATA)*10000+MONTH(DATA)*100+DAY(DATA)", 20240309, 0},
        {"YEAR(PUSTA)", 0, 0},
        {"LEN(NAZWA)", 12, 0},
        {"LEN(TRIM(INDEKS))", 4, 0},
        {"AT(\"mie\",NAZWA)", 6, 0},
        {"AT(\"x\",NAZWA)", 0, 0},
        {"AT(\"\",NAZWA)", 0, 0},
        {"ASC(\"A\")", 65, 0},
        {"ASC(\"\")", 0, 0},
        {"ASC(CHR(200))", 200, 0},
        {"ROUND(2.5,0)", 3, 0},
        {"ROUND(-2.5,0)", -3, 0},
        {"ROUND(1234.5678,2)", 1234.57, 2},
        {"ROUND(2.675,2)", 2.67, 2},
        {"ROUND(1250,-2)", 1300, 0},
        {"ROUND(-1250,-2)", -1300, 0},
        {"INT(-3.7)", -3, 0},
        {"INT(3.7)", 3, 0},
        {"ABS(ILOSC)", 3.25, 3},
        {"RECNO()", 7, 0},
        {"DESCEND(CENA)", -12.5, 2},
        {"IIF(JEST,1,2)", 1, 0},
        {"1.50", 1.5, 2},
    };
    for (const auto& c : cases) {
        Value v = r.eval(c.expr);
        EXPECT_TRUE(v.isNumber()) << c.expr;
        EXPECT_DOUBLE_EQ(v.number, c.want) << c.expr;
        EXPECT_EQ(v.decimals, c.decimals) << c.expr;
    }
}

TEST(Expression, LogicalResults) {
    Record r;
    struct Case {
        const char* expr;
        bool want;
    } cases[] = {
        // texts: "=" asks whether the left text begins with the right one, "==" is exact
        {"\"ABC\"=\"AB\"", true},
        {"\"AB\"=\"ABC\"", false},
        {"\"ABC\"=\"\"", true},
        {"\"ABC\"==\"AB\"", false},
        {"\"AB\"==\"AB\"", true},
        {"\"AB  \"==\"AB\"", false},
        {"\"ABC\"!=\"AB\"", false},
        {"\"ABC\"<>\"AB\"", false},
        {"\"ABC\"#\"AC\"", true},
        {"\"AB\"<\"AC\"", true},
        {"\"AB\"<\"AB \"", false},
        {"\"AB\"<=\"AB \"", true},
        {"\"B\">\"AZZ\"", true},
        {"\"b\">=\"B\"", true},
        {"INDEKS=\"AB12\"", true},
        {"INDEKS==\"AB12\"", false},
        {"TRIM(INDEKS)==\"AB12\"", true},
        {"\"mie\"$NAZWA", true},
        {"\"MIE\"$NAZWA", false},
        {"NAZWA$\"mie\"", false},
        // numbers, dates, logicals
        {"CENA>12", true},
        {"CENA=12.5", true},
        {"CENA#12.5", false},
        {"CENA<=ILOSC", false},
        {"ILOSC<0", true},
        {"DATA>PUSTA", true},
        {"DATA=STOD(\"20240309\")", true},
        {"DATA<DATA+1", true},
        {"JEST", true},
        {"!JEST", false},
        {".NOT.JEST", false},
        {"JEST=.T.", true},
        {".T..AND..F.", false},
        {".t. .or. .f.", true},
        {".Y..AND..N.", false},
        {"JEST.AND.CENA>10", true},
        {"CENA>100.OR.MAG=\"1\"", true},
        {"!CENA>100", true},
        {".NOT. CENA>100 .AND. .NOT. JEST", false},
        {"EMPTY(PUSTA)", true},
        {"EMPTY(DATA)", false},
        {"EMPTY(SPACE(3))", true},
        {"EMPTY(KOD)", false},
        {"EMPTY(0)", true},
        {"EMPTY(CENA)", false},
        {"EMPTY(.F.)", true},
        {"DELETED()", false},
        {"IIF(CENA>100,.F.,.T.)", true},
    };
    for (const auto& c : cases) {
        Value v = r.eval(c.expr);
        EXPECT_TRUE(v.isLogical()) << c.expr;
        EXPECT_EQ(v.logical, c.want) << c.expr;
    }
    r.buf[0] = '*';
    EXPECT_TRUE(r.eval("DELETED()").logical);
}

TEST(Expression, DateResults) {
    Record r;
    EXPECT_EQ(r.eval("DATA+1").date, core::Date::fromYmd(2024, 3, 10));
    EXPECT_EQ(r.eval("DATA-366").date, core::Date::fromYmd(2023, 3, 9));
    EXPECT_TRUE(r.eval("PUSTA+1").date.empty());
    EXPECT_EQ(r.eval("CTOD(\"29.02.2024\")").date, core::Date::fromYmd(2024, 2, 29));
    EXPECT_TRUE(r.eval("CTOD(\"29.02.2023\")").date.empty());
    EXPECT_EQ(r.eval("IIF(JEST,DATA,PUSTA)").date, core::Date::fromYmd(2024, 3, 9));
    // DESCEND of a date is a number that puts later dates first and the empty date last.
    Value later = r.eval("DESCEND(DATA+1)"), earlier = r.eval("DESCEND(DATA)"),
          none = r.eval("DESCEND(PUSTA)");
    ASSERT_TRUE(later.isNumber());
    EXPECT_LT(xbase::keyOfValue(later, 8, 0), xbase::keyOfValue(earlier, 8, 0));
    EXPECT_LT(xbase::keyOfValue(earlier, 8, 0), xbase::keyOfValue(none, 8, 0));
}

// What INDEX ON sizes a key by: known from the layout and constants, or from a blank record.
TEST(Expression, TypeAndSizeBeforeAnyRecord) {
    Record r;
    struct Case {
        const char* expr;
        Type type;
        int length, decimals;
    } cases[] = {
        {"MAG+INDEKS", Type::Text, 9, 0},
        {"UPPER(NAZWA)+MAG", Type::Text, 13, 0},
        {"SUBSTR(NAZWA,1,17)+MAG+INDEKS", Type::Text, 21, 0},
        {"SUBSTR(NAZWA,3)", Type::Text, 10, 0},
        {"SUBSTR(NAZWA,-3)", Type::Text, 3, 0},
        {"SUBSTR(NAZWA,CENA,2)", Type::Text, 2, 0},
        {"LEFT(NAZWA,4)", Type::Text, 4, 0},
        {"RIGHT(NAZWA,20)", Type::Text, 12, 0},
        {"MAG+INDEKS+STR(CENA,10,2)", Type::Text, 19, 0},
        {"STR(CENA)", Type::Text, 10, 0},
        {"DTOS(DATA)+MAG", Type::Text, 9, 0},
        {"DTOC(DATA)", Type::Text, 10, 0},
        {"DESCEND(KOD+MAG)", Type::Text, 6, 0},
        {"PADR(TRIM(NAZWA),20)", Type::Text, 20, 0},
        {"TRIM(NAZWA)+MAG", Type::Text, 1, 0},
        {"IIF(JEST,\"ab\",\"abc\")", Type::Text, 3, 0},
        {"SPACE(5)", Type::Text, 5, 0},
        {"REPLICATE(\"ab\",3)", Type::Text, 6, 0},
        {"\"abc\"-\"de\"", Type::Text, 5, 0},
        {"REPLICATE(\"ab\",1000000)", Type::Text, 65535, 0},
        {"STR(1,100000)", Type::Text, 65535, 0},
        {"CENA", Type::Number, 10, 2},
        {"ILOSC", Type::Number, 8, 3},
        {"DESCEND(ILOSC)", Type::Number, 8, 3},
        {"DESCEND(DATA)", Type::Number, 8, 0},
        {"VAL(INDEKS)", Type::Number, 10, 0},
        {"DATA", Type::Date, 8, 0},
        {"DATA+1", Type::Date, 8, 0},
        {"JEST", Type::Logical, 1, 0},
        {"CENA>1.AND.JEST", Type::Logical, 1, 0},
    };
    for (const auto& c : cases) {
        auto e = r.compile(c.expr);
        EXPECT_EQ(e.type(), c.type) << c.expr;
        EXPECT_EQ(e.length(), c.length) << c.expr;
        EXPECT_EQ(e.decimals(), c.decimals) << c.expr;
        EXPECT_EQ(e.text(), c.expr);
    }
}

TEST(Expression, CompileErrorsQuoteTheExpression) {
    Record r;
    const char* bad[] = {
        "",
        "MAG+",
        "MAG+(INDEKS",
        "MAG INDEKS",
        "FOO(MAG)",
        "NIEMA",
        ")",
        "\"abc",
        "[abc",
        ".X.",
        "MAG @ INDEKS",
        "PAD(MAG,2)",
        "AS->",
        "MAG+CENA",
        "UPPER(CENA)",
        "SUBSTR(NAZWA)",
        "SUBSTR(NAZWA,1,2,3)",
        "RECNO(1)",
        "IIF(JEST,1,\"a\")",
        "IIF(CENA,1,2)",
        "CENA .AND. JEST",
        "-MAG",
        "!CENA",
        "DATA+DATA",
        "MAG$CENA",
        "MAG<CENA",
        "STR(MAG)",
        "DTOS(MAG)",
        "CENA-DATA",
        "UPPER(MAG",
        "MAG,INDEKS",
        "PADR(MAG,2,3)",
    };
    for (const char* text : bad) {
        try {
            r.compile(text);
            ADD_FAILURE() << "compiled: " << text;
        } catch (const core::RuntimeError& e) {
            EXPECT_EQ(e.kind(), core::RuntimeError::Kind::Expression) << text;
            EXPECT_NE(std::string(e.what()).find("\"" + std::string(text) + "\""), std::string::npos)
                << e.what();
        }
    }
}

// Expressions come from index headers written by other programs: a damaged or hostile one is refused,
// never allowed to exhaust the stack or memory.
TEST(Expression, RefusesRunawayExpressions) {
    Record r;
    auto refused = [&](const std::string& text) {
        try {
            r.compile(text);
        } catch (const core::RuntimeError& e) {
            return e.kind() == core::RuntimeError::Kind::Expression;
        }
        return false;
    };
    EXPECT_TRUE(refused(std::string(100000, '(') + "MAG" + std::string(100000, ')')));
    EXPECT_TRUE(refused(std::string(5000, '-') + "1"));
    EXPECT_TRUE(refused(std::string(5000, '!') + "JEST"));
    std::string chain = "MAG";
    for (int i = 0; i < 1000; ++i) chain += "+MAG";
    EXPECT_TRUE(refused(chain));
    // Reasonable nesting and length still compile.
    EXPECT_EQ(r.eval(std::string(30, '(') + "MAG" + std::string(30, ')')).text, "1");
    std::string sum = "MAG";
    for (int i = 0; i < 200; ++i) sum += "+MAG";
    EXPECT_EQ(r.eval(sum).text, std::string(201, '1'));
    // Counts run into the length cap of a text instead of allocating without end.
    EXPECT_EQ(r.eval("REPLICATE(REPLICATE(\"ab\",100000),100000)").text.size(), 65535u);
    EXPECT_EQ(r.eval("PADL(MAG,1000000000)").text.size(), 65535u);
}

TEST(KeyOfValue, NumbersSortAsTheirValues) {
    struct Case {
        double v;
        int size, dec;
        const char* want;
    } cases[] = {
        {12.5, 8, 2, "00012.50"}, {0, 5, 0, "00000"},       {-3.25, 8, 2, ",,,,).*'"},
        {-0.001, 6, 2, "000.00"}, {1234567, 5, 0, "*****"}, {-10, 3, 0, ",+,"},
        {-5, 3, 0, ",,'"},        {7, 1, 0, "7"},           {2.675, 6, 2, "002.67"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(xbase::keyOfValue(Value::ofNumber(c.v), c.size, c.dec), c.want) << c.v;

    // Byte order of the keys is the order of the numbers, negatives included.
    const double ascending[] = {-1000, -999.99, -12.5, -3.25, -0.5, -0.01, 0, 0.01, 3.25, 12.5, 999.99, 1000};
    for (size_t i = 1; i < std::size(ascending); ++i)
        EXPECT_LT(xbase::keyOfValue(Value::ofNumber(ascending[i - 1]), 10, 2),
                  xbase::keyOfValue(Value::ofNumber(ascending[i]), 10, 2))
            << ascending[i - 1] << " < " << ascending[i];
    // A damaged header asking for absurd decimals gives a key that cannot match, not a crash.
    EXPECT_EQ(xbase::keyOfValue(Value::ofNumber(1), 10, 60000), "**********");
}

TEST(KeyOfValue, OtherTypes) {
    EXPECT_EQ(xbase::keyOfValue(Value::ofText("AB"), 4, 0), "AB  ");
    EXPECT_EQ(xbase::keyOfValue(Value::ofText("ABCDEF"), 4, 0), "ABCD");
    EXPECT_EQ(xbase::keyOfValue(Value::ofDate(core::Date::fromYmd(2024, 3, 9)), 8, 0), "20240309");
    EXPECT_EQ(xbase::keyOfValue(Value::ofDate(core::Date()), 8, 0), "        ");
    EXPECT_EQ(xbase::keyOfValue(Value::ofLogical(true), 1, 0), "T");
    EXPECT_EQ(xbase::keyOfValue(Value::ofLogical(false), 1, 0), "F");
}

TEST(Expression, KeyIsTheValuePaddedOrCut) {
    Record r;
    struct Case {
        const char* expr;
        int size, dec;
        std::string want;
    } cases[] = {
        {"MAG+INDEKS", 9, 0, "1AB12    "},
        {"MAG+INDEKS", 3, 0, "1AB"},
        {"MAG+INDEKS", 12, 0, "1AB12       "},
        {"\"X\"+MAG+\"-\"+KOD", 9, 0, "X1- 7 a  "},
        {"\"X\"+MAG+\"-\"+KOD", 2, 0, "X1"},
        {"UPPER(NAZWA)+MAG", 13, 0, "KAWA MIELONA1"},
        {"TRIM(INDEKS)+MAG", 8, 0, "AB121   "},
        {"DESCEND(MAG+INDEKS)", 2, 0, "\xCF\xBF"},
        {"CENA", 10, 2, "0000012.50"},
        {"ILOSC", 8, 3, ",,,).*',"},
        {"DTOS(DATA)", 8, 0, "20240309"},
        {"DATA", 8, 0, "20240309"},
        {"PUSTA", 8, 0, "        "},
        {"JEST", 1, 0, "T"},
    };
    for (const auto& c : cases) {
        auto e = r.compile(c.expr);
        EXPECT_EQ(e.key(r.buf.data(), 7, c.size, c.dec), c.want) << c.expr << " size " << c.size;
        EXPECT_EQ(xbase::keyOfValue(e.evaluate(r.buf.data(), 7), c.size, c.dec), c.want) << c.expr;
    }
}

// ---- the indexes the other engine built must be reproduced key for key ----

uint16_t u16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1])
                                                                         << 8);
}
uint32_t u32(const std::string& b, size_t at) {
    return u16(b, at) | static_cast<uint32_t>(u16(b, at + 2)) << 16;
}

struct Dbf {
    xbase::Layout layout;
    std::string bytes;
    size_t headerLength = 0, recordLength = 0, count = 0;
    const char* record(uint32_t recno) const {
        return bytes.data() + headerLength + (recno - 1) * recordLength;
    }
};

Dbf readDbf(const std::filesystem::path& file) {
    Dbf d;
    d.bytes = testing_support::readFile(file);
    d.headerLength = u16(d.bytes, 8);
    d.recordLength = u16(d.bytes, 10);
    d.count = (d.bytes.size() - d.headerLength) / d.recordLength;
    std::vector<xbase::Field> fields;
    for (size_t at = 32; at + 32 <= d.headerLength && d.bytes[at] != '\x0D'; at += 32) {
        xbase::Field f;
        f.name = std::string(d.bytes.data() + at, strnlen(d.bytes.data() + at, 11));
        f.type = d.bytes[at + 11];
        f.length = static_cast<unsigned char>(d.bytes[at + 16]);
        f.decimals = static_cast<unsigned char>(d.bytes[at + 17]);
        fields.push_back(f);
    }
    d.layout = xbase::Layout::of(fields);
    return d;
}

struct Ntx {
    std::string expression;
    int keySize = 0, keyDecimals = 0;
    std::multimap<uint32_t, std::string> keys;  // record number -> key, every entry of the tree
};

void walk(const std::string& b, uint32_t page, int keySize, Ntx& out, int depth = 0) {
    ASSERT_LT(depth, 16);
    ASSERT_LE(page + 1024, b.size());
    int n = u16(b, page);
    for (int i = 0; i <= n; ++i) {
        size_t item = page + u16(b, page + 2 + 2 * static_cast<size_t>(i));
        uint32_t child = u32(b, item);
        if (child != 0) walk(b, child, keySize, out, depth + 1);
        if (i < n) out.keys.emplace(u32(b, item + 4), b.substr(item + 8, static_cast<size_t>(keySize)));
    }
}

Ntx readNtx(const std::filesystem::path& file) {
    Ntx x;
    std::string b = testing_support::readFile(file);
    x.keySize = u16(b, 14);
    x.keyDecimals = u16(b, 16);
    x.expression = std::string(b.data() + 22, strnlen(b.data() + 22, 256));
    walk(b, u32(b, 4), x.keySize, x);
    return x;
}

TEST(Expression, ReproducesEveryKeyOfTheFixtureIndexes) {
    const std::pair<const char*, std::vector<const char*>> tables[] = {
        {"24/03/as.dbf", {"24/03/as.ntx", "24/03/as2.ntx", "24/03/as3.ntx"}},
        {"24/03/dow.dbf", {"24/03/dow1.ntx", "24/03/dow2.ntx", "24/03/dow3.ntx"}},
        {"24/03/dowod.dbf", {"24/03/dowod1.ntx", "24/03/dowod2.ntx"}},
        {"24/03/slow.dbf", {"24/03/slow.ntx"}},
        {"24/03/pk.dbf", {"24/03/pk.ntx"}},
        {"wyr.dbf", {"wyr.ntx"}},
        {"nor.dbf", {"nor.ntx"}},
    };
    auto dir = testing_support::fixtureDir();
    for (const auto& [table, indexes] : tables) {
        Dbf dbf = readDbf(dir / table);
        ASSERT_GT(dbf.count, 0u) << table;
        for (const char* index : indexes) {
            SCOPED_TRACE(index);
            Ntx ntx = readNtx(dir / index);
            auto e = xbase::Expression::compile(ntx.expression, dbf.layout);
            // INDEX ON would have sized the key the same.
            EXPECT_EQ(e.length(), ntx.keySize) << ntx.expression;
            ASSERT_EQ(ntx.keys.size(), dbf.count);
            for (uint32_t recno = 1; recno <= dbf.count; ++recno) {
                ASSERT_EQ(ntx.keys.count(recno), 1u) << recno;
                EXPECT_EQ(e.key(dbf.record(recno), recno, ntx.keySize, ntx.keyDecimals),
                          ntx.keys.find(recno)->second)
                    << ntx.expression << " record " << recno;
            }
        }
    }
}

}  // namespace
