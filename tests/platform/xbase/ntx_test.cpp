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

// Grows a fresh index to three levels, empties it (every page but the root goes onto the free chain) and
// grows it again from the free pages, with runs of equal keys that cross pages.
TEST(NtxUpdate, RandomInsertsAndRemovesKeepTheTreeSound) {
    TempDir dir;
    const int keySize = 9;
    auto path = (dir / "k.ntx").string();
    auto ix = NtxIndex::build(path, "k.ntx", Mode::Exclusive, "K", keySize, 0, {}, {});
    ASSERT_TRUE(ix);
    auto table = DbfImage::keyTable(keySize);
    Model model;
    std::mt19937 rng(7);
    auto randomKey = [&] {
        char k[16];
        snprintf(k, sizeof k, "%c%08u", 'A' + static_cast<int>(rng() % 3), static_cast<unsigned>(rng() % 400));
        return std::string(k, keySize);
    };
    auto change = [&](uint32_t r) {
        std::string old = table.get(r, "K"), k = randomKey();
        ASSERT_TRUE(ix->remove(old, r));
        modelRemove(model, old, r);
        table.set(r, "K", k);
        ix->insert(k, r);
        model.emplace(k, r);
    };
    auto phase = [&](uint32_t target) {
        while (table.count() != target) {
            if (table.count() > 0 && rng() % 3 == 0) change(1 + static_cast<uint32_t>(rng() % table.count()));
            if (table.count() < target) {
                uint32_t r = table.append();
                std::string k = randomKey();
                table.set(r, "K", k);
                ix->insert(k, r);
                model.emplace(k, r);
            } else {
                uint32_t r = table.count();
                std::string k = table.get(r, "K");
                ASSERT_TRUE(ix->remove(k, r));
                modelRemove(model, k, r);
                table.dropLast();
            }
        }
        ASSERT_EQ(allEntries(*ix), modelEntries(model));
    };
    phase(4000);
    auto grownSize = fs::file_size(path);
    phase(0);
    EXPECT_EQ(allEntries(*ix), Entries{});
    EXPECT_FALSE(ix->remove(std::string(keySize, 'A'), 1));
    phase(3000);
    EXPECT_LE(fs::file_size(path), grownSize) << "new pages come from the free chain first";

    auto keyOf = [&](uint32_t r) { return table.get(r, "K"); };
    EXPECT_EQ(ix->verify(table.count(), keyOf), std::vector<std::string>{});
    ix.reset();
    table.save(dir / "k.dbf");
    std::string out;
    EXPECT_EQ(xbcheck("ntx '" + (dir / "k.dbf").string() + "' '" + path + "'", &out), 0) << out;
    EXPECT_NE(out.find("depth 3"), std::string::npos) << out;
}

namespace {

std::string asciiUpper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string descend(std::string s) {
    for (char& c : s) c = static_cast<char>(256 - static_cast<unsigned char>(c));
    return s;
}

struct FixtureIndex {
    const char* table;
    const char* index;
    const char* changed;  // the field given new values
    std::function<std::string(const DbfImage&, uint32_t)> key;
};

}  // namespace

// Copies of the real engine's indexes (split pages, permuted offset tables, a free page) grown, changed and
// shrunk again through their tables: the independent checker must find every record's key once.
TEST(NtxUpdate, FixtureIndexesStaySoundThroughGrowthAndShrinking) {
    auto field = [](const char* name) { return [=](const DbfImage& t, uint32_t r) { return t.get(r, name); }; };
    FixtureIndex cases[] = {
        {"24/03/as.dbf", "24/03/as.ntx", "INDEKS",
         [=](const DbfImage& t, uint32_t r) { return field("MAG")(t, r) + field("INDEKS")(t, r); }},
        {"24/03/as.dbf", "24/03/as2.ntx", "KOD13",
         [=](const DbfImage& t, uint32_t r) { return descend(field("KOD13")(t, r) + field("MAG")(t, r)); }},
        {"24/03/as.dbf", "24/03/as3.ntx", "NAZWA",
         [=](const DbfImage& t, uint32_t r) { return asciiUpper(field("NAZWA")(t, r)) + field("MAG")(t, r); }},
        {"24/03/dow.dbf", "24/03/dow1.ntx", "NRD",
         [=](const DbfImage& t, uint32_t r) { return field("RD")(t, r) + field("NRD")(t, r) + field("LP")(t, r); }},
        {"nor.dbf", "nor.ntx", "INDEKSS",
         [=](const DbfImage& t, uint32_t r) {
             return field("MAG")(t, r) + field("INDEKS")(t, r) + field("MAGS")(t, r) + field("INDEKSS")(t, r);
         }},
    };
    int round = 0;
    for (auto& c : cases) {
        SCOPED_TRACE(c.index);
        TempDir dir;
        copyFixture(dir.path());
        DbfImage table(dir / c.table);
        Mode mode = round++ % 2 ? Mode::Shared : Mode::Exclusive;
        auto ix = NtxIndex::open((dir / c.index).string(), mode, c.index);
        ASSERT_TRUE(ix);
        std::mt19937 rng(11 + round);
        auto newValue = [&] {
            std::string v = "N" + std::to_string(rng() % 90);  // repeats: equal keys
            return v + std::string(20, 'A' + static_cast<char>(rng() % 26));
        };
        auto change = [&](uint32_t r) {
            std::string old = c.key(table, r);
            ASSERT_TRUE(ix->remove(old, r)) << r;
            table.set(r, c.changed, newValue());
            ix->insert(c.key(table, r), r);
        };
        const uint32_t original = table.count();
        auto phase = [&](uint32_t target) {
            while (table.count() != target) {
                uint32_t r = 1 + static_cast<uint32_t>(rng() % table.count());
                if (rng() % 4 == 0) change(r);
                if (table.count() < target) {
                    uint32_t added = table.appendCopy(r);
                    table.set(added, c.changed, newValue());
                    ix->insert(c.key(table, added), added);
                } else {
                    uint32_t last = table.count();
                    ASSERT_TRUE(ix->remove(c.key(table, last), last));
                    table.dropLast();
                }
            }
        };
        phase(original * 8);
        phase(3);
        phase(original * 2);
        auto keyOf = [&](uint32_t r) { return c.key(table, r); };
        EXPECT_EQ(ix->verify(table.count(), keyOf), std::vector<std::string>{});
        ix.reset();
        table.save(dir / c.table);
        std::string out;
        EXPECT_EQ(xbcheck("ntx '" + (dir / c.table).string() + "' '" + (dir / c.index).string() + "'", &out), 0) << out;
    }
}

