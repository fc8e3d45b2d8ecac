#pragma once
// What a run of the program works with, joined in one Context: its settings, its work areas (stamping
// tables by the given clock), and the screen, keyboard and clock of a console. The program, the tests and
// the benchmarks set one up the same way. It stays where it was made: the context points into it.
#include "platform/context.h"
#include "platform/os/clock.h"
#include "platform/screen/console.h"
#include "platform/settings/settings.h"
#include "platform/xbase/workareas.h"

struct Workplace {
    settings::Settings settings;
    xbase::WorkAreas areas;
    Context ctx;

    Workplace(os::Clock& clock, screen::Console& console) {
        areas.setClock(&clock);
        ctx.settings = &settings;
        ctx.areas = &areas;
        console.attach(ctx);
    }
    Workplace(const Workplace&) = delete;
    Workplace& operator=(const Workplace&) = delete;
};
