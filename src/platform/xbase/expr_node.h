#pragma once
// The compiled form of a key expression: a tree of typed nodes. Every node's type is fixed when it is
// built, so evaluation never checks types; text nodes append to one caller-owned buffer and rework the
// tail they appended in place, which keeps a key evaluation free of allocations for the common keys.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/date.h"
#include "platform/core/value.h"
#include "platform/xbase/field.h"

namespace xbase::expr {

struct Ctx {
    const char* record;
    uint32_t recno;
};

// A number with the display width and decimals it carries (STR() without a length and the .MEM writer
// show them).
struct Num {
    double v = 0;
    int width = 10;
    int dec = 0;
};

// Width of a computed number with `dec` decimals: ten places for the integer part, then the fraction.
inline int defaultWidth(int dec) {
    return dec > 0 ? 10 + dec + 1 : 10;
}

// Texts built by SPACE(), REPLICATE(), PADR(), STR() and the like stop at this length, as the engine's
// strings do, so that a stray count cannot exhaust memory.
inline constexpr int kMaxText = 65535;

enum class Kind { Field, Literal, Concat, Other };

class Node {
  public:
    virtual ~Node() = default;

    core::Type type = core::Type::Logical;
    Kind kind = Kind::Other;
    // Text: length known before any record is read, -1 when only an evaluation tells. Number: width.
    int length = 0;
    int decimals = 0;
    int offset = 0;  // Field: its position in the record
    // Reads neither the record nor its number: evaluated once while compiling.
    bool constant = false;

    virtual void text(const Ctx&, std::string& out) const;
    virtual Num num(const Ctx&) const;
    virtual core::Date date(const Ctx&) const;
    virtual bool logical(const Ctx&) const;

    core::Value value(const Ctx& ctx) const;
};

using NodePtr = std::unique_ptr<Node>;

// A constant of any type.
NodePtr makeLiteral(const core::Value& v);

// An operator or function: its arguments and one evaluation function for the result type.
class Call : public Node {
  public:
    std::vector<NodePtr> args;
    void (*textFn)(const Call&, const Ctx&, std::string&) = nullptr;
    Num (*numFn)(const Call&, const Ctx&) = nullptr;
    core::Date (*dateFn)(const Call&, const Ctx&) = nullptr;
    bool (*logicalFn)(const Call&, const Ctx&) = nullptr;
    // Record-independent functions (not RECNO, DELETED) with constant arguments fold into a literal.
    bool pure = true;

    const Node& arg(size_t i) const { return *args[i]; }
    void text(const Ctx& c, std::string& out) const override { textFn(*this, c, out); }
    Num num(const Ctx& c) const override { return numFn(*this, c); }
    core::Date date(const Ctx& c) const override { return dateFn(*this, c); }
    bool logical(const Ctx& c) const override { return logicalFn(*this, c); }
};

// A mistake found while compiling; the compiler turns it into the run-time error that quotes the
// expression.
struct CompileError {
    std::string message;
};

// A field of the record; its type follows the field's.
NodePtr makeField(const xbase::Field& field);
// Completes a built call: a record-independent one with constant arguments becomes a literal.
NodePtr finish(std::unique_ptr<Call> c);
// Builds a function call node (arguments already compiled), checking the count and types of the
// arguments; `name` is upper case and may be cut to four letters or more.
NodePtr makeFunction(std::string_view name, std::vector<NodePtr> args);
// Binary operators: + - * / % ^ and the comparisons = == != < <= > >= $, .AND. .OR.
NodePtr makeBinary(std::string_view op, NodePtr left, NodePtr right);
// Unary minus and .NOT.
NodePtr makeUnary(std::string_view op, NodePtr operand);

// STR() of a number, safe for any length and decimals a damaged index header or expression may ask for.
std::string formatStr(double v, int length, int decimals);

// Integer argument the way the engine takes it: the fraction cut off.
int toInt(double v);

}  // namespace xbase::expr
