#include "platform/os/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "platform/os/path.h"

namespace os {

FileHandle::FileHandle(FileHandle&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      position_(std::exchange(other.position_, 0)),
      window_(std::move(other.window_)),
      windowStart_(other.windowStart_) {
    other.window_.clear();
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        position_ = std::exchange(other.position_, 0);
        window_ = std::move(other.window_);
        windowStart_ = other.windowStart_;
        other.window_.clear();
    }
    return *this;
}

bool FileHandle::open(std::string_view dosPath) {
    close();
    std::string path = resolve(dosPath);
    if (path.empty()) return false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    position_ = 0;
    window_.clear();
    return true;
}

void FileHandle::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    position_ = 0;
    window_.clear();
}

std::size_t FileHandle::readFile(char* buffer, std::size_t n, int64_t at) const {
    std::size_t done = 0;
    while (done < n) {
        ssize_t got =
            ::pread(fd_, buffer + done, n - done, static_cast<off_t>(at + static_cast<int64_t>(done)));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::size_t FileHandle::read(char* buffer, std::size_t n) {
    if (fd_ < 0) return 0;
    constexpr std::size_t kWindow = 64 * 1024;
    const auto within = [&] {
        return position_ >= windowStart_ &&
               position_ + static_cast<int64_t>(n) <= windowStart_ + static_cast<int64_t>(window_.size());
    };
    if (!within()) {
        if (n >= kWindow) {
            std::size_t done = readFile(buffer, n, position_);
            position_ += static_cast<int64_t>(done);
            return done;
        }
        window_.resize(kWindow);
        window_.resize(readFile(window_.data(), kWindow, position_));
        windowStart_ = position_;
    }
    // What the window holds of the request: all of it, or the file ended.
    const auto from = static_cast<std::size_t>(position_ - windowStart_);
    const std::size_t done = std::min(n, window_.size() - std::min(from, window_.size()));
    if (done) std::memcpy(buffer, window_.data() + from, done);
    position_ += static_cast<int64_t>(done);
    return done;
}

int64_t FileHandle::size() const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

}  // namespace os
