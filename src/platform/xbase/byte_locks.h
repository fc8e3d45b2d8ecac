#pragma once
// The write locks that every user of one open table file in this process holds together. Locks taken
// through one open file description merge in the kernel, so releasing one range must not drop a part that
// another range (another work area on the same file, or the file lock around a record lock) still holds:
// a release unlocks only what no other held range covers, and a lock inside a held range costs nothing.
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/xbase/shared_file.h"

namespace xbase {

class ByteLocks {
  public:
    // The one lock book of this file's description in the process.
    static std::shared_ptr<ByteLocks> of(const std::shared_ptr<SharedFile>& file);

    // A write lock on [offset, offset + length). `wait` blocks until granted; otherwise one attempt,
    // false on a conflict with another process. Ranges are counted per holder.
    bool lock(uint64_t offset, uint64_t length, bool wait);
    void unlock(uint64_t offset, uint64_t length) { unlock({{offset, length}}); }
    // Releases several ranges at once: one system call covers them where nothing still held lies between.
    void unlock(const std::vector<std::pair<uint64_t, uint64_t>>& ranges);
    bool holds(uint64_t offset, uint64_t length) const;

  private:
    struct Held {
        uint64_t offset, length;
        int count;
    };
    explicit ByteLocks(std::shared_ptr<SharedFile> file) : file_(std::move(file)) {}
    bool covered(uint64_t offset, uint64_t length, const Held* except) const;
    std::vector<Held>::iterator find(uint64_t offset, uint64_t length);
    std::shared_ptr<SharedFile> file_;
    std::vector<Held> held_;  // a few ranges: one record lock per work area, the file and append locks
    std::vector<std::pair<uint64_t, uint64_t>> keep_;  // scratch of unlock()
};

}  // namespace xbase
