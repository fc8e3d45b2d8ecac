#include "velto/flows.h"

// Receiving sales arrives with its own piece of work.
void receiveSales(Context&) {}
