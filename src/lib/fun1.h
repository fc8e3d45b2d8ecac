#pragma once
// The message window and the yes/no question window. Both sit in the message region, rows 15 to 20,
// columns 30 to 72, so that they never hide the menus at the upper left.
#include <string_view>

struct Context;

// Message window, flash: shown until a key or for one second, then the region is given back. A key that
// ends the wait is consumed.
bool OKNO_(Context& ctx, std::string_view text);
// Persistent ("..."): any text as second argument; the window stays until something draws over it.
bool OKNO_(Context& ctx, std::string_view text, std::string_view persistent);
// Timed: 1 waits one second as the flash does; any other number of seconds (2, 3) also gives the alarm
// look (red frame, red text).
bool OKNO_(Context& ctx, std::string_view text, double seconds);

// Question window: true when answered T (T or t), false when N (N or n). Enter takes the default answer
// ("T" or "N"); with a blank default only the letters end it. Every other key, Esc included, is ignored.
bool OKNO(Context& ctx, std::string_view question, std::string_view defaultAnswer);
