#pragma once
// The recipe settlement run that follows a posted register sale: the sold products' ingredients leave
// the stock as a raw-material document.
struct Context;

// The run over the rows just posted from the scratch table; false when its switch files or tables are
// missing (nothing settled).
bool ROZLICZ_RTP(Context& ctx);
