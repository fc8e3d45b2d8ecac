#pragma once
// Code page 852 is the one encoding inside the program: tables, exchange files, printouts and the screen
// model hold its bytes. Source files are UTF-8, so literals with Polish letters or box characters are
// converted at compile time with the _cp suffix:  "Koniec pracy programu VELTO"_cp, "╔═╗"_cp.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace core {

// Unicode code points of the bytes 0x80..0xFF.
inline constexpr std::array<char32_t, 128> kCp852High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x016F, 0x0107, 0x00E7, 0x0142, 0x00EB, 0x0150, 0x0151, 0x00EE,
    0x0179, 0x00C4, 0x0106, 0x00C9, 0x0139, 0x013A, 0x00F4, 0x00F6, 0x013D, 0x013E, 0x015A, 0x015B, 0x00D6,
    0x00DC, 0x0164, 0x0165, 0x0141, 0x00D7, 0x010D, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x0104, 0x0105, 0x017D,
    0x017E, 0x0118, 0x0119, 0x00AC, 0x017A, 0x010C, 0x015F, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x00C1, 0x00C2, 0x011A, 0x015E, 0x2563, 0x2551, 0x2557, 0x255D, 0x017B, 0x017C, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x0102, 0x0103, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x00A4, 0x0111, 0x0110, 0x010E, 0x00CB, 0x010F, 0x0147, 0x00CD, 0x00CE, 0x011B, 0x2518, 0x250C,
    0x2588, 0x2584, 0x0162, 0x016E, 0x2580, 0x00D3, 0x00DF, 0x00D4, 0x0143, 0x0144, 0x0148, 0x0160, 0x0161,
    0x0154, 0x00DA, 0x0155, 0x0170, 0x00FD, 0x00DD, 0x0163, 0x00B4, 0x00AD, 0x02DD, 0x02DB, 0x02C7, 0x02D8,
    0x00A7, 0x00F7, 0x00B8, 0x00B0, 0x00A8, 0x02D9, 0x0171, 0x0158, 0x0159, 0x25A0, 0x00A0,
};

constexpr char32_t cp852ToUnicode(unsigned char byte) {
    return byte < 0x80 ? static_cast<char32_t>(byte) : kCp852High[byte - 0x80];
}

// The code page byte of a code point, or -1 when the code page has no such character.
constexpr int unicodeToCp852(char32_t cp) {
    if (cp < 0x80) return static_cast<int>(cp);
    for (std::size_t i = 0; i < kCp852High.size(); ++i)
        if (kCp852High[i] == cp) return static_cast<int>(0x80 + i);
    return -1;
}

namespace detail {

// Decodes one UTF-8 sequence at s[i], advancing i; -1 on a malformed sequence.
constexpr long decodeUtf8(const char* s, std::size_t n, std::size_t& i) {
    auto b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + extra >= n + (extra == 0 ? 1 : 0)) return -1;
    long cp = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k <= extra; ++k) {
        auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (c & 0x3F);
    }
    i += extra + 1;
    return cp;
}

template <std::size_t N>
struct Utf8Literal {
    char chars[N]{};
    consteval Utf8Literal(const char (&s)[N]) {
        for (std::size_t i = 0; i < N; ++i) chars[i] = s[i];
    }
    // Number of code page bytes the literal converts to (without the terminating NUL).
    consteval std::size_t convertedLength() const {
        std::size_t count = 0, i = 0;
        while (i < N - 1) {
            long cp = decodeUtf8(chars, N - 1, i);
            if (cp < 0) throw "malformed UTF-8 in a literal";
            if (unicodeToCp852(static_cast<char32_t>(cp)) < 0) throw "character not in code page 852";
            ++count;
        }
        return count;
    }
};

template <Utf8Literal S>
consteval auto convertLiteral() {
    std::array<char, S.convertedLength() + 1> out{};
    std::size_t i = 0, o = 0;
    while (i < sizeof(S.chars) - 1) {
        long cp = decodeUtf8(S.chars, sizeof(S.chars) - 1, i);
        out[o++] = static_cast<char>(unicodeToCp852(static_cast<char32_t>(cp)));
    }
    return out;
}

template <Utf8Literal S>
inline constexpr auto kConverted = convertLiteral<S>();

}  // namespace detail

inline namespace literals {
template <detail::Utf8Literal S>
constexpr std::string_view operator""_cp() {
    return std::string_view(detail::kConverted<S>.data(), detail::kConverted<S>.size() - 1);
}
}  // namespace literals

// Appends one code point (of the Basic Multilingual Plane) in UTF-8.
void appendUtf8(std::string& out, char32_t cp);

// Run-time conversions at the edges (terminal, page rendering, test output).
std::string cp852ToUtf8(std::string_view bytes);
// Characters outside the code page become '?'.
std::string utf8ToCp852(std::string_view utf8);

// Letter case in code page 852 for the Polish letters as well as ASCII (used where the program itself
// compares names; UPPER() of key expressions stays ASCII-only as the table engine's is).
char cp852Upper(char c);
char cp852Lower(char c);

}  // namespace core
