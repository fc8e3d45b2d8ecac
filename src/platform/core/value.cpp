#include "platform/core/value.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace core {

double powerOfTen(int n) {
    static const double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                     1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    return kPowers[n];
}

double readNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    const size_t start = i;
    bool minus = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) minus = text[i++] == '-';
    bool point = false, any = false;
    uint64_t mantissa = 0;
    int significant = 0, decimals = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            any = true;
            if (significant > 0 || c != '0') ++significant;
            if (significant <= 15) mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
            if (point) ++decimals;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return 0;
    // Up to 15 digits and 22 decimals the mantissa and the power of ten are exact doubles, and one
    // division of exact doubles rounds correctly: the nearest double, as strtod gives it.
    if (significant <= 15 && decimals <= 22) {
        double v = static_cast<double>(mantissa) / powerOfTen(decimals);
        return minus ? -v : v;
    }
    // strtod rounds correctly, so "0.07" reads as the nearest double, as a literal would.
    std::string digits(text.substr(start, i - start));
    return std::strtod(digits.c_str(), nullptr);
}

}  // namespace core
