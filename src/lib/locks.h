#pragma once
// Opening, locking and appending shared tables with bounded retries. Only a refusal caused by another
// process's use of the table is retried; a missing or damaged file is a fatal run-time error. None of these
// reports a failure to the operator: each returns false and the caller shows its own message.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

struct Context;
namespace xbase {
class Table;
}

// Opens the table `file` (a DOS name without ".dbf") into the current slot under `alias`, shared or
// exclusive, trying once a second for `wait` seconds (0: until it succeeds). An exclusive open of a table
// outside "rob\" and other than the scratch structure tables shows "Otwieram plik " + name + ".dbf" while
// it tries; the message region is restored in both outcomes. A failed open leaves the slot empty.
bool NET_USE(Context& ctx, std::string_view file, std::string_view alias, bool exclusive, double wait);

// Locks the current record of the current slot, retrying every half second for `wait` seconds (0: until
// it succeeds): 2 x wait + 1 attempts. A key press shortens a pause and is consumed.
bool REC_LOCK(Context& ctx, double wait);
// Goes to record `recno` of the current slot's table and locks it, with the same retries; the record is
// read once, after the lock (xbase::Table::tryLockRecordAt). On failure the table stays where it was.
bool REC_LOCK(Context& ctx, double wait, uint32_t recno);

// Appends a blank record to the current slot's table, current and locked, with the retries of REC_LOCK.
bool ADD_REC(Context& ctx, double wait);
// ADD_REC, then the fields set by `fill`, then UNLOCK, as one step: the record is written once, with its
// fields (xbase::Table::tryAppendRecord). For the many rows of a posted document.
bool ADD_REC(Context& ctx, double wait, const std::function<void(xbase::Table&)>& fill);

// Attaches index files (DOS names without ".ntx") to the current slot's table, the first becoming the
// controlling order. A missing or damaged index is a fatal run-time error; false when another process
// holds one in a mode that excludes ours.
bool SET_INDEX(Context& ctx, std::initializer_list<std::string_view> files);
