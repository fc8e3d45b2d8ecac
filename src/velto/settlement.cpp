#include "velto/settlement.h"

// The settlement arrives with its own piece of work; until then nothing is settled.
bool ROZLICZ_RTP(Context&) {
    return false;
}
