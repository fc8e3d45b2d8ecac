#include "platform/settings/mem_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/core/error.h"

namespace settings {

namespace {

using core::RuntimeError;
using Kind = core::RuntimeError::Kind;

constexpr std::size_t kHeader = 32;
constexpr char kEnd = 0x1A;
constexpr unsigned char kText = 0xC3, kNumber = 0xCE, kDate = 0xC4, kLogical = 0xCC;

std::string sysError(const char* what) {
    return std::string(what) + " (" + std::strerror(errno) + ")";
}

struct Fd {
    int fd;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0) ::close(fd);  // also drops the flock
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

// The other side holds the file only while it reads or writes it, so a refusal is waited out for a few
// seconds; a holder that stays longer than that is reported rather than waited for without end.
bool takeLock(int fd, int operation) {
    for (int attempt = 0;; ++attempt) {
        if (::flock(fd, operation | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (attempt == 100) return false;
        ::usleep(50'000);
    }
}

double readDouble(const unsigned char* p) {
    double d;
    std::memcpy(&d, p, sizeof d);  // little-endian, as the file keeps it
    return d;
}

void putDouble(std::string& out, double d) {
    char bytes[sizeof d];
    std::memcpy(bytes, &d, sizeof d);
    out.append(bytes, sizeof d);
}

MemEntries parse(const std::string& data, const std::string& displayName) {
    auto damaged = [&](const std::string& why) { return RuntimeError(Kind::Damaged, why, displayName); };
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const std::size_t n = data.size();
    MemEntries entries;
    std::size_t pos = 0;
    for (;;) {
        if (pos >= n) throw damaged("no end-of-file byte after the last entry");
        if (data[pos] == kEnd) break;  // whatever follows the end byte is not ours to judge
        if (pos + kHeader > n) throw damaged("entry cut short");
        const unsigned char* h = bytes + pos;
        std::size_t nameLength = 0;
        while (nameLength < 11 && h[nameLength] != 0) ++nameLength;
        if (nameLength == 0 || nameLength == 11) throw damaged("entry without a valid name");
        std::string name(reinterpret_cast<const char*>(h), nameLength);
        for (char& c : name)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        // Some old writers leave the type letter without its high bit.
        unsigned char type = h[11] | 0x80;
        std::size_t vpos = pos + kHeader;
        core::Value value;
        std::size_t size;
        switch (type) {
            case kText: {
                size = h[16] | (static_cast<std::size_t>(h[17]) << 8);
                if (size == 0) throw damaged("text entry " + name + " of length 0");
                if (vpos + size > n) throw damaged("text entry " + name + " runs past the end");
                if (bytes[vpos + size - 1] != 0) throw damaged("text entry " + name + " without its end");
                value = core::Value::ofText(std::string(data.c_str() + vpos));  // up to the first NUL
                break;
            }
            case kNumber:
            case kDate: {
                size = 8;
                if (vpos + size > n) throw damaged("entry " + name + " cut short");
                double d = readDouble(bytes + vpos);
                if (!std::isfinite(d)) throw damaged("number entry " + name + " is not a number");
                if (type == kNumber) {
                    value = core::Value::ofNumber(d, h[16], h[17]);
                } else {
                    if (d < 0 || d > 1e8 || d != std::floor(d))
                        throw damaged("date entry " + name + " is no day");
                    value = core::Value::ofDate(core::Date::fromJulian(static_cast<int32_t>(d)));
                }
                break;
            }
            case kLogical:
                size = 1;
                if (vpos + size > n) throw damaged("entry " + name + " cut short");
                value = core::Value::ofLogical(bytes[vpos] != 0);
                break;
            default:
                throw damaged("entry " + name + " of an unknown type");
        }
        entries.emplace_back(std::move(name), std::move(value));
        pos = vpos + size;
    }
    return entries;
}

std::string format(const MemEntries& entries, const std::string& displayName) {
    std::string out;
    for (const auto& [rawName, value] : entries) {
        std::string name = rawName;
        for (char& c : name)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (name.empty() || name.size() > 10 || name.find('\0') != std::string::npos)
            throw RuntimeError(Kind::Other, "setting name not fit for the file: " + name, displayName);
        char header[kHeader] = {};
        std::memcpy(header, name.data(), name.size());
        std::string payload;
        switch (value.type) {
            case core::Type::Text: {
                if (value.text.find('\0') != std::string::npos || value.text.size() > 0xFFFE)
                    throw RuntimeError(Kind::Other, "text of setting " + name + " not fit for the file",
                                       displayName);
                std::size_t length = value.text.size() + 1;
                header[11] = static_cast<char>(kText);
                header[16] = static_cast<char>(length & 0xFF);
                header[17] = static_cast<char>(length >> 8);
                payload = value.text;
                payload += '\0';
                break;
            }
            case core::Type::Number:
                header[11] = static_cast<char>(kNumber);
                header[16] = static_cast<char>(std::clamp(value.width, 0, 255));
                header[17] = static_cast<char>(std::clamp(value.decimals, 0, 255));
                putDouble(payload, value.number);
                break;
            case core::Type::Date:
                header[11] = static_cast<char>(kDate);
                header[16] = 1;
                putDouble(payload, value.date.empty() ? 0.0 : static_cast<double>(value.date.julian()));
                break;
            case core::Type::Logical:
                header[11] = static_cast<char>(kLogical);
                header[16] = 1;
                payload = value.logical ? '\1' : '\0';
                break;
        }
        out.append(header, kHeader);
        out += payload;
    }
    out += kEnd;
    return out;
}

}  // namespace

MemEntries readMemFile(const std::string& path, const std::string& displayName) {
    Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw RuntimeError(Kind::Missing, "file does not exist", displayName);
        throw RuntimeError(Kind::Io, sysError("cannot open file"), displayName);
    }
    if (!takeLock(file.fd, LOCK_SH)) throw RuntimeError(Kind::Io, "file is in use elsewhere", displayName);
    std::string data;
    char buffer[8192];
    for (;;) {
        ssize_t got = ::read(file.fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw RuntimeError(Kind::Io, sysError("read error"), displayName);
        }
        if (got == 0) break;
        data.append(buffer, static_cast<std::size_t>(got));
    }
    return parse(data, displayName);
}

void writeMemFile(const std::string& path, const MemEntries& entries, const std::string& displayName) {
    const std::string data = format(entries, displayName);  // refused entries leave the file alone
    // Not truncated on open: a reader may still hold the file, and its bytes are only ours once the
    // exclusive lock is granted.
    Fd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (file.fd < 0) throw RuntimeError(Kind::Creation, sysError("cannot create file"), displayName);
    if (!takeLock(file.fd, LOCK_EX)) throw RuntimeError(Kind::Io, "file is in use elsewhere", displayName);
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t put = ::pwrite(file.fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
        if (put < 0) {
            if (errno == EINTR) continue;
            throw RuntimeError(Kind::Io, sysError("write error"), displayName);
        }
        done += static_cast<std::size_t>(put);
    }
    if (::ftruncate(file.fd, static_cast<off_t>(data.size())) != 0)
        throw RuntimeError(Kind::Io, sysError("write error"), displayName);
}

}  // namespace settings
