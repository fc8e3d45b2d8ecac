#include "lib/readl.h"

#include <cstring>

std::string FREADLINE(os::FileHandle& file) {
    constexpr std::size_t kBuffer = 1000;
    char buffer[kBuffer];
    std::memset(buffer, ' ', kBuffer);  // bytes the read does not fill stay blanks
    const int64_t start = file.position();
    file.read(buffer, kBuffer);
    std::size_t p = 0;  // 1-based position of the CR of the first CR LF, 0 when there is none
    for (std::size_t i = 0; i + 1 < kBuffer; ++i) {
        if (buffer[i] == '\r' && buffer[i + 1] == '\n') {
            p = i + 1;
            break;
        }
    }
    file.seek(start + static_cast<int64_t>(p) + 1);
    return p == 0 ? std::string() : std::string(buffer, p - 1);
}
