#pragma once
// What a sending of goods sends: the operator's choices in the sending dialog and the settings that pass
// goods over, applied to goods records as the table stores them.
#include <string>
#include <string_view>

#include "platform/core/date.h"
#include "velto/plu.h"

struct Context;
class PluRegistry;
namespace xbase {
struct Field;
struct Layout;
}  // namespace xbase

struct SendChoice {
    std::string rd = "PZ ";               // M_RD: document type
    std::string magazyn;                  // M_MAGAZYN trimmed: warehouses to send from, all when empty
    bool onlyInStock = false;             // JEST_ILOSC "T"
    char fromLetter = ' ';                // M_ZN: names below it are passed over; a space sends all
    int level = 0;                        // M_POZIOM
    core::Date since;                     // a date given in Nrd: the receipts since then are sent
    std::string kasa = "01";              // NR_KASY
    std::string magK = "K", magU = "U ";  // J_MAG_K, J_MAG_U: warehouses never sent
};

// The dialog's settings (M_RD, M_MAGAZYN, JEST_ILOSC, M_ZN, M_POZIOM), NR_KASY, J_MAG_K and J_MAG_U.
// The date is the caller's.
SendChoice readSendChoice(Context& ctx);

// The goods table's fields that a sending reads (null where the table has none).
struct GoodsView {
    const xbase::Field *mag = nullptr, *indeks = nullptr, *nazwa = nullptr, *kod13 = nullptr;
    const xbase::Field *ilosc = nullptr, *cena2 = nullptr, *rdPz = nullptr, *nrdPz = nullptr,
                       *dataPz = nullptr;
    explicit GoodsView(const xbase::Layout& layout);

    std::string_view text(const xbase::Field* f, const char* record) const;
    double number(const xbase::Field* f, const char* record) const;
    // What the registry keeps of the article: KOD13, or INDEKS where the table has no KOD13.
    std::string_view registryCode(const char* record) const;
};

// The filter every sending applies to a goods record: stock when only goods in stock go, the warehouse
// list, the warehouses never sent, an empty name, and the first letter of the name (as the record holds
// it) below the start letter. The price is each flow's own test.
bool articleWanted(const SendChoice& choice, const GoodsView& goods, const char* record);

// The date filter of a sending from the goods table.
enum class SinceDate {
    Off,   // no date given, or the table does not keep receipts
    Pass,  // received on or after the date with the chosen document type: sent even if unchanged
    Skip,  // any other article
};
SinceDate sinceDate(const SendChoice& choice, const GoodsView& goods, const char* record);

// One sending: what goes, how records are built, and where they are remembered.
struct Sending {
    SendChoice choice;
    PluRules rules;
    GoodsView goods;
    PluRegistry& registry;
};
