#include "velto/period.h"

#include <cmath>
#include <cstdio>

#include "platform/core/date.h"
#include "platform/core/value.h"

namespace {

// Two-digit years whose first digit is 9 are of the 1900s, all others of the 2000s.
std::string fourDigitYear(std::string_view period) {
    std::string yy(period.substr(0, 2));
    return (yy.size() == 2 && yy[0] == '9' ? "19" : "20") + yy;
}

std::string month(std::string_view period) {
    return period.size() >= 5 ? std::string(period.substr(3, 2)) : "  ";
}

}  // namespace

std::string P_MIES(std::string_view period) {
    return "01." + month(period) + "." + fourDigitYear(period);
}

std::string K_MIES_FK(std::string_view period) {
    std::string mm = month(period), yyyy = fourDigitYear(period);
    std::string day;
    if (mm == "01" || mm == "03" || mm == "05" || mm == "07" || mm == "08" || mm == "10" || mm == "12")
        day = "31";
    else if (mm == "04" || mm == "06" || mm == "09" || mm == "11")
        day = "30";
    else
        day = core::Date::leapYear(std::atoi(yyyy.c_str())) ? "29" : "28";
    return day + "." + mm + "." + yyyy;
}

double NEWROUND(double value, int decimals) {
    // Values meant to end in 5 at the first dropped place but held a hair below it (2.675) round up.
    double shifted = value + 0.00000001;
    double scale = decimals >= 0 && decimals <= 22 ? core::powerOfTen(decimals) : std::pow(10.0, decimals);
    double scaled = shifted * scale;
    // Half away from zero. Representation noise of the multiplication (1.005 * 100 = 100.49999...) must
    // not decide the result: a scaled value within the ninth decimal of one half is taken as its decimal
    // text says. Any other value rounds the same way from its text or from itself (they differ by less
    // than that), so the text is made only where it matters: this runs for every stored number.
    double exact = scaled;
    double magnitude = std::fabs(scaled);
    if (!(std::fabs(magnitude - std::floor(magnitude) - 0.5) > 1e-9)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.9f", scaled);
        exact = std::strtod(buf, nullptr);
    }
    double rounded = exact < 0 ? -std::floor(-exact + 0.5) : std::floor(exact + 0.5);
    return rounded / scale;
}
