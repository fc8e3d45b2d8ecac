#pragma once
// The numbered work areas (slots 1..255) that hold the open tables, each under an alias, one of them the
// current one. Paths given here are real paths; the program resolves its DOS-style names before.
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbase/table.h"

namespace os {
class Clock;
}

namespace xbase {

class WorkAreas {
  public:
    static constexpr int kSlots = 255;
    enum class OpenResult { Opened, Conflict };

    WorkAreas();
    ~WorkAreas();  // closes every table, swallowing errors (call closeAll() to see them)
    WorkAreas(const WorkAreas&) = delete;
    WorkAreas& operator=(const WorkAreas&) = delete;

    // Tables opened from now on take today's date from this clock.
    void setClock(os::Clock* clock) { clock_ = clock; }

    // SELECT: makes a slot current; 0 selects the lowest free slot. Outside 0..255 is a run-time error.
    void select(int slot);
    // SELECT by alias (letter case ignored); false, and nothing changes, when no slot has that alias.
    bool select(std::string_view alias);
    int current() const { return current_; }
    // The slot holding this alias, or 0.
    int slotOf(std::string_view alias) const;
    bool used() const { return used(current_); }
    bool used(int slot) const;
    // The alias of a slot ("" when empty).
    const std::string& alias(int slot) const;

    // USE: opens a table into the current slot under `alias` (the file name when empty), closing what the
    // slot held; the index files are attached in order (the first is the controlling one). Conflict
    // (another holder of the table or of an index, in a mode that excludes ours) leaves the slot empty. A
    // missing or damaged file throws; so does an alias already used in another slot.
    OpenResult use(const std::string& realPath, const std::string& displayName, const std::string& alias,
                   bool exclusive, const std::vector<TableFile>& indexes = {});
    // Creates a table and opens it exclusively in the current slot (as use() does). Conflict when the
    // file is held elsewhere.
    OpenResult create(const std::string& realPath, const std::string& displayName, const std::string& alias,
                      const std::vector<Field>& fields);

    void close();  // the current slot
    void close(int slot);
    void closeAll();

    // The current slot's table; an empty slot is a run-time error.
    Table& table();
    Table& table(std::string_view alias);  // unknown alias: run-time error
    Table* find(std::string_view alias);   // nullptr when none
    Table* at(int slot);                   // nullptr when empty

    // Writes every pending record; releases every lock that the process holds through these tables.
    void commitAll();
    void unlockAll();

  private:
    struct Slot {
        std::unique_ptr<Table> table;
        std::string alias;
    };
    Slot& slot(int n);
    const Slot& slot(int n) const;
    OpenResult place(std::unique_ptr<Table> table, const std::string& alias);

    std::array<Slot, kSlots + 1> slots_;  // index 0 unused
    int current_ = 1;
    os::Clock* clock_ = nullptr;
};

}  // namespace xbase
