#pragma once
// A flow's whole world for a test: virtual clock, headless screen and keyboard, settings and work areas,
// joined in a Context, working in a temporary data directory.
#include <memory>

#include "platform/workplace.h"
#include "support/test_support.h"

namespace testing_support {

// The clock and console come first: the workplace is joined to them.
struct HarnessDevices {
    os::VirtualClock clock;
    std::unique_ptr<screen::Console> console = screen::Console::headless(clock);
};

struct Harness : HarnessDevices, Workplace {
    TempDir dir;
    ChangeDir cd{dir.path()};

    Harness() : Workplace(clock, *console) {}
    ~Harness() {
        try {
            areas.closeAll();
        } catch (...) {
        }
    }
    screen::Headless& keys() { return *console->headless(); }
    screen::Screen& screen() { return console->screen(); }
    std::string row(int r) const { return console->screen().rowText(r); }
};

}  // namespace testing_support
