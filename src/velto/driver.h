#pragma once
// Running the register driver "veltodrv.exe" for a request, and reading its error file.
#include <string>
#include <string_view>

struct Context;

enum class DriverRequest {
    SendPlu,      // "S;I;1; ; ;": send or delete PLUs
    Answer,       // "S;U;2; ; ;" sales, "S;I;0; ; ;" PLU list: the driver answers in velto\data_out.txt
    Departments,  // "S;D;1;1;7;"
};

// The command line for the selected register (settings PORT and PREDKOSC, speed 0 meaning 9600).
std::string driverCommand(Context& ctx, DriverRequest request);
// Runs the driver with the screen suspended, waits for it without a time limit, then shows its error file.
void runDriver(Context& ctx, DriverRequest request);

// What an error file's text says: success when it holds no ";" or its number before the first ";" is not
// above 0.
bool driverReportsSuccess(std::string_view errorText);
// Shows what the driver left in "velto\error.txt": "Wszystko dobrze", or the error and the faulty line
// of the request file.
void ERROR_VELTO(Context& ctx);
// Shows line `line` (counted from 1) of a text file on row 24 and waits for a key.
void WIERSZ_III(Context& ctx, std::string_view file, int line);
