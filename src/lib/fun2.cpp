#include "lib/fun2.h"

#include <string>

#include "platform/context.h"
#include "platform/core/cp852.h"
#include "platform/screen/screen.h"

using namespace core::literals;

bool RAMKA(Context& ctx, int top, int left, int bottom, int right, std::initializer_list<int> separators) {
    screen::Screen& s = *ctx.screen;
    screen::Screen::Batch batch(s);
    s.setColour("W+");
    std::string halfBlocks;
    for (int i = 0; i < right - left - 1; ++i) halfBlocks += "▀"_cp;
    s.say(top + 1, left + 1, halfBlocks);
    // Straight lines only: the top row stays open for the caller's title, so no top corners.
    s.box(top, left, bottom, left, screen::Frame::Single);
    s.box(top, right, bottom, right, screen::Frame::Single);
    s.box(bottom, left, bottom, right, screen::Frame::Single);
    s.say(bottom, left, "└"_cp);
    s.say(bottom, right, "┘"_cp);
    int drawn = 0;
    for (int row : separators) {
        if (drawn++ == 4) break;
        s.box(row, left + 1, row, right - 1, screen::Frame::Single);
    }
    return true;
}

bool MONITOR(Context& ctx) {
    ctx.screen->setColour(ctx.screen->isColour() ? "N/W" : "U+");
    return true;
}
