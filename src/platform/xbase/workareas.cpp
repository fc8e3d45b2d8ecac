#include "platform/xbase/workareas.h"

#include <cctype>
#include <filesystem>

#include "platform/core/error.h"

namespace xbase {

using core::RuntimeError;

namespace {

std::string aliasFor(const std::string& alias, const std::string& path) {
    return alias.empty() ? std::filesystem::path(path).stem().string() : alias;
}

bool sameAlias(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

WorkAreas::WorkAreas() = default;

WorkAreas::~WorkAreas() {
    for (int n = 1; n <= kSlots; ++n) {
        try {
            close(n);
        } catch (...) {
        }
    }
}

WorkAreas::Slot& WorkAreas::slot(int n) {
    if (n < 1 || n > kSlots)
        throw RuntimeError(RuntimeError::Kind::Other, "work area out of range: " + std::to_string(n));
    return slots_[static_cast<size_t>(n)];
}

const WorkAreas::Slot& WorkAreas::slot(int n) const {
    return const_cast<WorkAreas*>(this)->slot(n);
}

void WorkAreas::select(int n) {
    if (n == 0) {
        for (int i = 1; i <= kSlots; ++i) {
            if (!slots_[static_cast<size_t>(i)].table) {
                current_ = i;
                return;
            }
        }
        throw RuntimeError(RuntimeError::Kind::Other, "no free work area");
    }
    slot(n);
    current_ = n;
}

bool WorkAreas::select(std::string_view alias) {
    int n = slotOf(alias);
    if (n == 0) return false;
    current_ = n;
    return true;
}

int WorkAreas::slotOf(std::string_view alias) const {
    for (int i = 1; i <= kSlots; ++i) {
        const auto& s = slots_[static_cast<size_t>(i)];
        if (s.table && sameAlias(s.alias, alias)) return i;
    }
    return 0;
}

bool WorkAreas::used(int n) const {
    return n >= 1 && n <= kSlots && slots_[static_cast<size_t>(n)].table;
}

const std::string& WorkAreas::alias(int n) const {
    static const std::string none;
    return used(n) ? slots_[static_cast<size_t>(n)].alias : none;
}

WorkAreas::OpenResult WorkAreas::place(std::unique_ptr<Table> table, const std::string& alias) {
    if (!table) return OpenResult::Conflict;
    table->setClock(clock_);
    auto& s = slot(current_);
    s.table = std::move(table);
    s.alias = alias;
    return OpenResult::Opened;
}

WorkAreas::OpenResult WorkAreas::use(const std::string& realPath, const std::string& displayName,
                                     const std::string& givenAlias, bool exclusive,
                                     const std::vector<TableFile>& indexes) {
    close(current_);
    const std::string alias = aliasFor(givenAlias, realPath);
    if (int other = slotOf(alias); other != 0)
        throw RuntimeError(RuntimeError::Kind::Other, "alias " + alias + " is already in use", displayName);
    auto table = Table::open(realPath, displayName, exclusive);
    if (!table) return OpenResult::Conflict;
    for (const auto& index : indexes)
        if (!table->attachIndex(index.path, index.displayName)) return OpenResult::Conflict;
    return place(std::move(table), alias);
}

WorkAreas::OpenResult WorkAreas::create(const std::string& realPath, const std::string& displayName,
                                        const std::string& givenAlias, const std::vector<Field>& fields) {
    close(current_);
    const std::string alias = aliasFor(givenAlias, realPath);
    if (int other = slotOf(alias); other != 0)
        throw RuntimeError(RuntimeError::Kind::Other, "alias " + alias + " is already in use", displayName);
    return place(Table::create(realPath, displayName, fields), alias);
}

void WorkAreas::close() {
    close(current_);
}

void WorkAreas::close(int n) {
    auto& s = slot(n);
    if (!s.table) return;
    std::unique_ptr<Table> table = std::move(s.table);
    s.alias.clear();
    for (auto& other : slots_)
        if (other.table) other.table->dropRelationsTo(table.get());
    table->close();
}

void WorkAreas::closeAll() {
    std::exception_ptr failure;
    for (int n = 1; n <= kSlots; ++n) {
        try {
            close(n);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

Table& WorkAreas::table() {
    auto& s = slot(current_);
    if (!s.table)
        throw RuntimeError(RuntimeError::Kind::Other, "no table in work area " + std::to_string(current_));
    return *s.table;
}

Table& WorkAreas::table(std::string_view alias) {
    Table* t = find(alias);
    if (!t) throw RuntimeError(RuntimeError::Kind::Other, "alias " + std::string(alias) + " not found");
    return *t;
}

Table* WorkAreas::find(std::string_view alias) {
    int n = slotOf(alias);
    return n ? slots_[static_cast<size_t>(n)].table.get() : nullptr;
}

Table* WorkAreas::at(int n) {
    return used(n) ? slots_[static_cast<size_t>(n)].table.get() : nullptr;
}

void WorkAreas::commitAll() {
    for (auto& s : slots_)
        if (s.table) s.table->commit();
}

void WorkAreas::unlockAll() {
    for (auto& s : slots_)
        if (s.table) s.table->unlock();
}

}  // namespace xbase
