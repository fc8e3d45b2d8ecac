#include "platform/xbase/shared_file.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/core/error.h"

namespace xbase {

using core::RuntimeError;

// Files open in this process, keyed by device and inode. Single-threaded program; no locking needed.
struct SharedFileRegistry {
    static std::map<std::pair<uint64_t, uint64_t>, std::weak_ptr<SharedFile>>& files() {
        static std::map<std::pair<uint64_t, uint64_t>, std::weak_ptr<SharedFile>> map;
        return map;
    }
};

namespace {

bool mappingAllowed = true;
constexpr std::size_t kPagesKept = 2048;  // written through the mapping between two let-goes

// File systems whose mapped pages are the very pages every reader and writer on the machine goes through.
bool oneCacheForAll(int fd) {
    struct statfs fs {};
    if (fstatfs(fd, &fs) != 0) return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case EXT4_SUPER_MAGIC:  // also ext2 and ext3
        case XFS_SUPER_MAGIC:
        case TMPFS_MAGIC:
        case OVERLAYFS_SUPER_MAGIC:  // a file open for writing is its upper layer's file
            return true;
        default:
            return false;
    }
}

std::size_t pageSize() {
    static const auto size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

std::string sysError(const char* what) {
    return std::string(what) + " (" + std::strerror(errno) + ")";
}

bool flockNoWait(int fd, int op) {
    while (flock(fd, op | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return false;
        throw RuntimeError(RuntimeError::Kind::Io, sysError("cannot take the share lock"));
    }
    return true;
}

// Opens without access-time updates where the file system lets us (our own files): reads follow writes
// all the time here, and each would otherwise dirty the inode again.
int openFile(const std::string& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_NOATIME, 0666);
    if (fd < 0 && errno == EPERM) fd = ::open(path.c_str(), flags, 0666);
    return fd;
}

}  // namespace

SharedFile::SharedFile(int fd, std::string path, std::string displayName, Mode mode, uint64_t dev,
                       uint64_t ino)
    : fd_(fd),
      path_(std::move(path)),
      displayName_(std::move(displayName)),
      mode_(mode),
      dev_(dev),
      ino_(ino) {}

void SharedFile::allowMapping(bool allowed) {
    mappingAllowed = allowed;
}

void SharedFile::mapFirstPage() {
    if (!mappingAllowed || !localDisk_) return;
    remap(size());
}

void SharedFile::mapForWrites() {
    if (!map_ || mapWhole_) return;
    mapWhole_ = true;
    remap(size());
}

// Maps room for the file as known and some growth; the first page alone until writes are wanted.
void SharedFile::remap(uint64_t known) {
    const std::size_t page = pageSize();
    std::size_t length = page;
    if (mapWhole_) {
        const uint64_t room = std::max<uint64_t>(known + known / 2, uint64_t{1} << 20);
        length = static_cast<std::size_t>((room + page - 1) / page * page);
    }
    void* p = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (p == MAP_FAILED) {
        mapWhole_ = false;  // what is mapped already serves; the calls do the rest
        return;
    }
    if (map_) ::munmap(map_, mapLength_);
    map_ = static_cast<char*>(p);
    mapLength_ = length;
    mapUsable_ = static_cast<std::size_t>(std::min<uint64_t>(known, length));
    pagesWritten_ = 0;
}

void SharedFile::learnSize(uint64_t end) {
    if (!map_ || end <= mapUsable_) return;
    if (end <= mapLength_)
        mapUsable_ = static_cast<std::size_t>(end);
    else if (mapWhole_)
        remap(end);
}

SharedFile::~SharedFile() {
    if (map_) ::munmap(map_, mapLength_);
    SharedFileRegistry::files().erase({dev_, ino_});
    ::close(fd_);  // drops our flock and every OFD lock of this description
}

std::shared_ptr<SharedFile> SharedFile::open(const std::string& path, Mode mode,
                                             const std::string& displayName) {
    int fd = openFile(path, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        auto kind = errno == ENOENT ? RuntimeError::Kind::Missing : RuntimeError::Kind::Io;
        throw RuntimeError(
            kind, kind == RuntimeError::Kind::Missing ? "file does not exist" : sysError("cannot open file"),
            displayName);
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        ::close(fd);
        throw RuntimeError(RuntimeError::Kind::Io, sysError("cannot read file status"), displayName);
    }
    auto key = std::make_pair(static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino));
    auto& files = SharedFileRegistry::files();
    if (auto it = files.find(key); it != files.end()) {
        if (auto existing = it->second.lock()) {
            ::close(fd);
            // Inside the process the rule is that of separate opens: exclusive excludes everything.
            if (mode == Mode::Exclusive || existing->mode_ == Mode::Exclusive) return nullptr;
            return existing;
        }
    }
    bool granted;
    try {
        granted = flockNoWait(fd, mode == Mode::Exclusive ? LOCK_EX : LOCK_SH);
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (!granted) {
        ::close(fd);
        return nullptr;
    }
    std::shared_ptr<SharedFile> file(new SharedFile(fd, path, displayName, mode, key.first, key.second));
    if (mode == Mode::Shared) {
        file->localDisk_ = oneCacheForAll(fd);
        file->mapFirstPage();
    }
    files[key] = file;
    return file;
}

std::shared_ptr<SharedFile> SharedFile::create(const std::string& path, const std::string& displayName) {
    int fd = openFile(path, O_RDWR | O_CREAT | O_CLOEXEC);
    if (fd < 0) throw RuntimeError(RuntimeError::Kind::Creation, sysError("cannot create file"), displayName);
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        ::close(fd);
        throw RuntimeError(RuntimeError::Kind::Creation, sysError("cannot read file status"), displayName);
    }
    auto key = std::make_pair(static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino));
    auto& files = SharedFileRegistry::files();
    if (auto it = files.find(key); it != files.end() && !it->second.expired()) {
        ::close(fd);
        return nullptr;
    }
    bool granted;
    try {
        granted = flockNoWait(fd, LOCK_EX);
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (!granted) {
        ::close(fd);
        return nullptr;
    }
    if (ftruncate(fd, 0) != 0) {
        ::close(fd);
        throw RuntimeError(RuntimeError::Kind::Creation, sysError("cannot empty file"), displayName);
    }
    std::shared_ptr<SharedFile> file(
        new SharedFile(fd, path, displayName, Mode::Exclusive, key.first, key.second));
    files[key] = file;
    return file;
}

