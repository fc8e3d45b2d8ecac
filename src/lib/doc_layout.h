#pragma once
// The document-row layouts of the station's scratch table: the basic one that start-up creates, and the
// extended one that the settlement creates in its place, whose optional fields depend on switch files
// present in the working directory at the moment of creation.
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbase/field.h"

struct Context;

// The 24 fields of the basic layout, R_P to CENA_N.
const std::vector<xbase::Field>& basicRowFields();
// The extended layout as the switch files in the working directory make it now (58 to 67 fields).
std::vector<xbase::Field> extendedRowFields();

// A structure text for TWORZ: path, then name, type, length, decimals of each field.
std::string structureText(std::string_view path, const std::vector<xbase::Field>& fields);

// The index key of the basic scratch table.
inline constexpr std::string_view kBasicRowKey = "mag+indeks";
// The index key of the extended scratch table: the price-bearing key when the company or a switch file
// asks for it. `nodb` and `nodb1` are the company name lines of the company table.
std::string extendedRowKey(Context& ctx, std::string_view nodb, std::string_view nodb1);
