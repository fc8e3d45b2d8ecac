#include "velto/net.h"

#include <string>

#include "lib/fun1.h"
#include "lib/locks.h"
#include "platform/context.h"
#include "platform/settings/settings.h"
#include "platform/xbase/workareas.h"

namespace {

constexpr int kCompanySlot = 1;
constexpr size_t kPositions = 10;  // ST is at least 10 wide; exactly the first 10 are read and written

std::string occupancy(xbase::Table& firma) {
    std::string st = firma.get("ST").text;
    st.resize(std::max(st.size(), kPositions), ' ');
    return st;
}

void writeOccupancy(xbase::Table& firma, const std::string& st) {
    firma.put("ST", core::Value::ofText(st));
    firma.commit();  // on disk at once: other stations read it next
}

int refuse(Context& ctx, const char* message) {
    OKNO_(ctx, message, "...");
    return 0;
}

}  // namespace

int IN_NET(Context& ctx) {
    Procedure proc(ctx, "IN_NET");
    auto& areas = *ctx.areas;
    areas.select(kCompanySlot);
    areas.close();

    // Alone on the company table: every position is stale or free, this station is number 1.
    if (NET_USE(ctx, "firma", "firma", true, 1)) {
        auto& firma = areas.table();
        firma.goTop();
        std::string st = occupancy(firma);
        st.replace(0, kPositions, "1000000000");
        writeOccupancy(firma, st);
        return 1;
    }
    if (!NET_USE(ctx, "firma", "firma", false, 1)) return refuse(ctx, "Mam problemy z wejsciem");
    auto& firma = areas.table();
    firma.goTop();
    if (!REC_LOCK(ctx, 20)) return refuse(ctx, "Mam problemy z wejsciem");

    std::string st = occupancy(firma);
    size_t p = st.substr(0, kPositions).find('0');
    if (p == std::string::npos || p >= 9) {  // position 10 is never handed out
        firma.unlock();
        return refuse(ctx, "Wszystkie stacje zajete");
    }
    st[p] = '1';
    writeOccupancy(firma, st);
    firma.unlock();
    return static_cast<int>(p) + 1;
}

bool OUT_NET(Context& ctx) {
    Procedure proc(ctx, "OUT_NET");
    auto& areas = *ctx.areas;
    int remembered = areas.current();
    areas.select(kCompanySlot);
    if (areas.used()) {
        auto& firma = areas.table();
        firma.goTop();
        auto station = static_cast<size_t>(ctx.settings->number("STACJA"));
        if (station >= 1 && station <= kPositions && REC_LOCK(ctx, 20)) {
            std::string st = occupancy(firma);
            st[station - 1] = '0';
            writeOccupancy(firma, st);
            firma.unlock();
        }
    }
    areas.select(remembered);
    return true;
}
