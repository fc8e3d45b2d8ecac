// Receiving sales: main-menu item "*2. Odebranie sprzedazy z kasy".
#include <unistd.h>

#include <string>

#include "lib/fun1.h"
#include "platform/context.h"
#include "platform/core/cp852.h"
#include "platform/core/text.h"
#include "platform/os/clock.h"
#include "platform/os/files.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"
#include "platform/settings/settings.h"
#include "platform/ui/form.h"
#include "platform/xbase/workareas.h"
#include "velto/driver.h"
#include "velto/exchange.h"
#include "velto/flows.h"
#include "velto/period.h"
#include "velto/sales_import.h"

using namespace core::literals;
using core::Value;

namespace {

constexpr std::string_view kReport = "velto\\data_out.txt";
constexpr std::string_view kOutsideReport = "velto\\data_out.xxx";
// Where the previous report goes before the driver runs, so that only a report the driver has just
// written is booked; its archive copy under VELTO_SD was made when it was read.
constexpr std::string_view kPreviousReport = "velto\\data_out.old";

std::string twoDigits(int n) {
    return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

// The console's tone: a terminal only rings its bell, for as long as the tone would sound.
void TONE(Context& ctx, int /*hertz*/, int ticks) {
    if (isatty(STDOUT_FILENO)) {
        [[maybe_unused]] ssize_t n = write(STDOUT_FILENO, "\a", 1);
    }
    ctx.clock->sleep(ticks / 18.2);
}

// The sales date: today inside the period, else the period's last day when the period is over, else its
// first day.
core::Date workingDate(Context& ctx) {
    const std::string hh = ctx.settings->text("HH");
    const os::LocalTime now = ctx.clock->now();
    const core::Date today = now.date();
    if (hh == twoDigits(now.year % 100) + "\\" + twoDigits(now.month)) return today;
    core::Date last = core::Date::fromDisplay(K_MIES_FK(hh));
    if (today > last) return last;
    return core::Date::fromDisplay(P_MIES(hh));
}

void showCompany(Context& ctx) {
    auto& s = *ctx.screen;
    auto& firma = ctx.areas->table("firma");
    s.setColour("");
    s.clear(0, 0, 2, 79);
    s.say(0, 19, "Jestes w programie firmy :", "R+/N");
    s.say(1, 19, "══════════════════════════"_cp, "R+/N");
    s.say(0, 50, firma.get("NODB").text, "R+*/N");
    s.say(1, 50, firma.get("NODB1").text, "R+*/N");
    s.say(2, 50, firma.get("NODB2").text, "R+*/N");
    s.setColour("");
}

// The warehouse to receive into, or to leave out, on row 24. False after Esc.
bool askWarehouse(Context& ctx) {
    auto& s = *ctx.screen;
    s.setColour("");
    s.setCursorVisible(true);
    s.clear(24, 0, 24, 79);
    s.say(24, 0, "Pobrac na magazyn:");
    s.say(24, 25, "albo     Pominac magazyn:");
    ui::Form form(ctx);
    form.field(24, 19, ui::bindSetting(*ctx.settings, "PS_MAG"), "!");
    form.field(24, 51, ui::bindSetting(*ctx.settings, "PS_MAG_NO"), "!");
    return form.read();
}

// Imports the report the register left for us, and erases it when it came from outside.
void importReport(Context& ctx) {
    if (os::exists(kOutsideReport)) {
        ZROB_SD_ZETO(ctx, kOutsideReport);
        os::erase(kOutsideReport);
    } else {
        ZROB_SD_ZETO(ctx, kReport);
    }
}

}  // namespace

void receiveSales(Context& ctx) {
    Procedure proc(ctx, "ODBIERZ_SD");
    auto& settings = *ctx.settings;

    // A report left by someone else is booked as it is, without a question or a driver run.
    if (os::exists(kOutsideReport)) {
        OKNO_(ctx, "Wczytuje: velto\\data_out.xxx");
        ZROB_SD_ZETO(ctx, kOutsideReport);
        os::erase(kOutsideReport);
        return;
    }

    showCompany(ctx);
    const core::Date date = workingDate(ctx);
    settings.set("M_DATA", Value::ofDate(date));

    if (core::contains(core::upperAscii(settings.text("J_NAZWA")), "KOD13") && !askWarehouse(ctx)) {
        OKNO_(ctx, "Przemysl to sobie");
        settings.set("WYBOR", Value::ofNumber(0));  // the menu ends, and with it the program
        return;
    }

    if (!OKNO(ctx, "Odebrac sprzedaz z data " + date.display() + " ?", " ")) {
        TONE(ctx, 3000, 2);
        OKNO_(ctx, "Zmien okres obrachunkowy lub date", "...");
        ctx.keyboard->inkey(3);
        return;
    }

    OKNO_(ctx, "Odbieram sprzedaz - czekac", "...");
    const std::string mag = settings.text("PS_MAG");
    if (mag.find_first_not_of(' ') != std::string::npos) OKNO_(ctx, "Odbieram sprzedaz na mag " + mag, "...");
    writeExchangeFile(ctx, {std::string(kRequestSales)});

    if (os::exists(kReport)) {
        os::erase(kPreviousReport);
        if (!os::rename(kReport, kPreviousReport)) os::erase(kReport);
    }
    runDriver(ctx, DriverRequest::Answer);
    importReport(ctx);
}
