#pragma once
// The printout editor: the station's printout file in a full-screen editor, from which it is printed (F5)
// or exported as PDF (Alt+P). The file on disk changes only through a confirmed print (the text exactly)
// or a PDF export (the text and CR LF); leaving with Esc writes nothing.
#include <string_view>

struct Context;

bool MEDIT(Context& ctx, std::string_view file);
