#include "platform/xbase/ntx.h"

#include <algorithm>

#include "platform/core/error.h"
#include "platform/xbase/ntx_impl.h"

namespace xbase {

using core::RuntimeError;

std::function<void()> ntxUpdateLockedHook;

namespace {

// More cached pages than this (some 12 MB) and the pages not met lately leave the cache.
constexpr size_t kCacheLimit = 8192;
constexpr int kHeaderWords = 12;  // signature, version, root, free list: what a change rewrites

}  // namespace

int ntxMaxKeys(int keySize) {
    int m = (static_cast<int>(kNtxPageSize) - 2) / (keySize + 10) - 1;
    if (m % 2 == 1 && m > 2) --m;
    return m;
}

// ---- Pages -------------------------------------------------------------------------------------------

void NtxPage::format(int maxKeys, int itemSize) {
    prefixesValid = false;
    std::memset(bytes, 0, sizeof bytes);
    int base = 2 * (maxKeys + 2);
    for (int i = 0; i <= maxKeys; ++i) setSlot(i, base + i * itemSize);
}

void NtxPage::setEntry(int i, uint32_t recnoValue, const char* keyBytes, int keySize) {
    char* it = item(i);
    putU32(it + 4, recnoValue);
    std::memcpy(it + 8, keyBytes, static_cast<size_t>(keySize));
    if (prefixesValid) prefixes[i] = ntxPrefix(keyBytes, static_cast<size_t>(keySize));
}

void NtxPage::insertAt(int pos, uint32_t childPage, uint32_t recnoValue, const char* keyBytes, int keySize) {
    const int n = count();
    const int free = slot(n + 1);
    std::memmove(bytes + 2 + 2 * (pos + 1), bytes + 2 + 2 * pos, static_cast<size_t>(2 * (n + 1 - pos)));
    putU16(bytes + 2 + 2 * pos, static_cast<uint16_t>(free));
    char* it = bytes + free;
    putU32(it, childPage);
    putU32(it + 4, recnoValue);
    std::memcpy(it + 8, keyBytes, static_cast<size_t>(keySize));
    putU16(bytes, static_cast<uint16_t>(n + 1));
    if (prefixesValid) {
        std::memmove(&prefixes[pos + 1], &prefixes[pos], sizeof(uint64_t) * static_cast<size_t>(n - pos));
        prefixes[pos] = ntxPrefix(keyBytes, static_cast<size_t>(keySize));
    }
}

void NtxPage::removeAt(int pos) {
    const int n = count();
    const int gone = slot(pos);
    std::memmove(bytes + 2 + 2 * pos, bytes + 2 + 2 * (pos + 1), static_cast<size_t>(2 * (n - pos)));
    putU16(bytes + 2 + 2 * n, static_cast<uint16_t>(gone));
    putU16(bytes, static_cast<uint16_t>(n - 1));
    if (prefixesValid)
        std::memmove(&prefixes[pos], &prefixes[pos + 1], sizeof(uint64_t) * static_cast<size_t>(n - 1 - pos));
}

// ---- Header and file ---------------------------------------------------------------------------------

void NtxIndex::Impl::damaged(const std::string& what) const {
    foundDamaged = true;
    throw RuntimeError(RuntimeError::Kind::Damaged, "damaged index file (" + what + ")", displayName);
}

const std::string& NtxIndex::Impl::fitKey(std::string_view key) {
    fitted.assign(key.substr(0, static_cast<size_t>(keySize)));
    fitted.resize(static_cast<size_t>(keySize), ' ');
    return fitted;
}

bool NtxIndex::Impl::pageInFile(uint32_t offset) {
    if (offset % kNtxPageSize != 0 || offset < kNtxPageSize) return false;
    return offset + uint64_t{kNtxPageSize} <= fileSize;
}

void NtxIndex::Impl::checkHeaderWords(uint16_t sig, uint32_t rootPage, uint32_t freePage) {
    if ((sig & ~0x87FF) != 0 || !((sig & 6) == 6 || sig == 3))
        damaged("unknown signature " + std::to_string(sig));
    if (sig & kNtxAltLockFlag)
        throw RuntimeError(RuntimeError::Kind::Damaged,
                           "index uses the alternative lock scheme, which is not supported", displayName);
    if (!pageInFile(rootPage)) damaged("root page outside the file");
    if (freePage != 0 && !pageInFile(freePage)) damaged("free page outside the file");
}

void NtxIndex::Impl::loadHeader() {
    char h[kNtxPageSize];
    fileSize = file->size();
    if (file->readAt(h, sizeof h, 0) != sizeof h) damaged("shorter than its header");
    signature = getU16(h);
    version = getU16(h + 2);
    root = getU32(h + 4);
    freeHead = getU32(h + 8);
    itemSize = getU16(h + 12);
    keySize = getU16(h + 14);
    keyDecimals = getU16(h + 16);
    maxKeys = getU16(h + 18);
    halfPage = getU16(h + 20);
    checkHeaderWords(signature, root, freeHead);
    if (keySize < 1 || itemSize != keySize + 8) damaged("item size does not match the key size");
    itemBase = 2 * (maxKeys + 2);
    if (maxKeys < 2 || itemBase + (maxKeys + 1) * itemSize > static_cast<int>(kNtxPageSize))
        damaged("keys per page do not fit a page");
    // The half page only sets how full pages are kept; a file stating something odd is still readable.
    halfPage = maxKeys / 2;
    auto text = [&](int at, int size) {
        const char* p = h + at;
        return std::string(p, strnlen(p, static_cast<size_t>(size)));
    };
    expression = text(22, 256);
    forExpression = text(282, 256);
    unique = h[278] != 0;
    descending = h[280] != 0;
}

void NtxIndex::Impl::refreshHeader() {
    char h[kHeaderWords];
    // On a local disk this read is a look into the mapped first page (SharedFile).
    if (file->readAt(h, sizeof h, 0) != sizeof h) damaged("shorter than its header");
    uint16_t sig = getU16(h), ver = getU16(h + 2);
    uint32_t r = getU32(h + 4), f = getU32(h + 8);
    // Unchanged words mean no other process changed the file since our last operation, and only a change
    // grows it: the size we know is still the size.
    if (sig == signature && ver == version && r == root && f == freeHead) return;
    // Another process changed the index: nothing cached describes it any more.
    dropCache();
    ++generation;
    leafDepth = -1;
    fileSize = file->size();
    checkHeaderWords(sig, r, f);
    signature = sig;
    version = ver;
    root = r;
    freeHead = f;
}

void NtxIndex::Impl::writeHeaderWords() {
    char h[kHeaderWords];
    putU16(h, signature);
    putU16(h + 2, version);
    putU32(h + 4, root);
    putU32(h + 8, freeHead);
    file->writeAt(h, sizeof h, 0);
}

// ---- Page cache --------------------------------------------------------------------------------------

void NtxIndex::Impl::dropCache() {
    cache.clear();
    cachedPages = 0;
}

// A second chance: pages met since the last pass stay (the upper levels of the tree, mostly). Changed
// pages are written before any leaves.
void NtxIndex::Impl::makeRoom() {
    writeDirty();
    for (auto& p : cache) {
        if (!p) continue;
        if (p->used) {
            p->used = false;
        } else {
            p.reset();
            --cachedPages;
        }
    }
}

namespace {

// Item starts within a page, as a bit per byte offset: the items are in order of their offsets without
// sorting, which a page met for the first time would otherwise pay for.
class ItemStarts {
  public:
    // False when an item starts there already.
    bool add(int at) {
        uint64_t& word = bits_[at >> 6];
        const uint64_t bit = uint64_t{1} << (at & 63);
        if (word & bit) return false;
        word |= bit;
        return true;
    }
    // Whether every two items lie at least `size` bytes apart.
    bool spaced(int size) const {
        int last = -size;
        for (int w = 0; w < kWords; ++w)
            for (uint64_t word = bits_[w]; word != 0; word &= word - 1) {
                int at = w * 64 + __builtin_ctzll(word);
                if (at - last < size) return false;
                last = at;
            }
        return true;
    }

