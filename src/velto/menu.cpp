#include "velto/menu.h"

#include <string>

#include "lib/fun1.h"
#include "lib/fun2.h"
#include "platform/context.h"
#include "platform/core/cp852.h"
#include "platform/os/files.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"
#include "platform/settings/settings.h"
#include "platform/ui/menu.h"
#include "platform/xbase/field.h"
#include "platform/xbase/workareas.h"
#include "velto/driver.h"
#include "velto/exchange.h"
#include "velto/flows.h"
#include "velto/par_velto.h"
#include "velto/plu_registry.h"
#include "velto/register_table.h"
#include "velto/send_answer.h"

using namespace core::literals;
using core::Value;

namespace {

constexpr int kRegistrySlot = 102;

std::string pad(std::string_view text, size_t width) {
    std::string s(text);
    s.resize(width, ' ');
    return s;
}

void declareSelection(Context& ctx) {
    auto& s = *ctx.settings;
    s.declarePrivate("NR_KASY", Value::ofText("01"));
    s.declarePrivate("OPIS", Value::ofText(std::string(28, ' ')));
    s.declarePrivate("PORT", Value::ofNumber(1));
    s.declarePrivate("PREDKOSC", Value::ofNumber(9600));
    s.declarePrivate("PS_MAG", Value::ofText(" "));
    s.declarePrivate("PS_MAG_NO", Value::ofText(" "));
    s.declarePrivate("M_MAGAZYN", Value::ofText(std::string(10, ' ')));
    s.declarePrivate("ZNALAZL", Value::ofLogical(false));
    s.declarePrivate("WYBOR", Value::ofNumber(2));
}

void drawMenuScreen(Context& ctx) {
    auto& s = *ctx.screen;
    auto& settings = *ctx.settings;
    s.setColour("");
    s.clear();
    s.setCursor(0, 0);
    s.say(0, 0, pad(" KLOVARNIA - systemy dla handlu          tel. (22) 555 01 00, (22) 555 01 01", 80));
    s.say(1, 0, pad(" ul. Magazynowa 7, 05-800 Pruszkow       serwis: serwis@klovarnia.pl", 80));
    s.say(3, 10, "    KASA VELTO                                    ");
    s.say(24, 0, "Enter - Wybor                                                      Esc - Wyjscie");
    RAMKA(ctx, 3, 9, 14, 61, {6, 9, 12});

    s.setColour("W+");
    s.clear(22, 0, 22, 79, s.standard());
    auto& velto = ctx.areas->table("velto");
    s.say(22, 0, settings.text("NR_KASY") + " " + velto.get("POPIS").text + " " +
                     xbase::formatNumber(velto.get("PPORT").number, 2, 0));
    std::string mag = settings.text("PS_MAG");
    if (mag.find_first_not_of(' ') != std::string::npos) s.say(22, 43, mag + " - magazyn");
    s.setColour("");
    std::string line;
    for (int i = 0; i < 80; ++i) line += "─"_cp;
    s.say(23, 0, line);
}

void programDepartments(Context& ctx) {
    if (!OKNO(ctx, "Programowac dzialy ?", " ")) return;
    std::vector<std::string> records{std::string(kRequestDepartments)};
    records.insert(records.end(), departmentRecords().begin(), departmentRecords().end());
    writeExchangeFile(ctx, records, true);
    runDriver(ctx, DriverRequest::Departments);
}

void discardRegistry(Context& ctx) {
    if (!OKNO(ctx, "Skasowac plik velto\\as2000.dbf ?", "T")) return;
    ctx.areas->close(kRegistrySlot);
    os::erase("velto\\as2000.dbf");
    os::erase("velto\\as2000.ntx");
    ctx.areas->select(1);
}

// The registry keeps what a sending wrote only once the register has confirmed the transmission.
void sendGoods(Context& ctx) {
    if (!TWORZ_U(ctx)) return;
    if (!OKNO(ctx, "Kasa gotowa do transmisji ?", " ")) return settleSending(ctx, false);
    OKNO_(ctx, "Przesylam dane - czekac", "...");
    DriverFileMark errorFile(kErrorFile);
    runDriver(ctx, DriverRequest::SendPlu);
    settleSending(ctx, driverConfirmed(errorFile));
}

}  // namespace

void VELTO_(Context& ctx) {
    Procedure proc(ctx, "VELTO_");
    auto& areas = *ctx.areas;
    auto& settings = *ctx.settings;
    declareSelection(ctx);
    int remembered = areas.current();
    areas.select(kRegisterSlot);
    if (!openRegisterTable(ctx)) return;

    ui::Menu menu;
    const char* prompts[] = {" 0. Wybor kasy, parametry", nullptr, "*2. Odebranie sprzedazy z kasy",
                             " 3. Programowanie dzialow", " 4. Kasowanie pliku velto\\as2000.dbf", "*5. Kasowanie PLU"};
    const int rows[] = {5, 7, 8, 10, 11, 13};
    for (int i = 0; i < 6; ++i) {
        std::string text = prompts[i] ? std::string(prompts[i]) : std::string("*1. Przesłanie danych do kasy"_cp);
        menu.prompt(rows[i], 10, pad(text, 51));
    }

    while (settings.number("WYBOR") != 0) {
        drawMenuScreen(ctx);
        int choice = menu.run(ctx, static_cast<int>(settings.number("WYBOR")));
        settings.set("WYBOR", Value::ofNumber(choice));
        if (choice == 0) break;
        areas.select(1);
        areas.commitAll();
        switch (choice) {
            case 1: PAR_VELTO(ctx); break;
            case 2: sendGoods(ctx); break;
            case 3: receiveSales(ctx); break;
            case 4: programDepartments(ctx); break;
            case 5: discardRegistry(ctx); break;
            case 6: deletePlus(ctx); break;
        }
    }
    areas.close(kRegisterSlot);
    areas.select(remembered);
}
