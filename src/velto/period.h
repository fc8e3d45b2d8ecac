#pragma once
// Period and rounding helpers: the first and last day of an accounting period named by its directory
// ("24\03"), and the rounding used for every money and quantity value the system writes.
#include <string>
#include <string_view>

// "01." + month + "." + four-digit year.
std::string P_MIES(std::string_view period);
// Last day of the period, "dd.mm.yyyy".
std::string K_MIES_FK(std::string_view period);
// Adds 0.00000001 and rounds half away from zero to `decimals` places.
double NEWROUND(double value, int decimals = 0);
