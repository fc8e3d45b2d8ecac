#include "lib/fun3.h"

#include "platform/os/files.h"

bool FILE_X(std::string_view name) {
    // Names map to files without regard to letter case, so the upper- and lower-case spellings of the
    // blank-free name are one test.
    return os::exists(USUN_SPACJE(name)) || os::exists(name);
}

std::string USUN_SPACJE(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != ' ') out += c;
    return out;
}

std::string STR2(int n) {
    if (n < 1 || n > 99) return "00";
    return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}
