#include "velto/plu_delete.h"

#include "lib/fun1.h"
#include "lib/readl.h"
#include "platform/context.h"
#include "platform/core/value.h"
#include "platform/os/file_handle.h"
#include "platform/screen/screen.h"
#include "platform/settings/settings.h"
#include "platform/ui/menu.h"
#include "platform/xbase/workareas.h"
#include "velto/driver.h"
#include "velto/exchange.h"
#include "velto/flows.h"
#include "velto/plu_registry.h"
#include "velto/send_answer.h"
#include "velto/send_exchange.h"

using core::Value;

namespace {

constexpr std::string_view kNoList = "Brak listy PLU z kasy - nie kasuje";

// Whether the PLU of a list line is to be deleted in modes 2 and 3.
bool toDelete(xbase::Table& goods, bool withKod13, const std::string& psMag, PluDeletion mode,
              const std::string& line) {
    // The code runs from the fifth character to the next ";"; a line without one keeps its PLU.
    if (line.size() < 5) return false;
    size_t semi = line.find(';', 4);
    if (semi == std::string::npos || semi == 4) return false;
    std::string code = line.substr(4, semi - 4);
    code.resize(13, ' ');
    bool found;
    if (withKod13) {
        std::string key;
        for (char c : code) key += static_cast<char>(256 - static_cast<unsigned char>(c));
        found = goods.seekKey(key, false);
    } else {
        std::string mag = psMag == " " || psMag.empty() ? std::string("1") : psMag;
        found = goods.seek(Value::ofText(mag + code.substr(0, 8)), false);
    }
    if (!found) return true;
    return mode == PluDeletion::WithoutStock && goods.get("ILOSC").number <= 0;
}

}  // namespace

bool KAS_PLU(Context& ctx, PluDeletion mode) {
    Procedure proc(ctx, "KAS_PLU");
    auto& goods = ctx.areas->table("as");
    const bool withKod13 = goods.hasField("KOD13");
    goods.setOrder(withKod13 && goods.indexCount() >= 2 ? 2 : 1);
    goods.goTop();

    os::FileHandle list;
    if (!list.open(kAnswerFile)) {
        goods.setOrder(1);
        goods.goTop();
        return false;
    }
    const std::string psMag = ctx.settings->text("PS_MAG");
    ExchangeWriter out(ctx, false);
    out.write(kRequestPlu);
    const int64_t size = list.size();
    while (list.position() < size) {
        std::string line = FREADLINE(list);
        if (line.empty()) continue;
        if (mode == PluDeletion::All || toDelete(goods, withKod13, psMag, mode, line)) out.write(line);
    }
    out.close();
    goods.setOrder(1);
    goods.goTop();
    return true;
}

void deletePlus(Context& ctx) {
    auto& scr = *ctx.screen;
    OKNO_(ctx, "Pobieram PLU do velto\\data_out.txt", "...");
    // The list is this run's answer or none: an older file may be another answer (a sales report).
    DriverFileMark answer(kAnswerFile);
    writeExchangeFile(ctx, {std::string(kRequestPluList)});
    runDriver(ctx, DriverRequest::Answer);
    bool listed = answer.written();

    scr.clear(15, 0, 20, 75);
    scr.clear(11, 29, 15, 75);
    scr.box(11, 29, 15, 75, screen::Frame::Single);
    ui::Menu menu;
    menu.prompt(12, 30, "*1. Kasowanie wszystkich PLU w kasie       ");
    menu.prompt(13, 30, "*2. Kasowanie PLU dla kartotek zerowych    ");
    menu.prompt(14, 30, "*3. Kasowanie PLU dla ktorych brak kartotek");
    int choice = menu.run(ctx, 1);
    if (choice == 0) return;
    if (!OKNO(ctx, "Kasowac ?", " ")) return;
    OKNO_(ctx, "Prosze czekac ...", "...");
    // Without this register's list nothing is deleted: no request, no driver run, the registry stays.
    if (!listed || !KAS_PLU(ctx, static_cast<PluDeletion>(choice))) {
        OKNO_(ctx, kNoList, 3);
        return;
    }
    OKNO_(ctx, "Kasuje - czekac", "...");
    runDriver(ctx, DriverRequest::SendPlu);
    erasePluRegistry(ctx);
}
