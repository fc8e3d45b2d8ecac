#pragma once
// Screen attributes and colour strings.
//
// An attribute is the classic text-mode byte: bits 0-3 the foreground (bit 3 bright), bits 4-6 the
// background, bit 7 blinking. Colours are numbered 0 black, 1 blue, 2 green, 3 cyan, 4 red, 5 magenta,
// 6 brown (yellow when bright), 7 white.
//
// A colour string holds up to five comma-separated pairs "foreground/background": standard, enhanced
// (highlight), border, background, unselected. A pair is written in letters (N black, B blue, G green,
// R red, W white, combined as in "RG" or "BG"; U underline, shown as blue on a colour display; I inverse;
// X blank), "+" bright, "*" blinking, or in digits ("0/7", "15/1"). Any other character is ignored.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace screen {

using Attr = std::uint8_t;

namespace colour {
inline constexpr int Black = 0, Blue = 1, Green = 2, Cyan = 3, Red = 4, Magenta = 5, Brown = 6, White = 7;
inline constexpr int Bright = 8;
}  // namespace colour

constexpr Attr makeAttr(int foreground, int background, bool blink = false) {
    return static_cast<Attr>((foreground & 0x0F) | ((background & 0x07) << 4) | (blink ? 0x80 : 0));
}
constexpr int foregroundOf(Attr a) {
    return a & 0x0F;
}
constexpr int backgroundOf(Attr a) {
    return (a >> 4) & 0x07;
}
constexpr bool blinks(Attr a) {
    return (a & 0x80) != 0;
}

// The slots of a colour set.
enum class ColourSlot { Standard = 0, Enhanced = 1, Border = 2, Background = 3, Unselected = 4 };

struct ColourSet {
    std::array<Attr, 5> slots{};

    Attr standard() const { return slots[0]; }
    Attr enhanced() const { return slots[1]; }
    Attr slot(ColourSlot s) const { return slots[static_cast<int>(s)]; }
    bool operator==(const ColourSet&) const = default;

    // White on black text, black on white highlight.
    static ColourSet defaults();
};

// One pair ("W+/R", "0/7", "R+*/N"); a missing background is black.
Attr parseColourPair(std::string_view pair);

// The colour set after applying `colours` to `current`: an empty string gives the defaults; a pair left
// empty between commas keeps its current value.
ColourSet applyColourString(std::string_view colours, const ColourSet& current);

// The set written back as a colour string ("W/N,N/W,N/N,N/N,N/W"), as a program saves and restores it.
std::string colourString(const ColourSet& set);
std::string pairString(Attr attr);

}  // namespace screen
