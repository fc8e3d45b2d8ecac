#include "platform/core/cp852.h"

namespace core {

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string cp852ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char ch : bytes) appendUtf8(out, cp852ToUnicode(static_cast<unsigned char>(ch)));
    return out;
}

std::string utf8ToCp852(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t before = i;
        long cp = detail::decodeUtf8(utf8.data(), utf8.size(), i);
        if (cp < 0) {
            out += '?';
            i = before + 1;
            continue;
        }
        int b = unicodeToCp852(static_cast<char32_t>(cp));
        out += b < 0 ? '?' : static_cast<char>(b);
    }
    return out;
}

namespace {
// Pairs of (upper, lower) code page bytes of the letters outside ASCII.
constexpr unsigned char kCasePairs[][2] = {
    {0x80, 0x87}, {0x9A, 0x81}, {0x90, 0x82}, {0xB6, 0x83}, {0x8E, 0x84}, {0xDE, 0x85}, {0x8F, 0x86},
    {0x9D, 0x88}, {0xD3, 0x89}, {0x8A, 0x8B}, {0xD7, 0x8C}, {0x8D, 0xAB}, {0x91, 0x92}, {0xE2, 0x93},
    {0x99, 0x94}, {0x95, 0x96}, {0x97, 0x98}, {0x9B, 0x9C}, {0xAC, 0x9F}, {0xB5, 0xA0}, {0xD6, 0xA1},
    {0xE0, 0xA2}, {0xE9, 0xA3}, {0xA4, 0xA5}, {0xA6, 0xA7}, {0xA8, 0xA9}, {0xB8, 0xAD}, {0xB7, 0xD8},
    {0xBD, 0xBE}, {0xC6, 0xC7}, {0xD1, 0xD0}, {0xD2, 0xD4}, {0xD5, 0xE5}, {0xDD, 0xEE}, {0xE3, 0xE4},
    {0xE6, 0xE7}, {0xE8, 0xEA}, {0xEB, 0xFB}, {0xED, 0xEC}, {0xFC, 0xFD},
};
}  // namespace

char cp852Upper(char c) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 'a' && b <= 'z') return static_cast<char>(b - 32);
    for (auto& p : kCasePairs)
        if (p[1] == b) return static_cast<char>(p[0]);
    return c;
}

char cp852Lower(char c) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 'A' && b <= 'Z') return static_cast<char>(b + 32);
    for (auto& p : kCasePairs)
        if (p[0] == b) return static_cast<char>(p[1]);
    return c;
}

}  // namespace core
