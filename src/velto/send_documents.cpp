#include "velto/send_documents.h"

#include "lib/fun1.h"
#include "lib/fun3.h"
#include "lib/locks.h"
#include "platform/context.h"
#include "platform/core/value.h"
#include "platform/screen/screen.h"
#include "platform/xbase/field.h"
#include "platform/xbase/workareas.h"
#include "velto/exchange.h"
#include "velto/plu_registry.h"
#include "velto/send_choice.h"
#include "velto/send_exchange.h"

using core::Value;

namespace {

constexpr std::string_view kDigits = "0123456789";

// Positions the goods table on the article of a document line or leaflet row: false when there is none.
bool seekGoods(xbase::Table& goods, const xbase::Table& row) {
    goods.setOrder(1);
    return goods.seek(Value::ofText(row.get("MAG").text + row.get("INDEKS").text), false);
}

}  // namespace

void VELTO_1POZ(Context& ctx, Sending& sending, ExchangeWriter& out, std::string& lastCode) {
    const char* record = ctx.areas->table("as").record();
    if (!articleWanted(sending.choice, sending.goods, record)) return;
    std::string plu = pluRecord(sending.rules, record, sending.choice.level, lastCode);
    if (plu.empty()) return;
    sending.registry.remember(sending.choice.kasa, sending.goods.registryCode(record), plu);
    out.write(plu);
}

bool VELTO_1_PZ(Context& ctx, Sending& sending, ExchangeWriter& out, const std::string& number) {
    Procedure proc(ctx, "VELTO_1_PZ");
    auto& areas = *ctx.areas;
    const std::string key = sending.choice.rd + number;
    OKNO_(ctx, key);
    const int previous = areas.current();
    auto& dow = areas.table("dow");
    auto& goods = areas.table("as");
    const int order = dow.order();
    const uint32_t recno = dow.recno();
    dow.setOrder(1);
    std::string lastCode;  // one document's lines
    if (dow.seek(Value::ofText(key), false)) {
        while (!dow.eof() && dow.get("RD").text + dow.get("NRD").text == key) {
            if (seekGoods(goods, dow)) VELTO_1POZ(ctx, sending, out, lastCode);
            dow.skip(1);
        }
    }
    dow.setOrder(order);
    dow.goTo(recno);
    areas.select(previous);
    return true;
}

bool VELTO_PZ(Context& ctx, Sending& sending, std::string_view documents) {
    Procedure proc(ctx, "VELTO_PZ");
    ctx.screen->clear();
    ExchangeWriter out(ctx, true);
    out.write(kRequestPlu);
    std::string_view rest = documents;
    for (;;) {
        size_t first = rest.find_first_of(kDigits);
        if (first == std::string_view::npos) break;
        size_t end = rest.find_first_not_of(kDigits, first);
        std::string_view digits = rest.substr(first, end == std::string_view::npos ? end : end - first);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        VELTO_1_PZ(ctx, sending, out, xbase::formatNumber(core::readNumber(digits), 8, 0));
    }
    out.close();
    sending.registry.close();
    auto& goods = ctx.areas->table("as");
    goods.setOrder(1);
    goods.goTop();
    return true;
}

bool GAZETKA1(Context& ctx, Sending& sending) {
    Procedure proc(ctx, "GAZETKA1");
    auto& areas = *ctx.areas;
    std::string leaflet;
    if (FILE_X("rob0\\gazetka1.dbf"))
        leaflet = "rob0\\gazetka1";
    else if (FILE_X("rob0\\gazetka_.dbf"))
        leaflet = "rob0\\gazetka_";
    if (leaflet.empty()) {
        OKNO_(ctx, "NIE ma plikow GAZETKA1, GAZETKA_");
        return false;
    }
    OKNO_(ctx, "Wysylam " + leaflet, 3);
    ctx.screen->clear();
    ExchangeWriter out(ctx, true);
    out.write(kRequestPlu);

    const int previous = areas.current();
    auto& goods = areas.table("as");
    areas.select(0);
    const int slot = areas.current();
    if (NET_USE(ctx, leaflet, "gazetka", true, 20)) {
        auto& rows = areas.table();
        for (rows.goTop(); !rows.eof(); rows.skip(1)) {
            if (!seekGoods(goods, rows)) continue;
            std::string lastCode;  // every row on its own
            VELTO_1POZ(ctx, sending, out, lastCode);
        }
        areas.close(slot);
    }
    areas.select(previous);
    out.close();
    return true;
}
