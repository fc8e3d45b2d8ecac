#include "platform/screen/colour.h"

namespace screen {

ColourSet ColourSet::defaults() {
    using namespace colour;
    return ColourSet{{makeAttr(White, Black), makeAttr(Black, White), makeAttr(Black, Black),
                      makeAttr(Black, Black), makeAttr(Black, White)}};
}

Attr parseColourPair(std::string_view pair) {
    int part[2] = {0, 0};
    bool number[2] = {false, false};
    int side = 0;
    bool bright = false, blink = false, inverse = false, blank = false;
    for (char c : pair) {
        switch (c) {
            case '/':
                side = 1;
                break;
            case 'N':
            case 'n':
                break;
            case 'B':
            case 'b':
                part[side] |= colour::Blue;
                break;
            case 'G':
            case 'g':
                part[side] |= colour::Green;
                break;
            case 'R':
            case 'r':
                part[side] |= colour::Red;
                break;
            case 'W':
            case 'w':
                part[side] |= colour::White;
                break;
            case 'U':
            case 'u':
                part[side] |= colour::Blue;
                break;  // underline shows as blue in colour
            case 'I':
            case 'i':
                inverse = true;
                break;
            case 'X':
            case 'x':
                blank = true;
                break;
            case '+':
                bright = true;
                break;
            case '*':
                blink = true;
                break;
            default:
                if (c >= '0' && c <= '9') {
                    part[side] = (number[side] ? part[side] * 10 : 0) + (c - '0');
                    number[side] = true;
                    if (part[side] > 255) part[side] = 255;
                }
                break;  // anything else (a quotation mark, a blank) means nothing
        }
    }
    int fg = part[0] & 0x0F, bg = part[1] & 0x07;
    if (inverse) fg = colour::Black, bg = colour::White;
    if (blank) fg = bg;
    if (bright) fg |= colour::Bright;
    return makeAttr(fg, bg, blink);
}

ColourSet applyColourString(std::string_view colours, const ColourSet& current) {
    if (colours.empty()) return ColourSet::defaults();
    ColourSet result = current;
    std::size_t slot = 0, start = 0;
    while (slot < result.slots.size()) {
        std::size_t comma = colours.find(',', start);
        std::string_view pair =
            colours.substr(start, comma == std::string_view::npos ? colours.npos : comma - start);
        if (!pair.empty()) result.slots[slot] = parseColourPair(pair);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
        ++slot;
    }
    return result;
}

std::string pairString(Attr attr) {
    static constexpr const char* kLetters[8] = {"N", "B", "G", "BG", "R", "RB", "GR", "W"};
    std::string s = kLetters[foregroundOf(attr) & 7];
    if (foregroundOf(attr) & colour::Bright) s += '+';
    if (blinks(attr)) s += '*';
    s += '/';
    s += kLetters[backgroundOf(attr)];
    return s;
}

std::string colourString(const ColourSet& set) {
    std::string s;
    for (std::size_t i = 0; i < set.slots.size(); ++i) {
        if (i) s += ',';
        s += pairString(set.slots[i]);
    }
    return s;
}

}  // namespace screen
