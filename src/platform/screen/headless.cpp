#include "platform/screen/headless.h"

#include <algorithm>

#include "platform/os/clock.h"

namespace screen {

namespace {
// A wait for ever that has seen no key for a virtual day is a test that ran out of keys.
constexpr double kGiveUpSeconds = 86400;
}  // namespace

void Headless::typeText(std::string_view text) {
    for (char c : text) keys_.push_back(key::character(c));
}

void Headless::flush(const std::vector<CellChange>&, const CursorState& cursor) {
    ++flushes_;
    cursor_ = cursor;
}

int Headless::poll() {
    if (!keys_.empty()) {
        int k = keys_.front();
        keys_.pop_front();
        waitedForEver_ = 0;
        return k;
    }
    if (callback_) {
        if (int k = callback_(clock_.seconds())) {
            waitedForEver_ = 0;
            return k;
        }
    }
    return 0;
}

void Headless::wait(os::Clock& clock, double seconds) {
    if (!callback_) {
        if (seconds < 0) throw KeysExhausted();
        clock.sleep(seconds);
        return;
    }
    double step = seconds < 0 ? step_ : std::min(step_, seconds);
    if (seconds < 0) {
        waitedForEver_ += step;
        if (waitedForEver_ > kGiveUpSeconds) throw KeysExhausted();
    }
    clock.sleep(step);
}

}  // namespace screen
