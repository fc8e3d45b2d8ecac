#pragma once
// The real terminal through ncursesw: code page 852 cells are shown as Unicode in 16 colours, keys are
// read with the console's numbering. The terminal must be at least 80x25; the screen sits at its top
// left. When it ends, the last screen is printed back on the terminal's normal screen so that it stays
// visible after the program.
#include <deque>
#include <map>
#include <memory>
#include <stdexcept>

#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"

namespace screen {

// The terminal cannot be used (not a terminal, or smaller than 80x25). The message is meant for stderr.
class TerminalError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Terminal : public Backend, public KeySource {
  public:
    // Takes over the terminal on standard input and output; throws TerminalError.
    static std::unique_ptr<Terminal> open();
    ~Terminal() override;

    // Gives the terminal back, printing `last` (the final screen) on its normal screen with the cursor
    // where the program left it. Idempotent.
    void end(const Screen& last);

    // Backend
    void flush(const std::vector<CellChange>& changes, const CursorState& cursor) override;
    void suspend() override;
    void resume() override;

    // KeySource
    int poll() override;
    void wait(os::Clock& clock, double seconds) override;
    void discard() override;

  private:
    Terminal();
    // One key from ncurses within `millis` (-1 waits for ever), translated; 0 when none came.
    int read(int millis);
    int translate(int status, unsigned key);
    int pairOf(int foreground, int background);

    bool active_ = false;
    bool suspended_ = false;
    int colours_ = 8;
    std::deque<int> pending_;
    std::map<int, int> pairs_;
    int nextPair_ = 1;
    int cursorShown_ = -1;  // unknown at first
};

}  // namespace screen
