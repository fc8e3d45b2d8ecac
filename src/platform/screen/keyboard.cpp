#include "platform/screen/keyboard.h"

#include "platform/os/clock.h"

namespace screen {

Keyboard::Keyboard(KeySource& source, os::Clock& clock) : source_(source), clock_(clock) {}

int Keyboard::inkey(double timeoutSeconds) {
    if (!typeahead_.empty()) {
        lastKey_ = typeahead_.front();
        typeahead_.pop_front();
        return lastKey_;
    }
    if (idle_) idle_();
    const double start = clock_.seconds();
    for (;;) {
        if (int k = source_.poll()) return lastKey_ = k;
        if (timeoutSeconds == 0) return 0;
        double remaining = -1;
        if (timeoutSeconds > 0) {
            remaining = timeoutSeconds - (clock_.seconds() - start);
            if (remaining <= 0) return 0;
        }
        source_.wait(clock_, remaining);
    }
}

int Keyboard::nextKey() {
    if (typeahead_.empty()) {
        int k = source_.poll();
        if (!k) return 0;
        typeahead_.push_back(k);
    }
    return typeahead_.front();
}

void Keyboard::clear() {
    typeahead_.clear();
    source_.discard();
}

}  // namespace screen
