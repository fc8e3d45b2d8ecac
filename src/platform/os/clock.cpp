#include "platform/os/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace os {

double SystemClock::seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

LocalTime SystemClock::now() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void SystemClock::sleep(double s) {
    if (s > 0) std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

VirtualClock::VirtualClock(LocalTime start) : start_(start) {}

LocalTime VirtualClock::now() {
    core::Date d = start_.date();
    long secs = start_.hour * 3600L + start_.minute * 60L + start_.second + static_cast<long>(elapsed_);
    d = d + static_cast<int>(secs / 86400);
    secs %= 86400;
    return LocalTime{d.year(), d.month(), d.day(), static_cast<int>(secs / 3600),
                     static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60)};
}

void VirtualClock::sleep(double s) {
    ++sleeps_;
    advance(s);
    if (hook_) hook_(elapsed_);
}

void VirtualClock::advance(double s) {
    if (s > 0) elapsed_ += s;
}

}  // namespace os
