#pragma once
// The four kinds of value that settings, table fields and key expressions carry.
#include <string>
#include <string_view>

#include "platform/core/date.h"

namespace core {

enum class Type : char { Text = 'C', Number = 'N', Date = 'D', Logical = 'L' };

struct Value {
    Type type = Type::Logical;
    std::string text;   // Text: code page 852 bytes
    double number = 0;  // Number
    int width = 10;     // Number: display width, as STR() and the .MEM file keep it
    int decimals = 0;   // Number: display decimals
    core::Date date;    // Date
    bool logical = false;

    Value() = default;
    static Value ofText(std::string s) {
        Value v;
        v.type = Type::Text;
        v.text = std::move(s);
        return v;
    }
    static Value ofNumber(double n, int width = 10, int decimals = 0) {
        Value v;
        v.type = Type::Number;
        v.number = n;
        v.width = width;
        v.decimals = decimals;
        return v;
    }
    static Value ofDate(core::Date d) {
        Value v;
        v.type = Type::Date;
        v.date = d;
        return v;
    }
    static Value ofLogical(bool b) {
        Value v;
        v.type = Type::Logical;
        v.logical = b;
        return v;
    }

    bool isText() const { return type == Type::Text; }
    bool isNumber() const { return type == Type::Number; }
    bool isDate() const { return type == Type::Date; }
    bool isLogical() const { return type == Type::Logical; }

    bool operator==(const Value& o) const {
        if (type != o.type) return false;
        switch (type) {
            case Type::Text:
                return text == o.text;
            case Type::Number:
                return number == o.number;
            case Type::Date:
                return date == o.date;
            case Type::Logical:
                return logical == o.logical;
        }
        return false;
    }
};

// Numbers are read from text the dBASE way: leading blanks skipped, an optional sign, digits and one
// decimal point; reading stops at the first other character; no digits gives 0.
double readNumber(std::string_view text);
// 10 to the power n, 0 <= n <= 22: exactly, as every such power is a double.
double powerOfTen(int n);

}  // namespace core