namespace {

// Page fill of a built file: keys per page, the root last.
std::vector<int> pageCounts(const fs::path& file) {
    std::string bytes = readFile(file);
    std::vector<int> counts;
    for (size_t at = 1024; at + 1024 <= bytes.size(); at += 1024) counts.push_back(xbase::getU16(bytes.data() + at));
    return counts;
}

}  // namespace

// A built index holds what inserting every record's key in record order gives, pages filled evenly (no page
// but the root below half), equal keys by record number.
TEST(NtxBuild, EqualsInsertingEveryKey) {
    const int keySize = 9, maxKeys = 52;
    for (uint32_t count : {0u, 1u, 52u, 53u, 54u, 105u, 2808u, 2809u, 6000u}) {
        SCOPED_TRACE(count);
        TempDir dir;
        std::mt19937 rng(count);
        auto table = DbfImage::keyTable(keySize);
        std::vector<char> keys;
        std::vector<uint32_t> recnos;
        for (uint32_t r = 1; r <= count; ++r) {
            char k[16];
            snprintf(k, sizeof k, "%09u", static_cast<unsigned>(rng() % (count / 3 + 1)));
            table.set(table.append(), "K", k);
            keys.insert(keys.end(), k, k + keySize);
            recnos.push_back(r);
        }
        auto built = NtxIndex::build((dir / "b.ntx").string(), "b.ntx", Mode::Exclusive, "K", keySize, 0,
                                     std::move(keys), std::move(recnos));
        auto grown = NtxIndex::build((dir / "g.ntx").string(), "g.ntx", Mode::Exclusive, "K", keySize, 0, {}, {});
        ASSERT_TRUE(built && grown);
        for (uint32_t r = 1; r <= count; ++r) grown->insert(table.get(r, "K"), r);
        EXPECT_EQ(allEntries(*built), allEntries(*grown));
        EXPECT_EQ(built->expression(), "K");
        built.reset();
        grown.reset();

        auto counts = pageCounts(dir / "b.ntx");
        ASSERT_FALSE(counts.empty());
        for (size_t i = 0; i + 1 < counts.size(); ++i) {
            EXPECT_GE(counts[i], maxKeys / 2) << "page " << i + 1;
            EXPECT_LE(counts[i], maxKeys) << "page " << i + 1;
        }
        if (count == 0) EXPECT_EQ(fs::file_size(dir / "b.ntx"), 2048u);
        table.save(dir / "b.dbf");
        std::string out;
        EXPECT_EQ(xbcheck("ntx --strict-ties '" + (dir / "b.dbf").string() + "' '" + (dir / "b.ntx").string() + "' '" +
                              (dir / "g.ntx").string() + "'",
                          &out),
                  0)
            << out;
        EXPECT_EQ(out.find("WARN"), std::string::npos) << out;
    }
}

TEST(NtxBuild, OrdersEqualKeysByRecordNumberWhateverTheInputOrder) {
    TempDir dir;
    std::vector<char> keys;
    for (const char* k : {"B", "A", "B", "A", "B"}) keys.push_back(*k);
    auto ix = NtxIndex::build((dir / "t.ntx").string(), "t.ntx", Mode::Exclusive, "K", 1, 0, std::move(keys),
                              {5, 4, 3, 2, 1});
    ASSERT_TRUE(ix);
    EXPECT_EQ(allEntries(*ix), (Entries{{2, "A"}, {4, "A"}, {1, "B"}, {3, "B"}, {5, "B"}}));
}

