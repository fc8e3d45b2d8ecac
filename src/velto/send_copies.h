#pragma once
// The working copies of a sending from the goods table, per workstation (NN is the station number):
// "rob\as_NN" holds every undeleted goods record with its name folded for the register, with the index
// "rob\as_NN.ntx" of the sending order, and "rob\assNN" the same records in that order, so that the
// sending reads one file from first to last. Both stay on disk until the next sending replaces them.
//
// The goods table is read once, sequentially, in large blocks; the sorted copy is written from the first
// copy in bands of a bounded size, each filled by one sequential pass, so memory stays bounded whatever
// the size of the goods table.
#include <cstddef>
#include <cstdint>
#include <string>

struct Context;
namespace xbase {
class Table;
}

struct WorkingCopies {
    std::string first, sorted;  // DOS names of the two tables, without ".dbf"
    uint32_t records = 0;
};

// The key of the sending order: the whole name for a register whose description holds "3000", else the
// first 17 characters of the name; then the warehouse and the goods index.
std::string sendingOrder(bool wholeNames);

// How much of the sorted copy is gathered in memory at a time.
inline constexpr size_t kSortBand = 16u << 20;

// Makes both copies from the goods table (open in its work area; it is only read).
WorkingCopies makeWorkingCopies(Context& ctx, xbase::Table& goods, bool wholeNames, int station,
                                size_t bandBytes = kSortBand);
