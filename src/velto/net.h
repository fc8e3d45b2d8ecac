#pragma once
// Station slots: each running copy claims a number 1..9 from the occupancy string `ST` of the company
// table, and gives it back at the end.
struct Context;

// Claims a slot; returns the station number, or 0 (with the reason on the screen).
int IN_NET(Context& ctx);
// Releases the slot of `STACJA`; leaves the current slot as it found it.
bool OUT_NET(Context& ctx);
