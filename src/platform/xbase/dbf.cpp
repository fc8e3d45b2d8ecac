#include "platform/xbase/dbf.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/core/error.h"

namespace xbase {

using core::RuntimeError;

namespace {

constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kDescriptorSize = 32;
constexpr char kTerminator = 0x0D;
constexpr char kEndOfFile = 0x1A;

uint16_t u16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t u32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void put16(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void putDate(unsigned char* p, core::Date d) {
    if (d.empty()) return;
    p[0] = static_cast<unsigned char>(std::clamp(d.year() - 1900, 0, 255));
    p[1] = static_cast<unsigned char>(d.month());
    p[2] = static_cast<unsigned char>(d.day());
}

bool validNameChar(char c, bool first) {
    if (c >= 'A' && c <= 'Z') return true;
    if (first) return false;
    return (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

Layout checkedLayout(const std::vector<Field>& input, const std::string& displayName) {
    auto bad = [&](const std::string& what) {
        throw RuntimeError(RuntimeError::Kind::Creation, what, displayName);
    };
    if (input.empty()) bad("a table needs at least one field");
    std::vector<Field> fields = input;
    std::set<std::string> names;
    long recordLength = 1;
    for (auto& f : fields) {
        for (auto& c : f.name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        bool nameOk = !f.name.empty() && f.name.size() <= 10;
        for (size_t i = 0; nameOk && i < f.name.size(); ++i) nameOk = validNameChar(f.name[i], i == 0);
        if (!nameOk) bad("invalid field name \"" + f.name + "\"");
        if (!names.insert(f.name).second) bad("field " + f.name + " is defined twice");
        f.type = static_cast<char>(std::toupper(static_cast<unsigned char>(f.type)));
        switch (f.type) {
            case 'C':
                if (f.length < 1 || f.length > 254 || f.decimals != 0) bad("invalid size of field " + f.name);
                break;
            case 'N':
                if (f.length < 1 || f.length > 20 || f.decimals < 0 ||
                    (f.decimals > 0 && f.decimals > f.length - 2))
                    bad("invalid size of field " + f.name);
                break;
            case 'D':
                if (f.length == 0) f.length = 8;
                if (f.length != 8 || f.decimals != 0) bad("invalid size of field " + f.name);
                break;
            case 'L':
                if (f.length == 0) f.length = 1;
                if (f.length != 1 || f.decimals != 0) bad("invalid size of field " + f.name);
                break;
            default:
                bad("invalid type of field " + f.name);
        }
        recordLength += f.length;
    }
    if (recordLength > 65535 || kHeaderSize + kDescriptorSize * fields.size() + 2 > 65535)
        bad("record too long");
    return Layout::of(std::move(fields));
}

std::unique_ptr<DbfFile> DbfFile::open(const std::string& path, SharedFile::Mode mode,
                                       const std::string& displayName) {
    auto file = SharedFile::open(path, mode, displayName);
    if (!file) return nullptr;
    std::unique_ptr<DbfFile> dbf(new DbfFile);
    dbf->file_ = file;
    dbf->readStructure();
    dbf->locks_ = ByteLocks::of(file);
    return dbf;
}

void DbfFile::damaged(const std::string& what) const {
    damaged_ = true;
    throw RuntimeError(RuntimeError::Kind::Damaged, what, file_->displayName());
}

void DbfFile::readStructure() {
    // One read covers the header of any ordinary table. The size is taken after it: an appender writes
    // its record before the header, so a size taken later covers every record the header counts.
    std::vector<unsigned char> head(4096);
    head.resize(file_->readAt(head.data(), head.size(), 0));
    uint64_t size = file_->size();
    if (head.size() < kHeaderSize) damaged("table header is cut short");
    std::memcpy(header_, head.data(), kHeaderSize);
    if (header_[0] != 0x03 && header_[0] != 0x83) damaged("not a dBASE III table");
    lastUpdate_ = core::Date::fromYmd(1900 + header_[1], header_[2], header_[3]);
    headerLength_ = u16(header_ + 8);
    const int recordLength = u16(header_ + 10);
    if (headerLength_ < static_cast<int>(kHeaderSize + kDescriptorSize + 1) ||
        static_cast<uint64_t>(headerLength_) > size)
        damaged("header length does not fit the file");
    if (head.size() < static_cast<size_t>(headerLength_)) {
        head.resize(static_cast<size_t>(headerLength_));
        file_->readExact(head.data(), head.size(), 0);
    }

    std::vector<Field> fields;
    size_t pos = kHeaderSize;
    int sum = 1;
    for (;; pos += kDescriptorSize) {
        if (pos >= static_cast<size_t>(headerLength_))
            damaged("header length does not fit the field descriptors");
        if (head[pos] == kTerminator) break;
        if (pos + kDescriptorSize > static_cast<size_t>(headerLength_))
            damaged("header length does not fit the field descriptors");
        const unsigned char* d = head.data() + pos;
        Field f;
        size_t n = 0;
        while (n < 11 && d[n] != 0) ++n;
        f.name.assign(reinterpret_cast<const char*>(d), n);
        bool nameOk = n > 0 && n <= 10;
        for (char c : f.name) nameOk = nameOk && c > ' ' && static_cast<unsigned char>(c) < 0x7F;
        if (!nameOk) damaged("bad field descriptor " + std::to_string(fields.size() + 1));
        f.type = static_cast<char>(d[11]);
        f.length = d[16];
        f.decimals = d[17];
        switch (f.type) {
            case 'C':
                // Character fields longer than 255 keep the high byte of the length in the decimals byte.
                f.length += 256 * f.decimals;
                f.decimals = 0;
                break;
            case 'N':
            case 'F':
                if (f.decimals >= f.length && f.decimals > 0) damaged("bad field descriptor " + f.name);
                break;
            case 'D':
                if (f.length != 8) damaged("bad field descriptor " + f.name);
                break;
            case 'L':
                if (f.length != 1) damaged("bad field descriptor " + f.name);
                break;
            case 'M':
                break;
            default:
                damaged("bad field descriptor " + f.name);
        }
        if (f.length <= 0) damaged("bad field descriptor " + f.name);
        sum += f.length;
        fields.push_back(std::move(f));
    }
    if (fields.empty()) damaged("table has no fields");
    if (sum != recordLength) damaged("record length does not match the fields");
    layout_ = Layout::of(std::move(fields));

    // A shared appender writes its record before the header, so the file may hold more records than the
    // header says, never fewer.
    auto fromSize = [&] {
        return static_cast<uint32_t>((size - static_cast<uint64_t>(headerLength_)) /
                                     static_cast<uint64_t>(recordLength));
    };
    uint32_t count = u32(header_ + 4);
    for (int look = 0; count > fromSize() && look < 3 && shared(); ++look) {
        // A header read while another process rewrote it: look again.
        unsigned char again[kHeaderSize];
        file_->readExact(again, kHeaderSize, 0);
        size = file_->size();
        count = u32(again + 4);
    }
    if (count > fromSize()) damaged("record count past the end of the file");
    count_ = fromSize();
}

std::unique_ptr<DbfFile> DbfFile::create(const std::string& path, const std::string& displayName,
                                         const std::vector<Field>& fields, core::Date today) {
    Layout layout = checkedLayout(fields, displayName);
    auto file = SharedFile::create(path, displayName);
    if (!file) return nullptr;
    std::unique_ptr<DbfFile> dbf(new DbfFile);
    dbf->file_ = file;
    dbf->locks_ = ByteLocks::of(file);
    dbf->layout_ = std::move(layout);
    dbf->headerLength_ = static_cast<int>(kHeaderSize + kDescriptorSize * dbf->layout_.fields.size() + 2);
    dbf->header_[0] = 0x03;
    putDate(dbf->header_ + 1, today);
    put16(dbf->header_ + 8, static_cast<uint32_t>(dbf->headerLength_));
    put16(dbf->header_ + 10, static_cast<uint32_t>(dbf->layout_.recordLength));
    dbf->lastUpdate_ = today;

    std::vector<unsigned char> bytes(static_cast<size_t>(dbf->headerLength_) + 1, 0);
    std::memcpy(bytes.data(), dbf->header_, kHeaderSize);
    size_t pos = kHeaderSize;
    for (const auto& f : dbf->layout_.fields) {
        std::memcpy(bytes.data() + pos, f.name.data(), f.name.size());
        bytes[pos + 11] = static_cast<unsigned char>(f.type);
        bytes[pos + 16] = static_cast<unsigned char>(f.length);
        bytes[pos + 17] = static_cast<unsigned char>(f.decimals);
        pos += kDescriptorSize;
    }
    bytes[pos] = kTerminator;
    bytes[pos + 2] = kEndOfFile;
    try {
        file->writeAt(bytes.data(), bytes.size(), 0);
    } catch (const RuntimeError& e) {
        throw RuntimeError(RuntimeError::Kind::Creation, e.description(), displayName);
    }
    return dbf;
}

DbfFile::~DbfFile() {
    try {
        if (file_) close(core::Date());
    } catch (...) {
    }
}

void DbfFile::close(core::Date today) {
    if (!file_) return;
    try {
        if (changed_ && !damaged_) flush(today);
    } catch (...) {
        file_.reset();
        locks_.reset();
        throw;
    }
    file_.reset();
    locks_.reset();
}

const std::string& DbfFile::path() const {
    return file_->path();
}
const std::string& DbfFile::displayName() const {
    return file_->displayName();
}
bool DbfFile::shared() const {
    return file_->shared();
}

void DbfFile::checkWritable() const {
    if (damaged_) throw RuntimeError(RuntimeError::Kind::Damaged, "table is damaged", file_->displayName());
}

uint32_t DbfFile::countFromSize() {
    const uint64_t size = file_->size();
    const uint64_t hl = static_cast<uint64_t>(headerLength_);
    uint32_t n = size < hl ? 0 : static_cast<uint32_t>((size - hl) / static_cast<uint64_t>(recordLength()));
    // Records never go away while we have the table open: no one else may zap or pack it now.
    if (n < count_) damaged("table is shorter than its record count");
    count_ = n;
    return n;
}

uint32_t DbfFile::refreshCount() {
    return shared() ? countFromSize() : count_;
}

void DbfFile::readRecord(uint32_t recno, char* buffer) const {
    const auto rl = static_cast<size_t>(recordLength());
    if (shared()) {
        readRecords(recno, 1, buffer);
        return;
    }
    const bool sequel = recno == lastRead_ + 1;
    lastRead_ = recno;
    if (recno >= aheadFirst_ && recno - aheadFirst_ < ahead_.size() / rl) {
        std::memcpy(buffer, ahead_.data() + (recno - aheadFirst_) * rl, rl);
        return;
    }
    // Only the records the file holds now: appends still gathered are written first by readRecords.
    constexpr size_t kBlock = 64 * 1024;
    const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(std::max<size_t>(kBlock / rl, 1)),
                                          count_ - std::min(count_, recno) + 1);
    if (!sequel || n <= 1) {
        readRecords(recno, 1, buffer);
        return;
    }
    ahead_.resize(n * rl);
    readRecords(recno, n, ahead_.data());
    aheadFirst_ = recno;
    std::memcpy(buffer, ahead_.data(), rl);
}

void DbfFile::writePending() const {
    if (pending_.empty()) return;
    checkWritable();
    const auto rl = static_cast<uint64_t>(recordLength());
    file_->writeAt(pending_.data(), pending_.size(),
                   static_cast<uint64_t>(headerLength_) + (pendingFirst_ - 1) * rl);
    pending_.clear();
}

void DbfFile::readRecords(uint32_t first, uint32_t n, char* buffer) const {
    if (!pending_.empty() && first + n > pendingFirst_) writePending();
    const auto rl = static_cast<uint64_t>(recordLength());
    const uint64_t offset = static_cast<uint64_t>(headerLength_) + (first - 1) * rl;
    if (file_->readAt(buffer, n * rl, offset) != n * rl) damaged("table is shorter than its record count");
}

void DbfFile::writeRecord(uint32_t recno, const char* buffer) {
    checkWritable();
    const auto rl = static_cast<uint64_t>(recordLength());
    if (recno >= aheadFirst_ && recno - aheadFirst_ < ahead_.size() / rl)
        std::memcpy(ahead_.data() + (recno - aheadFirst_) * rl, buffer, rl);
    if (!pending_.empty() && recno >= pendingFirst_) {
        std::memcpy(pending_.data() + (recno - pendingFirst_) * rl, buffer, rl);
        return;
    }
    file_->writeAt(buffer, rl, static_cast<uint64_t>(headerLength_) + (recno - 1) * rl);
    if (!shared()) changed_ = true;
}

uint32_t DbfFile::appendExclusive(const char* buffer) {
    checkWritable();
    constexpr size_t kBlock = 64 * 1024;
    const auto rl = static_cast<size_t>(recordLength());
    if (pending_.size() + rl > kBlock) writePending();
    if (pending_.empty()) {
        pending_.reserve(std::max(kBlock, rl));
        pendingFirst_ = count_ + 1;
    }
    pending_.insert(pending_.end(), buffer, buffer + rl);
    changed_ = true;
    return ++count_;
}

void DbfFile::writeAppended(uint32_t recno, const char* buffer, core::Date today, const char* previous) {
    checkWritable();
    if (previous && recno > 1) {
        const auto rl = static_cast<size_t>(recordLength());
        pair_.resize(2 * rl);
        std::memcpy(pair_.data(), previous, rl);
        std::memcpy(pair_.data() + rl, buffer, rl);
        file_->writeAt(pair_.data(), pair_.size(), static_cast<uint64_t>(headerLength_) + (recno - 2) * rl);
    } else {
        writeRecord(recno, buffer);
    }
    count_ = recno;
    writeHeader(recno, today);
}

void DbfFile::writeHeader(uint32_t count, core::Date today) {
    put32(header_ + 4, count);
    putDate(header_ + 1, today);
    if (!today.empty()) lastUpdate_ = today;
    file_->writeAt(header_, kHeaderSize, 0);
}

void DbfFile::flush(core::Date today) {
    if (shared() || !changed_) return;
    checkWritable();
    writePending();
    writeHeader(count_, today);
    const uint64_t end =
        static_cast<uint64_t>(headerLength_) + static_cast<uint64_t>(count_) * recordLength();
    const char eof = kEndOfFile;
    file_->writeAt(&eof, 1, end);
    file_->truncate(end + 1);
    changed_ = false;
}

void DbfFile::zap(core::Date today) {
    checkWritable();
    if (shared())
        throw RuntimeError(RuntimeError::Kind::Other, "table is not open exclusively", displayName());
    pending_.clear();
    ahead_.clear();
    count_ = 0;
    changed_ = true;
    flush(today);
}

}  // namespace xbase
