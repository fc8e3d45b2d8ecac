// Base node behaviour, literals and the operators of key expressions.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/xbase/expr_node.h"
#include "platform/xbase/field.h"

namespace xbase::expr {

using core::Type;

// A node only answers for its own type; the builders never ask otherwise.
void Node::text(const Ctx&, std::string&) const {}
Num Node::num(const Ctx&) const {
    return {};
}
core::Date Node::date(const Ctx&) const {
    return {};
}
bool Node::logical(const Ctx&) const {
    return false;
}

core::Value Node::value(const Ctx& ctx) const {
    switch (type) {
        case Type::Text: {
            std::string s;
            if (length > 0) s.reserve(static_cast<size_t>(length));
            text(ctx, s);
            return core::Value::ofText(std::move(s));
        }
        case Type::Number: {
            Num n = num(ctx);
            return core::Value::ofNumber(n.v, n.width, n.dec);
        }
        case Type::Date:
            return core::Value::ofDate(date(ctx));
        case Type::Logical:
            return core::Value::ofLogical(logical(ctx));
    }
    return {};
}

int toInt(double v) {
    if (!(v == v)) return 0;  // NaN
    if (v > 2e9) return 2000000000;
    if (v < -2e9) return -2000000000;
    return static_cast<int>(v);  // cuts the fraction off, towards zero
}

namespace {

class Literal : public Node {
  public:
    explicit Literal(core::Value v) : v_(std::move(v)) {
        type = v_.type;
        kind = Kind::Literal;
        constant = true;
        switch (type) {
            case Type::Text:
                length = static_cast<int>(v_.text.size());
                break;
            case Type::Number:
                length = v_.width;
                decimals = v_.decimals;
                break;
            case Type::Date:
                length = 8;
                break;
            case Type::Logical:
                length = 1;
                break;
        }
    }
    void text(const Ctx&, std::string& out) const override { out += v_.text; }
    Num num(const Ctx&) const override { return {v_.number, v_.width, v_.decimals}; }
    core::Date date(const Ctx&) const override { return v_.date; }
    bool logical(const Ctx&) const override { return v_.logical; }

