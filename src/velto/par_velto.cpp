#include "velto/par_velto.h"

// The register screen arrives with the table browser.
bool PAR_VELTO(Context&) { return true; }
