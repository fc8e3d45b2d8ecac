// Building an index from all keys of a table: sort, then write the tree bottom-up in few large writes.
#include <algorithm>
#include <numeric>

#include "platform/core/error.h"
#include "platform/xbase/ntx_impl.h"

namespace xbase {

using core::RuntimeError;

namespace {

constexpr size_t kPagesPerWrite = 256;

// The sort of a bulk build: a radix sort of (eight key bytes, key number) entries, most significant
// bytes first. Each round sorts a run by the next eight bytes of its keys with a stable least-significant
// -digit pass per byte that varies, then goes on into every run of entries that are still equal; short runs
// are sorted by comparison. Equal keys keep their input order. Shop keys repeat a lot (names, dates) and
// share long beginnings, which a comparison sort pays for on every comparison.
struct SortEntry {
    uint64_t prefix;
    uint32_t index;
};

class KeySorter {
  public:
    KeySorter(const char* keys, size_t keySize) : keys_(keys), keySize_(keySize) {}

    void sort(SortEntry* a, SortEntry* scratch, size_t n, size_t depth) const {
        if (n < 2 || depth >= keySize_) return;
        if (n <= kSmall) {
            sortSmall(a, n, depth);
            return;
        }
        const size_t take = std::min<size_t>(8, keySize_ - depth);
        uint64_t differ = 0;
        for (size_t i = 0; i < n; ++i) {
            a[i].prefix = ntxPrefix(keys_ + a[i].index * keySize_ + depth, take);
            differ |= a[i].prefix ^ a[0].prefix;
        }
        SortEntry* from = a;
        SortEntry* to = scratch;
        for (int b = 0; b < 8; ++b) {
            const int shift = 8 * b;
            if (((differ >> shift) & 0xFF) == 0) continue;  // the same byte everywhere: nothing to order
            uint32_t at[256] = {};
            for (size_t i = 0; i < n; ++i) ++at[(from[i].prefix >> shift) & 0xFF];
            uint32_t sum = 0;
            for (uint32_t& c : at) {
                uint32_t k = c;
                c = sum;
                sum += k;
            }
            for (size_t i = 0; i < n; ++i) to[at[(from[i].prefix >> shift) & 0xFF]++] = from[i];
            std::swap(from, to);
        }
        if (from != a) std::copy(from, from + n, a);
        if (depth + take >= keySize_) return;
        for (size_t i = 0; i < n;) {
            size_t j = i + 1;
            while (j < n && a[j].prefix == a[i].prefix) ++j;
            if (j - i > 1) sort(a + i, scratch + i, j - i, depth + take);
            i = j;
        }
    }

  private:
    static constexpr size_t kSmall = 32;

    // Insertion sort by the key bytes from `depth` on, equal keys in input order.
    void sortSmall(SortEntry* a, size_t n, size_t depth) const {
        const size_t rest = keySize_ - depth;
        for (size_t i = 1; i < n; ++i) {
            SortEntry e = a[i];
            const char* k = keys_ + e.index * keySize_ + depth;
            size_t j = i;
            while (j > 0 && std::memcmp(keys_ + a[j - 1].index * keySize_ + depth, k, rest) > 0) {
                a[j] = a[j - 1];
                --j;
            }
            a[j] = e;
        }
    }

    const char* keys_;
    size_t keySize_;
};

// The order of the keys, equal keys by record number.
std::vector<uint32_t> sortedOrder(const std::vector<char>& keys, const std::vector<uint32_t>& recnos,
                                  size_t keySize) {
    const size_t count = recnos.size();
    std::vector<SortEntry> entries(count), scratch(count);
    for (size_t i = 0; i < count; ++i) entries[i] = {0, static_cast<uint32_t>(i)};
    KeySorter(keys.data(), keySize).sort(entries.data(), scratch.data(), count, 0);
    std::vector<uint32_t> order(count);
    for (size_t i = 0; i < count; ++i) order[i] = entries[i].index;
    // Keys come in record order as a rule, and then equal keys are in record order already; otherwise
    // runs of equal keys are put in that order.
    if (!std::is_sorted(recnos.begin(), recnos.end())) {
        auto key = [&](uint32_t i) { return keys.data() + i * keySize; };
        for (size_t i = 0; i < count;) {
            size_t j = i + 1;
            while (j < count && std::memcmp(key(order[i]), key(order[j]), keySize) == 0) ++j;
            std::sort(order.begin() + static_cast<std::ptrdiff_t>(i),
                      order.begin() + static_cast<std::ptrdiff_t>(j), [&](uint32_t a, uint32_t b) {
                          return recnos[a] != recnos[b] ? recnos[a] < recnos[b] : a < b;
                      });
            i = j;
        }
    }
    return order;
}

// Writes pages in file order, gathering them into large writes.
class PageWriter {
  public:
    PageWriter(SharedFile& file, int maxKeys, int itemSize)
        : file_(file), maxKeys_(maxKeys), itemSize_(itemSize), buffer_(kPagesPerWrite * kNtxPageSize) {}

