#pragma once
// An open table: the DBF file, the index files attached to it (one of them the controlling order, or
// none), a record buffer and the position in the table.
//
// Deleted records are invisible to every move, to copying and to appending from the table; only goTo()
// reaches them. A changed record is written at the next move, commit, unlock, append or close, and every
// attached index is kept up to date at that moment: where a record's key changed the old entry is removed
// and the new one inserted; a new record's keys are inserted after the record itself is written.
//
// In shared mode the table's locks are taken as the stock-keeping system's engine takes them: record N at
// byte 1,000,000,000 + N, the file lock over the 1,000,000,000 bytes after the append byte, the append
// lock at byte 1,000,000,000. A table holds at most one record lock at a time in this program's use:
// locking a record or appending releases the table's other record locks. In exclusive mode no lock is
// taken and every lock attempt succeeds.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/value.h"
#include "platform/xbase/field.h"
#include "platform/xbase/shared_file.h"

namespace os {
class Clock;
}

namespace xbase {

class DbfFile;
class NtxIndex;
class Expression;

// A file given to the engine: the real path and the name under which errors report it.
struct TableFile {
    std::string path;
    std::string displayName;
};

class Table {
  public:
    // Opens a table shared or exclusive. Returns nullptr on a sharing conflict; a missing or damaged file
    // throws core::RuntimeError naming `displayName`.
    static std::unique_ptr<Table> open(const std::string& path, const std::string& displayName,
                                       bool exclusive);
    // Creates (replaces) an empty table and opens it exclusively. Returns nullptr when another holder
    // prevents it; bad fields or a failed creation throw Kind::Creation.
    static std::unique_ptr<Table> create(const std::string& path, const std::string& displayName,
                                         const std::vector<Field>& fields);

    ~Table();  // as close(), swallowing errors
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // Writes the pending record, releases the locks, closes the indexes and the file. May throw.
    void close();

    // Where today's date comes from (the header's date of last update); the system clock by default.
    void setClock(os::Clock* clock) { clock_ = clock; }

    const std::string& path() const;
    const std::string& displayName() const;
    bool shared() const;
    const Layout& layout() const;
    bool hasField(std::string_view name) const { return layout().find(name) >= 0; }
    // LASTREC(): the number of records, deleted ones included (shared mode asks the file again).
    uint32_t recordCount();

    // --- Index files ------------------------------------------------------------------------------
    // Attaches an index file, opened in the table's mode; the first one attached becomes the controlling
    // order when there is none. Returns false on a sharing conflict; a missing or damaged index throws.
    bool attachIndex(const std::string& path, const std::string& displayName);
    // INDEX ON: builds an index file of every record (deleted ones included) on `expression`, closes the
    // other indexes and leaves the new one attached as the controlling order. The key size is the
    // expression's result length (a number's width, with its decimals). Returns false when the index file
    // is held elsewhere.
    bool indexOn(const std::string& path, const std::string& displayName, const std::string& expression);
    // Closes every attached index (after writing the pending record).
    void closeIndexes();
    // SET ORDER TO: 0 is natural record order, 1..indexCount() the attached indexes in attaching order.
    // The record stays where it is.
    void setOrder(int order);
    int order() const { return order_; }
    int indexCount() const { return static_cast<int>(indexes_.size()); }
    NtxIndex& index(int order);  // 1-based
    // The key expression of an attached index (1-based), or of the controlling one when 0.
    const std::string& indexExpression(int order = 0) const;

    // --- Position -----------------------------------------------------------------------------------
    void goTop();
    void goBottom();
    // Goes to a record by number, deleted or not; a number outside the table gives eof.
    void goTo(uint32_t recno);
    // Moves n records forward (n < 0: back) in the controlling order, passing over deleted records.
    // Past the last record: eof (record number count + 1); before the first: bof, on the first record.
    void skip(long n = 1);
    // SEEK in the controlling order. A text value searches by its bytes, cut to the key size (a shorter
    // value searches by prefix); other values by their key bytes. Found: on the first matching record
    // that is not deleted. Not found: with `soft` on the next record in key order (eof when none),
    // otherwise at eof. Without a controlling order it is a run-time error.
    bool seek(const core::Value& value, bool soft = true);
    // The same with ready key bytes.
    bool seekKey(std::string_view key, bool soft = true);
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    bool found() const { return found_; }
    uint32_t recno() const { return recno_; }
    bool deleted() const;

    // --- Fields ---------------------------------------------------------------------------------------
    // The value of a field of the current record (empty values at eof). An unknown name throws
    // Kind::NoField naming the field and the table.
    core::Value get(std::string_view field) const;
    // Sets a field of the current record; at eof nothing happens (as REPLACE does there). A value of the
    // wrong type is a run-time error.
    void put(std::string_view field, const core::Value& value);
    // A field of this table by its name, as get() and put() find it (an unknown name throws the same); and
    // get() and put() by such a field, for loops that would otherwise look the name up on every record.
    const Field& fieldOf(std::string_view name) const;
    core::Value get(const Field& field) const;
    void put(const Field& field, const core::Value& value);
    // The current record as stored: deletion flag at byte 0, recordLength bytes.
    const char* record() const { return buffer_.data(); }
    // Evaluates an expression on the current record.
    core::Value evaluate(std::string_view expression) const;

