#pragma once
// PLU records: one article as the register knows it, built from a goods record (code, folded name, price
// of a level, tax letter and department), in the short form or, for a register whose description holds
// "3000", the long form.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbase/field.h"

struct Context;
namespace xbase {
class Table;
}

// Everything a sending needs to build records, worked out once per sending: the goods table's fields, the
// tax rates, the switch files and the company name conditions.
struct PluRules {
    // Tax-rate settings J_PTUA .. J_PTUF, and the names of those missing from the saved parameters.
    std::array<std::string, 6> rates;
    std::vector<std::string> missingRates;
    bool skipLeadingZeros = false;  // J_KOD13ZN "N"
    int levels = 1;                 // J_POZIOM
    bool cutWeighedCodes = false;   // "28" + five digits become the five digits
    bool longForm = false;          // the register's description holds "3000"
    bool fromGoodsTable = true;     // names lose leading blanks; "VOSK.TXT" changes the flags
    std::string flags = "11100";
    bool keepPolishLetters = false;  // "DAJ.PL"
    int nameWidth = 30;
    // Fields of the goods table (null when the table has none).
    const xbase::Field *kod13 = nullptr, *indeks = nullptr, *nazwa = nullptr, *podatek0 = nullptr;
    const xbase::Field *cena2 = nullptr, *cena2m = nullptr, *cena3 = nullptr;
};

// Reads the settings, switch files and company name (the company table in slot 1) for a sending to the
// register described by `description` from `goods`.
PluRules pluRules(Context& ctx, const xbase::Table& goods, std::string_view description, bool fromGoodsTable);

// The PLU code of a goods record (digits only; empty when there is none).
std::string pluCode(const PluRules& rules, const char* record);

// The record for the goods record, or empty when the goods are passed over. `lastCode` is the last code
// accepted, updated when this one is accepted.
std::string pluRecord(const PluRules& rules, const char* record, int level, std::string& lastCode);

// A name folded to what the register accepts: Polish letters of code page 852 and Mazovia become plain
// upper-case letters; then only digits, A-Z, blanks and .,-+*();:/<>$%! stay. With "DAJ.PL" present the
// name is kept as it is.
std::string USUN_PL_QUELNIK(std::string_view name);
std::string foldName(std::string_view name, bool keepPolishLetters);
