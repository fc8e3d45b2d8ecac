#pragma once
// Posting the document assembled in the station's scratch table: its number from the document kind's
// counter, a header and one row per scratch row in the period's document tables, the totals summed into
// the header, the quantities booked against the goods records, and the amount shown to the operator.
// Every shared record is written under a short lock of its own, one at a time, never two at once.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct Context;

// The first document number from `from` on (up to 99999999) that no header of the kind carries,
// right-aligned in 8 characters.
std::string firstFreeNumber(Context& ctx, std::string_view kind, double from);

// Posts the scratch table as document M_RD, dated M_DATA, and leaves M_NRD holding its number. The kind's
// counter gives the number: the first one after it that no header carries, taken and written back while
// the dictionary record is locked; when the record cannot be locked, the caller's M_NRD stands (moved on
// past any header that carries it meanwhile). Shows the amount and waits for a key; true.
// `goodsRecords`, when given, holds for each scratch row (by record number) the goods record it was
// matched to: where that record still carries the row's warehouse and index, it is taken without a search.
bool REP_DOW_ZETO(Context& ctx, const std::vector<uint32_t>* goodsRecords = nullptr);

// An amount through the mask "999 999 999.99", without the leading and trailing blanks: "1 234.50".
std::string amountText(double value);