namespace {

void patch(const fs::path& file, size_t at, std::initializer_list<uint8_t> bytes) {
    std::string b = readFile(file);
    size_t i = at;
    for (uint8_t v : bytes) b[i++] = static_cast<char>(v);
    writeFile(file, b);
}

// Runs f and returns the damage it reported; fails the test on anything else.
template <typename F>
std::string damageOf(F&& f) {
    try {
        f();
    } catch (const core::RuntimeError& e) {
        EXPECT_EQ(e.kind(), core::RuntimeError::Kind::Damaged) << e.what();
        EXPECT_EQ(e.file(), "as.ntx");
        return e.description();
    }
    ADD_FAILURE() << "no error";
    return {};
}

}  // namespace

// as.ntx: root page 3072 whose item 0 (in the second item slot, at 125) has child 2048; leaves 1024 and 2048.
TEST(NtxDamage, RefusedWhereFoundNamingTheFileAndLeavingItAlone) {
    struct Case {
        const char* what;
        size_t at;
        std::initializer_list<uint8_t> bytes;
        bool atOpen;
        const char* says;
    } cases[] = {
        {"unknown signature", 0, {0x00, 0x01}, true, "signature"},
        {"signature without the key bits", 0, {0x01, 0x00}, true, "signature"},
        {"alternative lock scheme", 0, {0x16, 0x00}, true, "alternative lock scheme"},
        {"root outside the file", 4, {0x00, 0x30, 0x00, 0x00}, true, "root"},
        {"root not on a page boundary", 4, {0x01, 0x0C, 0x00, 0x00}, true, "root"},
        {"item size not key size + 8", 12, {18, 0}, true, "item size"},
        {"more keys per page than fit", 18, {60, 0}, true, "fit"},
        {"child outside the file", 3072 + 125, {0x00, 0x7C, 0x00, 0x00}, false, "outside the file"},
        {"child pointing back at the root", 3072 + 125, {0x00, 0x0C, 0x00, 0x00}, false, "loop"},
        {"key count above the maximum", 2048, {53, 0}, false, "more keys"},
        {"item offset outside the page", 2048 + 2, {0xFC, 0x03}, false, "outside the page"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        auto file = dir / "as.ntx";
        fs::copy_file(fixtureDir() / "24/03/as.ntx", file);
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        patch(file, c.at, c.bytes);
        std::string before = readFile(file);
        for (Mode mode : {Mode::Exclusive, Mode::Shared}) {
            if (c.atOpen) {
                EXPECT_NE(damageOf([&] { NtxIndex::open(file.string(), mode, "as.ntx"); }).find(c.says),
                          std::string::npos);
                continue;
            }
            auto ix = NtxIndex::open(file.string(), mode, "as.ntx");
            ASSERT_TRUE(ix);
            EXPECT_NE(damageOf([&] { ix->goTop(); }).find(c.says), std::string::npos);
            damageOf([&] { ix->seek("1A"); });
            damageOf([&] { ix->insert("1AAA00001", 99); });
            damageOf([&] { ix->remove("1CH37    ", 18); });
            EXPECT_FALSE(ix->verify(0, nullptr).empty());
        }
        EXPECT_TRUE(readFile(file) == before) << "the file changed";
    }
}

// A split that meets a damaged free page fails as a whole: the pages already changed in memory are
// dropped, nothing reaches the file, and the index reads as before.
TEST(NtxDamage, HalfDoneUpdateIsForgotten) {
    for (Mode mode : {Mode::Exclusive, Mode::Shared}) {
        TempDir dir;
        auto file = dir / "as.ntx";
        fs::copy_file(fixtureDir() / "24/03/as3.ntx", file);
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        patch(file, 2048, {3, 0});  // the free page claims to hold keys
        auto ix = NtxIndex::open(file.string(), mode, "as.ntx");
        ASSERT_TRUE(ix);
        std::string before;
        Entries entries;
        for (uint32_t r = 100;; ++r) {
            before = readFile(file);
            entries = allEntries(*ix);
            std::string key = "A" + std::to_string(r);
            try {
                ix->insert(key, r);
            } catch (const core::RuntimeError& e) {
                EXPECT_NE(std::string(e.what()).find("free page"), std::string::npos) << e.what();
                break;
            }
            ASSERT_LT(r, 200u) << "no split met the free page";
        }
        EXPECT_TRUE(readFile(file) == before) << "the file changed";
        EXPECT_EQ(allEntries(*ix), entries);
        ix.reset();
        EXPECT_TRUE(readFile(file) == before) << "the file changed at close";
    }
}
