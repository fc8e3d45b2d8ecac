#include "platform/xbase/ntx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>

#include "platform/core/error.h"
#include "platform/xbase/ntx_impl.h"
#include "support/test_support.h"
#include "platform/xbase/ntx_fixture.h"

namespace fs = std::filesystem;
using namespace testing_support;
using xbase::NtxIndex;
using Mode = xbase::SharedFile::Mode;
using namespace ntx_testing;

namespace {

const char* const kFixtureIndexes[] = {
    "24/03/as.ntx",   "24/03/as2.ntx",    "24/03/as3.ntx",    "24/03/dow1.ntx", "24/03/dow2.ntx", "24/03/dow3.ntx",
    "24/03/dowod1.ntx", "24/03/dowod2.ntx", "24/03/pk.ntx", "24/03/slow.ntx", "nor.ntx",        "wyr.ntx",
};

// The entries in tree order as the independent checker reads them.
Entries checkerEntries(const fs::path& file) {
    std::string out;
    EXPECT_EQ(xbcheck("keys --hex '" + file.string() + "'", &out), 0) << out;
    Entries entries;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        auto tab = line.find('\t');
        if (tab == std::string::npos || line.find(':') != std::string::npos) continue;
        std::string hex = line.substr(tab + 1), key;
        for (size_t i = 0; i + 1 < hex.size(); i += 2) key += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        entries.emplace_back(static_cast<uint32_t>(std::stoul(line.substr(0, tab))), key);
    }
    return entries;
}

}  // namespace

TEST(NtxMaxKeys, FollowsThePageFormula) {
    struct Case { int keySize, max; } cases[] = {{9, 52}, {14, 40}, {31, 22}, {8, 54}, {3, 76}, {17, 36}, {19, 34},
                                                 {11, 46}, {250, 2}};
    for (auto c : cases) EXPECT_EQ(xbase::ntxMaxKeys(c.keySize), c.max) << c.keySize;
}

TEST(NtxRead, EveryFixtureIndexGivesTheCheckersEntriesBothWays) {
    TempDir dir;
    copyFixture(dir.path());
    for (const char* name : kFixtureIndexes) {
        SCOPED_TRACE(name);
        auto expected = checkerEntries(dir / name);
        ASSERT_FALSE(expected.empty());
        for (Mode mode : {Mode::Exclusive, Mode::Shared}) {
            auto ix = NtxIndex::open((dir / name).string(), mode, name);
            ASSERT_TRUE(ix);
            EXPECT_EQ(allEntries(*ix), expected);
            EXPECT_EQ(allEntriesBackwards(*ix), expected);
            EXPECT_TRUE(ix->verify(0, nullptr).empty());
        }
    }
}

namespace {

// The entries an index must hold, in order: equal keys in the order they were inserted.
using Model = std::multimap<std::string, uint32_t>;

Entries modelEntries(const Model& model) {
    Entries out;
    for (auto& [key, recno] : model) out.emplace_back(recno, key);
    return out;
}

void modelRemove(Model& model, const std::string& key, uint32_t recno) {
    auto [from, to] = model.equal_range(key);
    for (auto it = from; it != to; ++it)
        if (it->second == recno) {
            model.erase(it);
            return;
        }
    FAIL() << "model lacks " << key << " " << recno;
}

}  // namespace

TEST(NtxUpdate, RandomInsertsAndRemovesKeepTheTreeSound) {
    TempDir dir;
    const int keySize = 9;
    auto path = (dir / "k.ntx").string();
    auto ix = NtxIndex::build(path, "k.ntx", Mode::Exclusive, "K", keySize, 0, {}, {});
    ASSERT_TRUE(ix);
    auto table = DbfImage::keyTable(keySize);
    Model model;
    std::mt19937 rng(7);
    // Few distinct keys, so that runs of equal keys cross pages.
    auto randomKey = [&] {
        char k[10];
        snprintf(k, sizeof k, "%c%08u", 'A' + static_cast<int>(rng() % 3), static_cast<unsigned>(rng() % 400));
        return std::string(k, keySize);
    };
    for (int step = 0; step < 6000; ++step) {
        if (table.count() < 50 || rng() % 3 != 0) {
            uint32_t r = table.append();
            std::string k = randomKey();
            table.set(r, "K", k);
            ix->insert(k, r);
            model.emplace(k, r);
        } else {
            uint32_t r = 1 + static_cast<uint32_t>(rng() % table.count());
            std::string old = table.get(r, "K"), k = randomKey();
            ASSERT_TRUE(ix->remove(old, r));
            modelRemove(model, old, r);
            table.set(r, "K", k);
            ix->insert(k, r);
            model.emplace(k, r);
        }
    }
    ASSERT_EQ(allEntries(*ix), modelEntries(model));
    auto keyOf = [&](uint32_t r) { return table.get(r, "K"); };
    EXPECT_EQ(ix->verify(table.count(), keyOf), std::vector<std::string>{});
    ix.reset();
    table.save(dir / "k.dbf");
    std::string out;
    EXPECT_EQ(xbcheck("ntx '" + (dir / "k.dbf").string() + "' '" + path + "'", &out), 0) << out;
}
