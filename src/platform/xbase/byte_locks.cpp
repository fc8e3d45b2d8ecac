#include "platform/xbase/byte_locks.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/core/error.h"

namespace xbase {

namespace {

using Range = std::pair<uint64_t, uint64_t>;  // offset, length

// One book per open description; the description itself is shared by all users in the process.
std::map<const SharedFile*, std::weak_ptr<ByteLocks>>& books() {
    static std::map<const SharedFile*, std::weak_ptr<ByteLocks>> map;
    return map;
}

int setLock(int fd, short type, uint64_t offset, uint64_t length, bool wait) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    while (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR) continue;
        return errno;
    }
    return 0;
}

}  // namespace

std::shared_ptr<ByteLocks> ByteLocks::of(const std::shared_ptr<SharedFile>& file) {
    auto& map = books();
    auto it = map.find(file.get());
    if (it != map.end()) {
        if (auto book = it->second.lock()) return book;
    }
    // Stale entries of closed files are dropped as new ones come.
    std::erase_if(map, [](const auto& entry) { return entry.second.expired(); });
    std::shared_ptr<ByteLocks> book(new ByteLocks(file));
    map[file.get()] = book;
    return book;
}

bool ByteLocks::covered(uint64_t offset, uint64_t length, Range except) const {
    for (const auto& [range, count] : held_) {
        if (range == except) continue;
        if (range.first <= offset && offset + length <= range.first + range.second) return true;
    }
    return false;
}

bool ByteLocks::lock(uint64_t offset, uint64_t length, bool wait) {
    Range key{offset, length};
    if (auto it = held_.find(key); it != held_.end()) {
        ++it->second;
        return true;
    }
    // A range inside one we hold already is ours in the kernel too.
    if (!covered(offset, length, key)) {
        int err = setLock(file_->fd(), F_WRLCK, offset, length, wait);
        if (err == EAGAIN || err == EACCES) return false;
        if (err != 0)
            throw core::RuntimeError(core::RuntimeError::Kind::Io,
                                     std::string("lock error (") + std::strerror(err) + ")",
                                     file_->displayName());
    }
    held_[key] = 1;
    return true;
}

void ByteLocks::unlock(const std::vector<Range>& ranges) {
    uint64_t from = UINT64_MAX, to = 0;
    for (const auto& range : ranges) {
        auto it = held_.find(range);
        if (it == held_.end() || --it->second > 0) continue;
        held_.erase(it);
        from = std::min(from, range.first);
        to = std::max(to, range.first + range.second);
    }
    if (from >= to) return;
    // Unlock the span of what was released, minus every part that a range still held covers; bytes in
    // between that nobody holds are unlocked harmlessly.
    std::vector<Range> keep;
    for (const auto& [range, count] : held_) {
        uint64_t a = std::max(range.first, from);
        uint64_t b = std::min(range.first + range.second, to);
        if (a < b) keep.emplace_back(a, b);
    }
    std::sort(keep.begin(), keep.end());
    uint64_t pos = from;
    for (const auto& [a, b] : keep) {
        if (a > pos) setLock(file_->fd(), F_UNLCK, pos, a - pos, false);
        pos = std::max(pos, b);
    }
    if (pos < to) setLock(file_->fd(), F_UNLCK, pos, to - pos, false);
}

}  // namespace xbase