    // The next page, formatted empty; valid until the next call.
    NtxPage& next() {
        if (used_ == kPagesPerWrite) write();
        page_.offset = nextOffset_;
        page_.format(maxKeys_, itemSize_);
        return page_;
    }
    // Keeps the page returned by next(); returns its offset.
    uint32_t keep() {
        std::memcpy(buffer_.data() + used_ * kNtxPageSize, page_.bytes, kNtxPageSize);
        ++used_;
        nextOffset_ += kNtxPageSize;
        return page_.offset;
    }
    void finish() { write(); }

  private:
    void write() {
        if (used_ == 0) return;
        file_.writeAt(buffer_.data(), used_ * kNtxPageSize, nextOffset_ - used_ * kNtxPageSize);
        used_ = 0;
    }
    SharedFile& file_;
    int maxKeys_, itemSize_;
    std::vector<char> buffer_;
    size_t used_ = 0;
    uint32_t nextOffset_ = kNtxPageSize;
    NtxPage page_;
};

}  // namespace

std::unique_ptr<NtxIndex> NtxIndex::build(const std::string& path, const std::string& displayName,
                                          SharedFile::Mode mode, const std::string& expression, int keySize,
                                          int keyDecimals, std::vector<char>&& keys,
                                          std::vector<uint32_t>&& recnos) {
    int maxKeys = ntxMaxKeys(keySize);
    if (keySize < 1 || keySize > 256 || maxKeys < 2)
        throw RuntimeError(RuntimeError::Kind::Creation,
                           "key size " + std::to_string(keySize) + " not possible", displayName);
    if (expression.size() > 255)
        throw RuntimeError(RuntimeError::Kind::Creation, "key expression too long", displayName);
    if (keys.size() != recnos.size() * static_cast<size_t>(keySize))
        throw RuntimeError(RuntimeError::Kind::Creation, "keys and records do not match", displayName);
    const int itemSize = keySize + 8;
    const size_t ks = static_cast<size_t>(keySize);

    std::vector<uint32_t> level = sortedOrder(keys, recnos, ks);
    auto file = SharedFile::create(path, displayName);
    if (!file) return nullptr;

    // Level by level from the leaves up: the keys of a level are spread evenly over as few pages as
    // hold them, one key between neighbouring pages going up to the next level.
    PageWriter writer(*file, maxKeys, itemSize);
    std::vector<uint32_t> children;  // the pages below this level's keys (none for leaves)
    uint32_t root = 0;
    for (;;) {
        size_t count = level.size();
        size_t pages = (count + 1 + static_cast<size_t>(maxKeys)) / (static_cast<size_t>(maxKeys) + 1);
        if (pages == 0) pages = 1;
        size_t inPages = count - (pages - 1);
        size_t base = inPages / pages, extra = inPages % pages;
        std::vector<uint32_t> upper, upperChildren;
        size_t at = 0;
        for (size_t pg = 0; pg < pages; ++pg) {
            size_t n = base + (pg >= pages - extra ? 1 : 0);
            NtxPage& p = writer.next();
            for (size_t j = 0; j <= n; ++j) {
                char* it = p.item(static_cast<int>(j));
                if (!children.empty()) putU32(it, children[at + j]);
                if (j < n) {
                    // The keys lie in record order: fetch ahead of the copying.
                    if (at + j + 16 < count) __builtin_prefetch(keys.data() + level[at + j + 16] * ks);
                    uint32_t e = level[at + j];
                    putU32(it + 4, recnos[e]);
                    std::memcpy(it + 8, keys.data() + e * ks, ks);
                }
            }
            p.setCount(static_cast<int>(n));
            upperChildren.push_back(writer.keep());
            at += n;
            if (pg + 1 < pages) upper.push_back(level[at++]);
        }
        if (pages == 1) {
            root = upperChildren.front();
            break;
        }
        level = std::move(upper);
        children = std::move(upperChildren);
    }
    writer.finish();

    char header[kNtxPageSize] = {};
    putU16(header, 6);
    putU16(header + 2, 1);
    putU32(header + 4, root);
    putU32(header + 8, 0);
    putU16(header + 12, static_cast<uint16_t>(itemSize));
    putU16(header + 14, static_cast<uint16_t>(keySize));
    putU16(header + 16, static_cast<uint16_t>(keyDecimals));
    putU16(header + 18, static_cast<uint16_t>(maxKeys));
    putU16(header + 20, static_cast<uint16_t>(maxKeys / 2));
    std::memcpy(header + 22, expression.data(), expression.size());
    file->writeAt(header, sizeof header, 0);
    keys = {};
    recnos = {};

    if (mode == SharedFile::Mode::Shared) {
        // Created files are held exclusively; reopen to share it.
        file.reset();
        return open(path, mode, displayName);
    }
    auto impl = std::make_unique<Impl>();
    impl->file = std::move(file);
    impl->displayName = displayName;
    impl->loadHeader();
    return std::unique_ptr<NtxIndex>(new NtxIndex(std::move(impl)));
}

}  // namespace xbase
