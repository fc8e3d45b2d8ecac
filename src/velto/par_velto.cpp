#include "velto/par_velto.h"

#include <string>

#include "lib/locks.h"
#include "platform/context.h"
#include "platform/core/cp852.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"
#include "platform/settings/settings.h"
#include "platform/ui/browser.h"
#include "platform/ui/form.h"
#include "platform/ui/picture.h"
#include "platform/xbase/workareas.h"
#include "velto/register_table.h"

using namespace core::literals;
using core::Value;

namespace {

// The columns of the browser and of the highlight: field, display mask, screen column.
struct Column {
    const char* field;
    std::string picture;
    int col;
};
const Column kColumns[] = {
    {"PKASA", "!!", 0}, {"POPIS", std::string(26, 'X'), 3}, {"PPORT", "999", 30},
    {"PPREDKOSC", "99999999", 34}, {"PMAG", "!", 43},
};

// The line speed a register row and the driver's command line can hold.
constexpr double kMaxSpeed = 99999;

xbase::Table& registers(Context& ctx) { return ctx.areas->table("velto"); }

void drawScreen(Context& ctx) {
    auto& s = *ctx.screen;
    auto& settings = *ctx.settings;
    s.setColour("");
    s.clear();
    std::string title = " Wybor kasy, parametry";
    title.resize(80, ' ');
    s.say(0, 0, title, s.isColour() ? "W+/R" : "N/W,W/N");
    s.say(24, 0, "F4 - Edycja                    Enter - Wybor kasy do transmisji    Esc - Wyjscie");
    s.say(24, 0, "F4", "W+");
    s.say(24, 67, "Esc", "W+");
    s.say(22, 0, "01 Domyslne ustawienie kasy     1     9600");

    // Which department stands for which tax rate; of the zero rates after the first letter only the
    // first is listed. A rate missing from the saved parameters is not listed.
    s.say(9, 60, "DZIALY");
    s.say(10, 60, "-------");
    auto rate = [&](const char* name) -> std::string {
        return settings.exists(name) && settings.get(name).isText() ? settings.text(name) : std::string();
    };
    int row = 11;
    if (std::string a = rate("J_PTUA"); !a.empty()) s.say(row++, 60, a + " - 01");
    const char* const others[] = {"J_PTUB", "J_PTUC", "J_PTUD", "J_PTUE", "J_PTUF", "J_PTUZ"};
    bool zeroListed = false;
    for (int i = 0; i < 6; ++i) {
        std::string r = rate(others[i]);
        if (r.empty()) continue;
        if (r == " 0") {
            if (zeroListed) continue;
            zeroListed = true;
        }
        s.say(row++, 60, r + " - 0" + std::to_string(i + 2));
    }
    s.say(18, 60, "Paragony z kasy: " + settings.text("M_SD"));
    s.say(19, 60, "--------------------");
    s.say(20, 60, "(sd_velto.txt)");
}

// Draws the current row highlighted at `row` and copies it into the selection.
void LINIA_PS(Context& ctx, int row) {
    auto& t = registers(ctx);
    auto& s = *ctx.screen;
    std::string colour = s.isColour() ? "W+/B" : "U+";
    for (const auto& c : kColumns) {
        if (!t.hasField(c.field)) continue;
        s.say(row, c.col, ui::formatValue(t.get(c.field), c.picture), colour);
    }
    PS_READ(ctx);
}

// Stores the edited selection into the current row; PKASA is always the record number.
void PS_REP(Context& ctx) {
    auto& t = registers(ctx);
    auto& settings = *ctx.settings;
    if (!REC_LOCK(ctx, 30)) return;
    uint32_t n = t.recno();
    t.put("PKASA", Value::ofText(n < 10 ? "0" + std::to_string(n) : std::to_string(n)));
    t.put("POPIS", Value::ofText(settings.text("OPIS")));
    t.put("PPORT", Value::ofNumber(settings.number("PORT")));
    t.put("PPREDKOSC", Value::ofNumber(settings.number("PREDKOSC")));
    if (t.hasField("PMAG")) t.put("PMAG", Value::ofText(settings.text("PS_MAG")));
    t.unlock();
}

// The entry form on the highlighted screen row; true when it ended without Esc.
bool PS_EDYCJA(Context& ctx, int row, const std::string& colours) {
    auto& settings = *ctx.settings;
    auto& t = registers(ctx);
    bool firstRow = t.recno() == 1;
    ui::Form form(ctx, colours);
    form.field(row, 3, ui::bindSetting(settings, "OPIS"), "!" + std::string(25, 'X')).valid([&] {
        return !firstRow || settings.text("OPIS").find_first_not_of(' ') != std::string::npos;
    });
    form.field(row, 30, ui::bindSetting(settings, "PORT"), "999").valid([&] {
        double port = settings.number("PORT");
        return port > 0 && port < 18;
    });
    // The row and the driver's command line hold at most five digits: a larger speed is refused here.
    form.field(row, 34, ui::bindSetting(settings, "PREDKOSC"), "99999999").valid([&] {
        double speed = settings.number("PREDKOSC");
        return speed > 0 && speed <= kMaxSpeed;
    });
    if (t.hasField("PMAG")) form.field(row, 43, ui::bindSetting(settings, "PS_MAG"), "!");
    return form.read();
}

void EDIT_PS(Context& ctx, int row) {
    auto& s = *ctx.screen;
    LINIA_PS(ctx, row);
    s.say(24, 5, "Edycja", "N/W");
    if (PS_EDYCJA(ctx, row, "W/N,N/W,,,W+/N")) PS_REP(ctx);
    s.say(24, 5, "Edycja");
    LINIA_PS(ctx, row);
}

bool movementKey(int key) {
    using namespace screen::key;
    return key == Up || key == Down || key == PgUp || key == PgDn || key == Home || key == End ||
           key == CtrlPgUp || key == CtrlPgDn;
}

}  // namespace

