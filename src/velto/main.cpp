// veltortp: the program's entry point. The one optional argument changes nothing.
#include <cstdio>
#include <exception>
#include <memory>

#include "lib/errorsys.h"
#include "platform/workplace.h"
#include "velto/startup.h"

int main() {
    os::SystemClock clock;
    std::unique_ptr<screen::Console> console;
    try {
        console = screen::Console::terminal(clock);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    Workplace work(clock, *console);
    Context& ctx = work.ctx;

    int status;
    try {
        status = VELTO(ctx);
    } catch (const ProcessExit& exit) {
        status = exit.status;
    } catch (const core::RuntimeError& error) {
        try {
            runtimeErrorBox(ctx, error, false, false);
            status = 1;
        } catch (const ProcessExit& exit) {
            status = exit.status;
        }
    }
    try {
        work.areas.closeAll();
    } catch (const std::exception&) {
        // The tables are closed by the system when the process ends; nothing more to do here.
    }
    console->end();
    return status;
}
