#pragma once
// Sending chosen goods instead of the whole goods table: those on the lines of given documents of the
// type in Rd, or those listed in a leaflet table. Every article that passes the filters is written,
// changed or not, and the PLU registry is brought up to date all the same; the records also appear on
// the screen while they are written.
#include <string>
#include <string_view>

struct Context;
struct Sending;
class ExchangeWriter;

// Sends the documents of a list made by the dialog (",12,15,"): every run of digits is a document
// number, sent right-aligned in 8 columns. Closes the registry. Returns true.
bool VELTO_PZ(Context& ctx, Sending& sending, std::string_view documents);
// Writes the records of one document (number right-aligned in 8 columns). Returns true.
bool VELTO_1_PZ(Context& ctx, Sending& sending, ExchangeWriter& out, const std::string& number);
// Sends the leaflet "rob0\gazetka1.dbf", or "rob0\gazetka_.dbf" when the first is missing. False, after
// "NIE ma plikow GAZETKA1, GAZETKA_", when neither exists.
bool GAZETKA1(Context& ctx, Sending& sending);
// Writes the record of the article on which the goods table stands, when it passes the filters.
// `lastCode` is the last PLU code accepted in this run of records.
void VELTO_1POZ(Context& ctx, Sending& sending, ExchangeWriter& out, std::string& lastCode);
