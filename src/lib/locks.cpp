#include "lib/locks.h"

#include <string>

#include "lib/fun1.h"
#include "platform/context.h"
#include "platform/core/text.h"
#include "platform/os/path.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"
#include "platform/xbase/workareas.h"

namespace {

// Tries `attempt` until it succeeds or the wait runs out, pausing `step` seconds between attempts; a key
// press ends a pause early and is consumed. With the wait at 0 it tries until it succeeds.
template <class Attempt>
bool retry(Context& ctx, double wait, double step, Attempt attempt) {
    bool forever = wait == 0;
    while (forever || wait > 0) {
        if (attempt()) return true;
        ctx.keyboard->inkey(step);
        wait -= step;
    }
    return false;
}

}  // namespace

bool NET_USE(Context& ctx, std::string_view file, std::string_view alias, bool exclusive, double wait) {
    Procedure proc(ctx, "NET_USE");
    auto region = ctx.screen->save(15, 30, 20, 72);
    std::string name = std::string(file) + ".dbf";
    std::string upperName = core::upperAscii(file);
    if (exclusive && !core::beginsWith(upperName, "ROB\\") && !core::beginsWith(upperName, "STRUKT"))
        OKNO_(ctx, "Otwieram plik " + name, "...");
    std::string path = os::resolve(name);
    bool opened = retry(ctx, wait, 1.0, [&] {
        return ctx.areas->use(path, name, std::string(alias), exclusive) ==
               xbase::WorkAreas::OpenResult::Opened;
    });
    ctx.screen->restore(region);
    return opened;
}

bool REC_LOCK(Context& ctx, double wait) {
    Procedure proc(ctx, "REC_LOCK");
    auto& table = ctx.areas->table();
    if (table.tryLockRecord()) return true;
    return retry(ctx, wait, 0.5, [&] { return table.tryLockRecord(); });
}

bool REC_LOCK(Context& ctx, double wait, uint32_t recno) {
    Procedure proc(ctx, "REC_LOCK");
    auto& table = ctx.areas->table();
    if (table.tryLockRecordAt(recno)) return true;
    return retry(ctx, wait, 0.5, [&] { return table.tryLockRecordAt(recno); });
}

bool ADD_REC(Context& ctx, double wait) {
    Procedure proc(ctx, "ADD_REC");
    auto& table = ctx.areas->table();
    if (table.tryAppendBlank()) return true;
    return retry(ctx, wait, 0.5, [&] { return table.tryAppendBlank(); });
}

bool ADD_REC(Context& ctx, double wait, const std::function<void(xbase::Table&)>& fill) {
    Procedure proc(ctx, "ADD_REC");
    auto& table = ctx.areas->table();
    if (table.tryAppendRecord(fill)) return true;
    return retry(ctx, wait, 0.5, [&] { return table.tryAppendRecord(fill); });
}

bool SET_INDEX(Context& ctx, std::initializer_list<std::string_view> files) {
    auto& table = ctx.areas->table();
    for (auto file : files) {
        std::string name = std::string(file) + ".ntx";
        if (!table.attachIndex(os::resolve(name), name)) return false;
    }
    return true;
}
