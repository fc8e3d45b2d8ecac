#pragma once
// The dBASE III memory-variable file (.MEM): entries of a 32-byte header and a value, ended by 0x1A.
#include <string>
#include <utility>
#include <vector>

#include "platform/core/value.h"

namespace settings {

using MemEntries = std::vector<std::pair<std::string, core::Value>>;

// Reads every entry (names upper case). A damaged file (truncated, a length past the end, an unknown
// type byte) throws core::RuntimeError (Kind::Damaged) naming `displayName`; a missing one Kind::Missing.
// The file is read under a shared flock and never changed.
MemEntries readMemFile(const std::string& path, const std::string& displayName);
// Writes the entries (names of at most 10 characters) under an exclusive flock. Numbers keep their width
// and decimals; dates are Julian day numbers (0 for the empty date).
void writeMemFile(const std::string& path, const MemEntries& entries, const std::string& displayName);

}  // namespace settings
