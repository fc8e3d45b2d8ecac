#pragma once
// The exchange file "velto\data_in.txt" that every request to a register is written into: created anew for
// each request, every record (the first included) ended by CR LF, no end-of-file byte.
#include <string>
#include <string_view>
#include <vector>

struct Context;

inline constexpr std::string_view kExchangeFile = "velto\\data_in.txt";

// Request records, always the first record of the file.
inline constexpr std::string_view kRequestPlu = "S;I;1; ; ;";          // send or delete PLUs
inline constexpr std::string_view kRequestPluList = "S;I;0; ; ;";      // ask for the PLU list
inline constexpr std::string_view kRequestSales = "S;U;2; ; ;";        // ask for the sales report
inline constexpr std::string_view kRequestDepartments = "S;D;1;1;7;";  // program the seven departments

// The seven department records, one per tax letter A to F and Z.
const std::vector<std::string>& departmentRecords();

// Writes the request file anew with these records. When `echo` is set the records also appear on the
// screen at the cursor, scrolling it, as the department programming shows them.
void writeExchangeFile(Context& ctx, const std::vector<std::string>& records, bool echo = false);
