#pragma once
// Small text operations on code page 852 bytes, as the program compares names, tags and codes.
#include <string>
#include <string_view>

namespace core {

// ASCII letters in upper case, every other byte as it is ("taken in upper case" in the system's rules).
inline std::string upperAscii(std::string_view text) {
    std::string s(text);
    for (auto& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// "contains": a substring test with exact letter case.
inline bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// "begins with": the text equals the prefix over the prefix's length.
inline bool beginsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The text without blanks at either end.
inline std::string trimBlanks(std::string_view text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

}  // namespace core
