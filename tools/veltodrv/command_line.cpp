#include "command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <set>

#include "platform/os/path.h"

namespace veltodrv {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

bool number(const std::string& text, size_t maxDigits, int& out) {
    if (text.empty() || text.size() > maxDigits) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out >= 0;
}

// One key=value argument; `allowed` lists the keys this command takes.
bool applyOption(const std::string& arg, const std::set<std::string>& allowed, std::set<std::string>& seen,
                 Options& o, std::string& problem) {
    size_t eq = arg.find('=');
    std::string key = lower(arg.substr(0, eq)), value = arg.substr(eq + 1);
    if (!allowed.count(key)) {
        problem = "unknown argument \"" + arg + "\"";
        return false;
    }
    if (!seen.insert(key).second) {
        problem = "argument given twice: " + key;
        return false;
    }
    bool ok = true;
    if (key == "dp") {
        ok = !value.empty() && !os::resolve(value).empty();
        if (ok) o.exchangeDir = value;
    } else if (key == "if") {
        ok = !value.empty() && value.find_first_of("\\/:") == std::string::npos;
        if (ok) o.requestFile = value;
    } else if (key == "af") {
        std::string v = lower(value);
        ok = v == "t" || v == "n";
        o.answerFile = v == "t";
    } else if (key == "cp") {
        ok = number(value, 2, o.port) && o.port >= 1 && o.port <= 17;
    } else if (key == "ct") {
        ok = number(value, 6, o.timeout);
    } else if (key == "cs") {
        ok = number(value, 6, o.speed) && o.speed > 0;
    }
    if (!ok) problem = "bad value in \"" + arg + "\"";
    return ok;
}

bool parse(const std::vector<std::string>& args, const std::set<std::string>& allowed, bool positional,
           Options& o, std::string& problem) {
    std::set<std::string> seen;
    // Every argument is read, so that the exchange directory is known even when an earlier one is wrong.
    bool ok = true;
    for (const std::string& arg : args) {
        if (arg.find('=') == std::string::npos) {
            if (positional) {
                o.positional.push_back(arg);
                continue;
            }
            if (ok) problem = "unknown argument \"" + arg + "\"";
            ok = false;
            continue;
        }
        std::string p;
        if (!applyOption(arg, allowed, seen, o, p) && ok) {
            problem = p;
            ok = false;
        }
    }
    if (ok && o.port == 0) {
        problem = "no port given (cp=1 to cp=17)";
        ok = false;
    }
    return ok;
}

}  // namespace

bool parseDriverLine(const std::vector<std::string>& args, Options& options, std::string& problem) {
    return parse(args, {"dp", "if", "af", "cp", "ct", "cs"}, false, options, problem);
}

bool parseAdminLine(const std::vector<std::string>& args, Options& options, std::string& problem) {
    return parse(args, {"dp", "cp"}, true, options, problem);
}

}  // namespace veltodrv
