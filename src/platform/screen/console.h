#pragma once
// The screen, the keyboard and their backend, owned together. The program's start-up:
//
//     os::SystemClock clock;
//     std::unique_ptr<screen::Console> console;
//     try {
//         console = screen::Console::terminal(clock);
//     } catch (const screen::TerminalError& e) {
//         std::fprintf(stderr, "%s\n", e.what());
//         return 1;
//     }
//     console->attach(ctx);      // ctx.screen, ctx.keyboard, ctx.clock
//     ...                        // the program runs
//     console->end();            // or let it go: the last screen stays on the terminal
//
// Tests use Console::headless(virtualClock) and feed keys through headless().
#include <memory>

#include "platform/screen/headless.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"
#include "platform/screen/terminal.h"

struct Context;
namespace os {
class Clock;
}

namespace screen {

class Console {
  public:
    // The real terminal; throws TerminalError (not a terminal, smaller than 80x25) with a message for
    // stderr. Only one terminal console may exist at a time.
    static std::unique_ptr<Console> terminal(os::Clock& clock);
    static std::unique_ptr<Console> headless(os::Clock& clock);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    Screen& screen() { return screen_; }
    Keyboard& keyboard() { return *keyboard_; }
    os::Clock& clock() { return clock_; }
    // The test backend, or null on the terminal.
    Headless* headless() { return headless_.get(); }

    // Points the context's screen, keyboard and clock here.
    void attach(Context& ctx);

    // Gives the terminal back, leaving the last screen visible. Also done by the destructor and, when the
    // process ends through std::exit, at exit.
    void end();

  private:
    explicit Console(os::Clock& clock);

    os::Clock& clock_;
    Screen screen_;
    std::unique_ptr<Terminal> terminal_;
    std::unique_ptr<Headless> headless_;
    std::unique_ptr<Keyboard> keyboard_;
};

}  // namespace screen
