#include "platform/os/path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform/core/cp852.h"

namespace os {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = core::cp852Lower(c);
    return out;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (core::cp852Lower(a[i]) != core::cp852Lower(b[i])) return false;
    return true;
}

bool present(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string join(const std::string& dir, std::string_view name) {
    if (dir.empty()) return std::string(name);
    if (dir.back() == '/') return dir + std::string(name);
    return dir + "/" + std::string(name);
}

// The entry of `dir` whose name equals `name` without regard to letter case (the first in name order when
// several do), or empty.
std::string findEntry(const std::string& dir, std::string_view name) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string best;
    while (const dirent* e = ::readdir(d)) {
        std::string_view entry(e->d_name);
        if (sameIgnoringCase(entry, name) && (best.empty() || entry < best)) best = entry;
    }
    ::closedir(d);
    return best;
}

}  // namespace

std::string resolve(std::string_view dosPath) {
    if (dosPath.empty()) return {};
    if (dosPath.starts_with("./") || dosPath.starts_with('/')) return std::string(dosPath);

    std::string result;  // empty: the working directory
    std::string_view rest = dosPath;
    if (rest.size() >= 2 && rest[1] == ':') {
        char letter = rest[0];
        if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
        if (letter < 'A' || letter > 'Z') return {};
        std::string variable = std::string("VELTO_DRIVE_") + letter;
        const char* root = std::getenv(variable.c_str());
        if (!root || !*root) return {};
        result = root;
        rest.remove_prefix(2);
    }

    // Components are looked up while they exist; once one is missing, so is everything below it.
    bool existing = true;
    while (!rest.empty()) {
        std::size_t cut = rest.find_first_of("\\/");
        std::string_view component = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        if (component.empty()) continue;
        if (existing) {
            std::string exact = join(result, component);
            if (present(exact)) {
                result = std::move(exact);
                continue;
            }
            std::string lowered = join(result, lower(component));
            if (present(lowered)) {
                result = std::move(lowered);
                continue;
            }
            std::string found = findEntry(result, component);
            if (!found.empty()) {
                result = join(result, found);
                continue;
            }
            existing = false;
        }
        result = join(result, lower(component));
    }
    return result.empty() ? "." : result;
}

}  // namespace os
