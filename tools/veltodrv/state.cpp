#include "state.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/core/error.h"
#include "platform/os/path.h"

namespace veltodrv {

namespace {

constexpr const char* kHeader = "veltodrv state 1";

core::RuntimeError damaged(const std::string& path, const std::string& what) {
    return core::RuntimeError(core::RuntimeError::Kind::Damaged, "register state damaged (" + what + ")",
                              path);
}

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> parts;
    std::istringstream in(line);
    for (std::string part; std::getline(in, part, '\t');) parts.push_back(part);
    if (!line.empty() && line.back() == '\t') parts.emplace_back();
    return parts;
}

// A sale line: code, name, quantity, value, tax letter, department.
Sale readSale(const std::vector<std::string>& p, const std::string& path, int lineNo) {
    Sale s;
    bool ok = p.size() == 7 && !p[1].empty() && !p[2].empty() && parseScaled(p[3], 0, s.quantity) &&
              parseScaled(p[4], 0, s.value) && p[5].size() == 1 &&
              std::string_view("ABCDEFZ").find(p[5][0]) != std::string_view::npos && p[6].size() == 2;
    s.department = ok ? std::atoi(p[6].c_str()) : 0;
    if (!ok || s.department < 1 || s.department > 7) throw damaged(path, "line " + std::to_string(lineNo));
    s.code = p[1];
    s.name = p[2];
    s.tax = p[5][0];
    return s;
}

}  // namespace

std::string stateFile(const std::string& exchangeDir, int port) {
    return os::resolve(exchangeDir + "\\veltodrv_port" + std::to_string(port) + ".state");
}

RegisterState loadState(const std::string& path) {
    RegisterState state;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (!std::filesystem::exists(path)) return state;
        throw core::RuntimeError(core::RuntimeError::Kind::Io, "cannot read the register state", path);
    }
    std::string line;
    if (!std::getline(in, line) || line != kHeader) throw damaged(path, "no header");
    for (int lineNo = 2; std::getline(in, line); ++lineNo) {
        if (line.empty()) continue;
        auto parts = splitTabs(line);
        std::string where = "line " + std::to_string(lineNo);
        if (parts[0] == "D" && parts.size() == 2) {
            Department d;
            if (parseDepartmentRecord(parts[1], d) != 0) throw damaged(path, where);
            state.departments[static_cast<size_t>(d.number - 1)] = d;
        } else if (parts[0] == "P" && parts.size() == 2) {
            Plu p;
            if (parsePluRecord(parts[1], p) != 0) throw damaged(path, where);
            state.plus[p.code] = p;
        } else if (parts[0] == "S") {
            state.sales.push_back(readSale(parts, path, lineNo));
        } else {
            throw damaged(path, where);
        }
    }
    return state;
}

void saveState(const std::string& path, const RegisterState& state) {
    std::string text = std::string(kHeader) + "\n";
    for (const auto& d : state.departments)
        if (d) text += "D\t" + d->record + "\n";
    for (const auto& [code, p] : state.plus) text += "P\t" + p.record + "\n";
    for (const Sale& s : state.sales)
        text += "S\t" + s.code + "\t" + s.name + "\t" + std::to_string(s.quantity) + "\t" +
                std::to_string(s.value) + "\t" + s.tax + "\t" + departmentText(s.department) + "\n";

    std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out)
            throw core::RuntimeError(core::RuntimeError::Kind::Io, "cannot write the register state",
                                     temporary);
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) throw core::RuntimeError(core::RuntimeError::Kind::Io, "cannot replace the register state", path);
}

ExchangeLock::ExchangeLock(const std::string& directory) {
    fd_ = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        throw core::RuntimeError(core::RuntimeError::Kind::Io, "cannot open the exchange directory",
                                 directory);
    while (::flock(fd_, LOCK_EX) != 0)
        if (errno != EINTR)
            throw core::RuntimeError(core::RuntimeError::Kind::Io, "cannot lock the exchange directory",
                                     directory);
}

ExchangeLock::~ExchangeLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace veltodrv
