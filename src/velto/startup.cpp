#include "velto/startup.h"

#include <string>

#include "lib/fun1.h"
#include "lib/fun3.h"
#include "platform/context.h"
#include "platform/core/value.h"
#include "platform/os/clock.h"
#include "platform/os/files.h"
#include "platform/os/path.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"
#include "platform/settings/mem_file.h"
#include "platform/settings/settings.h"
#include "velto/init_dbf.h"
#include "velto/menu.h"
#include "velto/net.h"
#include "velto/public_settings.h"

using core::Value;

namespace {

const char kParameterFile[] = "PARAMETR.MEM";

void shutdownScreen(Context& ctx) {
    auto& s = *ctx.screen;
    s.setColour("");
    s.setCursorVisible(true);
    s.clear();
    s.setCursor(0, 0);
    s.newline();
    s.out("Koniec pracy programu VELTO");
    s.flush();
}

}  // namespace

void readOrWriteParameters(Context& ctx) {
    auto& settings = *ctx.settings;
    if (os::exists(kParameterFile)) {
        // Every entry overwrites the same-named setting, value and type, or creates it; a damaged file is a
        // fatal error before anything is written, so the file is never overwritten.
        for (auto& [name, value] : settings::readMemFile(os::resolve(kParameterFile), kParameterFile))
            settings.set(name, value);
    } else {
        settings::writeMemFile(os::resolve(kParameterFile), settings.publicsWithPrefix("J_"), kParameterFile);
    }
}

void setSalesDocumentKind(Context& ctx) {
    std::string kind = "SD ";
    if (FILE_X("SD_VELTO.TXT")) {
        std::string text = os::readFile("SD_VELTO.TXT");
        const char* trimmed = " \t\r\n";
        size_t first = text.find_first_not_of(trimmed);
        std::string code;
        if (first != std::string::npos) code = text.substr(first, text.find_last_not_of(trimmed) - first + 1);
        code = code.substr(0, 3);
        code.resize(3, ' ');
        // Only codes beginning with an upper-case S, R or F name a sales kind.
        if (code != "   " && (code[0] == 'S' || code[0] == 'R' || code[0] == 'F')) kind = code;
    }
    ctx.settings->set("M_SD", Value::ofText(kind));
}

int VELTO(Context& ctx) {
    Procedure proc(ctx, "VELTO");
    auto& s = *ctx.screen;
    auto& settings = *ctx.settings;

    // The cursor stays hidden while the settings and the parameter file are being set up.
    s.setCursorVisible(false);
    createPublicSettings(settings, ctx.clock->today());
    readOrWriteParameters(ctx);

    ctx.keyboard->clear();
    s.clear();
    s.setColour("");
    s.setCursorVisible(true);
    OKNO_(ctx, "PROSZE CZEKAC", "...");

    int station = IN_NET(ctx);
    settings.set("STACJA", Value::ofNumber(station));
    if (station == 0) return 0;  // the reason is on the screen already
    if (!INIT_DBF(ctx)) {
        OUT_NET(ctx);
        return 0;
    }

    settings.set("PLIK", Value::ofText("rob\\wydruk" + STR2(station) + ".prn"));
    setSalesDocumentKind(ctx);

    VELTO_(ctx);

    OUT_NET(ctx);
    shutdownScreen(ctx);
    return 0;
}
