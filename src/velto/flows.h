#pragma once
// The flows the main menu starts that are not in place yet: each is filled by its own piece of work.
struct Context;

// Sending goods: builds the PLU records into the exchange file; true when a request was written.
bool TWORZ_U(Context& ctx);
// Receiving sales: working date, questions, the driver run and the import.
void receiveSales(Context& ctx);
// Deleting PLUs in the register.
void deletePlus(Context& ctx);
