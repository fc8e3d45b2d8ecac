#include "velto/plu_registry.h"

#include <algorithm>
#include <cstring>

#include "lib/fun1.h"
#include "lib/tworz.h"
#include "platform/context.h"
#include "platform/core/error.h"
#include "platform/os/clock.h"
#include "platform/os/files.h"
#include "platform/os/path.h"
#include "platform/settings/settings.h"
#include "platform/xbase/dbf.h"
#include "platform/xbase/ntx.h"
#include "platform/xbase/workareas.h"

using core::RuntimeError;
using xbase::DbfFile;
using xbase::SharedFile;

namespace {

constexpr int kPluRegistrySlot = 102;
constexpr uint32_t kBlock = 4096;  // records per read

// The long form ends in these fixed fields; nothing else may lie past what TEKST holds.
constexpr std::string_view kLongEnding = "00;0;";

// Undo file: "N" + record count before the sending (10 digits) + width of TEKST (3 digits); one entry
// per changed row, "R" + record number (10 digits) + its old TEKST; "E" + the number of entries (10
// digits) once the file is complete. The table is touched only after that.
constexpr size_t kUndoHeader = 14, kUndoEnd = 11;

core::Date today(Context& ctx) {
    static os::SystemClock system;
    return (ctx.clock ? ctx.clock : &system)->today();
}

std::string fit(std::string_view text, int width) {
    std::string s(text.substr(0, static_cast<size_t>(width)));
    s.resize(static_cast<size_t>(width), ' ');
    return s;
}

const xbase::Field& needField(const DbfFile& dbf, std::string_view name) {
    const xbase::Field* f = dbf.layout().field(name);
    if (!f)
        throw RuntimeError(RuntimeError::Kind::NoField, "field " + std::string(name) + " does not exist",
                           std::string(kRegistryTable));
    return *f;
}

std::unique_ptr<DbfFile> openTable() {
    std::string path = os::resolve(kRegistryTable);
    return DbfFile::open(path, SharedFile::Mode::Exclusive, std::string(kRegistryTable));
}

uint32_t digits(const std::string& text, size_t at, size_t n) {
    uint32_t v = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (text[i] < '0' || text[i] > '9') return UINT32_MAX;
        v = v * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    return v;
}

// Puts back what the undo file holds. The file stays when the table cannot be held now, so that the next
// sending does it; an incomplete file means the table was never touched and is simply dropped.
void playBack(Context& ctx) {
    std::string undoPath = os::resolve(kRegistryUndo);
    if (!os::exists(kRegistryTable)) {
        os::erase(kRegistryUndo);
        return;
    }
    std::FILE* f = std::fopen(undoPath.c_str(), "rb");
    if (!f) return;
    std::string head(kUndoHeader, '\0');
    bool complete = std::fread(head.data(), 1, kUndoHeader, f) == kUndoHeader && head[0] == 'N';
    uint32_t before = complete ? digits(head, 1, 10) : 0;
    uint32_t width = complete ? digits(head, 11, 3) : 0;
    int64_t size = os::fileSize(kRegistryUndo);
    size_t entry = 11 + width;
    uint64_t entries = 0;
    if (complete && before != UINT32_MAX && width != UINT32_MAX && size >= int64_t(kUndoHeader + kUndoEnd) &&
        (static_cast<uint64_t>(size) - kUndoHeader - kUndoEnd) % entry == 0) {
        entries = (static_cast<uint64_t>(size) - kUndoHeader - kUndoEnd) / entry;
        std::string end(kUndoEnd, '\0');
        std::fseek(f, static_cast<long>(size - int64_t(kUndoEnd)), SEEK_SET);
        complete = std::fread(end.data(), 1, kUndoEnd, f) == kUndoEnd && end[0] == 'E' &&
                   digits(end, 1, 10) == entries;
    } else {
        complete = false;
    }
    if (!complete) {
        std::fclose(f);
        os::erase(kRegistryUndo);
        return;
    }

    auto dbf = openTable();
    if (!dbf) {
        std::fclose(f);
        return;
    }
    const xbase::Field& tekst = needField(*dbf, "TEKST");
    if (static_cast<uint32_t>(tekst.length) != width)
        throw RuntimeError(RuntimeError::Kind::Damaged, "undo file does not fit the table",
                           std::string(kRegistryUndo));
    std::vector<char> record(static_cast<size_t>(dbf->recordLength()));
    std::string item(entry, '\0');
    uint32_t count = dbf->recordCount();
    std::fseek(f, static_cast<long>(kUndoHeader), SEEK_SET);
    for (uint64_t i = 0; i < entries; ++i) {
        if (std::fread(item.data(), 1, entry, f) != entry || item[0] != 'R') break;
        uint32_t recno = digits(item, 1, 10);
        if (recno == 0 || recno > count) continue;
        dbf->readRecord(recno, record.data());
        std::memcpy(record.data() + tekst.offset, item.data() + 11, width);
        dbf->writeRecord(recno, record.data());
    }
    std::fclose(f);
    // Rows added by the sending stay (sending never removes a row) with nothing remembered in them.
    for (uint32_t recno = before + 1; recno <= count; ++recno) {
        dbf->readRecord(recno, record.data());
        std::memset(record.data() + tekst.offset, ' ', width);
        dbf->writeRecord(recno, record.data());
    }
    dbf->close(today(ctx));
    os::erase(kRegistryUndo);
}

void problem(Context& ctx) {
    OKNO_(ctx, "PROBLEMY Z velto\\as2000.dbf");
}

}  // namespace

