#include "velto/flows.h"

// Hooks of the main menu, filled by the sending, receiving and PLU deletion work.
bool TWORZ_U(Context&) { return false; }
void receiveSales(Context&) {}
void deletePlus(Context&) {}
