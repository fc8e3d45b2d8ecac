#include "lib/fun1.h"

#include <cctype>

#include "platform/context.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"

namespace {

constexpr int kTop = 15, kLeft = 30, kBottom = 20, kRight = 72;  // the message region
constexpr int kFrameBottom = 19;
constexpr int kTextRow = 17;

// Centred in the 41 columns inside the frame; a longer text starts left of it and crosses the frame.
int textColumn(std::string_view text) {
    return (41 - static_cast<int>(text.size())) / 2 + 31;
}

void drawWindow(screen::Screen& s, std::string_view text, std::string_view frameColour,
                std::string_view textColour) {
    screen::Screen::Batch batch(s);
    s.clear(kTop, kLeft, kFrameBottom, kRight, screen::ColourSet::defaults().standard());
    s.box(kTop, kLeft, kFrameBottom, kRight, screen::Frame::Double, screen::parseColourPair(frameColour));
    s.say(kTextRow, textColumn(text), text, textColour);
}

enum class Mode { Flash, Persistent, Timed };

bool message(Context& ctx, std::string_view text, Mode mode, double seconds) {
    screen::Screen& s = *ctx.screen;
    const int row = s.row(), col = s.col();
    const screen::ColourSet colours = s.colours();
    screen::SavedRegion saved;
    if (mode != Mode::Persistent) saved = s.save(kTop, kLeft, kBottom, kRight);

    const bool alarm = mode == Mode::Timed && seconds != 1;
    drawWindow(s, text, alarm ? "W+/R" : "0/7", alarm ? "R+/N" : "W+/N");

    if (mode != Mode::Persistent) {
        if (seconds > 0) ctx.keyboard->inkey(seconds);
        s.restore(saved);
    }
    s.setColours(colours);
    s.setCursor(row, col);
    return true;
}

}  // namespace

bool OKNO_(Context& ctx, std::string_view text) {
    return message(ctx, text, Mode::Flash, 1);
}

bool OKNO_(Context& ctx, std::string_view text, std::string_view) {
    return message(ctx, text, Mode::Persistent, 0);
}

bool OKNO_(Context& ctx, std::string_view text, double seconds) {
    return message(ctx, text, Mode::Timed, seconds);
}

bool OKNO(Context& ctx, std::string_view question, std::string_view defaultAnswer) {
    screen::Screen& s = *ctx.screen;
    const int row = s.row(), col = s.col();
    const screen::SavedRegion saved = s.save(kTop, kLeft, kBottom, kRight);
    const screen::ColourSet colours = s.colours();
    const char answer = defaultAnswer.empty() ? ' ' : defaultAnswer[0];
    const screen::Attr standard = screen::ColourSet::defaults().standard();

    {
        screen::Screen::Batch batch(s);
        drawWindow(s, question, "0/7", "W+/N");
        s.clear(18, 37, 20, 65, standard);
        s.box(18, 37, 20, 65, screen::Frame::Single, standard);
        s.setCursorVisible(true);
        s.say(19, 38, "      [T/N]  ? ", standard);
        s.say(19, 53, std::string_view(&answer, 1), s.isColour() ? "W+/R" : "N/W");
        s.setCursor(19, 53);
    }

    bool yes = false;
    for (;;) {
        int k = ctx.keyboard->inkey(-1);
        if (k == 'T' || k == 't' || k == 'N' || k == 'n') {
            yes = k == 'T' || k == 't';
            break;
        }
        if (k == screen::key::Enter && answer != ' ') {
            yes = std::toupper(static_cast<unsigned char>(answer)) == 'T';
            break;
        }
    }

    s.setColours(colours);
    s.restore(saved);
    s.setCursor(row, col);
    return yes;
}
