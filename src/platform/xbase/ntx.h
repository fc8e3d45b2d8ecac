#pragma once
// One NTX index file: a B-tree of 1024-byte pages holding (key, record number) entries, kept exactly as
// the stock-keeping system's engine lays it out, so that both programs can maintain the same file.
//
// In shared mode every operation takes the index lock (a read lock to read, a write lock to change) at
// byte 1,000,000,000 for that one operation, and re-reads the header: when the signature, change counter,
// root or free-list head moved, another process changed the file and every cached page is dropped. A
// change rewrites the first 12 header bytes with the counter + 1. In exclusive mode nothing is locked and
// changed pages stay in memory until flush() or close (or until the page cache needs room); the header is
// then written only when the root or the free list changed.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xbase/shared_file.h"

namespace xbase {

class NtxIndex {
public:
    // Opens an existing index file in the table's mode. Returns nullptr on a sharing conflict. A missing
    // file, or a damaged one (unknown signature, bad sizes, page offsets outside the file) throws
    // core::RuntimeError naming `displayName`.
    static std::unique_ptr<NtxIndex> open(const std::string& path, SharedFile::Mode mode,
                                          const std::string& displayName);

    // Builds (replaces) an index file from all keys of a table: `keys` holds count = recnos.size() keys of
    // keySize bytes each, back to back, in record order; they are sorted here (equal keys by record
    // number). The result stays open in `mode`. Returns nullptr when the file is held elsewhere.
    static std::unique_ptr<NtxIndex> build(const std::string& path, const std::string& displayName,
                                           SharedFile::Mode mode, const std::string& expression, int keySize,
                                           int keyDecimals, std::vector<char>&& keys,
                                           std::vector<uint32_t>&& recnos);

    ~NtxIndex();  // writes what exclusive mode still holds back

    const std::string& displayName() const;
    const std::string& expression() const;  // exactly as stored in the header
    const std::string& forExpression() const;
    int keySize() const;
    int keyDecimals() const;
    bool unique() const;
    bool descending() const;

    // Navigation over entries in key order. The position is the current entry (key, record number), so it
    // survives changes of the tree by this or another process: it is found again by key when needed.
    //
    // Positions on the first entry whose key, compared over the length of `key` only (a shorter key
    // searches by prefix), is not below `key`. Returns true when that entry's key begins with `key`.
    // Past the last entry: eof() is true and recno() 0.
    bool seek(std::string_view key);
    // Positions on exactly this entry; false (and eof) when the index does not hold it.
    bool seekEntry(std::string_view key, uint32_t recno);
    void goTop();
    void goBottom();
    // Moves one entry forward (+1) or back (-1). Moving past either end returns false and sets eof()
    // (forward) or bof() (back; the position then stays on the first entry).
    bool skip(int direction);
    bool eof() const;
    bool bof() const;
    uint32_t recno() const;
    std::string_view key() const;

    void insert(std::string_view key, uint32_t recno);  // after all equal keys
    bool remove(std::string_view key, uint32_t recno);  // false when the entry is not there
    // Exclusive mode: writes the changed pages held back, then the header when the root or the free list
    // changed. The file is then sound for any reader.
    void flush();

    // Checks the tree: page offsets inside the file, no page reached twice, one depth for all leaves,
    // keys ascending, and (when keyOf is given) exactly one entry per record 1..recordCount whose key
    // equals keyOf(recno). Returns the problems found, none when sound. Writes what exclusive mode holds
    // back first: the file is what is checked.
    std::vector<std::string> verify(uint32_t recordCount,
                                    const std::function<std::string(uint32_t recno)>& keyOf) const;

    struct Impl;

private:
    explicit NtxIndex(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The largest number of keys an NTX page holds for a key size (52 for 9, 40 for 14, 22 for 31, 54 for 8).
int ntxMaxKeys(int keySize);

}  // namespace xbase