std::unique_ptr<PluRegistry> PluRegistry::open(Context& ctx, size_t articles) {
    auto& areas = *ctx.areas;
    // A sending whose transmission never settled (the program ended in between) is undone first.
    if (os::exists(kRegistryUndo)) playBack(ctx);

    bool create = !os::exists(kRegistryTable);
    std::unique_ptr<DbfFile> dbf;
    if (!create) {
        dbf = openTable();
        if (!dbf) {
            problem(ctx);
            return nullptr;
        }
        if (!dbf->layout().field("PKASA")) {
            dbf.reset();
            create = true;
        }
    }
    if (create) {
        os::erase(kRegistryUndo);
        int remembered = areas.current();
        areas.select(kPluRegistrySlot);  // table creation may close the current slot's table
        bool made = TWORZ(ctx, kRegistryStructure, false, static_cast<int>(ctx.settings->number("STACJA")));
        areas.select(remembered);
        if (made) dbf = openTable();
        if (!dbf) {
            problem(ctx);
            return nullptr;
        }
    }
    OKNO_(ctx, "PROSZE CZEKAC ...", "...");
    os::erase(kRegistryIndex);
    std::unique_ptr<PluRegistry> registry(new PluRegistry(ctx, std::move(dbf)));
    registry->articles_ = articles;
    return registry;
}

PluRegistry::PluRegistry(Context& ctx, std::unique_ptr<xbase::DbfFile> dbf)
    : ctx_(ctx), dbf_(std::move(dbf)) {}

PluRegistry::~PluRegistry() {
    if (undo_) std::fclose(undo_);  // left incomplete: the table was not touched
}

// The rows are read when the sending first needs them, after its working copies are made, so that the
// two never take memory at the same time.
void PluRegistry::load() {
    if (loaded_) return;
    loaded_ = true;
    pkasa_ = &needField(*dbf_, "PKASA");
    kod13_ = &needField(*dbf_, "KOD13");
    tekst_ = &needField(*dbf_, "TEKST");
    rl_ = static_cast<size_t>(dbf_->recordLength());
    existing_ = count_ = dbf_->recordCount();
    // Reserved at once, so that adding rows never moves the ones read (untouched room costs no memory).
    rows_.reserve((static_cast<size_t>(count_) + articles_) * rl_);
    rows_.resize(static_cast<size_t>(count_) * rl_);
    for (uint32_t first = 1; first <= count_; first += kBlock) {
        uint32_t n = std::min(kBlock, count_ - first + 1);
        dbf_->readRecords(first, n, row(first));
    }
    changed_.assign(existing_, 0);
    size_t size = 16;
    while (size < 2 * static_cast<size_t>(count_) + 2) size *= 2;
    slots_.assign(size, 0);
    for (uint32_t recno = 1; recno <= count_; ++recno)
        if (row(recno)[0] != '*') insert(recno);

    std::string path = os::resolve(kRegistryUndo);
    undo_ = std::fopen(path.c_str(), "wb");
    if (!undo_) throw RuntimeError(RuntimeError::Kind::Creation, "cannot write", std::string(kRegistryUndo));
    std::fprintf(undo_, "N%010u%03d", existing_, tekst_->length);
}

uint64_t PluRegistry::hash(const char* kasa, const char* kod13) const {
    uint64_t h = 14695981039346656037ull;
    auto mix = [&](const char* p, int n) {
        for (int i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(p[i])) * 1099511628211ull;
    };
    mix(kasa, pkasa_->length);
    mix(kod13, kod13_->length);
    return h ^ (h >> 29);
}

uint32_t PluRegistry::find(const std::string& kasa, const std::string& kod13) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash(kasa.data(), kod13.data()) & mask; slots_[i] != 0; i = (i + 1) & mask) {
        const char* r = rows_.data() + static_cast<size_t>(slots_[i] - 1) * rl_;
        if (std::memcmp(r + pkasa_->offset, kasa.data(), kasa.size()) == 0 &&
            std::memcmp(r + kod13_->offset, kod13.data(), kod13.size()) == 0)
            return slots_[i];
    }
    return 0;
}

// The first row of a key is the one a lookup finds, as an index seek finds the lowest record number.
void PluRegistry::insert(uint32_t recno) {
    if (2 * (static_cast<size_t>(count_) + 1) > slots_.size()) grow();
    const char* r = row(recno);
    const size_t mask = slots_.size() - 1;
    size_t i = hash(r + pkasa_->offset, r + kod13_->offset) & mask;
    for (; slots_[i] != 0; i = (i + 1) & mask) {
        const char* o = rows_.data() + static_cast<size_t>(slots_[i] - 1) * rl_;
        if (std::memcmp(o + pkasa_->offset, r + pkasa_->offset, static_cast<size_t>(pkasa_->length)) == 0 &&
            std::memcmp(o + kod13_->offset, r + kod13_->offset, static_cast<size_t>(kod13_->length)) == 0)
            return;
    }
    slots_[i] = recno;
}

