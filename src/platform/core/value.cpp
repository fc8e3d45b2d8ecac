#include "platform/core/value.h"

#include <cstdlib>

namespace core {

double readNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    std::string digits;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) digits += text[i++];
    bool point = false, any = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            digits += c;
            any = true;
        } else if (c == '.' && !point) {
            digits += c;
            point = true;
        } else {
            break;
        }
    }
    if (!any) return 0;
    // strtod rounds correctly, so "0.07" reads as the nearest double, as a literal would.
    return std::strtod(digits.c_str(), nullptr);
}

}  // namespace core
