#pragma once
// Export of a printout file as a PDF file.
#include <string_view>

struct Context;

void PDF_KWASTRA(Context& ctx, std::string_view file);
