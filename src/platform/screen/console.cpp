#include "platform/screen/console.h"

#include <cstdlib>

#include "platform/context.h"

namespace screen {

namespace {
Console* gTerminalConsole = nullptr;

void endAtExit() {
    if (gTerminalConsole) gTerminalConsole->end();
}
}  // namespace

Console::Console(os::Clock& clock) : clock_(clock) {}

std::unique_ptr<Console> Console::terminal(os::Clock& clock) {
    if (gTerminalConsole) throw TerminalError("VELTO: terminal jest juz w uzyciu");
    std::unique_ptr<Console> c(new Console(clock));
    c->terminal_ = Terminal::open();
    c->keyboard_ = std::make_unique<Keyboard>(*c->terminal_, clock);
    c->screen_.setBackend(c->terminal_.get());
    Screen* s = &c->screen_;
    c->keyboard_->onIdle([s] { s->flush(); });
    static bool registered = false;
    if (!registered) registered = std::atexit(endAtExit) == 0;
    gTerminalConsole = c.get();
    c->screen_.flush();
    return c;
}

std::unique_ptr<Console> Console::headless(os::Clock& clock) {
    std::unique_ptr<Console> c(new Console(clock));
    c->headless_ = std::make_unique<Headless>(clock);
    c->keyboard_ = std::make_unique<Keyboard>(*c->headless_, clock);
    c->screen_.setBackend(c->headless_.get());
    Screen* s = &c->screen_;
    c->keyboard_->onIdle([s] { s->flush(); });
    return c;
}

Console::~Console() {
    end();
    screen_.setBackend(nullptr);
}

void Console::attach(Context& ctx) {
    ctx.screen = &screen_;
    ctx.keyboard = keyboard_.get();
    ctx.clock = &clock_;
}

void Console::end() {
    if (gTerminalConsole == this) gTerminalConsole = nullptr;
    if (!terminal_) return;
    screen_.flush();
    terminal_->end(screen_);
}

}  // namespace screen
