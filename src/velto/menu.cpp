#include "velto/menu.h"

// The menu screen arrives with the register link; until then leaving it at once ends the program.
void VELTO_(Context&) {}
