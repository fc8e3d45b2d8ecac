#include "velto/flows.h"

// Sending goods arrives with its own piece of work; until then nothing is written and nothing is sent.
bool TWORZ_U(Context&) { return false; }
