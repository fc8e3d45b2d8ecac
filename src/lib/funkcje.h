#pragma once
// Printing of printouts: the printer question and sending a file to the chosen printer.
#include <string_view>

struct Context;

// The printer question; true when printing may go ahead.
bool DRUKOWAC(Context& ctx);
// Prints a printout file on the printer chosen by the printer question.
void FILETOPRINTER(Context& ctx, std::string_view file);
