// Changes of an index: insertion with page splits, removal with borrowing and merging, the free-page
// chain, and writing what changed.
#include <algorithm>

#include "platform/xbase/ntx_impl.h"

namespace xbase {

// ---- Update bracket ----------------------------------------------------------------------------------

void NtxIndex::Impl::beginUpdate() {
    if (foundDamaged) damaged("found damaged before");
    updating = true;
    savedRoot = root;
    savedFree = freeHead;
    savedFileSize = fileSize;
}

void NtxIndex::Impl::commitUpdate() {
    updating = false;
    for (uint32_t offset : touched) cache[offset / kNtxPageSize]->inUpdate = false;
    const bool pagesChanged = !touched.empty();
    touched.clear();
    undoPages.clear();
    undoBytes.clear();
    const bool headerChanged = root != savedRoot || freeHead != savedFree;
    if (!pagesChanged && !headerChanged) return;
    if (shared()) {
        // Pages first, the header last, so that a reader never finds a header pointing at pages not yet
        // there.
        writeDirty();
        version = static_cast<uint16_t>(version + 1);
        writeHeaderWords();
    } else {
        headerHeld = headerHeld || headerChanged;
    }
    ++generation;
    if (root != savedRoot) leafDepth = -1;
}

void NtxIndex::Impl::rollbackUpdate() {
    // Nothing of the update was written; forget what the cache holds of the half-done change.
    updating = false;
    if (shared()) {
        dirty.clear();
        dropCache();
    } else {
        // Pages changed before the update get their bytes back; pages it changed first are read again.
        for (size_t i = 0; i < undoPages.size(); ++i) {
            NtxPage& p = *cache[undoPages[i] / kNtxPageSize];
            std::memcpy(p.bytes, undoBytes.data() + i * kNtxPageSize, kNtxPageSize);
            p.prefixesValid = false;
        }
        for (uint32_t offset : touched) {
            auto& p = cache[offset / kNtxPageSize];
            p->inUpdate = false;
            if (std::find(undoPages.begin(), undoPages.end(), offset) != undoPages.end()) continue;
            std::erase(dirty, offset);
            p.reset();
            --cachedPages;
        }
    }
    touched.clear();
    undoPages.clear();
    undoBytes.clear();
    root = savedRoot;
    freeHead = savedFree;
    fileSize = savedFileSize;
    ++generation;
    leafDepth = -1;
}

// Writes the changed pages, runs of neighbouring pages (up to kRunPages) in one write.
void NtxIndex::Impl::writeDirty() {
    constexpr size_t kRunPages = 64;
    if (dirty.empty()) return;
    if (foundDamaged) {  // the changes stay unwritten: the file wants rebuilding, not more of them
        for (uint32_t offset : dirty) cache[offset / kNtxPageSize]->dirty = false;
        dirty.clear();
        return;
    }
    std::sort(dirty.begin(), dirty.end());
    std::vector<char> run;
    size_t written = 0;
    try {
        while (written < dirty.size()) {
            size_t i = written, j = i + 1;
            while (j < dirty.size() && j - i < kRunPages && dirty[j] == dirty[j - 1] + kNtxPageSize) ++j;
            if (j - i == 1) {
                file->writeAt(cache[dirty[i] / kNtxPageSize]->bytes, kNtxPageSize, dirty[i]);
            } else {
                run.resize((j - i) * kNtxPageSize);
                for (size_t k = i; k < j; ++k)
                    std::memcpy(run.data() + (k - i) * kNtxPageSize, cache[dirty[k] / kNtxPageSize]->bytes,
                                kNtxPageSize);
                file->writeAt(run.data(), run.size(), dirty[i]);
            }
            for (size_t k = i; k < j; ++k) cache[dirty[k] / kNtxPageSize]->dirty = false;
            written = j;
        }
    } catch (...) {
        // What was written leaves the list; the rest stays to be written.
        dirty.erase(dirty.begin(), dirty.begin() + static_cast<std::ptrdiff_t>(written));
        throw;
    }
    dirty.clear();
}

void NtxIndex::Impl::writeHeld() {
    if (updating) return;
    writeDirty();
    if (!headerHeld || foundDamaged) return;
    version = static_cast<uint16_t>(version + 1);
    writeHeaderWords();
    headerHeld = false;
}

// ---- Free pages --------------------------------------------------------------------------------------

NtxPage& NtxIndex::Impl::allocPage() {
    uint32_t offset;
    if (freeHead != 0) {
        offset = freeHead;
        NtxPage& p = page(offset);
        if (p.count() != 0) damaged("free page at " + std::to_string(offset) + " in use");
        uint32_t next = p.child(0);
        if (next != 0 && (next == offset || !pageInFile(next))) damaged("free page chain leaves the file");
        freeHead = next;
    } else {
        uint64_t end = (fileSize + kNtxPageSize - 1) / kNtxPageSize * kNtxPageSize;
        if (end > UINT32_MAX - kNtxPageSize) damaged("index file too large");
        offset = static_cast<uint32_t>(end);
        fileSize = end + kNtxPageSize;
        size_t number = offset / kNtxPageSize;
        if (number >= cache.size()) cache.resize(number + 1);
        if (!cache[number]) {
            cache[number] = std::make_unique<NtxPage>();
            ++cachedPages;
        }
        cache[number]->offset = offset;
    }
    NtxPage& p = *cache[offset / kNtxPageSize];
    markDirty(p);
    p.format(maxKeys, itemSize);
    return p;
}

void NtxIndex::Impl::freePage(NtxPage& p) {
    // The page keeps its offset table; item 0's child links the chain.
    markDirty(p);
    p.setCount(0);
    p.setChild(0, freeHead);
    freeHead = p.offset;
}

// ---- Insert ------------------------------------------------------------------------------------------

void NtxIndex::Impl::insertEntry(const std::string& key, uint32_t recno) {
    Path& walk = work;
    walk.clear();
    if (unique && lowerBound(walk, key.data(), key.size())) {
        const Level& top = walk.back();
        if (compare(page(top.page).key(top.index), key.data(), key.size()) == 0) return;
    }
    // Down to the leaf, past all equal keys: a new key goes after them.
    walk.clear();
    uint32_t offset = root;
    for (;;) {
        NtxPage& p = pageOnPath(offset, walk);
        int lo = searchPage(p, key.data(), key.size(), true);
        walk.push_back({offset, lo});
        offset = p.child(lo);  // none: a leaf
        if (offset == 0) {
            checkLeafDepth(walk.size());
            break;
        }
    }
    // Insert, splitting full pages on the way back up; the middle key of a split goes to the parent.
    uint32_t child = 0;
    std::string& carryKey = carry;
    carryKey = key;
    for (size_t level = walk.size(); level-- > 0;) {
        NtxPage& p = page(walk[level].page);
        int pos = walk[level].index;
        markDirty(p);
        if (p.count() < maxKeys) {
            p.insertAt(pos, child, recno, carryKey.data(), keySize);
            return;
        }
        splitAndInsert(p, pos, child, recno, carryKey);
    }
    // The root split: a new root over the old one.
    uint32_t oldRoot = root;
    NtxPage& r = allocPage();
    r.setChild(0, oldRoot);
    r.insertAt(0, child, recno, carryKey.data(), keySize);
    root = r.offset;
}

// Splits a full page while inserting (child, recno, key) at pos: the lower half moves to a new page, the
// upper half stays in place, and (child, recno, key) become the middle key with the new page as its
// left child, to go into the parent.
void NtxIndex::Impl::splitAndInsert(NtxPage& p, int pos, uint32_t& child, uint32_t& recno, std::string& key) {
    const int n = p.count();  // == maxKeys
    const int half = (n + 1) / 2;
    // Entry j of the page with the new key in place.
    auto childOf = [&](int j) { return j < pos ? p.child(j) : j == pos ? child : p.child(j - 1); };
    auto recnoOf = [&](int j) { return j < pos ? p.recno(j) : j == pos ? recno : p.recno(j - 1); };
    auto keyOf = [&](int j) { return j < pos ? p.key(j) : j == pos ? key.data() : p.key(j - 1); };

    NtxPage& low = allocPage();
    for (int j = 0; j < half; ++j) low.insertAt(j, childOf(j), recnoOf(j), keyOf(j), keySize);
    low.setChild(half, childOf(half));
    uint32_t midRecno = recnoOf(half);
    middle.assign(keyOf(half), static_cast<size_t>(keySize));

    // The upper entries keep their items; the items of the lower ones become free, the first of them
    // taking the new key when it belongs up here.
    constexpr int kMost = kNtxPageSize / 10;  // more items than any page holds
    int slots[kMost], kept[kMost], freed[kMost];
    bool isKept[kNtxPageSize] = {};
    for (int i = 0; i <= n; ++i) slots[i] = p.slot(i);
    int keptCount = 0, freedCount = 0;
    for (int j = half + 1; j <= n; ++j) {
        int s = j == pos ? -1 : slots[j < pos ? j : j - 1];
        kept[keptCount++] = s;
        if (s >= 0) isKept[s] = true;
    }
    kept[keptCount++] = slots[n];  // the right-most child stays
    isKept[slots[n]] = true;
    for (int i = 0; i <= n; ++i)
        if (!isKept[slots[i]]) freed[freedCount++] = slots[i];
    int newSlot = -1, firstFree = 0;
    if (pos > half) {
        newSlot = freed[firstFree++];
        std::replace(kept, kept + keptCount, -1, newSlot);
    }
    int i = 0;
    for (int k = 0; k < keptCount; ++k) p.setSlot(i++, kept[k]);
    for (int k = firstFree; k < freedCount; ++k) p.setSlot(i++, freed[k]);
    p.setCount(n - half);
    if (newSlot >= 0) {
        int at = pos - half - 1;
        p.setChild(at, child);
        p.setEntry(at, recno, key.data(), keySize);
    }
    child = low.offset;
    recno = midRecno;
    key.swap(middle);
}

// ---- Remove ------------------------------------------------------------------------------------------

bool NtxIndex::Impl::removeEntry(const std::string& key, uint32_t recno) {
    Path& walk = work;
    walk.clear();
    if (!findEntry(walk, key, recno)) return false;
    const Level top = walk.back();
    NtxPage& p = page(top.page);
    markDirty(p);
    if (p.leaf()) {
        p.removeAt(top.index);
    } else {
        // A key in a branch page is replaced by the entry just before it, the last of its left subtree.
        int at = top.index;
        uint32_t offset = p.child(at);
        for (;;) {
            NtxPage& q = pageOnPath(offset, walk);
            if (q.leaf()) {
                walk.push_back({offset, q.count() - 1});
                checkLeafDepth(walk.size());
                break;
            }
            walk.push_back({offset, q.count()});
            offset = q.child(q.count());
        }
        const Level& last = walk.back();
        if (last.index < 0) damaged("empty leaf at page " + std::to_string(last.page));
        NtxPage& leaf = page(last.page);
        p.setEntry(at, leaf.recno(last.index), leaf.key(last.index), keySize);
        markDirty(leaf);
        leaf.removeAt(last.index);
    }
    rebalance(walk);
    return true;
}

// Restores the fill of the pages on the path after a removal from its last page: a page below half
// takes a key from a sibling through the parent, or is merged with it.
void NtxIndex::Impl::rebalance(Path& walk) {
    for (size_t level = walk.size() - 1; level > 0; --level) {
        NtxPage& c = page(walk[level].page);
        if (c.count() >= halfPage) break;
        NtxPage& parent = page(walk[level - 1].page);
        int ci = walk[level - 1].index;
        markDirty(parent);
        auto sibling = [&](int i) {
            NtxPage& s = pageOnPath(parent.child(i), walk);
            if (s.leaf() != c.leaf()) damaged("leaves at different depths");
            return &s;
        };
        NtxPage* left = ci > 0 ? sibling(ci - 1) : nullptr;
        NtxPage* right = ci < parent.count() ? sibling(ci + 1) : nullptr;
        if (left && left->count() > halfPage) {
            // The parent's key comes down to the front of c; the last key of the left page goes up.
            int ln = left->count();
            markDirty(*left);
            markDirty(c);
            c.insertAt(0, left->child(ln), parent.recno(ci - 1), parent.key(ci - 1), keySize);
            uint32_t movedChild = left->child(ln - 1);
            parent.setEntry(ci - 1, left->recno(ln - 1), left->key(ln - 1), keySize);
            left->removeAt(ln - 1);
            left->setChild(ln - 1, movedChild);
            break;
        }
        if (right && right->count() > halfPage) {
            int cn = c.count();
            markDirty(*right);
            markDirty(c);
            c.insertAt(cn, c.child(cn), parent.recno(ci), parent.key(ci), keySize);
            c.setChild(cn + 1, right->child(0));
            parent.setEntry(ci, right->recno(0), right->key(0), keySize);
            right->removeAt(0);
            break;
        }
        // Merge the right page of the pair into the left one; the parent loses the key between them.
        NtxPage& a = left ? *left : c;
        NtxPage& b = left ? c : *right;
        int sep = left ? ci - 1 : ci;
        if (a.count() + 1 + b.count() > maxKeys)
            damaged("page fill beyond repair at " + std::to_string(a.offset));
        markDirty(a);
        int an = a.count();
        a.insertAt(an, a.child(an), parent.recno(sep), parent.key(sep), keySize);
        for (int j = 0; j < b.count(); ++j) a.insertAt(a.count(), b.child(j), b.recno(j), b.key(j), keySize);
        a.setChild(a.count(), b.child(b.count()));
        freePage(b);
        parent.removeAt(sep);
        parent.setChild(sep, a.offset);
    }
    NtxPage& r = page(root);
    if (r.count() == 0 && !r.leaf()) {
        uint32_t newRoot = r.child(0);
        freePage(r);
        root = newRoot;
    }
}

}  // namespace xbase
