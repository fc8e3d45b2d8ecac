#pragma once
// One dBASE III table file: the 32-byte header, the field descriptors and the fixed-length records.
//
// The record count is taken from the file size, (size - header length) / record length, because a shared
// appender writes its record before it rewrites the header; a header count above what the file holds is
// damage. A damaged file is refused with core::RuntimeError (Kind::Damaged) naming the file, and nothing
// is ever written to it. In exclusive mode the header and the closing 0x1A are written when the file is
// flushed or closed after a change; in shared mode every append rewrites the header at once and no 0x1A
// is written.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/date.h"
#include "platform/xbase/byte_locks.h"
#include "platform/xbase/field.h"
#include "platform/xbase/shared_file.h"

namespace xbase {

// Byte-range lock offsets on the table file, shared with the stock-keeping system's engine.
inline constexpr uint64_t kLockBase = 1000000000ULL;        // the append / header lock byte
inline constexpr uint64_t kFileLockLength = 1000000000ULL;  // the file lock starts at kLockBase + 1

class DbfFile {
  public:
    // Opens an existing table. Returns nullptr on a sharing conflict; a missing file throws Kind::Missing,
    // a damaged one Kind::Damaged.
    static std::unique_ptr<DbfFile> open(const std::string& path, SharedFile::Mode mode,
                                         const std::string& displayName);
    // Creates (replaces) an empty table, held exclusively. Returns nullptr when another holder prevents
    // it; bad field definitions throw Kind::Creation.
    static std::unique_ptr<DbfFile> create(const std::string& path, const std::string& displayName,
                                           const std::vector<Field>& fields, core::Date today);

    ~DbfFile();  // finishes an exclusive file that was changed; errors are swallowed (call close())
    DbfFile(const DbfFile&) = delete;
    DbfFile& operator=(const DbfFile&) = delete;

    // Writes what exclusive mode holds back and gives the file up. May throw.
    void close(core::Date today);

    const std::string& path() const;
    const std::string& displayName() const;
    bool shared() const;
    const Layout& layout() const { return layout_; }
    int headerLength() const { return headerLength_; }
    int recordLength() const { return layout_.recordLength; }
    core::Date lastUpdate() const { return lastUpdate_; }

    // The record count as last known.
    uint32_t recordCount() const { return count_; }
    // Shared mode: learns the count again from the file size (others may have appended). Exclusive mode
    // knows it already.
    uint32_t refreshCount();

    // Reads record `recno` (1-based, at most recordCount()) into `buffer` (recordLength() bytes). In
    // exclusive mode a run of records read one after the other is read ahead in blocks.
    void readRecord(uint32_t recno, char* buffer) const;
    // Reads `n` consecutive records from `first` in one go (for scans and builds).
    void readRecords(uint32_t first, uint32_t n, char* buffer) const;
    void writeRecord(uint32_t recno, const char* buffer);

    // Exclusive mode: the new record becomes count + 1. New records are gathered and written in blocks;
    // the header follows at flush or close.
    uint32_t appendExclusive(const char* buffer);

    // The steps of a shared append, run by the caller while it holds the append lock: the count from the
    // file size, then the new record written, then the header with the new count and today's date.
    // `previous`, when given, is record recno - 1 as it is to be written: both go in one write.
    uint32_t countFromSize();
    void writeAppended(uint32_t recno, const char* buffer, core::Date today, const char* previous = nullptr);

    // Exclusive mode: writes the header (and 0x1A) now when something changed.
    void flush(core::Date today);
    // Exclusive mode: removes every record.
    void zap(core::Date today);

    const std::shared_ptr<SharedFile>& file() const { return file_; }
    ByteLocks& locks() { return *locks_; }

  private:
    DbfFile() = default;
    void readStructure();
    void damaged(const std::string& what) const;
    void writeHeader(uint32_t count, core::Date today);
    void checkWritable() const;
    void writePending() const;

    std::shared_ptr<SharedFile> file_;
    std::shared_ptr<ByteLocks> locks_;
    Layout layout_;
    int headerLength_ = 0;
    uint32_t count_ = 0;
    unsigned char header_[32] = {};
    core::Date lastUpdate_;
    bool changed_ = false;  // exclusive mode: header and 0x1A are due
    // Exclusive mode: appended records not yet written, from record pendingFirst_ on.
    mutable std::vector<char> pending_;
    std::vector<char> pair_;  // a shared append with the record before it
    mutable uint32_t pendingFirst_ = 0;
    // Exclusive mode: records read ahead, from aheadFirst_ on, and the record read last.
    mutable std::vector<char> ahead_;
    mutable uint32_t aheadFirst_ = 0, lastRead_ = 0;
    mutable bool damaged_ = false;
};

// The record length and offsets of a field list, checked as a table file needs them (names, types, sizes);
// a bad list throws Kind::Creation naming `displayName`.
Layout checkedLayout(const std::vector<Field>& fields, const std::string& displayName);

}  // namespace xbase
