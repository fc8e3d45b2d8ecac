#pragma once
// What a procedure reaches the platform through: one context object passed by reference, so that a test
// can run a flow on a headless screen over a temporary data directory.
#include <string>
#include <vector>

namespace settings {
class Settings;
}
namespace xbase {
class WorkAreas;
}
namespace screen {
class Screen;
class Keyboard;
}
namespace os {
class Clock;
}

struct Context {
    settings::Settings* settings = nullptr;
    xbase::WorkAreas* areas = nullptr;
    screen::Screen* screen = nullptr;
    screen::Keyboard* keyboard = nullptr;
    os::Clock* clock = nullptr;
    // Names of the procedures running, outermost first; shown when a fatal error ends the process.
    std::vector<std::string> chain;
    // The chain as it stood when an error first began to unwind it, for the error report.
    std::vector<std::string> failedChain;
};

// One per running procedure: names it in the chain and owns its private settings (a settings scope).
class Procedure {
public:
    Procedure(Context& ctx, const char* name);
    ~Procedure();
    Procedure(const Procedure&) = delete;
    Procedure& operator=(const Procedure&) = delete;

private:
    Context& ctx_;
    int uncaught_;
};
