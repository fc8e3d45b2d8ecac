#pragma once
// A table or index file as the process holds it: one open file description per file, shared by every
// user in the process (two work areas on one table), so that closing one user never drops the locks of
// another. Share modes are emulated with flock(); byte-range locks are open-file-description locks, which
// conflict with the classic fcntl() locks of other processes.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace xbase {

class SharedFile {
  public:
    enum class Mode { Shared, Exclusive };

    // Opens an existing file. Returns nullptr on a sharing conflict (another process, or another user in
    // this process, holds it in a mode that excludes ours). A missing or unreadable file throws
    // core::RuntimeError naming `displayName`.
    static std::shared_ptr<SharedFile> open(const std::string& path, Mode mode,
                                            const std::string& displayName);
    // Creates (or replaces) a file, held exclusively; it is truncated only once the exclusive hold is
    // granted. Returns nullptr when another holder prevents it.
    static std::shared_ptr<SharedFile> create(const std::string& path, const std::string& displayName);

    ~SharedFile();
    SharedFile(const SharedFile&) = delete;
    SharedFile& operator=(const SharedFile&) = delete;

    const std::string& path() const { return path_; }
    const std::string& displayName() const { return displayName_; }
    Mode mode() const { return mode_; }
    bool shared() const { return mode_ == Mode::Shared; }
    int fd() const { return fd_; }

    // Reads up to n bytes; returns how many were there. Throws on an I/O error.
    std::size_t readAt(void* buffer, std::size_t n, uint64_t offset) const;
    // Reads exactly n bytes or throws a "damaged" error naming the file.
    void readExact(void* buffer, std::size_t n, uint64_t offset) const;
    void writeAt(const void* buffer, std::size_t n, uint64_t offset);
    uint64_t size() const;
    void truncate(uint64_t length);
    void sync();

    // Byte-range locks. `wait` blocks until granted; otherwise one attempt. A range already held by a
    // user in this process is counted, not taken twice, and released when its last holder lets go.
    bool lock(uint64_t offset, uint64_t length, bool write, bool wait);
    void unlock(uint64_t offset, uint64_t length);
    // Whether some other process holds a lock that would conflict with a write lock on the range.
    bool lockedElsewhere(uint64_t offset, uint64_t length) const;
    // Some user takes byte-range locks on this file's descriptor without lock() (a table's lock book):
    // a release must then always name its own range.
    void noteLocksKeptElsewhere() { locksKeptElsewhere_ = true; }

    // Shared files on a local disk: writes anywhere in the file (not only its first page) go through the
    // mapping from now on. For index files, whose pages are rewritten again and again.
    void mapForWrites();
    // Off in tests that run the read and write calls on a local disk; applies to files opened afterwards.
    static void allowMapping(bool allowed);

  private:
    SharedFile(int fd, std::string path, std::string displayName, Mode mode, uint64_t dev, uint64_t ino);
    int fd_;
    std::string path_;
    std::string displayName_;
    Mode mode_;
    uint64_t dev_, ino_;
    // The ranges held, with their holders: a few at most, looked at on every index operation.
    struct Held {
        uint64_t offset, length;
        int count;
    };
    std::vector<Held> held_;
    std::vector<Held>::iterator findHeld(uint64_t offset, uint64_t length);
    bool locksKeptElsewhere_ = false;
    // A shared file on a local disk (one page cache for all processes, and flock() and byte-range locks
    // never meeting, where NFS makes a share lock a range lock). Found at open.
    bool localDisk_ = false;
    // A shared file's first page holds the header words that every operation of every process checks and
    // many rewrite. Where the file system keeps one page cache for all processes (a local disk), that page
    // is mapped and those reads and writes cost no system call; network file systems may keep a mapping
    // stale, so there, and in exclusive mode, every access is a read or write call. Only bytes the file is
    // known to hold are touched through the mapping (past its end a mapping faults): a shared file never
    // shrinks, and it grows by writes we make or sizes we learn.
    void mapFirstPage();
    void remap(uint64_t known);
    void learnSize(uint64_t end);
    char* map_ = nullptr;
    std::size_t mapLength_ = 0;  // bytes mapped, which may run past the end of the file
    std::size_t mapUsable_ = 0;  // bytes of the mapping the file is known to hold
    bool mapWhole_ = false;      // writes past the first page go through the mapping too
    // Pages written through the mapping count against the process's memory: now and then the process
    // lets go of them (they stay in the page cache, changed pages still to be written by the system).
    std::size_t pagesWritten_ = 0;
    friend struct SharedFileRegistry;
};

}  // namespace xbase
