#pragma once
// Inside of NtxIndex: the page layout, the page cache and the per-operation lock and header check. Only
// the ntx_*.cpp files (and tests that need to look inside) include this.
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/xbase/ntx.h"
#include "platform/xbase/shared_file.h"

namespace xbase {

constexpr uint32_t kNtxPageSize = 1024;
constexpr uint64_t kNtxLockOffset = 1000000000;  // the index lock byte of the compatible scheme
constexpr uint16_t kNtxAltLockFlag = 0x0010;     // the other lock scheme, which we do not speak

inline uint16_t getU16(const char* p) {
    return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | static_cast<uint8_t>(p[1]) << 8);
}
inline uint32_t getU32(const char* p) {
    return static_cast<uint32_t>(static_cast<uint8_t>(p[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24;
}
inline void putU16(char* p, uint16_t v) {
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>(v >> 8);
}
inline void putU32(char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Eight bytes of a key, `size` of them there, as a big-endian number (zeros beyond the key): comparing
// these compares the bytes.
inline uint64_t ntxPrefix(const char* key, size_t size) {
    if (size >= 8) {
        uint64_t v;
        std::memcpy(&v, key, 8);
        return __builtin_bswap64(v);
    }
    uint64_t v = 0;
    for (size_t b = 0; b < 8; ++b) v = v << 8 | (b < size ? static_cast<uint8_t>(key[b]) : 0);
    return v;
}

// One page as stored: key count, a table of max + 1 item offsets, the items. Items never move; inserting
// or removing a key shifts the offset table, so the position of a key is its index in the table.
struct NtxPage {
    uint32_t offset = 0;
    bool dirty = false;     // changed and not yet written
    bool inUpdate = false;  // changed by the update in progress
    bool used = false;      // met since the cache last made room
    // The first eight bytes of each key (ntxPrefix) in key order: searching compares these first, close
    // together in memory. Kept up to date by insertAt, removeAt and setEntry; rebuilt when needed after
    // other changes.
    bool prefixesValid = false;
    std::unique_ptr<uint64_t[]> prefixes;
    char bytes[kNtxPageSize];

    int count() const { return getU16(bytes); }
    void setCount(int n) {
        putU16(bytes, static_cast<uint16_t>(n));
        prefixesValid = false;
    }
    int slot(int i) const { return getU16(bytes + 2 + 2 * i); }
    void setSlot(int i, int at) {
        putU16(bytes + 2 + 2 * i, static_cast<uint16_t>(at));
        prefixesValid = false;
    }
    char* item(int i) { return bytes + slot(i); }
    const char* item(int i) const { return bytes + slot(i); }
    uint32_t child(int i) const { return getU32(item(i)); }
    void setChild(int i, uint32_t page) { putU32(item(i), page); }
    uint32_t recno(int i) const { return getU32(item(i) + 4); }
    const char* key(int i) const { return item(i) + 8; }
    bool leaf() const { return child(0) == 0; }

    // An empty page with the offset table of a fresh page and zeroed items.
    void format(int maxKeys, int itemSize);
    // Overwrites the key and record number of item i; its child stays.
    void setEntry(int i, uint32_t recno, const char* key, int keySize);
    // Inserts a key before position pos (0..count) in the first unused item; needs count < max.
    void insertAt(int pos, uint32_t child, uint32_t recno, const char* key, int keySize);
    // Removes key pos together with its child pointer; the item behind it moves up.
    void removeAt(int pos);
};

struct NtxIndex::Impl {
    struct Level {
        uint32_t page;
        int index;  // the current key on the last level, the child descended into above it
    };
    using Path = std::vector<Level>;

    std::shared_ptr<SharedFile> file;
    std::string displayName, expression, forExpression;
    int keySize = 0, keyDecimals = 0, itemSize = 0, maxKeys = 0, halfPage = 0, itemBase = 0;
    bool unique = false, descending = false;

    // Header words as last read or written.
    uint16_t signature = 0, version = 0;
    uint32_t root = 0, freeHead = 0;
    // The file size: read at open and whenever the header shows another process's change (the only way
    // it grows besides our own updates), so that a new page needs no look at the file.
    uint64_t fileSize = 0;

    std::vector<std::unique_ptr<NtxPage>> cache;  // by page number
    size_t cachedPages = 0;
    uint64_t generation = 1;  // moves whenever the tree may have changed under the cursor
    int leafDepth = -1;       // depth of the leaves, learnt on the way down

    // Changed pages not yet written. A shared update writes them before it ends; exclusive mode holds them
    // (and the header words, when the root or the free list moved) until flush(), close or the cache
    // making room.
    std::vector<uint32_t> dirty;
    bool headerHeld = false;

    // State of the update in progress: the pages it changed and, for those it found already changed,
    // their bytes before it (exclusive mode), so that a failed update can be undone in memory.
    bool updating = false;
    std::vector<uint32_t> touched;
    std::vector<uint32_t> undoPages;
    std::vector<char> undoBytes;
    uint32_t savedRoot = 0, savedFree = 0;
    uint64_t savedFileSize = 0;

    // The cursor: the current entry, and the path to it while the tree is unchanged.
    Path path;
    uint64_t pathGeneration = 0;
    bool onEntry = false, atEof = true, atBof = false;
    std::string curKey;

    // Scratch of updates, kept to spare allocations: the path walked, the key carried up by splits.
    Path work;
    std::string fitted, carry, middle;
    uint32_t curRecno = 0;

    bool shared() const { return file->shared(); }
    // Throws the damage found, naming the file. From then on nothing more is written to the file: what
    // exclusive mode held back is dropped, and further updates are refused.
    [[noreturn]] void damaged(const std::string& what) const;
    mutable bool foundDamaged = false;
    int compare(const char* a, const char* b, size_t n) const {
        int c = std::memcmp(a, b, n);
        return descending ? -c : c;
    }
    // The key blank padded or cut to the key size, in a buffer the next call reuses.
    const std::string& fitKey(std::string_view key);

    // Header and file.
    void loadHeader();
    void checkHeaderWords(uint16_t sig, uint32_t rootPage, uint32_t freePage);
    void refreshHeader();
    void writeHeaderWords();
    bool pageInFile(uint32_t offset);

    // Pages.
    NtxPage& page(uint32_t offset) {
        const size_t number = offset / kNtxPageSize;
        if (offset % kNtxPageSize == 0 && number < cache.size()) {
            if (NtxPage* p = cache[number].get()) {
                if (!p->used) p->used = true;  // a page met again stays a clean line
                return *p;
            }
        }
        return readPage(offset);
    }
    NtxPage& readPage(uint32_t offset);  // into the cache, checked
    NtxPage& pageOnPath(uint32_t offset, const Path& path);
    void checkPage(NtxPage& p) const;
    void dropCache();
    void makeRoom();
    // Called before a page changes.
    void markDirty(NtxPage& p);
    void writeDirty();
    // Writes whatever exclusive mode holds back: the pages, then the header words.
    void writeHeld();
    void checkLeafDepth(size_t depth);
    NtxPage& allocPage();
    void freePage(NtxPage& p);

    // Updates.
    void beginUpdate();
    void commitUpdate();
    void rollbackUpdate();
    void insertEntry(const std::string& key, uint32_t recno);
    bool removeEntry(const std::string& key, uint32_t recno);
    void splitAndInsert(NtxPage& p, int pos, uint32_t& child, uint32_t& recno, std::string& key);
    void rebalance(Path& path);

    // Walking.
    // The first key of the page above (upper) or not below `key`, compared over len bytes.
    int searchPage(NtxPage& p, const char* key, size_t len, bool upper) const;
    bool lowerBound(Path& path, const char* key, size_t len);
    bool findEntry(Path& path, const std::string& key, uint32_t recno);
    bool leftmost(Path& path, uint32_t from);
    bool rightmost(Path& path, uint32_t from);
    bool stepForward(Path& path);
    bool stepBack(Path& path);

    // Cursor.
    enum class Refound { Exact, Gap, End };
    Refound ensurePosition();
    void setFromPath();
    void setEof();
};

// One operation on an index: in shared mode the index lock (read or write) and the header check around it;
// an update is written by commit() and undone in memory when left without it.
class NtxAccess {
  public:
    NtxAccess(NtxIndex::Impl& index, bool write);
    ~NtxAccess();
    NtxAccess(const NtxAccess&) = delete;
    NtxAccess& operator=(const NtxAccess&) = delete;
    void commit();

  private:
    NtxIndex::Impl& ix_;
    bool write_;
    bool locked_ = false;
    bool done_ = false;
};

// Called while an update holds the index lock, before anything is written; lets tests look at the lock
// from another process.
extern std::function<void()> ntxUpdateLockedHook;

}  // namespace xbase
