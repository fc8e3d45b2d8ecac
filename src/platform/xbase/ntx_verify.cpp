// Checking a whole index as it stands in the file.
#include <algorithm>

#include "platform/xbase/ntx_impl.h"

namespace xbase {

namespace {

constexpr size_t kMaxProblems = 50;

class Problems {
  public:
    void add(std::string text) {
        if (list_.size() < kMaxProblems)
            list_.push_back(std::move(text));
        else
            ++more_;
    }
    std::vector<std::string> finish() {
        if (more_) list_.push_back("... and " + std::to_string(more_) + " more problems");
        return std::move(list_);
    }

  private:
    std::vector<std::string> list_;
    size_t more_ = 0;
};

std::string shown(const char* key, size_t size) {
    std::string s = "\"";
    for (size_t i = 0; i < size; ++i) {
        auto c = static_cast<unsigned char>(key[i]);
        if (c < 0x20 || c == 0x7F) {
            static const char hex[] = "0123456789ABCDEF";
            s += "\\x";
            s += hex[c >> 4];
            s += hex[c & 15];
        } else {
            s += static_cast<char>(c);
        }
    }
    return s + "\"";
}

}  // namespace

std::vector<std::string> NtxIndex::verify(uint32_t recordCount,
                                          const std::function<std::string(uint32_t recno)>& keyOf) const {
    Impl& ix = *impl_;
    ix.writeHeld();  // the file is what is checked
    NtxAccess access(ix, false);
    Problems problems;
    const uint64_t size = ix.file->size();
    const size_t pageCount = size / kNtxPageSize;
    const size_t ks = static_cast<size_t>(ix.keySize);
    std::vector<char> seen(pageCount + 1, 0);
    std::vector<uint32_t> held(keyOf ? recordCount + size_t{1} : 0, 0);

    // Reads and checks one page; null when it cannot be walked.
    auto load = [&](uint32_t offset, const std::string& from) -> std::unique_ptr<NtxPage> {
        if (offset % kNtxPageSize != 0 || offset < kNtxPageSize || offset + uint64_t{kNtxPageSize} > size) {
            problems.add("page offset " + std::to_string(offset) + " " + from + " outside the file");
            return nullptr;
        }
        auto p = std::make_unique<NtxPage>();
        p->offset = offset;
        ix.file->readExact(p->bytes, kNtxPageSize, offset);
        int n = p->count();
        if (n > ix.maxKeys) {
            problems.add("page " + std::to_string(offset) + " holds " + std::to_string(n) +
                         " keys, more than " + std::to_string(ix.maxKeys));
            return nullptr;
        }
        std::vector<int> used;
        for (int i = 0; i <= n; ++i) {
            int s = p->slot(i);
            if (s < ix.itemBase || s + ix.itemSize > static_cast<int>(kNtxPageSize)) {
                problems.add("page " + std::to_string(offset) + ": item offset " + std::to_string(s) +
                             " outside the page");
                return nullptr;
            }
            used.push_back(s);
        }
        std::sort(used.begin(), used.end());
        for (size_t i = 1; i < used.size(); ++i)
            if (used[i] - used[i - 1] < ix.itemSize) {
                problems.add("page " + std::to_string(offset) + ": items overlap");
                return nullptr;
            }
        return p;
    };

    struct Frame {
        std::unique_ptr<NtxPage> page;
        size_t depth;
        int next;  // the next step of the walk through the page
        bool leaf;
    };
    std::vector<Frame> stack;
    int leafDepth = -1;
    std::string previous;
    uint64_t entries = 0;

    auto enter = [&](uint32_t offset, size_t depth, const std::string& from) {
        if (offset / kNtxPageSize < seen.size() && offset % kNtxPageSize == 0 &&
            seen[offset / kNtxPageSize]) {
            problems.add("page " + std::to_string(offset) + " reached twice (" + from + ")");
            return;
        }
        auto p = load(offset, from);
        if (!p) return;
        seen[offset / kNtxPageSize] = 1;
        bool leaf = p->child(0) == 0;
        for (int i = 1; i <= p->count(); ++i)
            if ((p->child(i) == 0) != leaf) {
                problems.add("page " + std::to_string(offset) + " mixes leaf and branch items");
                break;
            }
        if (leaf) {
            if (leafDepth < 0)
                leafDepth = static_cast<int>(depth);
            else if (leafDepth != static_cast<int>(depth))
                problems.add("leaf " + std::to_string(offset) + " at depth " + std::to_string(depth) +
                             ", others at " + std::to_string(leafDepth));
        }
        stack.push_back({std::move(p), depth, 0, leaf});
    };

    auto visit = [&](const NtxPage& p, int i) {
        const char* key = p.key(i);
        uint32_t recno = p.recno(i);
        if (entries++ > 0 && ix.compare(previous.data(), key, ks) > 0)
            problems.add("key " + shown(key, ks) + " of record " + std::to_string(recno) + " out of order");
        previous.assign(key, ks);
        if (!keyOf) return;
        if (recno == 0 || recno > recordCount) {
            problems.add("entry for record " + std::to_string(recno) + " outside the table");
            return;
        }
        if (++held[recno] == 2) problems.add("record " + std::to_string(recno) + " held more than once");
        std::string want = ix.fitKey(keyOf(recno));
        if (std::memcmp(want.data(), key, ks) != 0)
            problems.add("record " + std::to_string(recno) + " has key " + shown(key, ks) + ", should be " +
                         shown(want.data(), ks));
    };

    enter(ix.root, 1, "root");
    while (!stack.empty()) {
        Frame& f = stack.back();
        int n = f.page->count();
        int step = f.next++;
        if (f.leaf) {
            if (step >= n)
                stack.pop_back();
            else
                visit(*f.page, step);
            continue;
        }
        // Branch: child 0, key 0, child 1, ..., key n-1, child n.
        if (step > 2 * n) {
            stack.pop_back();
        } else if (step % 2 == 1) {
            visit(*f.page, step / 2);
        } else {
            uint32_t child = f.page->child(step / 2);
            size_t depth = f.depth + 1;
            enter(child, depth, "in page " + std::to_string(f.page->offset));
        }
    }

    if (keyOf) {
        for (uint32_t r = 1; r <= recordCount; ++r)
            if (held[r] == 0) problems.add("record " + std::to_string(r) + " missing from the index");
    }

    // The free chain: inside the file, off the tree, pages without keys, no loop.
    std::vector<char> onChain(pageCount + 1, 0);
    for (uint32_t offset = ix.freeHead; offset != 0;) {
        if (offset % kNtxPageSize != 0 || offset < kNtxPageSize || offset + uint64_t{kNtxPageSize} > size) {
            problems.add("free page " + std::to_string(offset) + " outside the file");
            break;
        }
        size_t number = offset / kNtxPageSize;
        if (onChain[number]) {
            problems.add("loop in the free page chain at " + std::to_string(offset));
            break;
        }
        onChain[number] = 1;
        if (seen[number]) problems.add("free page " + std::to_string(offset) + " is in the tree");
        NtxPage p;
        ix.file->readExact(p.bytes, kNtxPageSize, offset);
        if (p.count() != 0) problems.add("free page " + std::to_string(offset) + " holds keys");
        if (p.slot(0) < ix.itemBase || p.slot(0) + ix.itemSize > static_cast<int>(kNtxPageSize)) {
            problems.add("free page " + std::to_string(offset) + " has no link");
            break;
        }
        offset = p.child(0);
    }
    return problems.finish();
}

}  // namespace xbase
