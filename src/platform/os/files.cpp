#include "platform/os/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/os/path.h"

namespace os {

namespace {

bool statPath(const std::string& path, struct stat& st) {
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

bool writeAll(int fd, const char* data, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

}  // namespace

bool exists(std::string_view dosPath) {
    struct stat st;
    return statPath(resolve(dosPath), st) && S_ISREG(st.st_mode);
}

bool directoryExists(std::string_view dosPath) {
    struct stat st;
    return statPath(resolve(dosPath), st) && S_ISDIR(st.st_mode);
}

std::string readFile(std::string_view dosPath) {
    std::string bytes;
    if (std::FILE* f = std::fopen(resolve(dosPath).c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
        std::fclose(f);
    }
    return bytes;
}

bool writeFile(std::string_view dosPath, std::string_view bytes) {
    std::string path = resolve(dosPath);
    std::FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool erase(std::string_view dosPath) {
    std::string path = resolve(dosPath);
    struct stat st;
    if (!statPath(path, st) || S_ISDIR(st.st_mode)) return false;
    // A file that another program holds open (tables and indexes are held with flock, by this program and
    // by the stock-keeping system alike) cannot be erased, as on the shop's DOS network; unlinking it would
    // pull it from under its user.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        if (held) {
            ::close(fd);
            return false;
        }
    }
    bool erased = ::unlink(path.c_str()) == 0;
    if (fd >= 0) ::close(fd);
    return erased;
}

bool rename(std::string_view from, std::string_view to) {
    std::string source = resolve(from), target = resolve(to);
    struct stat s, t;
    if (!statPath(source, s) || S_ISDIR(s.st_mode) || target.empty()) return false;
    if (statPath(target, t)) return sameFile(s, t);
    // The target may have appeared since the look: the rename itself refuses to replace it.
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the no-replace rename: link and unlink never replace either.
    if (::link(source.c_str(), target.c_str()) != 0) return false;
    ::unlink(source.c_str());
    return true;
}

bool copy(std::string_view from, std::string_view to) {
    std::string source = resolve(from), target = resolve(to);
    if (source.empty() || target.empty()) return false;
    Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat s, t;
    if (in.fd < 0 || ::fstat(in.fd, &s) != 0 || !S_ISREG(s.st_mode)) return false;
    // Opened without truncation: a copy onto itself must find out before the bytes are gone.
    Fd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (out.fd < 0 || ::fstat(out.fd, &t) != 0 || sameFile(s, t) || ::ftruncate(out.fd, 0) != 0) return false;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(in.fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        if (!writeAll(out.fd, buffer, static_cast<std::size_t>(n))) return false;
    }
    return ::close(std::exchange(out.fd, -1)) == 0;
}

bool makeDirectory(std::string_view dosPath) {
    std::string path = resolve(dosPath);
    if (path.empty()) return false;
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    struct stat st;
    return errno == EEXIST && statPath(path, st) && S_ISDIR(st.st_mode);
}

int64_t fileSize(std::string_view dosPath) {
    struct stat st;
    if (!statPath(resolve(dosPath), st) || !S_ISREG(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

std::string computerName() {
    std::string name = environment("COMPUTERNAME");
    if (!name.empty()) return name;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) return {};
    return host;
}

std::string environment(std::string_view name) {
    const char* value = std::getenv(std::string(name).c_str());
    return value ? value : "";
}

}  // namespace os
