#pragma once
// Changes to a copy of the real-engine shop (the working directory) that tests make before start-up.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/xbase/table.h"

namespace testing_support {

// Replaces the goods table by a copy without some fields, with its orders rebuilt.
inline void goodsWithout(const std::vector<std::string>& dropped) {
    auto as = xbase::Table::open("24/03/as.dbf", "as", true);
    std::vector<std::string> kept;
    for (auto& f : as->layout().fields)
        if (std::find(dropped.begin(), dropped.end(), f.name) == dropped.end()) kept.push_back(f.name);
    as->copyTo("24/03/as_new.dbf", "as_new", kept);
    as->close();
    std::filesystem::rename("24/03/as_new.dbf", "24/03/as.dbf");
    auto fresh = xbase::Table::open("24/03/as.dbf", "as", true);
    fresh->indexOn("24/03/as.ntx", "as.ntx", "MAG+INDEKS");
    fresh->indexOn("24/03/as2.ntx", "as2.ntx", "UPPER(NAZWA)+MAG");
    fresh->close();
}

}  // namespace testing_support
