#pragma once
// Creating a table from a structure text: "path,NAME,type,length,decimals,NAME,..." (names may carry
// blanks, numbers leading blanks; a trailing comma after the last field is allowed).
#include <string_view>

struct Context;

// Creates the table anew (an existing file of that name is erased first, closing the current slot's table
// when it has to), through the scratch structure table "strukt" + two digits (the station number, or the
// seconds of the time of day when none is given). The current slot is current again on return. False when
// the scratch table did not open within 5 seconds ("Plik strukt.dbf niedostepny"); a malformed text or a
// target that cannot be replaced is a fatal run-time error. `flag` is accepted and has no effect.
bool TWORZ(Context& ctx, std::string_view structure, bool flag, int station);
