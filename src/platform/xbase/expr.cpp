// Reading key expressions into node trees, and the key bytes of their values.
#include "platform/xbase/expr.h"

#include <algorithm>
#include <cstring>

#include "platform/core/error.h"
#include "platform/xbase/expr_node.h"

namespace xbase {

using core::Type;
using expr::CompileError;
using expr::Ctx;
using expr::NodePtr;

namespace {

enum class Tok { End, Text, Number, Dot, Ident, Op };

struct Token {
    Tok kind = Tok::End;
    std::string
        text;  // Text: the bytes between the delimiters; Dot: upper case with the dots; Op: as written
    size_t pos = 0;
};

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string upper(std::string_view s) {
    std::string u(s);
    for (auto& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return u;
}

// Expressions are at most as long as an index header holds several times over; longer ones are taken
// for damage rather than read.
constexpr size_t kMaxLength = 1024;
constexpr int kMaxNesting = 100;

std::vector<Token> tokenize(std::string_view s) {
    if (s.size() > kMaxLength) throw CompileError{"expression too long"};
    std::vector<Token> out;
    size_t i = 0;
    auto error = [&](const char* what) {
        throw CompileError{std::string(what) + " at position " + std::to_string(i + 1)};
    };
    while (i < s.size()) {
        char c = s[i];
        Token t;
        t.pos = i;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c == '"' || c == '\'' || c == '[') {
            char close = c == '[' ? ']' : c;
            size_t end = s.find(close, i + 1);
            if (end == std::string_view::npos) error("unterminated text");
            t.kind = Tok::Text;
            t.text = std::string(s.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (isDigit(c) || (c == '.' && i + 1 < s.size() && isDigit(s[i + 1]))) {
            size_t b = i;
            while (i < s.size() && isDigit(s[i])) ++i;
            if (i + 1 < s.size() && s[i] == '.' && isDigit(s[i + 1])) {
                ++i;
                while (i < s.size() && isDigit(s[i])) ++i;
            }
            t.kind = Tok::Number;
            t.text = std::string(s.substr(b, i - b));
        } else if (c == '.') {
            size_t end = s.find('.', i + 1);
            std::string word = end == std::string_view::npos ? "" : upper(s.substr(i, end - i + 1));
            if (word != ".T." && word != ".F." && word != ".Y." && word != ".N." && word != ".AND." &&
                word != ".OR." && word != ".NOT.")
                error("unexpected '.'");
            t.kind = Tok::Dot;
            t.text = word;
            i = end + 1;
        } else if (isLetter(c)) {
            size_t b = i;
            while (i < s.size() && (isLetter(s[i]) || isDigit(s[i]))) ++i;
            t.kind = Tok::Ident;
            t.text = upper(s.substr(b, i - b));
        } else {
            static const char* const twoChar[] = {"->", "==", "!=", "<>", "<=", ">=", "**"};
            t.kind = Tok::Op;
            for (const char* op : twoChar)
                if (s.substr(i, 2) == op) t.text = op;
            if (t.text.empty()) {
                if (std::strchr("+-*/%^()=<>#!$,", c) == nullptr || c == '\0') error("unexpected character");
                t.text = std::string(1, c);
            }
            i += t.text.size();
        }
        out.push_back(std::move(t));
    }
    Token end;
    end.pos = s.size();
    out.push_back(end);
    return out;
}

// Precedence, loosest first: .OR., .AND., .NOT., comparisons, + -, * / %, ^, unary sign.
class Parser {
  public:
    Parser(std::string_view text, const Layout& layout) : tokens_(tokenize(text)), layout_(layout) {}

    NodePtr parse() {
        if (peek().kind == Tok::End) throw CompileError{"empty expression"};
        NodePtr n = orExpr();
        if (peek().kind != Tok::End) unexpected();
        return n;
    }

  private:
    const Token& peek() const { return tokens_[pos_]; }
    const Token& take() { return tokens_[pos_++]; }
    bool isOp(const char* op) const { return peek().kind == Tok::Op && peek().text == op; }
    bool isDot(const char* word) const { return peek().kind == Tok::Dot && peek().text == word; }

    [[noreturn]] void unexpected() const {
        const Token& t = peek();
        if (t.kind == Tok::End) throw CompileError{"unexpected end"};
        throw CompileError{"syntax error at position " + std::to_string(t.pos + 1)};
    }
    void expectOp(const char* op) {
        if (!isOp(op)) unexpected();
        ++pos_;
    }

    // Nesting is bounded so that neither reading nor evaluating can run out of stack.
    struct Nest {
        explicit Nest(int& depth) : depth_(depth) {
            if (++depth_ > kMaxNesting) throw CompileError{"expression nested too deeply"};
        }
        ~Nest() { --depth_; }
        int& depth_;
    };

    NodePtr orExpr() {
        Nest nest(depth_);
        NodePtr n = andExpr();
        while (isDot(".OR.")) {
            ++pos_;
            n = expr::makeBinary(".OR.", std::move(n), andExpr());
        }
        return n;
    }

    NodePtr andExpr() {
        NodePtr n = notExpr();
        while (isDot(".AND.")) {
            ++pos_;
            n = expr::makeBinary(".AND.", std::move(n), notExpr());
        }
        return n;
    }

    NodePtr notExpr() {
        if (isDot(".NOT.") || isOp("!")) {
            Nest nest(depth_);
            ++pos_;
            return expr::makeUnary("!", notExpr());
        }
        return comparison();
    }

    NodePtr comparison() {
        NodePtr n = additive();
        static const char* const ops[] = {"=", "==", "!=", "<>", "#", "<", "<=", ">", ">=", "$"};
        for (;;) {
            const char* found = nullptr;
            for (const char* op : ops)
                if (isOp(op)) found = op;
            if (!found) return n;
            ++pos_;
            n = expr::makeBinary(found, std::move(n), additive());
        }
    }

    NodePtr additive() {
        NodePtr n = multiplicative();
        while (isOp("+") || isOp("-")) {
            std::string op = take().text;
            n = expr::makeBinary(op, std::move(n), multiplicative());
        }
        return n;
    }

    NodePtr multiplicative() {
        NodePtr n = unary();
        while (isOp("*") || isOp("/") || isOp("%")) {
            std::string op = take().text;
            n = expr::makeBinary(op, std::move(n), unary());
        }
        return n;
    }

    NodePtr unary() {
        Nest nest(depth_);
        if (isOp("-")) {
            ++pos_;
            return expr::makeUnary("-", unary());
        }
        if (isOp("+")) {
            ++pos_;
            NodePtr n = unary();
            if (n->type != Type::Number) throw CompileError{"type mismatch: + before a non-number"};
            return n;
        }
        return power();
    }

    NodePtr power() {
        NodePtr n = primary();
        if (isOp("^") || isOp("**")) {
            ++pos_;
            n = expr::makeBinary("^", std::move(n), unary());
        }
        return n;
    }

    NodePtr primary() {
        const Token& t = take();
        switch (t.kind) {
            case Tok::Text:
                return expr::makeLiteral(core::Value::ofText(t.text));
            case Tok::Number: {
                size_t point = t.text.find('.');
                int dec = point == std::string::npos ? 0 : static_cast<int>(t.text.size() - point - 1);
                return expr::makeLiteral(
                    core::Value::ofNumber(core::readNumber(t.text), expr::defaultWidth(dec), dec));
            }
            case Tok::Dot:
                if (t.text == ".T." || t.text == ".Y.")
                    return expr::makeLiteral(core::Value::ofLogical(true));
                if (t.text == ".F." || t.text == ".N.")
                    return expr::makeLiteral(core::Value::ofLogical(false));
                break;
            case Tok::Op:
                if (t.text == "(") {
                    NodePtr n = orExpr();
                    expectOp(")");
                    return n;
                }
                break;
            case Tok::Ident: {
                if (isOp("(")) return call(t.text);
                std::string name = t.text;
                if (isOp("->")) {
                    // The alias names this table: the expression belongs to one table only.
                    ++pos_;
                    if (peek().kind != Tok::Ident) unexpected();
                    name = take().text;
                }
                const Field* f = layout_.field(name);
                if (!f) throw CompileError{"unknown name " + name};
                return expr::makeField(*f);
            }
            case Tok::End:
                break;
        }
        --pos_;
        unexpected();
    }

    NodePtr call(const std::string& name) {
        expectOp("(");
        std::vector<NodePtr> args;
        if (!isOp(")")) {
            args.push_back(orExpr());
            while (isOp(",")) {
                ++pos_;
                args.push_back(orExpr());
            }
        }
        expectOp(")");
        return expr::makeFunction(name, std::move(args));
    }

    std::vector<Token> tokens_;
    size_t pos_ = 0;
    int depth_ = 0;
    const Layout& layout_;
};

// Numeric key bytes: STR() of the value with leading blanks as '0'; a negative value's sign becomes '0'
// and every digit d then 92 - d, so that negatives sort first and larger magnitudes before smaller ones.
std::string numericKey(double value, int size, int dec) {
    std::string s = expr::formatStr(value, size, dec);
    if (s.empty() || s[0] == '*') return s;
    bool negative = s.find('-') != std::string::npos;
    for (auto& c : s)
        if (c == ' ' || c == '-') c = '0';
    if (negative)
        for (auto& c : s)
            if (isDigit(c)) c = static_cast<char>(92 - c);
    return s;
}

std::string padded(std::string s, int size) {
    s.resize(static_cast<size_t>(size), ' ');
    return s;
}

}  // namespace

struct Expression::Impl {
    std::string text;
    NodePtr root;
    Type type = Type::Logical;
    int length = 0;
    int decimals = 0;

    // A concatenation of character fields and literals, the form of nearly every key: copied straight
    // from the record without walking the tree.
    struct Piece {
        bool literal;
        int offset;  // in the record, or in `literals`
        int length;
    };
    std::vector<Piece> pieces;
    std::string literals;
    bool plain = false;

    bool collect(const expr::Node& n) {
        if (n.type != Type::Text) return false;
        if (n.kind == expr::Kind::Concat) {
            const auto& c = static_cast<const expr::Call&>(n);
            return collect(c.arg(0)) && collect(c.arg(1));
        }
        if (n.kind == expr::Kind::Literal) {
            std::string s;
            n.text(Ctx{nullptr, 0}, s);
            pieces.push_back({true, static_cast<int>(literals.size()), static_cast<int>(s.size())});
            literals += s;
            return true;
        }
        if (n.kind == expr::Kind::Field) {
            pieces.push_back({false, n.offset, n.length});
            return true;
        }
        return false;
    }
};

Expression::Expression() = default;
Expression::~Expression() = default;
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;

Expression Expression::compile(std::string_view text, const Layout& layout) {
    auto impl = std::make_unique<Impl>();
    impl->text = std::string(text);
    try {
        impl->root = Parser(text, layout).parse();
    } catch (const CompileError& e) {
        throw core::RuntimeError(core::RuntimeError::Kind::Expression,
                                 e.message + " in expression \"" + std::string(text) + "\"");
    }
    const expr::Node& root = *impl->root;
    impl->type = root.type;
    impl->length = root.length;
    impl->decimals = root.decimals;
    if (root.type == Type::Text && root.length < 0) {
        // The length depends on the values: take it from a blank record, as the engine sizes such keys.
        std::string blank(static_cast<size_t>(std::max(layout.recordLength, 1)), ' ');
        std::string s;
        root.text(Ctx{blank.data(), 0}, s);
        impl->length = static_cast<int>(s.size());
    }
    impl->plain = impl->collect(root);
    Expression e;
    e.impl_ = std::move(impl);
    return e;
}

const std::string& Expression::text() const {
    static const std::string none;
    return impl_ ? impl_->text : none;
}

Type Expression::type() const {
    return impl_ ? impl_->type : Type::Logical;
}
int Expression::length() const {
    return impl_ ? impl_->length : 0;
}
int Expression::decimals() const {
    return impl_ ? impl_->decimals : 0;
}

core::Value Expression::evaluate(const char* record, uint32_t recno) const {
    if (!impl_) return {};
    return impl_->root->value(Ctx{record, recno});
}

std::string Expression::key(const char* record, uint32_t recno, int keySize, int keyDecimals) const {
    std::string out;
    key(record, recno, keySize, keyDecimals, out);
    return out;
}

void Expression::key(const char* record, uint32_t recno, int keySize, int keyDecimals,
                     std::string& out) const {
    keySize = std::max(keySize, 0);
    if (!impl_) {
        out.assign(static_cast<size_t>(keySize), ' ');
        return;
    }
    Ctx x{record, recno};
    if (impl_->type == Type::Text) {
        if (impl_->plain) {
            out.assign(static_cast<size_t>(keySize), ' ');
            int at = 0;
            for (const auto& p : impl_->pieces) {
                int n = std::min(p.length, keySize - at);
                if (n <= 0) break;
                const char* from = p.literal ? impl_->literals.data() + p.offset : record + p.offset;
                std::memcpy(out.data() + at, from, static_cast<size_t>(n));
                at += n;
            }
            return;
        }
        out.clear();
        out.reserve(static_cast<size_t>(std::max(keySize, impl_->length)));
        impl_->root->text(x, out);
        out.resize(static_cast<size_t>(keySize), ' ');
        return;
    }
    out = keyOfValue(impl_->root->value(x), keySize, keyDecimals);
}

std::string keyOfValue(const core::Value& value, int keySize, int keyDecimals) {
    keySize = std::max(keySize, 0);
    switch (value.type) {
        case Type::Text:
            return padded(value.text, keySize);
        case Type::Number:
            return numericKey(value.number, keySize, keyDecimals);
        case Type::Date:
            return padded(value.date.dtos(), keySize);
        case Type::Logical:
            return padded(value.logical ? "T" : "F", keySize);
    }
    return padded({}, keySize);
}

}  // namespace xbase
