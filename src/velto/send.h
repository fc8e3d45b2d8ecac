#pragma once
// Sending goods to the register (TWORZ_U, declared with the other menu flows in velto/flows.h): the
// dialog, then the PLU records of the chosen goods into the exchange file, remembered in the PLU registry.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/date.h"

struct Context;
struct Sending;
namespace ui {
class Form;
}

// The check of the Rd field: an empty type cannot be left; "GZ " (a leaflet) ends the dialog at once.
bool FUN_RD(Context& ctx, ui::Form& form);

// What the Nrd field holds: a date "dd.mm.yyyy" (the receipts since then are sent; an impossible date
// gives none), or a list of document numbers, made "," + numbers + "," with every separator a ",".
struct NrdField {
    bool isDate = false;
    core::Date since;
    std::string documents;
};
NrdField readNrd(std::string_view nrd);

// The message that no record can be built: the tax-rate settings missing from the saved parameters.
std::string missingRatesMessage(const std::vector<std::string>& missing);

// The progress of a run over `count` records, drawn at rows 17 and 18 from column 33; only what changed
// is drawn again.
class Progress {
  public:
    void RYSUNEK(Context& ctx, uint32_t recno, uint32_t count);

  private:
    std::string percent_;
    int bar_ = -1;
};

// Sends from the goods table through its working copies: every new or changed article (or, with a date,
// every article received since then), then "W pliku jest " with the count. Closes the registry.
bool sendFromGoodsTable(Context& ctx, Sending& sending);