  private:
    static constexpr int kWords = kNtxPageSize / 64;
    uint64_t bits_[kWords] = {};
};

}  // namespace

void NtxIndex::Impl::checkPage(NtxPage& p) const {
    int n = p.count();
    if (n > maxKeys) damaged("page at " + std::to_string(p.offset) + " holds more keys than a page can");
    auto inPage = [&](int s) { return s >= itemBase && s + itemSize <= static_cast<int>(kNtxPageSize); };
    ItemStarts starts;
    bool apart = true;
    for (int i = 0; i <= n; ++i) {
        if (!inPage(p.slot(i))) damaged("item offset outside the page at " + std::to_string(p.offset));
        apart = starts.add(p.slot(i)) && apart;
    }
    if (!apart || !starts.spaced(itemSize))
        damaged("overlapping items in the page at " + std::to_string(p.offset));
    bool leaf = p.child(0) == 0;
    for (int i = 1; i <= n; ++i)
        if ((p.child(i) == 0) != leaf)
            damaged("page at " + std::to_string(p.offset) + " mixes leaf and branch");
    // The unused part of the offset table must give free items we can fill; when it does not, lay the
    // page out afresh (it is written in that form only if it changes).
    bool sound = true;
    for (int i = n + 1; i <= maxKeys && sound; ++i) sound = inPage(p.slot(i)) && starts.add(p.slot(i));
    sound = sound && starts.spaced(itemSize);
    if (!sound) {
        std::vector<char> items(static_cast<size_t>((n + 1) * itemSize));
        for (int i = 0; i <= n; ++i)
            std::memcpy(items.data() + i * itemSize, p.item(i), static_cast<size_t>(itemSize));
        p.format(maxKeys, itemSize);
        for (int i = 0; i <= n; ++i)
            std::memcpy(p.item(i), items.data() + i * itemSize, static_cast<size_t>(itemSize));
        p.setCount(n);
    }
}

NtxPage& NtxIndex::Impl::readPage(uint32_t offset) {
    size_t number = offset / kNtxPageSize;
    if (!pageInFile(offset)) damaged("page offset " + std::to_string(offset) + " outside the file");
    auto p = std::make_unique<NtxPage>();
    p->offset = offset;
    if (file->readAt(p->bytes, kNtxPageSize, offset) != kNtxPageSize)
        damaged("page at " + std::to_string(offset) + " cut short");
    checkPage(*p);
    if (number >= cache.size()) cache.resize(number + 1);
    cache[number] = std::move(p);
    ++cachedPages;
    return *cache[number];
}

NtxPage& NtxIndex::Impl::pageOnPath(uint32_t offset, const Path& walked) {
    // A loop never reaches a leaf: a path no deeper than the leaves we know cannot hold one yet.
    if (leafDepth < 0 || walked.size() >= static_cast<size_t>(leafDepth))
        for (const auto& level : walked)
            if (level.page == offset) damaged("loop in the tree at page " + std::to_string(offset));
    return page(offset);
}

void NtxIndex::Impl::checkLeafDepth(size_t depth) {
    if (leafDepth < 0)
        leafDepth = static_cast<int>(depth);
    else if (leafDepth != static_cast<int>(depth))
        damaged("leaves at different depths");
}

void NtxIndex::Impl::markDirty(NtxPage& p) {
    if (p.inUpdate) return;
    p.inUpdate = true;
    touched.push_back(p.offset);
    if (p.dirty) {
        undoPages.push_back(p.offset);
        undoBytes.insert(undoBytes.end(), p.bytes, p.bytes + kNtxPageSize);
        return;
    }
    p.dirty = true;
    dirty.push_back(p.offset);
}

// ---- One operation -----------------------------------------------------------------------------------

NtxAccess::NtxAccess(NtxIndex::Impl& index, bool write) : ix_(index), write_(write) {
    if (ix_.cachedPages > kCacheLimit) ix_.makeRoom();  // never during an operation: pages are referenced
    if (ix_.shared()) {
        ix_.file->lock(kNtxLockOffset, 1, write, true);
        locked_ = true;
        try {
            ix_.refreshHeader();
        } catch (...) {
            ix_.file->unlock(kNtxLockOffset, 1);
            throw;
        }
    }
    if (write_) {
        ix_.beginUpdate();
        if (ntxUpdateLockedHook) ntxUpdateLockedHook();
    }
}

NtxAccess::~NtxAccess() {
    if (write_ && !done_) ix_.rollbackUpdate();
    if (locked_) ix_.file->unlock(kNtxLockOffset, 1);
}

void NtxAccess::commit() {
    ix_.commitUpdate();
    done_ = true;
}

// ---- Walking the tree --------------------------------------------------------------------------------

int NtxIndex::Impl::searchPage(NtxPage& p, const char* key, size_t len, bool upper) const {
    const int n = p.count();
    const size_t ks = static_cast<size_t>(keySize);
    if (!p.prefixesValid) {
        if (!p.prefixes) p.prefixes = std::make_unique<uint64_t[]>(static_cast<size_t>(maxKeys));
        for (int i = 0; i < n; ++i) p.prefixes[i] = ntxPrefix(p.key(i), ks);
        p.prefixesValid = true;
    }
    const uint64_t mask = len >= 8 ? ~uint64_t{0} : len == 0 ? 0 : ~uint64_t{0} << (8 * (8 - len));
    const uint64_t want = ntxPrefix(key, std::min<size_t>(len, 8)) & mask;
    // Key i against the searched key, in index order.
    auto cmp = [&](int i) {
        uint64_t have = p.prefixes[i] & mask;
        int c = have < want   ? -1
                : have > want ? 1
                : len > 8     ? std::memcmp(p.key(i) + 8, key + 8, len - 8)
                              : 0;
        return descending ? -c : c;
    };
    int lo = 0, hi = n;
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        int c = cmp(mid);
        if (c < 0 || (upper && c == 0))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// The first entry whose key, over len bytes, is not below `key`.
bool NtxIndex::Impl::lowerBound(Path& walk, const char* key, size_t len) {
    walk.clear();
    uint32_t offset = root;
    int best = -1;
    for (;;) {
        NtxPage& p = pageOnPath(offset, walk);
        int lo = searchPage(p, key, len, false);
        walk.push_back({offset, lo});
        if (lo < p.count()) best = static_cast<int>(walk.size()) - 1;
        // The child to go down to tells a leaf too (a page's children are all set or all none): one item
        // read, where asking leaf() would read the first item as well.
        offset = p.child(lo);
        if (offset == 0) {
            checkLeafDepth(walk.size());
            break;
        }
    }
    if (best < 0) {
        walk.clear();
        return false;
    }
    walk.resize(static_cast<size_t>(best) + 1);
    return true;
}

// Down the left edge of a subtree to its first entry (then on to the next entry when a leaf is empty).
bool NtxIndex::Impl::leftmost(Path& walk, uint32_t from) {
    uint32_t offset = from;
    for (;;) {
        NtxPage& p = pageOnPath(offset, walk);
        walk.push_back({offset, 0});
        if (p.leaf()) {
            checkLeafDepth(walk.size());
            break;
        }
        offset = p.child(0);
    }
    while (walk.back().index >= page(walk.back().page).count()) {
        walk.pop_back();
        if (walk.empty()) return false;
    }
    return true;
}

bool NtxIndex::Impl::rightmost(Path& walk, uint32_t from) {
    uint32_t offset = from;
    for (;;) {
        NtxPage& p = pageOnPath(offset, walk);
        int n = p.count();
        if (p.leaf()) {
            walk.push_back({offset, n - 1});
            checkLeafDepth(walk.size());
            break;
        }
        walk.push_back({offset, n});
        offset = p.child(n);
    }
    while (walk.back().index < 0) {
        walk.pop_back();
        if (walk.empty()) return false;
        --walk.back().index;
    }
    return true;
}

bool NtxIndex::Impl::stepForward(Path& walk) {
    Level& top = walk.back();
    NtxPage& p = page(top.page);
    if (!p.leaf()) {
        top.index += 1;  // now the child to the right of the current key
        return leftmost(walk, p.child(top.index));
    }
    ++top.index;
    while (walk.back().index >= page(walk.back().page).count()) {
        walk.pop_back();
        if (walk.empty()) return false;
    }
    return true;
}

bool NtxIndex::Impl::stepBack(Path& walk) {
    Level& top = walk.back();
    NtxPage& p = page(top.page);
    if (!p.leaf()) return rightmost(walk, p.child(top.index));
    --top.index;
    while (walk.back().index < 0) {
        walk.pop_back();
        if (walk.empty()) return false;
        --walk.back().index;
    }
    return true;
}

// Finds the entry among the keys equal to `key`. When it is not there the path is left on the first
// entry above `key` (empty past the end), the place where it would have been.
bool NtxIndex::Impl::findEntry(Path& walk, const std::string& key, uint32_t recno) {
    if (!lowerBound(walk, key.data(), key.size())) return false;
    for (;;) {
        const Level& top = walk.back();
        NtxPage& p = page(top.page);
        if (compare(p.key(top.index), key.data(), key.size()) != 0) return false;
        if (p.recno(top.index) == recno) return true;
        if (!stepForward(walk)) return false;
    }
}

// ---- Cursor ------------------------------------------------------------------------------------------

void NtxIndex::Impl::setFromPath() {
    const Level& top = path.back();
    NtxPage& p = page(top.page);
    curKey.assign(p.key(top.index), static_cast<size_t>(keySize));
    curRecno = p.recno(top.index);
    onEntry = true;
    atEof = false;
    pathGeneration = generation;
}

void NtxIndex::Impl::setEof() {
    path.clear();
    onEntry = false;
    atEof = true;
    curKey.clear();
    curRecno = 0;
}

NtxIndex::Impl::Refound NtxIndex::Impl::ensurePosition() {
    if (pathGeneration == generation && !path.empty()) return Refound::Exact;
    if (findEntry(path, curKey, curRecno)) {
        pathGeneration = generation;
        return Refound::Exact;
    }
    pathGeneration = 0;
    return path.empty() ? Refound::End : Refound::Gap;
}

// ---- Public interface --------------------------------------------------------------------------------

NtxIndex::NtxIndex(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

NtxIndex::~NtxIndex() {
    try {
        flush();
    } catch (...) {
        // Closing cannot report here; Table::close() flushes first and does.
    }
}

std::unique_ptr<NtxIndex> NtxIndex::open(const std::string& path, SharedFile::Mode mode,
                                         const std::string& displayName) {
    auto file = SharedFile::open(path, mode, displayName);
    if (!file) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->file = std::move(file);
    impl->displayName = displayName;
    if (impl->shared()) {
        impl->file->lock(kNtxLockOffset, 1, false, true);
        try {
            impl->loadHeader();
        } catch (...) {
            impl->file->unlock(kNtxLockOffset, 1);
            throw;
        }
        impl->file->unlock(kNtxLockOffset, 1);
        // Every update rewrites pages of the file: on a local disk they are written through a mapping.
        impl->file->mapForWrites();
    } else {
        impl->loadHeader();
    }
    return std::unique_ptr<NtxIndex>(new NtxIndex(std::move(impl)));
}

const std::string& NtxIndex::displayName() const {
    return impl_->displayName;
}
const std::string& NtxIndex::expression() const {
    return impl_->expression;
}
const std::string& NtxIndex::forExpression() const {
    return impl_->forExpression;
}
int NtxIndex::keySize() const {
    return impl_->keySize;
}
int NtxIndex::keyDecimals() const {
    return impl_->keyDecimals;
}
bool NtxIndex::unique() const {
    return impl_->unique;
}
bool NtxIndex::descending() const {
    return impl_->descending;
}

bool NtxIndex::seek(std::string_view key) {
    Impl& ix = *impl_;
    NtxAccess access(ix, false);
    size_t len = std::min(key.size(), static_cast<size_t>(ix.keySize));
    ix.atBof = false;
    if (!ix.lowerBound(ix.path, key.data(), len)) {
        ix.setEof();
        return false;
    }
    ix.setFromPath();
    return ix.compare(ix.curKey.data(), key.data(), len) == 0;
}

bool NtxIndex::seekEntry(std::string_view key, uint32_t recno) {
    Impl& ix = *impl_;
    NtxAccess access(ix, false);
    ix.atBof = false;
    if (!ix.findEntry(ix.path, ix.fitKey(key), recno)) {
        ix.setEof();
        return false;
    }
    ix.setFromPath();
    return true;
}

void NtxIndex::goTop() {
    Impl& ix = *impl_;
    NtxAccess access(ix, false);
    ix.path.clear();
    ix.atBof = false;
    if (!ix.leftmost(ix.path, ix.root)) {
        ix.setEof();
        ix.atBof = true;
        return;
    }
    ix.setFromPath();
}

void NtxIndex::goBottom() {
    Impl& ix = *impl_;
    NtxAccess access(ix, false);
    ix.path.clear();
    ix.atBof = false;
    if (!ix.rightmost(ix.path, ix.root)) {
        ix.setEof();
        ix.atBof = true;
        return;
    }
    ix.setFromPath();
}

bool NtxIndex::skip(int direction) {
    Impl& ix = *impl_;
    NtxAccess access(ix, false);
    using Refound = Impl::Refound;
    if (direction >= 0) {
        if (ix.atEof) return false;
        ix.atBof = false;
        Refound r = ix.ensurePosition();
        if (r == Refound::End || (r == Refound::Exact && !ix.stepForward(ix.path))) {
            ix.setEof();
            return false;
        }
        ix.setFromPath();
        return true;
    }
    if (ix.atBof) return false;
    Refound r = ix.atEof ? Refound::End : ix.ensurePosition();
    if (r == Refound::End) {  // from past the end back onto the last entry
        ix.path.clear();
        if (!ix.rightmost(ix.path, ix.root)) {
            ix.setEof();
            ix.atBof = true;
            return false;
        }
        ix.setFromPath();
        return true;
    }
    Impl::Path before = ix.path;
    if (!ix.stepBack(ix.path)) {
        // Nothing before: the position stays on (or comes to) the first entry.
        ix.path = std::move(before);
        if (r == Refound::Gap) ix.setFromPath();
        ix.pathGeneration = ix.generation;
        ix.atBof = true;
        return false;
    }
    ix.setFromPath();
    return true;
}

bool NtxIndex::eof() const {
    return impl_->atEof;
}
bool NtxIndex::bof() const {
    return impl_->atBof;
}
uint32_t NtxIndex::recno() const {
    return impl_->onEntry ? impl_->curRecno : 0;
}
std::string_view NtxIndex::key() const {
    return impl_->onEntry ? std::string_view(impl_->curKey) : std::string_view();
}

void NtxIndex::insert(std::string_view key, uint32_t recno) {
    Impl& ix = *impl_;
    NtxAccess access(ix, true);
    ix.insertEntry(ix.fitKey(key), recno);
    access.commit();
}

bool NtxIndex::remove(std::string_view key, uint32_t recno) {
    Impl& ix = *impl_;
    NtxAccess access(ix, true);
    bool removed = ix.removeEntry(ix.fitKey(key), recno);
    access.commit();
    return removed;
}

void NtxIndex::flush() {
    impl_->writeHeld();
}

}  // namespace xbase
