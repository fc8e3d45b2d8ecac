#include "velto/init_dbf.h"

#include <string>

#include "lib/doc_layout.h"
#include "lib/errorsys.h"
#include "lib/fun1.h"
#include "lib/fun3.h"
#include "lib/locks.h"
#include "lib/tworz.h"
#include "platform/context.h"
#include "platform/os/files.h"
#include "platform/os/path.h"
#include "platform/screen/screen.h"
#include "platform/settings/settings.h"
#include "platform/xbase/workareas.h"
#include "velto/net.h"

using core::Value;

namespace {

// A table of the period that did not open: say which, and report failure to start-up.
bool unavailable(Context& ctx, const std::string& name) {
    OKNO_(ctx, "Plik " + name + " niedostepny");
    return false;
}

// Opens a shared table of the period into `slot` with its index files.
bool openPeriodTable(Context& ctx, int slot, const std::string& hh, const char* name,
                     std::initializer_list<std::string_view> indexes) {
    ctx.areas->select(slot);
    std::string file = hh + "\\" + name;
    if (!NET_USE(ctx, file, name, false, 20)) return unavailable(ctx, file);
    if (!SET_INDEX(ctx, indexes)) return unavailable(ctx, file);
    return true;
}

}  // namespace

bool INIT_DBF(Context& ctx) {
    Procedure proc(ctx, "INIT_DBF");
    auto& areas = *ctx.areas;
    auto& settings = *ctx.settings;

    areas.select(1);
    areas.close();
    if (!NET_USE(ctx, "firma", "firma", false, 15)) {
        OKNO_(ctx, "Musisz zaczekac");
        OUT_NET(ctx);  // finds slot 1 empty: the position stays taken until a station starts alone
        throw ProcessExit{0};
    }
    auto& firma = areas.table();
    firma.goTop();
    std::string bmr = firma.get("BMR").text;
    bmr.resize(5, ' ');
    std::string hh = bmr.substr(3, 2) + "\\" + bmr.substr(0, 2);
    settings.set("HH", Value::ofText(hh));

    std::string goods = hh + "\\as";
    if (!os::exists(goods + ".dbf")) {
        ctx.screen->clear();
        OKNO_(ctx, "Plik " + goods + " niedostepny");
        OUT_NET(ctx);
        throw ProcessExit{0};
    }
    areas.select(2);
    if (!NET_USE(ctx, goods, "as", false, 20)) return unavailable(ctx, goods);
    bool kod13 = areas.table().hasField("KOD13");
    settings.set("JEST_KOD13", Value::ofLogical(kod13));
    std::string as2 = hh + "\\as2", as3 = hh + "\\as3";
    bool indexed = kod13 ? SET_INDEX(ctx, {goods, as2, as3}) : SET_INDEX(ctx, {goods, as2});
    if (!indexed) return unavailable(ctx, goods);
    // Price levels above the first need the field CENAM.
    if (settings.number("J_POZIOM") > 1 && !areas.table().hasField("CENAM"))
        settings.set("J_POZIOM", Value::ofNumber(1));

    // The station's scratch table starts empty at every start-up.
    int station = static_cast<int>(settings.number("STACJA"));
    std::string scratch = "rob\\d" + STR2(station);
    areas.select(4);
    TWORZ(ctx, structureText(scratch, basicRowFields()), true, station);
    if (!NET_USE(ctx, scratch, "dd", true, 20)) return unavailable(ctx, scratch);
    auto& dd = areas.table();
    std::string ntx = scratch + ".ntx";
    dd.indexOn(os::resolve(ntx), ntx, std::string(kBasicRowKey));
    dd.setOrder(0);  // the index is kept up to date but rows are visited in record order
    dd.goTop();

    if (!openPeriodTable(ctx, 5, hh, "dow", {hh + "\\dow1", hh + "\\dow2", hh + "\\dow3"})) return false;
    if (!openPeriodTable(ctx, 6, hh, "dowod", {hh + "\\dowod1", hh + "\\dowod2"})) return false;
    if (!openPeriodTable(ctx, 9, hh, "slow", {hh + "\\slow"})) return false;
    if (!openPeriodTable(ctx, 10, hh, "pk", {hh + "\\pk"})) return false;

    areas.select(4);
    dd.clearRelations();
    dd.setRelation(areas.table("as"), std::string(kBasicRowKey));
    areas.unlockAll();
    return true;
}
