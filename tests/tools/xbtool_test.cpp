// xbtool run as a process: verify, dump, index and append on copies of the real-engine shop.
#include <gtest/gtest.h>

#include <unistd.h>
#include <sstream>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::runCommand;
using testing_support::writeFile;

struct Tool {
    testing_support::TempDir dir;
    Tool() { testing_support::copyFixture(dir.path()); }
    std::string at(const std::string& relative) const { return (dir / relative).string(); }
    // Runs xbtool; returns its exit status, standard output in `out` (standard error appended).
    int run(const std::string& arguments, std::string* out = nullptr) const {
        return runCommand("'" + (testing_support::binDir() / "xbtool").string() + "' " + arguments + " 2>&1",
                          out);
    }
    // The files as quoted arguments, each after a blank.
    std::string args(const std::vector<std::string>& relative) const {
        std::string s;
        for (const auto& r : relative) s += " '" + at(r) + "'";
        return s;
    }
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

TEST(Xbtool, VerifiesEveryFixtureTableWithItsIndexes) {
    Tool tool;
    const std::vector<std::vector<std::string>> tables = {
        {"24/03/as.dbf", "24/03/as.ntx", "24/03/as2.ntx", "24/03/as3.ntx"},
        {"24/03/dow.dbf", "24/03/dow1.ntx", "24/03/dow2.ntx", "24/03/dow3.ntx"},
        {"24/03/dowod.dbf", "24/03/dowod1.ntx", "24/03/dowod2.ntx"},
        {"24/03/slow.dbf", "24/03/slow.ntx"},
        {"24/03/pk.dbf", "24/03/pk.ntx"},
        {"wyr.dbf", "wyr.ntx"},
        {"nor.dbf", "nor.ntx"},
        {"firma.dbf"},
    };
    for (const auto& files : tables) {
        std::string out;
        EXPECT_EQ(tool.run("verify" + tool.args(files), &out), 0) << out;
        auto result = lines(out);
        ASSERT_EQ(result.size(), files.size()) << out;
        for (size_t i = 0; i < files.size(); ++i)
            EXPECT_EQ(result[i].rfind("OK " + tool.at(files[i]), 0), 0u) << out;
    }
}

uint32_t le32(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + static_cast<size_t>(i)]);
    return v;
}

TEST(Xbtool, VerifyNamesEveryFaultAndFails) {
    Tool tool;
    std::string out;
    // A key field changed behind the index's back: the entry no longer matches its record.
    std::string dbf = readFile(tool.at("24/03/pk.dbf"));
    dbf[194 + 107 * 2 + 1] = 'Q';  // record 3, first byte of KOD
    writeFile(tool.at("24/03/pk.dbf"), dbf);
    EXPECT_EQ(tool.run("verify" + tool.args({"24/03/pk.dbf", "24/03/pk.ntx"}), &out), 1);
    auto result = lines(out);
    ASSERT_EQ(result.size(), 2u) << out;
    EXPECT_EQ(result[0].rfind("OK ", 0), 0u) << out;
    EXPECT_EQ(result[1].rfind("FAIL " + tool.at("24/03/pk.ntx") + ": ", 0), 0u) << out;

    // A loop in a tree (the root's first child is the root), an unknown signature, a missing file: each
    // index its own line, the sound ones OK.
    std::string as = readFile(tool.at("24/03/as.ntx"));
    const uint32_t root = le32(as, 4);
    const size_t slot = static_cast<unsigned char>(as[root + 2]) | static_cast<unsigned char>(as[root + 3])
                                                                       << 8;
    for (int i = 0; i < 4; ++i) as[root + slot + static_cast<size_t>(i)] = static_cast<char>(root >> (8 * i));
    writeFile(tool.at("24/03/as.ntx"), as);
    std::string as3 = readFile(tool.at("24/03/as3.ntx"));
    as3[0] = 0x01;
    as3[1] = 0x01;
    writeFile(tool.at("24/03/as3.ntx"), as3);
    EXPECT_EQ(tool.run("verify" + tool.args({"24/03/as.dbf", "24/03/as.ntx", "24/03/as2.ntx", "24/03/as3.ntx",
                                             "24/03/nosuch.ntx"}),
                       &out),
              1);
    result = lines(out);
    ASSERT_EQ(result.size(), 5u) << out;
    EXPECT_EQ(result[0].rfind("OK ", 0), 0u) << out;
    EXPECT_EQ(result[1].rfind("FAIL " + tool.at("24/03/as.ntx") + ": ", 0), 0u) << out;
    EXPECT_EQ(result[2].rfind("OK " + tool.at("24/03/as2.ntx"), 0), 0u) << out;
    EXPECT_EQ(result[3].rfind("FAIL " + tool.at("24/03/as3.ntx") + ": ", 0), 0u) << out;
    EXPECT_EQ(result[4].rfind("FAIL " + tool.at("24/03/nosuch.ntx") + ": ", 0), 0u) << out;
    EXPECT_EQ(readFile(tool.at("24/03/as.ntx")), as);

    // A table with a record count past its end fails before its indexes are looked at.
    std::string slow = readFile(tool.at("24/03/slow.dbf"));
    slow[4] = 9;
    writeFile(tool.at("24/03/slow.dbf"), slow);
    EXPECT_EQ(tool.run("verify" + tool.args({"24/03/slow.dbf", "24/03/slow.ntx"}), &out), 1);
    result = lines(out);
    ASSERT_EQ(result.size(), 1u) << out;
    EXPECT_NE(result[0].find("record count"), std::string::npos) << out;
    EXPECT_EQ(readFile(tool.at("24/03/slow.dbf")), slow);
}