std::size_t SharedFile::readAt(void* buffer, std::size_t n, uint64_t offset) const {
    // Reads past the first page stay calls: pages read through the mapping would count against the
    // process's memory, and the callers keep what they read.
    if (offset + n <= std::min(mapUsable_, pageSize())) {
        std::memcpy(buffer, map_ + offset, n);
        return n;
    }
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            throw RuntimeError(RuntimeError::Kind::Io, sysError("read error"), displayName_);
        }
        if (r == 0) break;
        done += static_cast<std::size_t>(r);
    }
    return done;
}

void SharedFile::readExact(void* buffer, std::size_t n, uint64_t offset) const {
    if (readAt(buffer, n, offset) != n)
        throw RuntimeError(RuntimeError::Kind::Damaged, "file is shorter than its header says", displayName_);
}

void SharedFile::writeAt(const void* buffer, std::size_t n, uint64_t offset) {
    if (offset + n <= mapUsable_) {
        std::memcpy(map_ + offset, buffer, n);
        if (offset + n > pageSize() && ++pagesWritten_ >= kPagesKept) {
            ::madvise(map_ + pageSize(), mapLength_ - pageSize(), MADV_DONTNEED);
            pagesWritten_ = 0;
        }
        return;
    }
    auto* p = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::pwrite(fd_, p + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            throw RuntimeError(RuntimeError::Kind::Io, sysError("write error"), displayName_);
        }
        done += static_cast<std::size_t>(r);
    }
    if (mapWhole_) learnSize(offset + n);
}

uint64_t SharedFile::size() const {
    // Seeking to the end gives the size as fstat() does (network file systems revalidate it the same
    // way), but unlike a status query it does not make the next write stamp a fine-grained change time,
    // which costs a journalled inode update per write.
    off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0) throw RuntimeError(RuntimeError::Kind::Io, sysError("cannot read size"), displayName_);
    return static_cast<uint64_t>(end);
}

void SharedFile::truncate(uint64_t length) {
    mapUsable_ = static_cast<std::size_t>(std::min<uint64_t>(mapUsable_, length));
    if (ftruncate(fd_, static_cast<off_t>(length)) != 0)
        throw RuntimeError(RuntimeError::Kind::Io, sysError("cannot truncate"), displayName_);
}

void SharedFile::sync() {
    ::fdatasync(fd_);
}

bool SharedFile::lock(uint64_t offset, uint64_t length, bool write, bool wait) {
    if (auto it = findHeld(offset, length); it != held_.end()) {
        ++it->count;
        return true;
    }
    struct flock fl {};
    fl.l_type = static_cast<short>(write ? F_WRLCK : F_RDLCK);
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    while (fcntl(fd_, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EACCES) return false;
        throw RuntimeError(RuntimeError::Kind::Io, sysError("lock error"), displayName_);
    }
    held_.push_back({offset, length, 1});
    return true;
}

void SharedFile::unlock(uint64_t offset, uint64_t length) {
    auto it = findHeld(offset, length);
    if (it == held_.end()) return;
    if (--it->count > 0) return;
    held_.erase(it);
    struct flock fl {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    // The last range of this description: releasing the whole file is the same release for every other
    // process, and spares the kernel the two lock records it prepares for cutting a range out of a held
    // one (a tenth of the call). Not where the share lock is itself a byte-range lock (NFS).
    if (held_.empty() && localDisk_ && !locksKeptElsewhere_) fl.l_start = fl.l_len = 0;
    fcntl(fd_, F_OFD_SETLK, &fl);
}

std::vector<SharedFile::Held>::iterator SharedFile::findHeld(uint64_t offset, uint64_t length) {
    return std::find_if(held_.begin(), held_.end(),
                        [&](const Held& h) { return h.offset == offset && h.length == length; });
}

bool SharedFile::lockedElsewhere(uint64_t offset, uint64_t length) const {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    if (fcntl(fd_, F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type != F_UNLCK;
}

}  // namespace xbase
