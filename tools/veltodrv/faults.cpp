#include "faults.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "platform/os/files.h"
#include "platform/os/path.h"

namespace veltodrv {

namespace {

bool number(std::string_view text, int& out) {
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out >= 0;
}

}  // namespace

bool parseFaults(std::string_view text, Faults& faults, std::string& problem) {
    std::istringstream in{std::string(text)};
    for (std::string word; in >> word;) {
        std::string_view w = word;
        size_t eq = w.find('=');
        std::string_view key = w.substr(0, eq), value = eq == std::string_view::npos ? "" : w.substr(eq + 1);
        bool ok = true;
        if (w == "noanswer") {
            faults.noAnswer = true;
        } else if (w == "noerror") {
            faults.noError = true;
        } else if (w == "once") {
            faults.once = true;
        } else if (key == "error") {
            size_t comma = value.find(',');
            int code = 0, line = 0;
            ok = comma != std::string_view::npos && number(value.substr(0, comma), code) &&
                 number(value.substr(comma + 1), line);
            if (ok) faults.error = std::pair{code, line};
        } else if (key == "sleep") {
            ok = number(value, faults.sleepSeconds);
        } else if (key == "exit") {
            int status = 0;
            ok = number(value, status) && status <= 255;
            if (ok) faults.exitStatus = status;
        } else {
            ok = false;
        }
        if (!ok) {
            problem = "unknown fault \"" + word + "\"";
            return false;
        }
    }
    return true;
}

bool readFaults(const std::string& exchangeDir, Faults& faults, std::string& problem) {
    std::string fromEnvironment = os::environment("VELTODRV_FAULT");
    if (!parseFaults(fromEnvironment, faults, problem)) return false;
    std::string dosName = exchangeDir + "\\veltodrv.fault";
    if (!os::exists(dosName)) return true;
    std::ifstream in(os::resolve(dosName), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    Faults fromFile;
    if (!parseFaults(text.str(), fromFile, problem)) return false;
    if (fromFile.once) os::erase(dosName);
    faults.noAnswer |= fromFile.noAnswer;
    faults.noError |= fromFile.noError;
    if (fromFile.error) faults.error = fromFile.error;
    if (fromFile.sleepSeconds) faults.sleepSeconds = fromFile.sleepSeconds;
    if (fromFile.exitStatus) faults.exitStatus = fromFile.exitStatus;
    return true;
}

}  // namespace veltodrv
