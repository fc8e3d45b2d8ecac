#include "platform/core/date.h"

#include <cstdio>

namespace core {
namespace {

// Gregorian calendar to Julian day number and back (Fliegel and Van Flandern).
int32_t toJulian(int y, int m, int d) {
    return (1461 * (y + 4800 + (m - 14) / 12)) / 4 + (367 * (m - 2 - 12 * ((m - 14) / 12))) / 12 -
           (3 * ((y + 4900 + (m - 14) / 12) / 100)) / 4 + d - 32075;
}

void splitJulian(int32_t jd, int& y, int& m, int& d) {
    int32_t l = jd + 68569;
    int32_t n = 4 * l / 146097;
    l = l - (146097 * n + 3) / 4;
    int32_t i = 4000 * (l + 1) / 1461001;
    l = l - 1461 * i / 4 + 31;
    int32_t j = 80 * l / 2447;
    d = l - 2447 * j / 80;
    l = j / 11;
    m = j + 2 - 12 * l;
    y = 100 * (n - 49) + i + l;
}

bool allDigits(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

int number(std::string_view s) {
    int v = 0;
    for (char c : s) v = v * 10 + (c - '0');
    return v;
}

}  // namespace

bool Date::validYmd(int year, int month, int day) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    int last = days[month - 1] + (month == 2 && leapYear(year) ? 1 : 0);
    return day <= last;
}

Date Date::fromYmd(int year, int month, int day) {
    if (!validYmd(year, month, day)) return Date();
    return Date(toJulian(year, month, day));
}

Date Date::fromDtos(std::string_view text) {
    if (text.size() != 8 || !allDigits(text)) return Date();
    return fromYmd(number(text.substr(0, 4)), number(text.substr(4, 2)), number(text.substr(6, 2)));
}

Date Date::fromDisplay(std::string_view text) {
    if (text.size() != 10 || text[2] != '.' || text[5] != '.') return Date();
    auto dd = text.substr(0, 2), mm = text.substr(3, 2), yy = text.substr(6, 4);
    if (!allDigits(dd) || !allDigits(mm) || !allDigits(yy)) return Date();
    return fromYmd(number(yy), number(mm), number(dd));
}

int Date::year() const {
    if (empty()) return 0;
    int y, m, d;
    splitJulian(julian_, y, m, d);
    return y;
}

int Date::month() const {
    if (empty()) return 0;
    int y, m, d;
    splitJulian(julian_, y, m, d);
    return m;
}

int Date::day() const {
    if (empty()) return 0;
    int y, m, d;
    splitJulian(julian_, y, m, d);
    return d;
}

int Date::dayOfWeek() const { return empty() ? 0 : static_cast<int>((julian_ + 1) % 7) + 1; }

std::string Date::dtos() const {
    if (empty()) return std::string(8, ' ');
    int y, m, d;
    splitJulian(julian_, y, m, d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
    return buf;
}

std::string Date::display() const {
    if (empty()) return "  .  .    ";
    int y, m, d;
    splitJulian(julian_, y, m, d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", d, m, y);
    return buf;
}

}  // namespace core