    // --- Changes --------------------------------------------------------------------------------------
    void deleteRecord();
    void recall();
    // APPEND BLANK as one attempt: false only when, in shared mode, another process holds the append lock
    // or the new record's lock; the table is then as it was. The new record is current and (shared)
    // locked; the table's other record locks are released.
    bool tryAppendBlank();
    // APPEND BLANK, waiting for the append lock.
    void appendBlank();
    // APPEND BLANK, the fields set by `fill` on the new record, UNLOCK: as one attempt, false as
    // tryAppendBlank(). In shared mode the record goes into the file with its fields in place of the blank
    // one, its keys go in while the append byte is still held, and the append byte and the record lock are
    // given up in one call. The table stays on the new record, which is locked no more.
    bool tryAppendRecord(const std::function<void(Table&)>& fill);
    // Writes the pending record and its index entries; exclusive mode also writes the header.
    void commit();
    // Removes every record and empties every attached index. Exclusive mode only (a run-time error
    // otherwise).
    void zap();

    // --- Locks (shared mode; in exclusive mode they always succeed and take nothing) -----------------
    // Locks the current record, one attempt: false when another process holds it or the file lock, and
    // then the table's locks stay as they were. Once granted, the table's other record locks are released
    // and the record is read again (another station may have changed it).
    bool tryLockRecord();
    // Goes to record `recno` and locks it, as one attempt: the record is read once, after the lock. On a
    // refusal (or a record past the end) the table stays where it was.
    bool tryLockRecordAt(uint32_t recno);
    // Locks the whole table (every record byte, not the append byte), one attempt; the record locks go
    // once it is granted.
    bool tryFileLock();
    // Releases the table's record and file locks, after writing the pending record.
    void unlock();
    bool recordLocked(uint32_t recno) const;
    bool fileLocked() const { return fileLocked_; }

    // --- Copying --------------------------------------------------------------------------------------
    // COPY TO: a new table with the same fields (or the named ones, in that order) holding the records
    // that are not deleted, in the controlling order. The table ends at eof. An unknown field name throws
    // Kind::NoField. Returns the number of records written; throws Kind::Creation when the target cannot
    // be created.
    uint32_t copyTo(const std::string& path, const std::string& displayName,
                    const std::vector<std::string>& fields = {});
    // APPEND FROM: appends every record of `source` that is not deleted, in its natural order, fields
    // matched by name (others stay blank; a field of another type is left blank). Returns the number of
    // records appended. In shared mode each append follows the locking protocol and waits for the
    // append lock; the last appended record stays locked.
    uint32_t appendFrom(Table& source);
    uint32_t appendFrom(const std::string& path, const std::string& displayName);

    // --- Relations ------------------------------------------------------------------------------------
    // SET RELATION: whenever this table moves, `child` is positioned by evaluating `expression` on the
    // current record and an exact seek in the child's controlling order (a record number when the child
    // has no order); not found puts the child at eof. The child must outlive the relation.
    void setRelation(Table& child, const std::string& expression);
    void clearRelations();
    // Drops any relation into `child` (it is being closed).
    void dropRelationsTo(const Table* child);

    struct Attached;  // an attached index with its compiled key

  private:
    Table();
    static std::unique_ptr<Table> adopt(std::unique_ptr<DbfFile> dbf);

    core::Date today() const;
    // Writes the pending record and its index entries.
    void flush();
    // Marks the current record changed, keeping it as it was (for its old index keys) on the first change.
    void beginChange();
    // Moves to record `recno` (0 or past the end: eof) after writing the pending record.
    void load(uint32_t recno);
    void setEof();
    void readCurrent();
    void positionChildren();
    bool deletedOnDisk() const { return buffer_[0] == '*'; }
    // Natural-order and index-order stepping to the next visible record; false past the end.
    bool stepNatural(int direction);
    bool stepIndex(int direction);
    // Puts the controlling index's position on the current record.
    void syncIndex();
    void releaseRecordLocks();
    // One append: shared mode under the append lock (waiting for it or not), exclusive mode in memory.
    bool append(bool wait, const std::function<void(Table&)>* fill = nullptr);
    std::string keyOf(const Attached& index, const char* record, uint32_t recno) const;
    bool inIndex(const Attached& index, const char* record, uint32_t recno) const;
    void insertKeys(const char* record, uint32_t recno);

    std::unique_ptr<DbfFile> dbf_;
    std::vector<std::unique_ptr<Attached>> indexes_;
    int order_ = 0;
    std::vector<char> buffer_;    // the current record as it will be written
    std::vector<char> original_;  // the current record before its changes (while dirty_), for the old keys
    uint32_t recno_ = 1;
    bool eof_ = true, bof_ = true, found_ = false;
    bool dirty_ = false;        // buffer_ differs from the file
    bool newRecord_ = false;    // appended: keys not yet inserted
    bool unwritten_ = false;    // exclusive append not yet written
    bool indexSynced_ = false;  // the controlling index stands on the current record
    std::string keyBuffer_;     // a new record's keys, one after the other
    std::vector<uint32_t> lockedRecords_;
    bool fileLocked_ = false;
    os::Clock* clock_ = nullptr;
    struct Relation;
    std::vector<std::unique_ptr<Relation>> relations_;
};

}  // namespace xbase
