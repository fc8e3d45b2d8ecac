#pragma once
// The register selection screen: browse the register table, edit a row with F4, choose with Enter.
struct Context;

bool PAR_VELTO(Context& ctx);
