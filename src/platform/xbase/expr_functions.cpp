// Record fields and the functions of key expressions.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "platform/xbase/expr_node.h"

namespace xbase::expr {

using core::Type;

namespace {

[[noreturn]] void fail(std::string message) {
    throw CompileError{std::move(message)};
}

// Reads its field the way readField() does, straight into the type the caller asks for.
class FieldNode : public Node {
  public:
    explicit FieldNode(const xbase::Field& f) : width_(static_cast<size_t>(f.length)) {
        kind = Kind::Field;
        offset = f.offset;
        length = f.length;
        switch (f.type) {
            case 'N':
            case 'F':
                type = Type::Number;
                decimals = f.decimals;
                break;
            case 'D':
                type = Type::Date;
                break;
            case 'L':
                type = Type::Logical;
                break;
            default:
                type = Type::Text;
        }
    }
    void text(const Ctx& x, std::string& out) const override { out.append(raw(x), width_); }
    Num num(const Ctx& x) const override {
        return {core::readNumber(std::string_view(raw(x), width_)), length, decimals};
    }
    core::Date date(const Ctx& x) const override {
        return core::Date::fromDtos(std::string_view(raw(x), width_));
    }
    bool logical(const Ctx& x) const override {
        char c = width_ > 0 ? *raw(x) : ' ';
        return c == 'T' || c == 't' || c == 'Y' || c == 'y';
    }

