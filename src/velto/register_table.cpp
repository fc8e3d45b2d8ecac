#include "velto/register_table.h"

#include <string>

#include "lib/fun1.h"
#include "lib/fun3.h"
#include "lib/locks.h"
#include "lib/tworz.h"
#include "platform/context.h"
#include "platform/os/files.h"
#include "platform/os/path.h"
#include "platform/settings/settings.h"
#include "platform/xbase/workareas.h"

using core::Value;

namespace {

bool openExclusive(Context& ctx) {
    if (NET_USE(ctx, "velto\\velto", "velto", true, 1)) return true;
    OKNO_(ctx, "Problem z plikiem velto\\velto.DBF");
    return false;
}

bool currentLayout(xbase::Table& t) {
    return t.hasField("PPOL_ZN") && t.hasField("PKASA") && t.hasField("PTYP_KASY") && t.hasField("PMAG");
}

int station(Context& ctx) { return static_cast<int>(ctx.settings->number("STACJA")); }

}  // namespace

bool openRegisterTable(Context& ctx) {
    Procedure proc(ctx, "VELTO_");
    auto& areas = *ctx.areas;
    if (!os::exists("velto\\velto.DBF")) {
        os::makeDirectory("VELTO");
        TWORZ(ctx, kRegisterStructure, true, station(ctx));
    }
    if (!openExclusive(ctx)) return false;

    if (!currentLayout(areas.table())) {
        // An older layout: carry the rows over into the current one; they become registers of type "S".
        areas.table().goTop();
        areas.table().copyTo(os::resolve("rob\\velto.dbf"), "rob\\velto.dbf");
        TWORZ(ctx, kRegisterStructure, true, station(ctx));
        if (!openExclusive(ctx)) return false;
        auto& t = areas.table();
        t.appendFrom(os::resolve("rob\\velto.dbf"), "rob\\velto.dbf");
        for (t.goTop(); !t.eof(); t.skip(1)) t.put("PTYP_KASY", Value::ofText("S"));
    }

    auto& t = areas.table();
    for (uint32_t n = t.recordCount() + 1; n <= kRegisterRows; ++n) {
        t.appendBlank();
        t.put("PKASA", Value::ofText(STR2(static_cast<int>(n))));
        t.put("PPORT", Value::ofNumber(1));
        t.put("PPREDKOSC", Value::ofNumber(9600));
        if (n == 1) t.put("POPIS", Value::ofText("Stoisko 1"));
    }
    t.commit();
    t.goTop();
    PS_READ(ctx);
    return true;
}

void PS_READ(Context& ctx) {
    auto& t = ctx.areas->table("velto");
    auto& s = *ctx.settings;
    s.set("NR_KASY", t.get("PKASA"));
    s.set("OPIS", t.get("POPIS"));
    s.set("PORT", Value::ofNumber(t.get("PPORT").number));
    s.set("PREDKOSC", Value::ofNumber(t.get("PPREDKOSC").number));
    s.set("PS_MAG", t.hasField("PMAG") ? t.get("PMAG") : Value::ofText(" "));
}
