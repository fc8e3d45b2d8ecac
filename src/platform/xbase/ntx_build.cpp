// Building an index from all keys of a table: sort, then write the tree bottom-up in few large writes.
#include <algorithm>
#include <numeric>

#include "platform/core/error.h"
#include "platform/xbase/ntx_impl.h"

namespace xbase {

using core::RuntimeError;

namespace {

constexpr size_t kPagesPerWrite = 256;

// The order of the keys (equal keys by record number). Sorting records of the first eight key bytes
// keeps most comparisons off the key array.
std::vector<uint32_t> sortedOrder(const std::vector<char>& keys, const std::vector<uint32_t>& recnos,
                                  size_t keySize) {
    struct Entry {
        uint64_t prefix;
        uint32_t index;
    };
    size_t count = recnos.size();
    std::vector<Entry> entries(count);
    size_t head = std::min<size_t>(keySize, 8);
    for (size_t i = 0; i < count; ++i) {
        const auto* k = reinterpret_cast<const unsigned char*>(keys.data() + i * keySize);
        uint64_t prefix = 0;
        for (size_t b = 0; b < 8; ++b) prefix = prefix << 8 | (b < head ? k[b] : 0);
        entries[i] = {prefix, static_cast<uint32_t>(i)};
    }
    size_t rest = keySize - head;
    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        if (rest) {
            int c = std::memcmp(keys.data() + a.index * keySize + head,
                                keys.data() + b.index * keySize + head, rest);
            if (c != 0) return c < 0;
        }
        return recnos[a.index] != recnos[b.index] ? recnos[a.index] < recnos[b.index] : a.index < b.index;
    });
    std::vector<uint32_t> order(count);
    for (size_t i = 0; i < count; ++i) order[i] = entries[i].index;
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
