#pragma once
// Calendar dates as Julian day numbers, the form dBASE keeps them in (0 is the empty date).
#include <cstdint>
#include <string>
#include <string_view>

namespace core {

class Date {
public:
    Date() = default;
    static Date fromJulian(int32_t julian) { return Date(julian); }
    // An invalid calendar date gives the empty date.
    static Date fromYmd(int year, int month, int day);
    // "YYYYMMDD"; blanks or an invalid date give the empty date.
    static Date fromDtos(std::string_view text);
    // "dd.mm.yyyy", the process-wide display form; anything else gives the empty date.
    static Date fromDisplay(std::string_view text);

    bool empty() const { return julian_ == 0; }
    int32_t julian() const { return julian_; }
    int year() const;
    int month() const;
    int day() const;
    // 1 = Sunday ... 7 = Saturday, as DOW() counts.
    int dayOfWeek() const;

    std::string dtos() const;     // "YYYYMMDD", 8 blanks when empty
    std::string display() const;  // "dd.mm.yyyy", blanks with dots when empty

    Date operator+(int days) const { return empty() ? Date() : Date(julian_ + days); }
    int operator-(Date other) const { return julian_ - other.julian_; }
    auto operator<=>(const Date&) const = default;

    static bool validYmd(int year, int month, int day);
    static bool leapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

private:
    explicit Date(int32_t julian) : julian_(julian) {}
    int32_t julian_ = 0;
};

}  // namespace core