void PluRegistry::grow() {
    std::vector<uint32_t> old;
    old.swap(slots_);
    slots_.assign(old.size() * 2, 0);
    const size_t mask = slots_.size() - 1;
    for (uint32_t recno : old) {
        if (recno == 0) continue;
        const char* r = row(recno);
        size_t i = hash(r + pkasa_->offset, r + kod13_->offset) & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = recno;
    }
}

PluRegistry::Change PluRegistry::remember(std::string_view kasa, std::string_view kod13,
                                          std::string_view record) {
    load();
    const size_t width = static_cast<size_t>(tekst_->length);
    std::string text = fit(record, tekst_->length);
    bool whole = record.size() <= width || kLongEnding.ends_with(record.substr(width));
    std::string k = fit(kasa, pkasa_->length), c = fit(kod13, kod13_->length);
    if (uint32_t recno = find(k, c)) {
        char* t = row(recno) + tekst_->offset;
        if (std::memcmp(t, text.data(), width) == 0) return whole ? Change::Same : Change::Changed;
        if (recno <= existing_ && !changed_[recno - 1]) {
            std::fprintf(undo_, "R%010u", recno);
            std::fwrite(t, 1, width, undo_);
            ++undoEntries_;
            changed_[recno - 1] = 1;
            changedRows_.push_back(recno);
        }
        std::memcpy(t, text.data(), width);
        return Change::Changed;
    }
    rows_.resize(rows_.size() + rl_, ' ');
    ++count_;
    char* r = row(count_);
    std::memcpy(r + pkasa_->offset, k.data(), k.size());
    std::memcpy(r + kod13_->offset, c.data(), c.size());
    std::memcpy(r + tekst_->offset, text.data(), width);
    insert(count_);
    return Change::Added;
}

uint32_t PluRegistry::rows() {
    load();
    return count_;
}

void PluRegistry::close() {
    if (closed_) return;
    closed_ = true;
    load();
    if (changedRows_.empty() && count_ == existing_) {
        std::fclose(undo_);
        undo_ = nullptr;
        os::erase(kRegistryUndo);  // nothing pending
    } else {
        std::fprintf(undo_, "E%010u", undoEntries_);
        bool ok = std::ferror(undo_) == 0;
        ok = std::fclose(undo_) == 0 && ok;
        undo_ = nullptr;
        if (!ok) throw RuntimeError(RuntimeError::Kind::Io, "cannot write", std::string(kRegistryUndo));
        std::sort(changedRows_.begin(), changedRows_.end());
        for (uint32_t recno : changedRows_) dbf_->writeRecord(recno, row(recno));
        for (uint32_t recno = existing_ + 1; recno <= count_; ++recno) dbf_->appendExclusive(row(recno));
    }
    dbf_->close(today(ctx_));
    buildIndex();  // before the table object goes: the key fields are its layout's
    dbf_.reset();
    std::vector<char>().swap(rows_);
    std::vector<uint32_t>().swap(slots_);
}

void PluRegistry::buildIndex() {
    const size_t keySize = static_cast<size_t>(pkasa_->length + kod13_->length);
    std::vector<char> keys(static_cast<size_t>(count_) * keySize);
    std::vector<uint32_t> recnos(count_);
    for (uint32_t recno = 1; recno <= count_; ++recno) {
        const char* r = row(recno);
        char* k = keys.data() + static_cast<size_t>(recno - 1) * keySize;
        std::memcpy(k, r + pkasa_->offset, static_cast<size_t>(pkasa_->length));
        for (int i = 0; i < kod13_->length; ++i)
            k[pkasa_->length + i] =
                static_cast<char>(256 - static_cast<unsigned char>(r[kod13_->offset + i]));
        recnos[recno - 1] = recno;
    }
    std::string name(kRegistryIndex);
    auto ntx = xbase::NtxIndex::build(os::resolve(name), name, SharedFile::Mode::Exclusive,
                                      std::string(kRegistryKey), static_cast<int>(keySize), 0,
                                      std::move(keys), std::move(recnos));
    if (!ntx) throw RuntimeError(RuntimeError::Kind::Creation, "cannot create index", name);
}

void settleSending(Context& ctx, bool sent) {
    if (!os::exists(kRegistryUndo)) return;
    if (sent)
        os::erase(kRegistryUndo);
    else
        playBack(ctx);
}

void erasePluRegistry(Context& ctx) {
    if (ctx.areas->used(kPluRegistrySlot)) ctx.areas->close(kPluRegistrySlot);
    os::erase(kRegistryTable);
    os::erase(kRegistryIndex);
    os::erase(kRegistryUndo);
}
