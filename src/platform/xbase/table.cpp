#include "platform/xbase/table.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "platform/core/error.h"
#include "platform/os/clock.h"
#include "platform/xbase/dbf.h"
#include "platform/xbase/expr.h"
#include "platform/xbase/ntx.h"

namespace xbase {

using core::RuntimeError;

struct Table::Attached {
    TableFile file;
    std::unique_ptr<NtxIndex> ntx;
    Expression key;
    Expression condition;  // the FOR condition, when the index has one
    bool conditional = false;
};

struct Table::Relation {
    Table* child = nullptr;
    Expression expression;
};

namespace {

std::string upper(std::string_view s) {
    std::string r(s);
    for (auto& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

// The key size INDEX ON gives an expression: its result length, a number's width.
int keySizeOf(const Expression& e) {
    switch (e.type()) {
        case core::Type::Date:
            return 8;
        case core::Type::Logical:
            return 1;
        default:
            return e.length();
    }
}

}  // namespace

Table::Table() = default;

Table::~Table() {
    try {
        close();
    } catch (...) {
    }
}

std::unique_ptr<Table> Table::adopt(std::unique_ptr<DbfFile> dbf) {
    std::unique_ptr<Table> table(new Table);
    table->dbf_ = std::move(dbf);
    const auto rl = static_cast<size_t>(table->dbf_->recordLength());
    table->buffer_.assign(rl, ' ');
    table->original_ = table->buffer_;
    table->goTop();
    return table;
}

std::unique_ptr<Table> Table::open(const std::string& path, const std::string& displayName, bool exclusive) {
    auto dbf =
        DbfFile::open(path, exclusive ? SharedFile::Mode::Exclusive : SharedFile::Mode::Shared, displayName);
    if (!dbf) return nullptr;
    return adopt(std::move(dbf));
}

std::unique_ptr<Table> Table::create(const std::string& path, const std::string& displayName,
                                     const std::vector<Field>& fields) {
    static os::SystemClock systemClock;
    auto dbf = DbfFile::create(path, displayName, fields, systemClock.today());
    if (!dbf) return nullptr;
    return adopt(std::move(dbf));
}

void Table::close() {
    if (!dbf_) return;
    std::exception_ptr failure;
    try {
        flush();
    } catch (...) {
        failure = std::current_exception();
    }
    newRecord_ = unwritten_ = dirty_ = false;
    relations_.clear();
    try {
        releaseRecordLocks();
        if (fileLocked_) dbf_->locks().unlock(kLockBase + 1, kFileLockLength);
    } catch (...) {
    }
    fileLocked_ = false;
    try {
        for (auto& index : indexes_) index->ntx->flush();  // what an exclusive index held back
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    indexes_.clear();
    order_ = 0;
    try {
        dbf_->close(today());
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    dbf_.reset();
    if (failure) std::rethrow_exception(failure);
}

core::Date Table::today() const {
    if (clock_) return clock_->today();
    // The system clock's date, looked up once a second: every shared append stamps it in the header.
    static os::SystemClock systemClock;
    static std::time_t second = -1;
    static core::Date date;
    if (std::time_t now = std::time(nullptr); now != second) {
        date = systemClock.today();
        second = now;
    }
    return date;
}

const std::string& Table::path() const {
    return dbf_->path();
}
const std::string& Table::displayName() const {
    return dbf_->displayName();
}
bool Table::shared() const {
    return dbf_->shared();
}
const Layout& Table::layout() const {
    return dbf_->layout();
}

uint32_t Table::recordCount() {
    if (unwritten_) return dbf_->recordCount() + 1;
    return dbf_->refreshCount();
}

const Field& Table::fieldOf(std::string_view name) const {
    const Field* f = layout().field(name);
    if (!f)
        throw RuntimeError(RuntimeError::Kind::NoField, "field " + upper(name) + " does not exist",
                           displayName());
    return *f;
}

// --- Index files ------------------------------------------------------------------------------------

std::string Table::keyOf(const Attached& index, const char* record, uint32_t recno) const {
    return index.key.key(record, recno, index.ntx->keySize(), index.ntx->keyDecimals());
}

bool Table::inIndex(const Attached& index, const char* record, uint32_t recno) const {
    if (!index.conditional) return true;
    core::Value v = index.condition.evaluate(record, recno);
    return v.isLogical() && v.logical;
}

namespace {

Expression compileFor(const std::string& text, const Layout& layout, const std::string& displayName) {
    try {
        return Expression::compile(text, layout);
    } catch (const RuntimeError& e) {
        throw RuntimeError(e.kind(), e.description(), displayName);
    }
}

}  // namespace

bool Table::attachIndex(const std::string& path, const std::string& displayName) {
    flush();
    auto ntx = NtxIndex::open(path, dbf_->file()->mode(), displayName);
    if (!ntx) return false;
    auto attached = std::make_unique<Attached>();
    attached->file = {path, displayName};
    attached->key = compileFor(ntx->expression(), layout(), displayName);
    if (!ntx->forExpression().empty()) {
        attached->condition = compileFor(ntx->forExpression(), layout(), displayName);
        attached->conditional = true;
    }
    attached->ntx = std::move(ntx);
    indexes_.push_back(std::move(attached));
    if (indexes_.size() == 1) {
        order_ = 1;
        goTop();
    }
    return true;
}

bool Table::indexOn(const std::string& path, const std::string& displayName, const std::string& expression) {
    flush();
    Expression key = compileFor(expression, layout(), displayName);
    const int keySize = keySizeOf(key);
    const int keyDecimals = key.type() == core::Type::Number ? key.decimals() : 0;
    if (keySize <= 0 || keySize > 250)
        throw RuntimeError(RuntimeError::Kind::Expression, "invalid key length of \"" + expression + "\"",
                           displayName);

    const uint32_t count = dbf_->refreshCount();
    std::vector<char> keys;
    std::vector<uint32_t> recnos;
    keys.reserve(static_cast<size_t>(count) * static_cast<size_t>(keySize));
    recnos.reserve(count);
    const auto rl = static_cast<size_t>(dbf_->recordLength());
    const uint32_t chunk = std::max<uint32_t>(1, static_cast<uint32_t>(65536 / rl));
    std::vector<char> block(chunk * rl);
    std::string k;
    for (uint32_t first = 1; first <= count; first += chunk) {
        uint32_t n = std::min(chunk, count - first + 1);
        dbf_->readRecords(first, n, block.data());
        for (uint32_t i = 0; i < n; ++i) {
            key.key(block.data() + i * rl, first + i, keySize, keyDecimals, k);
            keys.insert(keys.end(), k.begin(), k.end());
            recnos.push_back(first + i);
        }
    }

    closeIndexes();
    auto ntx = NtxIndex::build(path, displayName, dbf_->file()->mode(), expression, keySize, keyDecimals,
                               std::move(keys), std::move(recnos));
    if (!ntx) return false;
    auto attached = std::make_unique<Attached>();
    attached->file = {path, displayName};
    attached->key = std::move(key);
    attached->ntx = std::move(ntx);
    indexes_.push_back(std::move(attached));
    order_ = 1;
    goTop();
    return true;
}

void Table::closeIndexes() {
    flush();
    for (auto& index : indexes_) index->ntx->flush();
    indexes_.clear();
    order_ = 0;
    indexSynced_ = false;
}

void Table::setOrder(int order) {
    if (order < 0 || order > indexCount())
        throw RuntimeError(RuntimeError::Kind::Other, "no index " + std::to_string(order), displayName());
    flush();
    order_ = order;
    indexSynced_ = false;
}

NtxIndex& Table::index(int order) {
    if (order < 1 || order > indexCount())
        throw RuntimeError(RuntimeError::Kind::Other, "no index " + std::to_string(order), displayName());
    return *indexes_[static_cast<size_t>(order - 1)]->ntx;
}

const std::string& Table::indexExpression(int order) const {
    static const std::string none;
    if (order == 0) order = order_;
    if (order < 1 || order > indexCount()) return none;
    return indexes_[static_cast<size_t>(order - 1)]->ntx->expression();
}

// --- Writing the current record ---------------------------------------------------------------------

void Table::insertKeys(const char* record, uint32_t recno) {
    for (auto& index : indexes_)
        if (inIndex(*index, record, recno)) {
            index->key.key(record, recno, index->ntx->keySize(), index->ntx->keyDecimals(), keyBuffer_);
            index->ntx->insert(keyBuffer_, recno);
        }
}

void Table::flush() {
    if (!dbf_ || (!dirty_ && !newRecord_)) return;
    if (unwritten_) {
        dbf_->appendExclusive(buffer_.data());
        unwritten_ = false;
    } else if (dirty_) {
        dbf_->writeRecord(recno_, buffer_.data());
    }
    dirty_ = false;
    const char* now = buffer_.data();
    if (newRecord_) {
        newRecord_ = false;
        insertKeys(now, recno_);
        indexSynced_ = false;
    } else {
        for (size_t i = 0; i < indexes_.size(); ++i) {
            auto& index = *indexes_[i];
            const bool wasIn = inIndex(index, original_.data(), recno_);
            const bool isIn = inIndex(index, now, recno_);
            std::string oldKey = wasIn ? keyOf(index, original_.data(), recno_) : std::string();
            std::string newKey = isIn ? keyOf(index, now, recno_) : std::string();
            if (wasIn == isIn && oldKey == newKey) continue;
            if (wasIn) index.ntx->remove(oldKey, recno_);
            if (isIn) index.ntx->insert(newKey, recno_);
            if (static_cast<int>(i) + 1 == order_) indexSynced_ = false;
        }
    }
}

void Table::commit() {
    flush();
    if (!shared()) dbf_->flush(today());
    for (auto& index : indexes_) index->ntx->flush();
}

void Table::beginChange() {
    // The record as read is kept only once it is about to change: most records read never are.
    if (!dirty_) original_ = buffer_;
    dirty_ = true;
}

void Table::put(std::string_view name, const core::Value& value) {
    put(fieldOf(name), value);
}

void Table::put(const Field& f, const core::Value& value) {
    if (eof_) return;
    if (!dirty_) original_ = buffer_;  // as beginChange(); harmless when the value is refused
    writeField(f, buffer_.data(), value);
    dirty_ = true;
}

core::Value Table::get(std::string_view name) const {
    return readField(fieldOf(name), buffer_.data());
}

core::Value Table::get(const Field& f) const {
    return readField(f, buffer_.data());
}

core::Value Table::evaluate(std::string_view expression) const {
    return Expression::compile(expression, layout()).evaluate(buffer_.data(), recno_);
}

bool Table::deleted() const {
    return !eof_ && buffer_[0] == '*';
}

void Table::deleteRecord() {
    if (eof_ || buffer_[0] == '*') return;
    beginChange();
    buffer_[0] = '*';
}

void Table::recall() {
    if (eof_ || buffer_[0] != '*') return;
    beginChange();
    buffer_[0] = ' ';
}

// --- Position ---------------------------------------------------------------------------------------

void Table::setEof() {
    recno_ = dbf_->recordCount() + 1;
    std::fill(buffer_.begin(), buffer_.end(), ' ');
    eof_ = true;
}

void Table::readCurrent() {
    dbf_->readRecord(recno_, buffer_.data());
    eof_ = false;
}

void Table::load(uint32_t recno) {
    flush();
    if (recno > dbf_->recordCount() && shared()) dbf_->refreshCount();
    if (recno >= 1 && recno <= dbf_->recordCount()) {
        recno_ = recno;
        readCurrent();
    } else {
        setEof();
    }
}

void Table::positionChildren() {
    for (auto& relation : relations_) {
        Table& child = *relation->child;
        if (eof_) {
            child.flush();
            child.setEof();
            child.bof_ = child.found_ = false;
            child.indexSynced_ = false;
            child.positionChildren();
            continue;
        }
        core::Value v = relation->expression.evaluate(buffer_.data(), recno_);
        if (child.order_ > 0) {
            child.seek(v, false);
        } else if (v.isNumber() && v.number >= 1) {
            child.goTo(static_cast<uint32_t>(v.number));
        } else {
            child.goTo(0);
        }
    }
}

// Moves from the controlling index's current entry in `direction` to the first entry whose record is not
// deleted; false when the index runs out.
bool Table::stepIndex(int direction) {
    NtxIndex& ntx = *indexes_[static_cast<size_t>(order_ - 1)]->ntx;
    for (;;) {
        if (ntx.eof() || ntx.recno() == 0) return false;
        uint32_t r = ntx.recno();
        if (r > dbf_->recordCount()) dbf_->refreshCount();
        if (r > dbf_->recordCount())
            throw RuntimeError(RuntimeError::Kind::Damaged, "index entry points past the end of the table",
                               ntx.displayName());
        recno_ = r;
        readCurrent();
        if (!deletedOnDisk()) return true;
        if (!ntx.skip(direction)) return false;
    }
}

// Moves from record recno_ + direction (natural order) to the first record that is not deleted.
bool Table::stepNatural(int direction) {
    int64_t r = static_cast<int64_t>(recno_) + direction;
    for (;;) {
        if (r < 1) return false;
        if (r > static_cast<int64_t>(dbf_->recordCount())) {
            if (direction < 0 || !shared() || r > static_cast<int64_t>(dbf_->refreshCount())) return false;
        }
        recno_ = static_cast<uint32_t>(r);
        readCurrent();
        if (!deletedOnDisk()) return true;
        r += direction;
    }
}

void Table::goTop() {
    flush();
    found_ = false;
    bool any;
    if (order_ == 0) {
        recno_ = 0;
        any = stepNatural(1);
    } else {
        indexes_[static_cast<size_t>(order_ - 1)]->ntx->goTop();
        any = stepIndex(1);
    }
    indexSynced_ = any && order_ > 0;
    if (!any) setEof();
    eof_ = !any;
    bof_ = !any;
    positionChildren();
}

void Table::goBottom() {
    flush();
    found_ = false;
    if (shared()) dbf_->refreshCount();
    bool any;
    if (order_ == 0) {
        recno_ = dbf_->recordCount() + 1;
        any = stepNatural(-1);
    } else {
        indexes_[static_cast<size_t>(order_ - 1)]->ntx->goBottom();
        any = stepIndex(-1);
    }
    indexSynced_ = any && order_ > 0;
    if (!any) setEof();
    eof_ = !any;
    bof_ = !any;
    positionChildren();
}

void Table::goTo(uint32_t recno) {
    load(recno);
    found_ = false;
    bof_ = false;
    indexSynced_ = false;
    positionChildren();
}

void Table::syncIndex() {
    if (indexSynced_ || eof_) return;
    const Attached& index = *indexes_[static_cast<size_t>(order_ - 1)];
    std::string key = keyOf(index, buffer_.data(), recno_);
    if (!index.ntx->seekEntry(key, recno_)) index.ntx->seek(key);
    indexSynced_ = true;
}

void Table::skip(long n) {
    flush();
    found_ = false;
    if (n == 0) {
        if (!eof_) readCurrent();
        return;
    }
    const int direction = n > 0 ? 1 : -1;
    bof_ = false;
    for (long step = 0; step < (n > 0 ? n : -n); ++step) {
        if (direction > 0 && eof_) break;
        const uint32_t from = recno_;
        bool moved;
        if (eof_) {
            // Back from the end: the last record.
            if (shared()) dbf_->refreshCount();
            if (order_ == 0) {
                recno_ = dbf_->recordCount() + 1;
                moved = stepNatural(-1);
            } else {
                indexes_[static_cast<size_t>(order_ - 1)]->ntx->goBottom();
                moved = stepIndex(-1);
            }
            if (!moved) {
                setEof();
                bof_ = true;
                break;
            }
            indexSynced_ = order_ > 0;
            continue;
        }
        if (order_ == 0) {
            moved = stepNatural(direction);
        } else {
            syncIndex();
            NtxIndex& ntx = *indexes_[static_cast<size_t>(order_ - 1)]->ntx;
            moved = ntx.skip(direction) && stepIndex(direction);
            indexSynced_ = moved;
        }
        if (!moved) {
            if (direction > 0) {
                setEof();
            } else {
                // Before the first record: stay on it.
                recno_ = from;
                readCurrent();
                bof_ = true;
                indexSynced_ = false;
            }
            break;
        }
    }
    positionChildren();
}

bool Table::seek(const core::Value& value, bool soft) {
    if (order_ == 0)
        throw RuntimeError(RuntimeError::Kind::Other, "seek without a controlling index", displayName());
    const NtxIndex& ntx = *indexes_[static_cast<size_t>(order_ - 1)]->ntx;
    if (value.isText())
        return seekKey(std::string_view(value.text).substr(0, static_cast<size_t>(ntx.keySize())), soft);
    return seekKey(keyOfValue(value, ntx.keySize(), ntx.keyDecimals()), soft);
}

bool Table::seekKey(std::string_view key, bool soft) {
    if (order_ == 0)
        throw RuntimeError(RuntimeError::Kind::Other, "seek without a controlling index", displayName());
    flush();
    NtxIndex& ntx = *indexes_[static_cast<size_t>(order_ - 1)]->ntx;
    ntx.seek(key);
    bool any = stepIndex(1);
    found_ = any && ntx.key().substr(0, key.size()) == key;
    bof_ = false;
    if (!any || (!found_ && !soft)) {
        setEof();
        indexSynced_ = false;
    } else {
        eof_ = false;
        indexSynced_ = true;
    }
    positionChildren();
    return found_;
}

// --- Locks ------------------------------------------------------------------------------------------

void Table::releaseRecordLocks() {
    for (uint32_t r : lockedRecords_) dbf_->locks().unlock(kLockBase + r, 1);
    lockedRecords_.clear();
}

bool Table::recordLocked(uint32_t recno) const {
    if (!dbf_->shared() || fileLocked_) return true;
    return std::find(lockedRecords_.begin(), lockedRecords_.end(), recno) != lockedRecords_.end();
}

bool Table::tryLockRecord() {
    if (eof_) return false;
    if (!shared() || fileLocked_) return true;
    if (lockedRecords_.size() == 1 && lockedRecords_[0] == recno_) return true;
    flush();
    // The new lock first, so that a refusal leaves the table's locks as they were.
    if (!dbf_->locks().lock(kLockBase + recno_, 1, false)) return false;
    releaseRecordLocks();
    lockedRecords_.push_back(recno_);
    // Another station may have changed the record before we got the lock.
    readCurrent();
    return true;
}

bool Table::tryLockRecordAt(uint32_t recno) {
    flush();
    if (recno > dbf_->recordCount() && shared()) dbf_->refreshCount();
    if (recno < 1 || recno > dbf_->recordCount()) return false;
    const bool held = !shared() || fileLocked_ || (lockedRecords_.size() == 1 && lockedRecords_[0] == recno);
    if (!held) {
        // The new lock first, so that a refusal leaves the table's locks as they were.
        if (!dbf_->locks().lock(kLockBase + recno, 1, false)) return false;
        releaseRecordLocks();
        lockedRecords_.push_back(recno);
    }
    goTo(recno);
    return true;
}

bool Table::tryFileLock() {
    if (!shared() || fileLocked_) return true;
    flush();
    if (!dbf_->locks().lock(kLockBase + 1, kFileLockLength, false)) return false;
    releaseRecordLocks();  // inside the file lock: nothing is given up
    fileLocked_ = true;
    if (!eof_) readCurrent();
    return true;
}

void Table::unlock() {
    flush();
    if (!shared()) return;
    releaseRecordLocks();
    if (fileLocked_) dbf_->locks().unlock(kLockBase + 1, kFileLockLength);
    fileLocked_ = false;
}

// --- Appending --------------------------------------------------------------------------------------

bool Table::append(bool wait, const std::function<void(Table&)>* fill) {
    // A shared append that follows our own append carries the record before it: that record goes into the
    // same write as the new blank one when they are neighbours, and its keys go in while we still hold the
    // append byte, so that the append byte and that record's lock are given up in one call.
    const bool carry = shared() && newRecord_ && !fill;
    if (!carry) flush();
    std::vector<char> blank(buffer_.size(), ' ');
    uint32_t recno = 0;
    std::exception_ptr failure;
    if (shared()) {
        ByteLocks& locks = dbf_->locks();
        if (!locks.lock(kLockBase, 1, wait)) {
            flush();
            return false;
        }
        try {
            recno = dbf_->countFromSize() + 1;
            // A refusal leaves the table's record locks as they were.
            if (!locks.lock(kLockBase + recno, 1, false)) {
                locks.unlock(kLockBase, 1);
                flush();
                return false;
            }
            if (fill) {
                // The new record takes its fields before anything is written: it is written once.
                recno_ = recno;
                buffer_ = blank;
                original_ = blank;
                dirty_ = false;
                newRecord_ = true;
                eof_ = bof_ = found_ = false;
                (*fill)(*this);
                dbf_->writeAppended(recno, buffer_.data(), today());
            } else {
                const bool together = carry && dirty_ && recno_ + 1 == recno;
                if (carry && dirty_ && !together) dbf_->writeRecord(recno_, buffer_.data());
                dbf_->writeAppended(recno, blank.data(), today(), together ? buffer_.data() : nullptr);
            }
        } catch (...) {
            if (fill) {
                // Nothing of the new record reached the file.
                dirty_ = newRecord_ = false;
                setEof();
            }
            if (recno && locks.holds(kLockBase + recno, 1)) locks.unlock(kLockBase + recno, 1);
            locks.unlock(kLockBase, 1);
            throw;
        }
        if (carry || fill) {
            // As flush() does it: the record is written, its keys go in once.
            dirty_ = newRecord_ = false;
            try {
                insertKeys(buffer_.data(), recno_);
            } catch (...) {
                failure = std::current_exception();  // reported once the locks are in order
            }
        }
        // The append byte and the table's other record locks go together, in one call where they can;
        // a filled record's own lock goes with them.
        std::vector<std::pair<uint64_t, uint64_t>> release{{kLockBase, 1}};
        for (uint32_t r : lockedRecords_) release.emplace_back(kLockBase + r, 1);
        if (fill) release.emplace_back(kLockBase + recno, 1);
        locks.unlock(release);
        if (fill) {
            lockedRecords_.clear();
            indexSynced_ = false;
            positionChildren();
            if (failure) std::rethrow_exception(failure);
            return true;
        }
        lockedRecords_.assign(1, recno);
    } else {
        // Written at the next flush, with its fields set.
        recno = dbf_->recordCount() + 1;
        unwritten_ = true;
    }
    recno_ = recno;
    buffer_ = blank;
    original_ = std::move(blank);
    newRecord_ = true;
    eof_ = bof_ = found_ = false;
    indexSynced_ = false;
    positionChildren();
    if (failure) std::rethrow_exception(failure);
    if (fill) {
        try {
            (*fill)(*this);
        } catch (...) {
            // The new record was not written yet: it goes, as it does in shared mode.
            unwritten_ = newRecord_ = dirty_ = false;
            setEof();
            throw;
        }
        unlock();
    }
    return true;
}

bool Table::tryAppendRecord(const std::function<void(Table&)>& fill) {
    return append(false, &fill);
}

bool Table::tryAppendBlank() {
    return append(false);
}

void Table::appendBlank() {
    // The append byte is waited for; a refused record byte (another station's file lock) is tried again.
    while (!append(true)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void Table::zap() {
    if (shared())
        throw RuntimeError(RuntimeError::Kind::Other, "zap needs the table open exclusively", displayName());
    // What was pending belongs to records that are going.
    dirty_ = newRecord_ = unwritten_ = false;
    dbf_->zap(today());
    for (size_t i = 0; i < indexes_.size(); ++i) {
        auto& index = indexes_[i];
        const std::string expression = index->ntx->expression();
        const int keySize = index->ntx->keySize();
        const int keyDecimals = index->ntx->keyDecimals();
        index->ntx.reset();
        index->ntx = NtxIndex::build(index->file.path, index->file.displayName, SharedFile::Mode::Exclusive,
                                     expression, keySize, keyDecimals, {}, {});
        if (!index->ntx) {
            // The index that could not be emptied is no longer attached, so the table stays usable.
            TableFile file = index->file;
            indexes_.erase(indexes_.begin() + static_cast<std::ptrdiff_t>(i));
            if (order_ == static_cast<int>(i) + 1)
                order_ = 0;
            else if (order_ > static_cast<int>(i) + 1)
                --order_;
            goTop();
            throw RuntimeError(RuntimeError::Kind::Creation, "index file is in use", file.displayName);
        }
    }
    goTop();
}

// --- Copying ----------------------------------------------------------------------------------------

uint32_t Table::copyTo(const std::string& path, const std::string& displayName,
                       const std::vector<std::string>& names) {
    flush();
    std::vector<Field> fields;
    if (names.empty()) {
        fields = layout().fields;
    } else {
        for (const auto& n : names) fields.push_back(fieldOf(n));
    }
    auto target = DbfFile::create(path, displayName, fields, today());
    if (!target) throw RuntimeError(RuntimeError::Kind::Creation, "file is in use", displayName);
    std::vector<char> out(static_cast<size_t>(target->recordLength()));
    const auto& targetFields = target->layout().fields;

    // Walk the visible records in order without moving related tables on the way.
    auto relations = std::move(relations_);
    relations_.clear();
    uint32_t written = 0;
    try {
        goTop();
        while (!eof_) {
            out[0] = ' ';
            for (size_t i = 0; i < fields.size(); ++i)
                std::memcpy(out.data() + targetFields[i].offset, buffer_.data() + fields[i].offset,
                            static_cast<size_t>(fields[i].length));
            target->appendExclusive(out.data());
            ++written;
            skip(1);
        }
        target->close(today());
    } catch (...) {
        relations_ = std::move(relations);
        throw;
    }
    relations_ = std::move(relations);
    positionChildren();
    return written;
}

uint32_t Table::appendFrom(Table& source) {
    flush();
    source.flush();
    struct Pair {
        const Field* from;
        const Field* to;
    };
    std::vector<Pair> pairs;
    for (const auto& f : layout().fields) {
        const Field* s = source.layout().field(f.name);
        if (s &&
            (s->type == f.type || (s->type == 'F' && f.type == 'N') || (s->type == 'N' && f.type == 'F')))
            pairs.push_back({s, &f});
    }
    const uint32_t count = source.dbf_->refreshCount();
    std::vector<char> record(static_cast<size_t>(source.dbf_->recordLength()));
    uint32_t appended = 0;
    for (uint32_t r = 1; r <= count; ++r) {
        source.dbf_->readRecord(r, record.data());
        if (record[0] == '*') continue;
        appendBlank();
        beginChange();
        for (const auto& p : pairs) writeField(*p.to, buffer_.data(), readField(*p.from, record.data()));
        ++appended;
    }
    flush();
    return appended;
}

uint32_t Table::appendFrom(const std::string& path, const std::string& displayName) {
    auto source = Table::open(path, displayName, false);
    if (!source) throw RuntimeError(RuntimeError::Kind::Other, "file is in use", displayName);
    uint32_t n = appendFrom(*source);
    source->close();
    return n;
}

// --- Relations --------------------------------------------------------------------------------------

void Table::setRelation(Table& child, const std::string& expression) {
    auto relation = std::make_unique<Relation>();
    relation->child = &child;
    relation->expression = compileFor(expression, layout(), displayName());
    relations_.push_back(std::move(relation));
    positionChildren();
}

void Table::clearRelations() {
    relations_.clear();
}

void Table::dropRelationsTo(const Table* child) {
    std::erase_if(relations_, [child](const auto& r) { return r->child == child; });
}

}  // namespace xbase
