#pragma once
// The working data set: the company table and the period's goods, document and dictionary tables, open in
// fixed slots for the whole run, and this station's empty document-row scratch table.
struct Context;

bool INIT_DBF(Context& ctx);