// The dump shows what the independent checker shows, without its record number and deletion columns.
TEST(Xbtool, DumpMatchesTheChecker) {
    Tool tool;
    for (const char* table : {"24/03/as.dbf", "24/03/dow.dbf", "firma.dbf"}) {
        std::string theirs, ours, all;
        ASSERT_EQ(testing_support::xbcheck("dump '" + tool.at(table) + "'", &theirs), 0);
        ASSERT_EQ(tool.run("dump '" + tool.at(table) + "'", &ours), 0);
        ASSERT_EQ(tool.run("dump --deleted '" + tool.at(table) + "'", &all), 0);
        std::string expected, expectedAll;
        bool header = true;
        for (const auto& line : lines(theirs)) {
            auto first = line.find('\t'), second = line.find('\t', first + 1);
            std::string del = line.substr(first + 1, second - first - 1);
            std::string rest = line.substr(second + 1);
            if (header) {
                expected += rest + "\n";
                expectedAll += "DEL\t" + rest + "\n";
                header = false;
                continue;
            }
            if (del.empty()) expected += rest + "\n";
            expectedAll += del + "\t" + rest + "\n";
        }
        EXPECT_EQ(ours, expected) << table;
        EXPECT_EQ(all, expectedAll) << table;
    }
}

TEST(Xbtool, IndexAndAppendKeepTheFilesSound) {
    Tool tool;
    const std::string table = tool.at("24/03/dowod.dbf");
    const std::string index = tool.at("24/03/dowod3.ntx");
    std::string out;
    ASSERT_EQ(tool.run("index '" + table + "' '" + index + "' 'NODB+DTOS(R_DATA)'", &out), 0) << out;
    ASSERT_EQ(
        tool.run(
            "append '" + table + "' --index '" + index + "' --index '" + tool.at("24/03/dowod1.ntx") +
                "' --repeat 3 RD=XY 'NRD={i}' 'NODB=Łódź {pid}' R_DATA=20240331 WARTOSC0=-12.345 KWOTA=7",
            &out),
        0)
        << out;
    EXPECT_EQ(out, "");
    std::string checked;
    EXPECT_EQ(
        testing_support::xbcheck(
            "ntx --with-dbf '" + table + "' '" + index + "' '" + tool.at("24/03/dowod1.ntx") + "'", &checked),
        0)
        << checked;
    ASSERT_EQ(tool.run("dump --deleted '" + table + "'", &out), 0);
    auto result = lines(out);
    ASSERT_EQ(result.size(), 1u + 12u + 3u);
    // RD, NRD, DATA... as stored: text padded, numbers with the field's decimals.
    EXPECT_NE(result[15].find("XY\t3\t"), std::string::npos) << result[15];
    EXPECT_NE(result[15].find("\t-12.35\t"), std::string::npos) << result[15];
    EXPECT_NE(result[15].find("\tŁódź "), std::string::npos) << result[15];
    EXPECT_NE(result[15].find("\t20240331\t"), std::string::npos) << result[15];
    EXPECT_EQ(tool.run("append '" + table + "' NOSUCH=1", &out), 2);
    EXPECT_EQ(tool.run("frobnicate", &out), 2);
}

}  // namespace