  private:
    const char* raw(const Ctx& x) const { return x.record + offset; }
    size_t width_;
};

// Argument type for a position; Any accepts every type.
enum class Arg { Text, Number, Date, Logical, Any };

void check(const Call& c, std::string_view name, std::initializer_list<Arg> types) {
    size_t i = 0;
    for (Arg want : types) {
        if (i >= c.args.size()) break;
        Type got = c.arg(i).type;
        bool ok = want == Arg::Any || (want == Arg::Text && got == Type::Text) ||
                  (want == Arg::Number && got == Type::Number) || (want == Arg::Date && got == Type::Date) ||
                  (want == Arg::Logical && got == Type::Logical);
        if (!ok)
            fail("type mismatch in argument " + std::to_string(i + 1) + " of " + std::string(name) + "()");
        ++i;
    }
}

// The value of a constant argument, for lengths known before any record is read.
bool constInt(const Call& c, size_t i, int& v) {
    if (i >= c.args.size() || !c.arg(i).constant) return false;
    v = toInt(c.arg(i).num(Ctx{nullptr, 0}).v);
    return true;
}

int clampLength(int n) {
    return std::clamp(n, 0, kMaxText);
}

// Keeps `len` bytes from `pos` of what was appended after `start`.
void keep(std::string& out, size_t start, size_t pos, size_t len) {
    if (pos > 0 && len > 0) std::memmove(&out[start], &out[start + pos], len);
    out.resize(start + len);
}

struct Range {
    size_t pos = 0, len = 0;
};

// SUBSTR: the start counts from 1, 0 is taken as 1, a negative start counts from the end; a start past the
// end gives an empty text, a count below 1 too.
Range substrRange(size_t n, int start, bool hasCount, int count) {
    long st = start;
    if (st < 0) {
        st = static_cast<long>(n) + st + 1;
        if (st < 1) st = 1;
    } else if (st == 0) {
        st = 1;
    }
    if (static_cast<size_t>(st) > n) return {n, 0};
    Range r{static_cast<size_t>(st - 1), n - static_cast<size_t>(st - 1)};
    if (hasCount) r.len = count <= 0 ? 0 : std::min(r.len, static_cast<size_t>(count));
    return r;
}

void appendArg(const Call& c, size_t i, const Ctx& x, std::string& out) {
    c.arg(i).text(x, out);
}
int intArg(const Call& c, size_t i, const Ctx& x) {
    return toInt(c.arg(i).num(x).v);
}

// Letters a-z only, as the engine does; written without branches so that the loop runs on many bytes at
// once (UPPER(NAZWA) keys of a whole table).
void shiftRange(std::string& out, size_t from, unsigned char first, int by) {
    char* p = out.data();
    for (size_t i = from, n = out.size(); i < n; ++i) {
        auto ch = static_cast<unsigned char>(p[i]);
        p[i] = static_cast<char>(ch + (static_cast<unsigned char>(ch - first) < 26 ? by : 0));
    }
}

void upperFn(const Call& c, const Ctx& x, std::string& out) {
    size_t s = out.size();
    appendArg(c, 0, x, out);
    shiftRange(out, s, 'a', 'A' - 'a');
}

void lowerFn(const Call& c, const Ctx& x, std::string& out) {
    size_t s = out.size();
    appendArg(c, 0, x, out);
    shiftRange(out, s, 'A', 'a' - 'A');
}

void substrFn(const Call& c, const Ctx& x, std::string& out) {
    size_t s = out.size();
    appendArg(c, 0, x, out);
    bool hasCount = c.args.size() > 2;
    Range r = substrRange(out.size() - s, intArg(c, 1, x), hasCount, hasCount ? intArg(c, 2, x) : 0);
    keep(out, s, r.pos, r.len);
}

void leftFn(const Call& c, const Ctx& x, std::string& out) {
    size_t s = out.size();
    appendArg(c, 0, x, out);
    size_t n = out.size() - s;
    int k = intArg(c, 1, x);
    keep(out, s, 0, k <= 0 ? 0 : std::min(n, static_cast<size_t>(k)));
}

void rightFn(const Call& c, const Ctx& x, std::string& out) {
    size_t s = out.size();
    appendArg(c, 0, x, out);
    size_t n = out.size() - s;
    int k = intArg(c, 1, x);
    size_t len = k <= 0 ? 0 : std::min(n, static_cast<size_t>(k));
    keep(out, s, n - len, len);
}

void trimFn(const Call& c, const Ctx& x, std::string& out) {
    size_t s = out.size();
    appendArg(c, 0, x, out);
    size_t e = out.size();
    while (e > s && out[e - 1] == ' ') --e;
    out.resize(e);
}

void ltrimFn(const Call& c, const Ctx& x, std::string& out) {
    size_t s = out.size();
    appendArg(c, 0, x, out);
    size_t b = s;
    while (b < out.size() && out[b] == ' ') ++b;
    keep(out, s, b - s, out.size() - b);
}

// STR(n[, length[, decimals]]): ten places and no decimals unless told.
void strParts(const Call& c, const Ctx& x, double& v, int& len, int& dec) {
    v = c.arg(0).num(x).v;
    len = c.args.size() > 1 ? clampLength(intArg(c, 1, x)) : 10;
    dec = c.args.size() > 2 ? std::max(0, intArg(c, 2, x)) : 0;
}

void strFn(const Call& c, const Ctx& x, std::string& out) {
    double v;
    int len, dec;
    strParts(c, x, v, len, dec);
    out += formatStr(v, len, dec);
}

void strzeroFn(const Call& c, const Ctx& x, std::string& out) {
    double v;
    int len, dec;
    strParts(c, x, v, len, dec);
    std::string s = formatStr(v, len, dec);
    if (!s.empty() && s[0] != '*') {
        size_t first = s.find_first_not_of(' ');
        bool negative = first != std::string::npos && s[first] == '-';
        if (negative) s[first] = '0';
        for (size_t i = 0; i < first && i < s.size(); ++i) s[i] = '0';
        if (negative) s[0] = '-';
    }
    out += s;
}

void dtosFn(const Call& c, const Ctx& x, std::string& out) {
    out += c.arg(0).date(x).dtos();
}

// DTOS of a date field, run once per record in bulk builds: a valid stored date is its own DTOS.
void dtosFieldFn(const Call& c, const Ctx& x, std::string& out) {
    const char* p = x.record + c.arg(0).offset;
    auto digits = [p](int from, int n) {
        int v = 0;
        for (int i = from; i < from + n; ++i) {
            if (p[i] < '0' || p[i] > '9') return -1;
            v = v * 10 + (p[i] - '0');
        }
        return v;
    };
    int y = digits(0, 4), m = digits(4, 2), d = digits(6, 2);
    if (y >= 0 && m >= 0 && d >= 0 && core::Date::validYmd(y, m, d))
        out.append(p, 8);
    else
        out.append(8, ' ');
}
void dtocFn(const Call& c, const Ctx& x, std::string& out) {
    out += c.arg(0).date(x).display();
}

void descendTextFn(const Call& c, const Ctx& x, std::string& out) {
    size_t s = out.size();
    appendArg(c, 0, x, out);
    for (size_t i = s; i < out.size(); ++i)
        out[i] = static_cast<char>((256 - static_cast<unsigned char>(out[i])) & 0xFF);
}

// PADR, PADL and PADC take any value: numbers as STR() shows them without the leading blanks, dates in
// the display form, logicals as T or F.
void padSource(const Call& c, const Ctx& x, std::string& out) {
    const Node& a = c.arg(0);
    switch (a.type) {
        case Type::Text:
            a.text(x, out);
            break;
        case Type::Number: {
            Num n = a.num(x);
            std::string s = formatStr(n.v, n.width, n.dec);
            out.append(s, std::min(s.find_first_not_of(' '), s.size()));
            break;
        }
        case Type::Date:
            out += a.date(x).display();
            break;
        case Type::Logical:
            out += a.logical(x) ? 'T' : 'F';
            break;
    }
}

template <char how>
void padFn(const Call& c, const Ctx& x, std::string& out) {
    size_t s = out.size();
    padSource(c, x, out);
    size_t n = out.size() - s;
    auto k = static_cast<size_t>(clampLength(intArg(c, 1, x)));
    char fill = ' ';
    if (c.args.size() > 2) {
        std::string f;
        appendArg(c, 2, x, f);
        if (!f.empty()) fill = f[0];
    }
    if (n >= k) {
        keep(out, s, 0, k);
        return;
    }
    size_t missing = k - n;
    size_t before = how == 'R' ? 0 : how == 'L' ? missing : missing / 2;
    out.insert(s, before, fill);
    out.append(missing - before, fill);
}

void spaceFn(const Call& c, const Ctx& x, std::string& out) {
    out.append(static_cast<size_t>(clampLength(intArg(c, 0, x))), ' ');
}

void replicateFn(const Call& c, const Ctx& x, std::string& out) {
    size_t s = out.size();
    appendArg(c, 0, x, out);
    size_t n = out.size() - s;
    int times = intArg(c, 1, x);
    if (times <= 0 || n == 0) {
        out.resize(s);
        return;
    }
    size_t total = std::min(n * static_cast<size_t>(times), static_cast<size_t>(kMaxText));
    out.resize(s + total);
    for (size_t i = n; i < total; ++i) out[s + i] = out[s + i - n];
}

void chrFn(const Call& c, const Ctx& x, std::string& out) {
    out += static_cast<char>(intArg(c, 0, x) & 0xFF);
}

std::string textOf(const Node& n, const Ctx& x) {
    std::string s;
    n.text(x, s);
    return s;
}

// VAL: read the dBASE way; the result carries as many decimals as the text shows.
Num valFn(const Call& c, const Ctx& x) {
    std::string s = textOf(c.arg(0), x);
    double v = core::readNumber(s);
    size_t i = s.find_first_not_of(' ');
    int dec = 0;
    if (i != std::string::npos) {
        if (s[i] == '-' || s[i] == '+') ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
        if (i < s.size() && s[i] == '.')
            for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) ++dec;
    }
    return {v, defaultWidth(dec), dec};
}

// ROUND: half away from zero on the exact value, as STR() rounds.
double roundTo(double v, int dec) {
    if (!std::isfinite(v)) return 0;
    if (dec < 0) {
        double scale = std::pow(10.0, -dec);
        return std::round(v / scale) * scale;
    }
    dec = std::min(dec, 15);
    std::string s = formatNumber(v, 60, dec);
    return s[0] == '*' ? v : core::readNumber(s);
}

Num roundFn(const Call& c, const Ctx& x) {
    Num n = c.arg(0).num(x);
    int dec = intArg(c, 1, x);
    return {roundTo(n.v, dec), n.width, std::max(dec, 0)};
}

bool emptyFn(const Call& c, const Ctx& x) {
    const Node& a = c.arg(0);
    switch (a.type) {
        case Type::Text: {
            std::string s = textOf(a, x);
            return s.find_first_not_of(" \t\r\n") == std::string::npos;
        }
        case Type::Number:
            return a.num(x).v == 0;
        case Type::Date:
            return a.date(x).empty();
        case Type::Logical:
            return !a.logical(x);
    }
    return true;
}

Num intNum(double v, int width = defaultWidth(0)) {
    return {v, width, 0};
}

template <class T>
void set(Call& c, Type type, int length, T fn) {
    c.type = type;
    c.length = length;
    if constexpr (std::is_convertible_v<T, decltype(c.textFn)>) c.textFn = fn;
    if constexpr (std::is_convertible_v<T, decltype(c.numFn)>) c.numFn = fn;
    if constexpr (std::is_convertible_v<T, decltype(c.dateFn)>) c.dateFn = fn;
    if constexpr (std::is_convertible_v<T, decltype(c.logicalFn)>) c.logicalFn = fn;
}

int argLength(const Call& c, size_t i) {
    return c.arg(i).length;
}

struct FunctionDef {
    std::string_view name;
    int minArgs, maxArgs;
    void (*setup)(Call&);
};

const FunctionDef kFunctions[] = {
    {"UPPER", 1, 1,
     [](Call& c) {
         check(c, "UPPER", {Arg::Text});
         set(c, Type::Text, argLength(c, 0), upperFn);
     }},
    {"LOWER", 1, 1,
     [](Call& c) {
         check(c, "LOWER", {Arg::Text});
         set(c, Type::Text, argLength(c, 0), lowerFn);
     }},
    {"SUBSTR", 2, 3,
     [](Call& c) {
         check(c, "SUBSTR", {Arg::Text, Arg::Number, Arg::Number});
         int start = 0, count = 0, n = argLength(c, 0);
         bool hasCount = c.args.size() > 2;
         bool known = n >= 0 && constInt(c, 1, start) && (!hasCount || constInt(c, 2, count));
         set(c, Type::Text,
             known ? static_cast<int>(substrRange(static_cast<size_t>(n), start, hasCount, count).len) : -1,
             substrFn);
     }},
    {"LEFT", 2, 2,
     [](Call& c) {
         check(c, "LEFT", {Arg::Text, Arg::Number});
         int k = 0, n = argLength(c, 0);
         set(c, Type::Text, n >= 0 && constInt(c, 1, k) ? std::clamp(k, 0, n) : -1, leftFn);
     }},
    {"RIGHT", 2, 2,
     [](Call& c) {
         check(c, "RIGHT", {Arg::Text, Arg::Number});
         int k = 0, n = argLength(c, 0);
         set(c, Type::Text, n >= 0 && constInt(c, 1, k) ? std::clamp(k, 0, n) : -1, rightFn);
     }},
    {"STR", 1, 3,
     [](Call& c) {
         check(c, "STR", {Arg::Number, Arg::Number, Arg::Number});
         int len = 10;
         bool known = c.args.size() < 2 || constInt(c, 1, len);
         set(c, Type::Text, known ? clampLength(len) : -1, strFn);
     }},
    {"STRZERO", 1, 3,
     [](Call& c) {
         check(c, "STRZERO", {Arg::Number, Arg::Number, Arg::Number});
         int len = 10;
         bool known = c.args.size() < 2 || constInt(c, 1, len);
         set(c, Type::Text, known ? clampLength(len) : -1, strzeroFn);
     }},
    {"VAL", 1, 1,
     [](Call& c) {
         check(c, "VAL", {Arg::Text});
         set(c, Type::Number, defaultWidth(0), valFn);
     }},
    {"DTOS", 1, 1,
     [](Call& c) {
         check(c, "DTOS", {Arg::Date});
         bool field = c.arg(0).kind == Kind::Field && c.arg(0).length == 8;
         set(c, Type::Text, 8, field ? dtosFieldFn : dtosFn);
     }},
    {"DTOC", 1, 1,
     [](Call& c) {
         check(c, "DTOC", {Arg::Date});
         set(c, Type::Text, 10, dtocFn);
     }},
    {"STOD", 1, 1,
     [](Call& c) {
         check(c, "STOD", {Arg::Text});
         set(
             c, Type::Date, 8,
             +[](const Call& k, const Ctx& x) { return core::Date::fromDtos(textOf(k.arg(0), x)); });
     }},
    {"CTOD", 1, 1,
     [](Call& c) {
         check(c, "CTOD", {Arg::Text});
         set(
             c, Type::Date, 8, +[](const Call& k, const Ctx& x) {
                 std::string s = textOf(k.arg(0), x);
                 size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
                 return b == std::string::npos ? core::Date()
                                               : core::Date::fromDisplay(s.substr(b, e - b + 1));
             });
     }},
    {"DESCEND", 1, 1,
     [](Call& c) {
         const Node& a = c.arg(0);
         switch (a.type) {
             case Type::Text:
                 set(c, Type::Text, a.length, descendTextFn);
                 break;
             case Type::Number:
                 set(
                     c, Type::Number, a.length, +[](const Call& k, const Ctx& x) {
                         Num n = k.arg(0).num(x);
                         n.v = n.v == 0 ? 0 : -n.v;
                         return n;
                     });
                 c.decimals = a.decimals;
                 break;
             case Type::Date:
                 // A date turns into the negated day number, so later dates come first and the empty
                 // date last.
                 set(
                     c, Type::Number, 8, +[](const Call& k, const Ctx& x) {
                         return Num{-static_cast<double>(k.arg(0).date(x).julian()), 8, 0};
                     });
                 break;
             case Type::Logical:
                 set(
                     c, Type::Logical, 1, +[](const Call& k, const Ctx& x) { return !k.arg(0).logical(x); });
                 break;
         }
     }},
    {"TRIM", 1, 1,
     [](Call& c) {
         check(c, "TRIM", {Arg::Text});
         set(c, Type::Text, -1, trimFn);
     }},
    {"RTRIM", 1, 1,
     [](Call& c) {
         check(c, "RTRIM", {Arg::Text});
         set(c, Type::Text, -1, trimFn);
     }},
    {"LTRIM", 1, 1,
     [](Call& c) {
         check(c, "LTRIM", {Arg::Text});
         set(c, Type::Text, -1, ltrimFn);
     }},
    {"ALLTRIM", 1, 1,
     [](Call& c) {
         check(c, "ALLTRIM", {Arg::Text});
         set(
             c, Type::Text, -1, +[](const Call& k, const Ctx& x, std::string& out) {
                 size_t s = out.size();
                 trimFn(k, x, out);
                 size_t b = s;
                 while (b < out.size() && out[b] == ' ') ++b;
                 keep(out, s, b - s, out.size() - b);
             });
     }},
    {"PADR", 2, 3,
     [](Call& c) {
         check(c, "PADR", {Arg::Any, Arg::Number, Arg::Text});
         int k = 0;
         set(c, Type::Text, constInt(c, 1, k) ? clampLength(k) : -1, padFn<'R'>);
     }},
    {"PADL", 2, 3,
     [](Call& c) {
         check(c, "PADL", {Arg::Any, Arg::Number, Arg::Text});
         int k = 0;
         set(c, Type::Text, constInt(c, 1, k) ? clampLength(k) : -1, padFn<'L'>);
     }},
    {"PADC", 2, 3,
     [](Call& c) {
         check(c, "PADC", {Arg::Any, Arg::Number, Arg::Text});
         int k = 0;
         set(c, Type::Text, constInt(c, 1, k) ? clampLength(k) : -1, padFn<'C'>);
     }},
    {"IIF", 3, 3,
     [](Call& c) {
         check(c, "IIF", {Arg::Logical});
         const Node &a = c.arg(1), &b = c.arg(2);
         if (a.type != b.type) fail("type mismatch in the results of IIF()");
         c.type = a.type;
         switch (a.type) {
             case Type::Text:
                 c.length = a.length == b.length ? a.length : -1;
                 c.textFn = [](const Call& k, const Ctx& x, std::string& out) {
                     k.arg(k.arg(0).logical(x) ? 1 : 2).text(x, out);
                 };
                 break;
             case Type::Number:
                 c.length = std::max(a.length, b.length);
                 c.decimals = std::max(a.decimals, b.decimals);
                 c.numFn = [](const Call& k, const Ctx& x) {
                     return k.arg(k.arg(0).logical(x) ? 1 : 2).num(x);
                 };
                 break;
             case Type::Date:
                 c.length = 8;
                 c.dateFn = [](const Call& k, const Ctx& x) {
                     return k.arg(k.arg(0).logical(x) ? 1 : 2).date(x);
                 };
                 break;
             case Type::Logical:
                 c.length = 1;
                 c.logicalFn = [](const Call& k, const Ctx& x) {
                     return k.arg(k.arg(0).logical(x) ? 1 : 2).logical(x);
                 };
                 break;
         }
     }},
    {"RECNO", 0, 0,
     [](Call& c) {
         c.pure = false;
         set(
             c, Type::Number, 7, +[](const Call&, const Ctx& x) { return intNum(x.recno, 7); });
     }},
    {"DELETED", 0, 0,
     [](Call& c) {
         c.pure = false;
         set(
             c, Type::Logical, 1, +[](const Call&, const Ctx& x) { return x.record[0] == '*'; });
     }},
    {"YEAR", 1, 1,
     [](Call& c) {
         check(c, "YEAR", {Arg::Date});
         set(
             c, Type::Number, defaultWidth(0),
             +[](const Call& k, const Ctx& x) { return intNum(k.arg(0).date(x).year()); });
     }},
    {"MONTH", 1, 1,
     [](Call& c) {
         check(c, "MONTH", {Arg::Date});
         set(
             c, Type::Number, defaultWidth(0),
             +[](const Call& k, const Ctx& x) { return intNum(k.arg(0).date(x).month()); });
     }},
    {"DAY", 1, 1,
     [](Call& c) {
         check(c, "DAY", {Arg::Date});
         set(
             c, Type::Number, defaultWidth(0),
             +[](const Call& k, const Ctx& x) { return intNum(k.arg(0).date(x).day()); });
     }},
    {"EMPTY", 1, 1, [](Call& c) { set(c, Type::Logical, 1, emptyFn); }},
    {"ROUND", 2, 2,
     [](Call& c) {
         check(c, "ROUND", {Arg::Number, Arg::Number});
         int dec = 0;
         set(c, Type::Number, c.arg(0).length, roundFn);
         c.decimals = constInt(c, 1, dec) ? std::max(dec, 0) : c.arg(0).decimals;
     }},
    {"ABS", 1, 1,
     [](Call& c) {
         check(c, "ABS", {Arg::Number});
         set(
             c, Type::Number, c.arg(0).length, +[](const Call& k, const Ctx& x) {
                 Num n = k.arg(0).num(x);
                 n.v = std::fabs(n.v);
                 return n;
             });
         c.decimals = c.arg(0).decimals;
     }},
    {"INT", 1, 1,
     [](Call& c) {
         check(c, "INT", {Arg::Number});
         set(
             c, Type::Number, c.arg(0).length, +[](const Call& k, const Ctx& x) {
                 Num n = k.arg(0).num(x);
                 double t = std::trunc(n.v);
                 return Num{t == 0 ? 0 : t, n.width, 0};
             });
     }},
    {"LEN", 1, 1,
     [](Call& c) {
         check(c, "LEN", {Arg::Text});
         set(
             c, Type::Number, defaultWidth(0), +[](const Call& k, const Ctx& x) {
                 return intNum(static_cast<double>(textOf(k.arg(0), x).size()));
             });
     }},
    {"SPACE", 1, 1,
     [](Call& c) {
         check(c, "SPACE", {Arg::Number});
         int k = 0;
         set(c, Type::Text, constInt(c, 0, k) ? clampLength(k) : -1, spaceFn);
     }},
    {"REPLICATE", 2, 2,
     [](Call& c) {
         check(c, "REPLICATE", {Arg::Text, Arg::Number});
         int k = 0, n = argLength(c, 0);
         bool known = n >= 0 && constInt(c, 1, k);
         set(c, Type::Text, known ? static_cast<int>(std::min<long>(long{n} * std::max(k, 0), kMaxText)) : -1,
             replicateFn);
     }},
    {"CHR", 1, 1,
     [](Call& c) {
         check(c, "CHR", {Arg::Number});
         set(c, Type::Text, 1, chrFn);
     }},
    {"ASC", 1, 1,
     [](Call& c) {
         check(c, "ASC", {Arg::Text});
         set(
             c, Type::Number, defaultWidth(0), +[](const Call& k, const Ctx& x) {
                 std::string s = textOf(k.arg(0), x);
                 return intNum(s.empty() ? 0 : static_cast<unsigned char>(s[0]));
             });
     }},
    {"AT", 2, 2,
     [](Call& c) {
         check(c, "AT", {Arg::Text, Arg::Text});
         set(
             c, Type::Number, defaultWidth(0), +[](const Call& k, const Ctx& x) {
                 std::string needle = textOf(k.arg(0), x), hay = textOf(k.arg(1), x);
                 size_t p = needle.empty() ? std::string::npos : hay.find(needle);
                 return intNum(p == std::string::npos ? 0 : static_cast<double>(p + 1));
             });
     }},
};

const FunctionDef* findFunction(std::string_view name) {
    for (const auto& f : kFunctions)
        if (f.name == name) return &f;
    // Names may be cut to four letters or more, as long as only one function begins so.
    if (name.size() < 4) return nullptr;
    const FunctionDef* found = nullptr;
    for (const auto& f : kFunctions) {
        if (f.name.substr(0, name.size()) != name) continue;
        if (found) return nullptr;
        found = &f;
    }
    return found;
}

}  // namespace

NodePtr makeField(const xbase::Field& field) {
    return std::make_unique<FieldNode>(field);
}

NodePtr makeFunction(std::string_view name, std::vector<NodePtr> args) {
    std::string upper(name);
    for (auto& ch : upper)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
    if (upper == "IF") upper = "IIF";
    const FunctionDef* def = findFunction(upper);
    if (!def) fail("unknown function " + upper + "()");
    auto count = static_cast<int>(args.size());
    if (count < def->minArgs || count > def->maxArgs)
        fail("wrong number of arguments to " + std::string(def->name) + "()");
    auto c = std::make_unique<Call>();
    c->args = std::move(args);
    def->setup(*c);
    return finish(std::move(c));
}

}  // namespace xbase::expr
