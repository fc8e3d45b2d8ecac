#pragma once
// Small file and text helpers used throughout the program.
#include <string>
#include <string_view>

// Whether a file exists, for names that may come padded with blanks from a fixed-width field: tried without
// any blank (those inside the name too) and as given. Letter case does not matter.
bool FILE_X(std::string_view name);

// The text with every blank removed.
std::string USUN_SPACJE(std::string_view text);

// The two-digit form that names the per-station files: 1 to 9 give "01" to "09", 10 to 99 their digits,
// anything else (0, above 99, below 0) "00".
std::string STR2(int n);