  private:
    core::Value v_;
};

[[noreturn]] void fail(std::string message) {
    throw CompileError{std::move(message)};
}

const char* typeName(Type t) {
    switch (t) {
        case Type::Text:
            return "character";
        case Type::Number:
            return "numeric";
        case Type::Date:
            return "date";
        case Type::Logical:
            return "logical";
    }
    return "?";
}

[[noreturn]] void mismatch(std::string_view op, const Node& a, const Node& b) {
    fail("type mismatch: " + std::string(typeName(a.type)) + " " + std::string(op) + " " + typeName(b.type));
}

std::unique_ptr<Call> call2(NodePtr a, NodePtr b) {
    auto c = std::make_unique<Call>();
    c->args.push_back(std::move(a));
    c->args.push_back(std::move(b));
    return c;
}

// Text "-": the trailing blanks of the left text move to the end of the result.
void minusText(const Call& c, const Ctx& x, std::string& out) {
    c.arg(0).text(x, out);
    size_t leftEnd = out.size();
    size_t blanks = 0;
    while (blanks < leftEnd && out[leftEnd - 1 - blanks] == ' ') ++blanks;
    c.arg(1).text(x, out);
    if (blanks > 0)
        std::rotate(out.begin() + static_cast<long>(leftEnd - blanks),
                    out.begin() + static_cast<long>(leftEnd), out.end());
}

int compareText(std::string_view a, std::string_view b) {
    // Ordering compares as if the shorter text were blank padded.
    size_t n = std::max(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
        auto cb = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return 0;
}

enum class Cmp { Eq, Exact, Ne, Lt, Le, Gt, Ge };

bool ordered(Cmp op, int r) {
    switch (op) {
        case Cmp::Eq:
        case Cmp::Exact:
            return r == 0;
        case Cmp::Ne:
            return r != 0;
        case Cmp::Lt:
            return r < 0;
        case Cmp::Le:
            return r <= 0;
        case Cmp::Gt:
            return r > 0;
        case Cmp::Ge:
            return r >= 0;
    }
    return false;
}

template <Cmp op>
bool compareTexts(const Call& c, const Ctx& x) {
    std::string a, b;
    c.arg(0).text(x, a);
    c.arg(1).text(x, b);
    // With EXACT off "=" asks whether the left text begins with the right one.
    if constexpr (op == Cmp::Eq) return a.compare(0, b.size(), b) == 0 && a.size() >= b.size();
    if constexpr (op == Cmp::Ne) return !(a.compare(0, b.size(), b) == 0 && a.size() >= b.size());
    if constexpr (op == Cmp::Exact) return a == b;
    return ordered(op, compareText(a, b));
}

template <Cmp op>
bool compareNumbers(const Call& c, const Ctx& x) {
    double a = c.arg(0).num(x).v, b = c.arg(1).num(x).v;
    return ordered(op, a < b ? -1 : a > b ? 1 : 0);
}

template <Cmp op>
bool compareDates(const Call& c, const Ctx& x) {
    auto a = c.arg(0).date(x), b = c.arg(1).date(x);
    return ordered(op, a < b ? -1 : a > b ? 1 : 0);
}

template <Cmp op>
bool compareLogicals(const Call& c, const Ctx& x) {
    int a = c.arg(0).logical(x), b = c.arg(1).logical(x);
    return ordered(op, a - b);
}

template <Cmp op>
void setCompare(Call& c) {
    switch (c.arg(0).type) {
        case Type::Text:
            c.logicalFn = compareTexts<op>;
            break;
        case Type::Number:
            c.logicalFn = compareNumbers<op>;
            break;
        case Type::Date:
            c.logicalFn = compareDates<op>;
            break;
        case Type::Logical:
            c.logicalFn = compareLogicals<op>;
            break;
    }
}

Num arith(char op, Num a, Num b) {
    Num r;
    switch (op) {
        case '+':
            r = {a.v + b.v, std::max(a.width, b.width), std::max(a.dec, b.dec)};
            break;
        case '-':
            r = {a.v - b.v, std::max(a.width, b.width), std::max(a.dec, b.dec)};
            break;
        case '*':
            r.dec = a.dec + b.dec;
            r = {a.v * b.v, std::max({a.width, b.width, defaultWidth(r.dec)}), r.dec};
            break;
        case '/':
            // A division by zero gives 0, not an error.
            r.dec = std::max({a.dec, b.dec, 2});
            r = {b.v == 0 ? 0 : a.v / b.v, defaultWidth(r.dec), r.dec};
            break;
        case '%':
            r = {b.v == 0 ? 0 : std::fmod(a.v, b.v), std::max(a.width, b.width), std::max(a.dec, b.dec)};
            break;
        default:  // '^'
            r.dec = std::max(a.dec, 2);
            r = {std::pow(a.v, b.v), defaultWidth(r.dec), r.dec};
            if (!std::isfinite(r.v)) r.v = 0;
            break;
    }
    return r;
}

template <char op>
Num arithFn(const Call& c, const Ctx& x) {
    return arith(op, c.arg(0).num(x), c.arg(1).num(x));
}

}  // namespace

NodePtr makeLiteral(const core::Value& v) {
    return std::make_unique<Literal>(v);
}

std::string formatStr(double v, int length, int decimals) {
    // More decimals than this never fit beside an integer part in a text the engine could hold, and the
    // formatter's work space is sized for no more.
    if (decimals > 150) return std::string(static_cast<size_t>(std::max(length, 0)), '*');
    return formatNumber(v, length, decimals);
}

// Folds a call whose value cannot change from record to record.
NodePtr finish(std::unique_ptr<Call> c) {
    bool constant = c->pure;
    for (auto& a : c->args) constant = constant && a->constant;
    if (!constant) return c;
    return makeLiteral(c->value(Ctx{nullptr, 0}));
}

NodePtr makeBinary(std::string_view op, NodePtr left, NodePtr right) {
    Type ta = left->type, tb = right->type;
    auto c = call2(std::move(left), std::move(right));
    const Node& a = c->arg(0);
    const Node& b = c->arg(1);

    if (op == ".AND." || op == ".OR.") {
        if (ta != Type::Logical || tb != Type::Logical) mismatch(op, a, b);
        c->type = Type::Logical;
        c->length = 1;
        c->logicalFn =
            op == ".AND."
                ? +[](const Call& k, const Ctx& x) { return k.arg(0).logical(x) && k.arg(1).logical(x); }
                : +[](const Call& k, const Ctx& x) { return k.arg(0).logical(x) || k.arg(1).logical(x); };
        return finish(std::move(c));
    }

    if (op == "$") {
        if (ta != Type::Text || tb != Type::Text) mismatch(op, a, b);
        c->type = Type::Logical;
        c->length = 1;
        c->logicalFn = [](const Call& k, const Ctx& x) {
            std::string needle, hay;
            k.arg(0).text(x, needle);
            k.arg(1).text(x, hay);
            return hay.find(needle) != std::string::npos;
        };
        return finish(std::move(c));
    }

    static const struct {
        std::string_view text;
        void (*set)(Call&);
    } comparisons[] = {
        {"=", setCompare<Cmp::Eq>},  {"==", setCompare<Cmp::Exact>}, {"!=", setCompare<Cmp::Ne>},
        {"<>", setCompare<Cmp::Ne>}, {"#", setCompare<Cmp::Ne>},     {"<", setCompare<Cmp::Lt>},
        {"<=", setCompare<Cmp::Le>}, {">", setCompare<Cmp::Gt>},     {">=", setCompare<Cmp::Ge>},
    };
    for (const auto& cmp : comparisons) {
        if (cmp.text != op) continue;
        if (ta != tb) mismatch(op, a, b);
        c->type = Type::Logical;
        c->length = 1;
        cmp.set(*c);
        return finish(std::move(c));
    }

    if (op == "+" || op == "-") {
        bool plus = op == "+";
        if (ta == Type::Text && tb == Type::Text) {
            c->type = Type::Text;
            c->kind = plus ? Kind::Concat : Kind::Other;
            c->length = a.length < 0 || b.length < 0 ? -1 : std::min(a.length + b.length, kMaxText);
            c->textFn = plus ? +[](const Call& k, const Ctx& x, std::string& out) {
                k.arg(0).text(x, out);
                k.arg(1).text(x, out);
            }
                             : minusText;
        } else if (ta == Type::Number && tb == Type::Number) {
            Num shape = arith(op[0], {0, a.length, a.decimals}, {0, b.length, b.decimals});
            c->type = Type::Number;
            c->length = shape.width;
            c->decimals = shape.dec;
            c->numFn = plus ? arithFn<'+'> : arithFn<'-'>;
        } else if (ta == Type::Date && tb == Type::Number) {
            c->type = Type::Date;
            c->length = 8;
            c->dateFn =
                plus ? +[](const Call& k,
                           const Ctx& x) { return k.arg(0).date(x) + toInt(std::trunc(k.arg(1).num(x).v)); }
                     : +[](const Call& k, const Ctx& x) {
                           return k.arg(0).date(x) + -toInt(std::trunc(k.arg(1).num(x).v));
                       };
        } else if (plus && ta == Type::Number && tb == Type::Date) {
            c->type = Type::Date;
            c->length = 8;
            c->dateFn = [](const Call& k, const Ctx& x) {
                return k.arg(1).date(x) + toInt(std::trunc(k.arg(0).num(x).v));
            };
        } else if (!plus && ta == Type::Date && tb == Type::Date) {
            c->type = Type::Number;
            c->length = defaultWidth(0);
            c->numFn = [](const Call& k, const Ctx& x) {
                auto d1 = k.arg(0).date(x), d2 = k.arg(1).date(x);
                // An empty date has no distance to anything.
                return Num{d1.empty() || d2.empty() ? 0.0 : static_cast<double>(d1 - d2), defaultWidth(0), 0};
            };
        } else {
            mismatch(op, a, b);
        }
        return finish(std::move(c));
    }

    static const struct {
        std::string_view text;
        char op;
        Num (*fn)(const Call&, const Ctx&);
    } arithmetic[] = {
        {"*", '*', arithFn<'*'>}, {"/", '/', arithFn<'/'>},  {"%", '%', arithFn<'%'>},
        {"^", '^', arithFn<'^'>}, {"**", '^', arithFn<'^'>},
    };
    for (const auto& ar : arithmetic) {
        if (ar.text != op) continue;
        if (ta != Type::Number || tb != Type::Number) mismatch(op, a, b);
        Num shape = arith(ar.op, {0, a.length, a.decimals}, {0, b.length, b.decimals});
        c->type = Type::Number;
        c->length = shape.width;
        c->decimals = shape.dec;
        c->numFn = ar.fn;
        return finish(std::move(c));
    }
    fail("unknown operator " + std::string(op));
}

NodePtr makeUnary(std::string_view op, NodePtr operand) {
    auto c = std::make_unique<Call>();
    Type t = operand->type;
    c->length = operand->length;
    c->decimals = operand->decimals;
    c->args.push_back(std::move(operand));
    if (op == "-") {
        if (t != Type::Number) fail(std::string("type mismatch: - ") + typeName(t));
        c->type = Type::Number;
        c->numFn = [](const Call& k, const Ctx& x) {
            Num n = k.arg(0).num(x);
            n.v = n.v == 0 ? 0 : -n.v;
            return n;
        };
    } else {
        if (t != Type::Logical) fail(std::string("type mismatch: .NOT. ") + typeName(t));
        c->type = Type::Logical;
        c->length = 1;
        c->logicalFn = [](const Call& k, const Ctx& x) { return !k.arg(0).logical(x); };
    }
    return finish(std::move(c));
}

}  // namespace xbase::expr
