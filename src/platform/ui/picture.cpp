#include "platform/ui/picture.h"

#include <cstring>

#include "platform/core/cp852.h"
#include "platform/xbase/field.h"

namespace ui {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLetter(char c) {
    auto b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z')) return true;
    return b >= 0x80 && (core::cp852Upper(c) != c || core::cp852Lower(c) != c);
}

std::string formatNumberThrough(double number, std::string_view picture) {
    // The digits and the point fill the mask's number positions; literals between them (a thousands
    // separator) show only once a digit stands to their left.
    int positions = 0, decimals = 0;
    bool afterPoint = false;
    for (char c : picture) {
        if (c == '.') {
            ++positions;
            afterPoint = true;
        } else if (isTemplateChar(c)) {
            ++positions;
            if (afterPoint) ++decimals;
        }
    }
    if (positions == 0) return std::string(picture);
    std::string digits = xbase::formatNumber(number, positions, decimals);
    std::string out;
    size_t next = 0;
    for (char c : picture) {
        if (c == '.' || isTemplateChar(c)) {
            out += digits[next++];
        } else {
            bool digitBefore = !out.empty() && out.back() != ' ';
            out += digitBefore ? c : ' ';
        }
    }
    return out;
}

}  // namespace

bool isTemplateChar(char c) {
    return c != '\0' && std::strchr("9X!AN#LY", c) != nullptr;
}

std::string effectivePicture(const core::Value& value, std::string_view picture) {
    switch (value.type) {
        case core::Type::Date:
            return "99.99.9999";
        case core::Type::Logical:
            return picture.empty() ? std::string("L") : std::string(picture);
        case core::Type::Number: {
            if (!picture.empty()) return std::string(picture);
            int width = value.width > 0 ? value.width : 10;
            int decimals = value.decimals;
            if (decimals > 0 && width > decimals + 1)
                return std::string(static_cast<size_t>(width - decimals - 1), '9') + "." +
                       std::string(static_cast<size_t>(decimals), '9');
            return std::string(static_cast<size_t>(width), '9');
        }
        case core::Type::Text:
            break;
    }
    return picture.empty() ? std::string(value.text.size(), 'X') : std::string(picture);
}

std::string formatValue(const core::Value& value, std::string_view picture) {
    const std::string mask = effectivePicture(value, picture);
    switch (value.type) {
        case core::Type::Date:
            return value.date.display();
        case core::Type::Logical: {
            bool yesNo = mask.find('Y') != std::string::npos;
            std::string out(mask.size(), ' ');
            if (!out.empty()) out[0] = value.logical ? (yesNo ? 'Y' : 'T') : (yesNo ? 'N' : 'F');
            return out;
        }
        case core::Type::Number:
            return formatNumberThrough(value.number, mask);
        case core::Type::Text:
            break;
    }
    std::string out;
    size_t next = 0;
    for (char m : mask) {
        if (!isTemplateChar(m)) {
            out += m;
            continue;
        }
        char c = next < value.text.size() ? value.text[next] : ' ';
        ++next;
        out += m == '!' ? core::cp852Upper(c) : c;
    }
    return out;
}

std::optional<char> acceptChar(char templateChar, char typed, core::Type type) {
    const bool sign = typed == '-' || typed == '+';
    if (type == core::Type::Logical || templateChar == 'L' || templateChar == 'Y') {
        const char u = core::cp852Upper(typed);
        const bool yes = u == 'T' || u == 'Y', no = u == 'F' || u == 'N';
        if (!yes && !no) return std::nullopt;
        if (templateChar == 'Y') return yes ? 'Y' : 'N';
        return yes ? 'T' : 'F';
    }
    if (static_cast<unsigned char>(typed) < 32) return std::nullopt;
    switch (templateChar) {
        case '9':
            if (isDigit(typed) || (type == core::Type::Number && sign)) return typed;
            return std::nullopt;
        case '#':
            if (isDigit(typed) || typed == ' ' || sign) return typed;
            return std::nullopt;
        case 'A':
            if (isLetter(typed)) return typed;
            return std::nullopt;
        case 'N':
            if (isLetter(typed) || isDigit(typed)) return typed;
            return std::nullopt;
        case '!':
            return core::cp852Upper(typed);
        case 'X':
            return typed;
        default:
            return std::nullopt;
    }
}

}  // namespace ui
