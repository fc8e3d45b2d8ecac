#pragma once
// The program's entry flow: environment, public settings, the saved-parameter file, the station slot, the
// working data, the main menu, and shutdown with the farewell line.
struct Context;

// Runs the program to its end; returns the exit status (0 on every path of its own; a fatal run-time
// error ends through the error handler with 1).
int VELTO(Context& ctx);

// Reads PARAMETR.MEM into the settings, or writes it with every "J_" setting when it is missing.
void readOrWriteParameters(Context& ctx);

// The document kind under which register sales are booked: "SD " or the override in "SD_VELTO.TXT".
void setSalesDocumentKind(Context& ctx);
