#include "velto/init_dbf.h"

// Opens the working data set. The tables come with the table engine; until then there is nothing to open.
bool INIT_DBF(Context&) { return true; }
