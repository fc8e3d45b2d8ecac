#include "velto/send_copies.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "lib/fun3.h"
#include "platform/context.h"
#include "platform/core/error.h"
#include "platform/os/clock.h"
#include "platform/os/path.h"
#include "platform/xbase/dbf.h"
#include "platform/xbase/expr.h"
#include "platform/xbase/ntx.h"
#include "platform/xbase/table.h"
#include "velto/plu.h"

using core::RuntimeError;
using xbase::DbfFile;
using xbase::SharedFile;

namespace {

constexpr uint32_t kBlock = 1024;  // records per read

core::Date today(Context& ctx) {
    static os::SystemClock system;
    return (ctx.clock ? ctx.clock : &system)->today();
}

const xbase::Field& needField(const xbase::Layout& layout, std::string_view name, const std::string& table) {
    const xbase::Field* f = layout.field(name);
    if (!f)
        throw RuntimeError(RuntimeError::Kind::NoField, "field " + std::string(name) + " does not exist",
                           table);
    return *f;
}

std::unique_ptr<DbfFile> createTable(Context& ctx, const std::string& name,
                                     const std::vector<xbase::Field>& fields) {
    std::string file = name + ".dbf";
    auto dbf = DbfFile::create(os::resolve(file), file, fields, today(ctx));
    if (!dbf) throw RuntimeError(RuntimeError::Kind::Creation, "cannot create table", file);
    return dbf;
}

// The name as the register takes it, without leading blanks, padded to its field again.
void foldInPlace(char* name, size_t width, bool keepPolishLetters) {
    std::string folded = foldName(std::string_view(name, width), keepPolishLetters);
    size_t start = folded.find_first_not_of(' ');
    std::string_view kept =
        start == std::string::npos ? std::string_view() : std::string_view(folded).substr(start);
    std::memset(name, ' ', width);
    std::memcpy(name, kept.data(), std::min(width, kept.size()));
}

}  // namespace

std::string sendingOrder(bool wholeNames) {
    return wholeNames ? "nazwa+mag+indeks" : "SUBSTR(nazwa,1,17)+mag+indeks";
}

WorkingCopies makeWorkingCopies(Context& ctx, xbase::Table& goods, bool wholeNames, int station,
                                size_t bandBytes) {
    WorkingCopies copies{"rob\\as_" + STR2(station), "rob\\ass" + STR2(station), 0};
    goods.commit();
    const xbase::Layout& layout = goods.layout();
    const std::string& goodsName = goods.displayName();
    const xbase::Field& nazwa = needField(layout, "NAZWA", goodsName);
    const xbase::Field& mag = needField(layout, "MAG", goodsName);
    const xbase::Field& indeks = needField(layout, "INDEKS", goodsName);
    const std::string order = sendingOrder(wholeNames);
    const int keySize = xbase::Expression::compile(order, layout).length();
    const size_t nameKey =
        wholeNames ? static_cast<size_t>(nazwa.length) : std::min<size_t>(17, nazwa.length);
    const bool keepPolishLetters = FILE_X("DAJ.PL");

    // The goods table read in blocks through the file its work area holds.
    auto source = DbfFile::open(goods.path(), SharedFile::Mode::Shared, goodsName);
    if (!source) throw RuntimeError(RuntimeError::Kind::Other, "goods table held elsewhere", goodsName);
    const size_t rl = static_cast<size_t>(source->recordLength());
    const uint32_t count = source->refreshCount();

    auto first = createTable(ctx, copies.first, layout.fields);
    if (static_cast<size_t>(first->recordLength()) != rl)
        throw RuntimeError(RuntimeError::Kind::Creation, "copy does not keep the layout",
                           copies.first + ".dbf");
    std::vector<char> keys;
    std::vector<uint32_t> recnos;
    keys.reserve(static_cast<size_t>(count) * static_cast<size_t>(keySize));
    recnos.reserve(count);
    std::vector<char> block(kBlock * rl);
    for (uint32_t from = 1; from <= count; from += kBlock) {
        uint32_t n = std::min(kBlock, count - from + 1);
        source->readRecords(from, n, block.data());
        for (uint32_t i = 0; i < n; ++i) {
            char* record = block.data() + i * rl;
            if (record[0] == '*') continue;
            foldInPlace(record + nazwa.offset, static_cast<size_t>(nazwa.length), keepPolishLetters);
            recnos.push_back(first->appendExclusive(record));
            keys.insert(keys.end(), record + nazwa.offset, record + nazwa.offset + nameKey);
            keys.insert(keys.end(), record + mag.offset, record + mag.offset + mag.length);
            keys.insert(keys.end(), record + indeks.offset, record + indeks.offset + indeks.length);
        }
    }
    source.reset();
    first->close(today(ctx));
    first.reset();
    copies.records = static_cast<uint32_t>(recnos.size());
    if (keys.size() != recnos.size() * static_cast<size_t>(keySize))
        throw RuntimeError(RuntimeError::Kind::Expression, "key length of \"" + order + "\"", goodsName);

    // Place of every record of the first copy in the sending order, as its index gives it.
    std::vector<uint32_t> rank(copies.records);
    {
        std::string file = copies.first + ".ntx";
        auto ntx = xbase::NtxIndex::build(os::resolve(file), file, SharedFile::Mode::Exclusive, order,
                                          keySize, 0, std::move(keys), std::move(recnos));
        if (!ntx) throw RuntimeError(RuntimeError::Kind::Creation, "cannot create index", file);
        uint32_t place = 0;
        for (ntx->goTop(); !ntx->eof(); ntx->skip(1)) rank[ntx->recno() - 1] = place++;
    }

    std::string firstFile = copies.first + ".dbf";
    auto input = DbfFile::open(os::resolve(firstFile), SharedFile::Mode::Exclusive, firstFile);
    if (!input) throw RuntimeError(RuntimeError::Kind::Other, "working copy held elsewhere", firstFile);
    auto sorted = createTable(ctx, copies.sorted, layout.fields);
    const uint32_t band = std::max<uint32_t>(1, static_cast<uint32_t>(bandBytes / rl));
    std::vector<char> gathered(static_cast<size_t>(std::min(band, std::max<uint32_t>(copies.records, 1))) *
                               rl);
    for (uint32_t low = 0; low < copies.records; low += band) {
        const uint32_t high = std::min(copies.records, low + band);
        for (uint32_t from = 1; from <= copies.records; from += kBlock) {
            uint32_t n = std::min(kBlock, copies.records - from + 1);
            input->readRecords(from, n, block.data());
            for (uint32_t i = 0; i < n; ++i) {
                uint32_t place = rank[from - 1 + i];
                if (place >= low && place < high)
                    std::memcpy(gathered.data() + (place - low) * rl, block.data() + i * rl, rl);
            }
        }
        for (uint32_t place = low; place < high; ++place)
            sorted->appendExclusive(gathered.data() + (place - low) * rl);
    }
    sorted->close(today(ctx));
    input->close(today(ctx));
    return copies;
}
