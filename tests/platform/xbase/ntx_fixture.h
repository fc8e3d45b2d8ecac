#pragma once
// Helpers of the index tests: reading all entries, and small tables the independent checker can hold an
// index against.
#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/xbase/ntx.h"
#include "support/test_support.h"

namespace ntx_testing {

using Entries = std::vector<std::pair<uint32_t, std::string>>;

inline Entries allEntries(xbase::NtxIndex& ix) {
    Entries out;
    for (ix.goTop(); !ix.eof(); ix.skip(1)) out.emplace_back(ix.recno(), std::string(ix.key()));
    return out;
}

inline Entries allEntriesBackwards(xbase::NtxIndex& ix) {
    Entries out;
    ix.goBottom();
    if (ix.eof()) return out;
    do out.emplace_back(ix.recno(), std::string(ix.key()));
    while (ix.skip(-1));
    std::reverse(out.begin(), out.end());
    return out;
}

// A dBASE III table held in memory: enough to change field values and append records, then write it back
// for the checker.
class DbfImage {
  public:
    explicit DbfImage(const std::filesystem::path& file) : bytes_(testing_support::readFile(file)) {
        headerLength_ = u16(8);
        recordLength_ = u16(10);
        size_t count = (bytes_.size() - headerLength_) / recordLength_;
        bytes_.resize(headerLength_ + count * recordLength_);
        size_t offset = 1;
        for (size_t at = 32; at + 32 <= headerLength_ && bytes_[at] != 0x0D; at += 32) {
            std::string name(bytes_.data() + at, strnlen(bytes_.data() + at, 11));
            size_t length = static_cast<unsigned char>(bytes_[at + 16]);
            fields_.push_back({name, offset, length});
            offset += length;
        }
    }
    // A table of one character field K of `width`, no records.
    static DbfImage keyTable(size_t width) {
        DbfImage t;
        t.headerLength_ = 32 + 32 + 2;
        t.recordLength_ = 1 + width;
        t.bytes_.assign(t.headerLength_, '\0');
        t.bytes_[0] = 0x03;
        t.bytes_[1] = 124;
        t.bytes_[2] = 3;
        t.bytes_[3] = 1;
        t.put16(8, static_cast<uint16_t>(t.headerLength_));
        t.put16(10, static_cast<uint16_t>(t.recordLength_));
        t.bytes_[32] = 'K';
        t.bytes_[32 + 11] = 'C';
        t.bytes_[32 + 16] = static_cast<char>(width);
        t.bytes_[64] = 0x0D;
        t.fields_.push_back({"K", 1, width});
        return t;
    }

    uint32_t count() const { return static_cast<uint32_t>((bytes_.size() - headerLength_) / recordLength_); }
    std::string get(uint32_t recno, const std::string& field) const {
        auto& f = find(field);
        return bytes_.substr(at(recno) + f.offset, f.length);
    }
    void set(uint32_t recno, const std::string& field, const std::string& value) {
        auto& f = find(field);
        std::string v = value.substr(0, f.length);
        v.resize(f.length, ' ');
        bytes_.replace(at(recno) + f.offset, f.length, v);
    }
    uint32_t append() {
        bytes_.append(recordLength_, ' ');
        return count();
    }
    uint32_t appendCopy(uint32_t from) {
        bytes_ += bytes_.substr(at(from), recordLength_);
        return count();
    }
    void dropLast() { bytes_.resize(bytes_.size() - recordLength_); }
    void save(const std::filesystem::path& file) {
        uint32_t n = count();
        for (int i = 0; i < 4; ++i) bytes_[4 + i] = static_cast<char>((n >> (8 * i)) & 0xFF);
        testing_support::writeFile(file, bytes_ + '\x1A');
    }

  private:
    struct FieldPos {
        std::string name;
        size_t offset, length;
    };
    DbfImage() = default;
    uint16_t u16(size_t at) const {
        return static_cast<uint16_t>(static_cast<unsigned char>(bytes_[at]) |
                                     static_cast<unsigned char>(bytes_[at + 1]) << 8);
    }
    void put16(size_t at, uint16_t v) {
        bytes_[at] = static_cast<char>(v & 0xFF);
        bytes_[at + 1] = static_cast<char>(v >> 8);
    }
    size_t at(uint32_t recno) const { return headerLength_ + (recno - 1) * recordLength_; }
    const FieldPos& find(const std::string& name) const {
        for (auto& f : fields_)
            if (strcasecmp(f.name.c_str(), name.c_str()) == 0) return f;
        throw std::runtime_error("no field " + name);
    }
    std::string bytes_;
    size_t headerLength_ = 0, recordLength_ = 0;
    std::vector<FieldPos> fields_;
};

}  // namespace ntx_testing
