#include "velto/driver.h"

#include <cmath>

#include "lib/fun1.h"
#include "lib/fun3.h"
#include "lib/readl.h"
#include "platform/context.h"
#include "platform/core/value.h"
#include "platform/os/command.h"
#include "platform/os/file_handle.h"
#include "platform/os/files.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"
#include "platform/settings/settings.h"

namespace {

std::string digits(double n) { return std::to_string(static_cast<long>(std::lround(n))); }

}  // namespace

std::string driverCommand(Context& ctx, DriverRequest request) {
    std::string port = digits(ctx.settings->number("PORT"));
    double speed = ctx.settings->number("PREDKOSC");
    std::string cs = speed == 0 ? "9600" : digits(speed);
    switch (request) {
        case DriverRequest::SendPlu:
            return "veltodrv.exe dp=velto if=data_in.txt cp=" + port + " ct=20000 cs=" + cs;
        case DriverRequest::Answer:
            return "veltodrv.exe dp=velto if=data_in.txt af=T cp=" + port + " ct=20000 cs=" + cs;
        case DriverRequest::Departments: {
            std::string line = "veltodrv.exe dp=velto if=data_in.txt cp=" + port + " cs=" + cs;
            return FILE_X("veltowin.txt") ? "start /WAIT " + line : line;
        }
    }
    return {};
}

void runDriver(Context& ctx, DriverRequest request) {
    Procedure proc(ctx, "RUN_VELTO");
    std::string line = driverCommand(ctx, request);
    os::runCommand(line, {[&] { ctx.screen->suspend(); }, [&] { ctx.screen->resume(); }});
    ERROR_VELTO(ctx);
}

bool driverReportsSuccess(std::string_view errorText) {
    size_t semi = errorText.find(';');
    return semi == std::string_view::npos || core::readNumber(errorText.substr(0, semi)) <= 0;
}

void ERROR_VELTO(Context& ctx) {
    Procedure proc(ctx, "ERROR_VELTO");
    if (!FILE_X("velto\\error.txt")) return;
    std::string text = os::readFile("velto\\error.txt");
    if (driverReportsSuccess(text)) {
        OKNO_(ctx, "Wszystko dobrze", 3);
        return;
    }
    OKNO_(ctx, text.substr(0, 35));
    // The line number ends at a ";" that follows at least one character, within 30 characters.
    std::string rest = text.substr(text.find(';') + 1, 30);
    size_t end = rest.find(';', 1);
    int line = static_cast<int>(core::readNumber(end == std::string::npos ? rest : rest.substr(0, end)));
    // The driver counts the request's lines from 0; an older driver ("VELTO.OLD") from 1.
    if (!FILE_X("VELTO.OLD")) ++line;
    WIERSZ_III(ctx, "velto\\data_in.txt", line);
}

void WIERSZ_III(Context& ctx, std::string_view file, int line) {
    os::FileHandle f;
    if (!f.open(file)) return;
    int64_t size = f.size();
    for (int n = 1; f.position() < size; ++n) {
        std::string text = FREADLINE(f);
        if (n == line) {
            ctx.screen->clear(24, 0, 24, 79);
            ctx.screen->say(24, 0, text.substr(0, 79));
            ctx.screen->flush();
            ctx.keyboard->inkey(-1);
            break;
        }
    }
}
