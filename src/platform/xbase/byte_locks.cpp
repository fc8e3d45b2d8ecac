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
    file->noteLocksKeptElsewhere();
    map[file.get()] = book;
    return book;
}

std::vector<ByteLocks::Held>::iterator ByteLocks::find(uint64_t offset, uint64_t length) {
    return std::find_if(held_.begin(), held_.end(),
                        [&](const Held& h) { return h.offset == offset && h.length == length; });
}

bool ByteLocks::holds(uint64_t offset, uint64_t length) const {
    return std::any_of(held_.begin(), held_.end(),
                       [&](const Held& h) { return h.offset == offset && h.length == length; });
}

bool ByteLocks::covered(uint64_t offset, uint64_t length, const Held* except) const {
    for (const Held& h : held_) {
        if (&h == except) continue;
        if (h.offset <= offset && offset + length <= h.offset + h.length) return true;
    }
    return false;
}

bool ByteLocks::lock(uint64_t offset, uint64_t length, bool wait) {
    if (auto it = find(offset, length); it != held_.end()) {
        ++it->count;
        return true;
    }
    // A range inside one we hold already is ours in the kernel too.
    if (!covered(offset, length, nullptr)) {
        int err = setLock(file_->fd(), F_WRLCK, offset, length, wait);
        if (err == EAGAIN || err == EACCES) return false;
        if (err != 0)
            throw core::RuntimeError(core::RuntimeError::Kind::Io,
                                     std::string("lock error (") + std::strerror(err) + ")",
                                     file_->displayName());
    }
    held_.push_back({offset, length, 1});
    return true;
}

void ByteLocks::unlock(const std::vector<Range>& ranges) {
    uint64_t from = UINT64_MAX, to = 0;
    for (const auto& range : ranges) {
        auto it = find(range.first, range.second);
        if (it == held_.end() || --it->count > 0) continue;
        held_.erase(it);
        from = std::min(from, range.first);
        to = std::max(to, range.first + range.second);
    }
    if (from >= to) return;
    // Unlock the span of what was released, minus every part that a range still held covers; bytes in
    // between that nobody holds are unlocked harmlessly.
    keep_.clear();
    for (const Held& h : held_) {
        uint64_t a = std::max(h.offset, from);
        uint64_t b = std::min(h.offset + h.length, to);
        if (a < b) keep_.emplace_back(a, b);
    }
    std::sort(keep_.begin(), keep_.end());
    uint64_t pos = from;
    for (const auto& [a, b] : keep_) {
        if (a > pos) setLock(file_->fd(), F_UNLCK, pos, a - pos, false);
        pos = std::max(pos, b);
    }
    if (pos < to) setLock(file_->fd(), F_UNLCK, pos, to - pos, false);
}

}  // namespace xbase
