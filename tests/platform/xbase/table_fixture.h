#pragma once
// Helpers of the table engine tests: a writable copy of the real-engine shop, its tables and indexes by
// name, and both index checkers (our xbtool and the independent one).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace xbase_testing {

namespace fs = std::filesystem;

// The period tables with their index files, as the fixture holds them.
struct FixtureTable {
    std::string table;
    std::vector<std::string> indexes;
};

inline const std::vector<FixtureTable>& fixtureTables() {
    static const std::vector<FixtureTable> tables = {
        {"24/03/as.dbf", {"24/03/as.ntx", "24/03/as2.ntx", "24/03/as3.ntx"}},
        {"24/03/dow.dbf", {"24/03/dow1.ntx", "24/03/dow2.ntx", "24/03/dow3.ntx"}},
        {"24/03/dowod.dbf", {"24/03/dowod1.ntx", "24/03/dowod2.ntx"}},
        {"24/03/slow.dbf", {"24/03/slow.ntx"}},
        {"24/03/pk.dbf", {"24/03/pk.ntx"}},
        {"wyr.dbf", {"wyr.ntx"}},
        {"nor.dbf", {"nor.ntx"}},
        {"firma.dbf", {}},
    };
    return tables;
}

// A writable copy of the shop in a temporary directory.
class Shop {
  public:
    Shop() { testing_support::copyFixture(dir_.path()); }
    std::string operator()(const std::string& relative) const { return (dir_.path() / relative).string(); }
    const fs::path& dir() const { return dir_.path(); }

  private:
    testing_support::TempDir dir_;
};

inline std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

inline std::string joinQuoted(const std::vector<std::string>& files) {
    std::string s;
    for (const auto& f : files) s += " " + quoted(f);
    return s;
}

// Both checkers accept the table and its indexes.
inline void expectIndexesSound(const std::string& table, const std::vector<std::string>& indexes) {
    std::string out;
    int status = testing_support::xbcheck("ntx --with-dbf " + quoted(table) + joinQuoted(indexes), &out);
    EXPECT_EQ(status, 0) << out;
    status = testing_support::runCommand(quoted((testing_support::binDir() / "xbtool").string()) +
                                             " verify " + quoted(table) + joinQuoted(indexes) + " 2>&1",
                                         &out);
    EXPECT_EQ(status, 0) << out;
}

}  // namespace xbase_testing
