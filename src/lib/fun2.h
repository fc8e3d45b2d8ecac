#pragma once
// The main menu's frame and the highlight colour switch.
#include <initializer_list>

struct Context;

// A frame open at the top for the caller's title: a row of half blocks under the top row, single lines
// down both sides and along the bottom, and up to four separator rows inside. Leaves "W+" current.
bool RAMKA(Context& ctx, int top, int left, int bottom, int right,
           std::initializer_list<int> separators = {});

// Makes the highlight colour current: "N/W" on a colour display, "U+" on a monochrome one.
bool MONITOR(Context& ctx);