bool PAR_VELTO(Context& ctx) {
    Procedure proc(ctx, "PAR_VELTO");
    auto& t = registers(ctx);
    drawScreen(ctx);
    if (t.eof() || t.bof()) t.goTop();
    if (t.eof()) ADD_REC(ctx, 15);
    uint32_t entered = t.recno();

    ui::Browser browser(ctx, t, 2, 0, 21, 45);
    browser.column("Nr", "PKASA", "!!")
        .column("Opis stoiska kasowego", "POPIS", std::string(26, 'X'))
        .column("COM", "PPORT", "999")
        .column("Predkosc", "PPREDKOSC", "99999999")
        .column("Mag", "PMAG", "!");
    browser.separators(std::string("┬─"_cp), std::string("│"_cp), std::string("┴─"_cp));

    // What a key does on the screen; movement keys are the browser's own.
    auto handle = [&](int key) {
        switch (key) {
            case screen::key::Enter:
                if (t.eof() || t.bof()) t.goTop();
                PS_READ(ctx);
                return ui::BrowseAction::Stop;
            case screen::key::Esc:
                t.goTo(entered);
                PS_READ(ctx);
                return ui::BrowseAction::Stop;
            case screen::key::F4:
                EDIT_PS(ctx, browser.currentRow());
                return ui::BrowseAction::Refresh;
            default:
                return ui::BrowseAction::Continue;
        }
    };
    // FUN_PS: at every pause the highlight is drawn (moving the selection with it) and a key read
    // (VIEW_PS); keys typed ahead reach it as the browser's exceptions.
    browser.callback([&](ui::BrowseMode mode, int) {
        LINIA_PS(ctx, browser.currentRow());
        if (mode == ui::BrowseMode::Exception) return handle(ctx.keyboard->lastKey());
        int key = ctx.keyboard->inkey(-1);
        if (movementKey(key)) {
            ctx.keyboard->push(key);
            return ui::BrowseAction::Continue;
        }
        return handle(key);
    });
    browser.run();
    ctx.screen->setColour("");
    return true;
}
