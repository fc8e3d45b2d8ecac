#pragma once
// Time of day and waiting. Flows wait only through a Clock, so tests of long waits (a 20-second lock
// wait) run on virtual time.
#include <functional>

#include "platform/core/date.h"

namespace os {

struct LocalTime {
    int year = 2000, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
    core::Date date() const { return core::Date::fromYmd(year, month, day); }
};

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds on a steady scale, for measuring waits.
    virtual double seconds() = 0;
    virtual LocalTime now() = 0;
    virtual void sleep(double seconds) = 0;
    core::Date today() { return now().date(); }
};

class SystemClock : public Clock {
public:
    double seconds() override;
    LocalTime now() override;
    void sleep(double seconds) override;
};

// Time moves only when someone sleeps (or the test advances it). A test may watch the sleeps, to
// count attempts or to make something happen at a given moment.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(LocalTime start = LocalTime{2024, 3, 15, 10, 0, 0});
    double seconds() override { return elapsed_; }
    LocalTime now() override;
    void sleep(double seconds) override;
    void advance(double seconds);
    void onSleep(std::function<void(double elapsed)> hook) { hook_ = std::move(hook); }
    int sleeps() const { return sleeps_; }

private:
    LocalTime start_;
    double elapsed_ = 0;
    int sleeps_ = 0;
    std::function<void(double)> hook_;
};

}  // namespace os
