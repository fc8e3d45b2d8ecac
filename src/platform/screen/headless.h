#pragma once
// The screen and keyboard without a terminal, for tests: keys are fed in (or produced by a callback
// that sees the virtual time) and the screen is read back from the cell model.
#include <deque>
#include <functional>
#include <initializer_list>
#include <string_view>

#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"

namespace screen {

class Headless : public Backend, public KeySource {
  public:
    explicit Headless(os::Clock& clock) : clock_(clock) {}

    // Keys the operator presses, in order. They stand for keys pressed when the program asks, so
    // clearing the keyboard does not drop them (typeahead pushed by the program is dropped).
    void type(int key) { keys_.push_back(key); }
    void type(std::initializer_list<int> keys) { keys_.insert(keys_.end(), keys); }
    // Characters of a text, code page 852.
    void typeText(std::string_view text);
    std::size_t pendingKeys() const { return keys_.size(); }

    // Consulted when no fed key is left, with the clock's seconds; returns a key or 0. Waits then pass in
    // steps of `step` seconds so that the callback sees the time move.
    void onKeyWanted(std::function<int(double seconds)> callback, double step = 0.1) {
        callback_ = std::move(callback);
        step_ = step;
    }

    int flushes() const { return flushes_; }
    const CursorState& cursor() const { return cursor_; }
    int suspensions() const { return suspensions_; }

    // Backend
    void flush(const std::vector<CellChange>& changes, const CursorState& cursor) override;
    void suspend() override { ++suspensions_; }

    // KeySource
    int poll() override;
    void wait(os::Clock& clock, double seconds) override;

  private:
    os::Clock& clock_;
    std::deque<int> keys_;
    std::function<int(double)> callback_;
    double step_ = 0.1;
    double waitedForEver_ = 0;
    int flushes_ = 0;
    int suspensions_ = 0;
    CursorState cursor_;
};

}  // namespace screen
