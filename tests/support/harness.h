#pragma once
// A flow's whole world for a test: virtual clock, headless screen and keyboard, settings and work areas,
// joined in a Context, working in a temporary data directory.
#include <memory>

#include "platform/context.h"
#include "platform/os/clock.h"
#include "platform/screen/console.h"
#include "platform/settings/settings.h"
#include "platform/xbase/workareas.h"
#include "support/test_support.h"

namespace testing_support {

struct Harness {
    os::VirtualClock clock;
    std::unique_ptr<screen::Console> console = screen::Console::headless(clock);
    settings::Settings settings;
    xbase::WorkAreas areas;
    Context ctx;
    TempDir dir;
    ChangeDir cd{dir.path()};

    Harness() {
        areas.setClock(&clock);
        ctx.settings = &settings;
        ctx.areas = &areas;
        console->attach(ctx);
    }
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
