#include "platform/xbase/ntx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/core/error.h"
#include "platform/xbase/ntx_fixture.h"
#include "platform/xbase/ntx_impl.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;
using xbase::NtxIndex;
using Mode = xbase::SharedFile::Mode;
using namespace ntx_testing;

namespace {

const char* const kFixtureIndexes[] = {
    "24/03/as.ntx",   "24/03/as2.ntx",  "24/03/as3.ntx",    "24/03/dow1.ntx",
    "24/03/dow2.ntx", "24/03/dow3.ntx", "24/03/dowod1.ntx", "24/03/dowod2.ntx",
    "24/03/pk.ntx",   "24/03/slow.ntx", "nor.ntx",          "wyr.ntx",
};

// A writable copy of a fixture index in dir, under its own file name.
fs::path fixtureCopy(const TempDir& dir, const char* name) {
    auto file = dir / fs::path(name).filename();
    fs::copy_file(fixtureDir() / name, file);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    return file;
}

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
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            key += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        entries.emplace_back(static_cast<uint32_t>(std::stoul(line.substr(0, tab))), key);
    }
    return entries;
}

}  // namespace

TEST(NtxMaxKeys, FollowsThePageFormula) {
    struct Case {
        int keySize, max;
    } cases[] = {{9, 52}, {14, 40}, {31, 22}, {8, 54}, {3, 76}, {17, 36}, {19, 34}, {11, 46}, {250, 2}};
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
        snprintf(k, sizeof k, "%c%08u", 'A' + static_cast<int>(rng() % 3),
                 static_cast<unsigned>(rng() % 400));
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
    auto field = [](const char* name) {
        return [=](const DbfImage& t, uint32_t r) { return t.get(r, name); };
    };
    FixtureIndex cases[] = {
        {"24/03/as.dbf", "24/03/as.ntx", "INDEKS",
         [=](const DbfImage& t, uint32_t r) { return field("MAG")(t, r) + field("INDEKS")(t, r); }},
        {"24/03/as.dbf", "24/03/as2.ntx", "KOD13",
         [=](const DbfImage& t, uint32_t r) { return descend(field("KOD13")(t, r) + field("MAG")(t, r)); }},
        {"24/03/as.dbf", "24/03/as3.ntx", "NAZWA",
         [=](const DbfImage& t, uint32_t r) {
             return asciiUpper(field("NAZWA")(t, r)) + field("MAG")(t, r);
         }},
        {"24/03/dow.dbf", "24/03/dow1.ntx", "NRD",
         [=](const DbfImage& t, uint32_t r) {
             return field("RD")(t, r) + field("NRD")(t, r) + field("LP")(t, r);
         }},
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
        EXPECT_EQ(xbcheck("ntx '" + (dir / c.table).string() + "' '" + (dir / c.index).string() + "'", &out),
                  0)
            << out;
    }
}

namespace {

// Page fill of a built file: keys per page, the root last.
std::vector<int> pageCounts(const fs::path& file) {
    std::string bytes = readFile(file);
    std::vector<int> counts;
    for (size_t at = 1024; at + 1024 <= bytes.size(); at += 1024)
        counts.push_back(xbase::getU16(bytes.data() + at));
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
        auto grown =
            NtxIndex::build((dir / "g.ntx").string(), "g.ntx", Mode::Exclusive, "K", keySize, 0, {}, {});
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
        if (count == 0) {
            EXPECT_EQ(fs::file_size(dir / "b.ntx"), 2048u);
        }
        table.save(dir / "b.dbf");
        std::string out;
        EXPECT_EQ(xbcheck("ntx --strict-ties '" + (dir / "b.dbf").string() + "' '" +
                              (dir / "b.ntx").string() + "' '" + (dir / "g.ntx").string() + "'",
                          &out),
                  0)
            << out;
        EXPECT_EQ(out.find("WARN"), std::string::npos) << out;
    }
}

// Long keys that share long beginnings, repeat often and hold bytes above 0x7F sort as the bytes compare,
// equal keys by record number, for any key size around the eight-byte steps of the sort.
TEST(NtxBuild, SortsLongSharedAndRepeatedKeysByEveryByte) {
    for (int keySize : {7, 8, 16, 17, 30}) {
        SCOPED_TRACE(keySize);
        TempDir dir;
        std::mt19937 rng(static_cast<unsigned>(keySize));
        const uint32_t count = 5000;
        const std::string stems[] = {"TOWAR TESTOWY NR ", "TOWAR TESTOWY\xA5", "TOWAR", "\x80\xFF ZZ"};
        std::vector<char> keys;
        std::vector<uint32_t> recnos;
        Entries want;
        for (uint32_t r = 1; r <= count; ++r) {
            std::string k = stems[rng() % 4] + std::to_string(rng() % 400);
            k.resize(static_cast<size_t>(keySize), ' ');
            keys.insert(keys.end(), k.begin(), k.end());
            recnos.push_back(r);
            want.emplace_back(r, k);
        }
        std::stable_sort(want.begin(), want.end(), [](const auto& a, const auto& b) {
            return std::memcmp(a.second.data(), b.second.data(), a.second.size()) < 0;
        });
        auto ix = NtxIndex::build((dir / "s.ntx").string(), "s.ntx", Mode::Exclusive, "K", keySize, 0,
                                  std::move(keys), std::move(recnos));
        ASSERT_TRUE(ix);
        EXPECT_TRUE(allEntries(*ix) == want);
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
        {"two keys in one item", 2048 + 4, {108, 0}, false, "overlapping"},
        {"items overlapping by a byte", 2048 + 4, {124, 0}, false, "overlapping"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        auto file = fixtureCopy(dir, "24/03/as.ntx");
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

// Free items that the unused part of an offset table names twice (or on top of a key) cannot be filled:
// the page is laid out afresh in memory, and the keys inserted into it land beside the others.
TEST(NtxDamage, UnusableFreeItemsAreLaidOutAfresh) {
    for (Mode mode : {Mode::Exclusive, Mode::Shared}) {
        TempDir dir;
        auto file = fixtureCopy(dir, "24/03/as.ntx");
        patch(file, 2048 + 2 + 2 * 30, {108, 0});  // the first free item of leaf 2048 is its key 0
        auto ix = NtxIndex::open(file.string(), mode, "as.ntx");
        ASSERT_TRUE(ix);
        Entries entries = allEntries(*ix);
        ix->insert("1AAA00001", 99);
        ix->insert("1AAA00002", 98);
        entries.insert(entries.begin(), {{99, "1AAA00001"}, {98, "1AAA00002"}});
        EXPECT_EQ(allEntries(*ix), entries);
        EXPECT_TRUE(ix->verify(0, nullptr).empty());
        ix.reset();
        auto again = NtxIndex::open(file.string(), mode, "as.ntx");
        EXPECT_EQ(allEntries(*again), entries);
    }
}

// A split that meets a damaged free page fails as a whole: the pages already changed in memory are
// dropped, nothing of it reaches the file, and the index reads as before. The index is then known to be
// damaged: the inserts that exclusive mode held back from before stay unwritten too.
TEST(NtxDamage, HalfDoneUpdateIsForgotten) {
    for (Mode mode : {Mode::Exclusive, Mode::Shared}) {
        TempDir dir;
        auto file = fixtureCopy(dir, "24/03/as3.ntx");
        patch(file, 2048, {3, 0});  // the free page claims to hold keys
        auto ix = NtxIndex::open(file.string(), mode, "as.ntx");
        ASSERT_TRUE(ix);
        const Entries onOpen = allEntries(*ix);
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
        // Nothing more is written to a file found damaged: what exclusive mode held back stays unwritten.
        ix.reset();
        EXPECT_TRUE(readFile(file) == before) << "the file changed at close";
        auto again = NtxIndex::open(file.string(), mode, "as.ntx");
        EXPECT_EQ(allEntries(*again), mode == Mode::Shared ? entries : onOpen);
    }
}

namespace {

// Another process, forked before this one opens the files they share (so that each has its own open file
// descriptions and locks), running `body` when told to. The two talk through pipes, one byte at a time.
class Peer {
  public:
    explicit Peer(std::function<void(Peer&)> body) {
        int down[2], up[2];
        if (pipe(down) != 0 || pipe(up) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            close(down[1]);
            close(up[0]);
            in_ = down[0];
            out_ = up[1];
            int status = 0;
            try {
                if (receive() == 'g') body(*this);
            } catch (...) {
                status = 1;
            }
            _exit(status);
        }
        close(down[0]);
        close(up[1]);
        in_ = up[0];
        out_ = down[1];
    }
    ~Peer() { wait(); }
    pid_t pid() const { return pid_; }
    void go() { send('g'); }
    void send(char c) { (void)!write(out_, &c, 1); }
    char receive() {
        char c = 0;
        return read(in_, &c, 1) == 1 ? c : 0;
    }
    // The exit status of the other process (0 when its body ran through).
    int wait() {
        if (pid_ <= 0) return status_;
        close(out_);
        int st = 0;
        waitpid(pid_, &st, 0);
        pid_ = -1;
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        return status_;
    }

  private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    int status_ = -1;
};

std::unique_ptr<NtxIndex> buildNumbered(const fs::path& file, int count, int step, Mode mode) {
    std::vector<char> keys;
    std::vector<uint32_t> recnos;
    for (int i = 0; i < count; ++i) {
        char k[16];
        snprintf(k, sizeof k, "K%05d", i * step);
        keys.insert(keys.end(), k, k + 6);
        recnos.push_back(static_cast<uint32_t>(i + 1));
    }
    return NtxIndex::build(file.string(), file.filename().string(), mode, "K", 6, 0, std::move(keys),
                           std::move(recnos));
}

std::string headerWords(const fs::path& file) {
    return readFile(file).substr(0, 12);
}
uint16_t versionOf(const fs::path& file) {
    return xbase::getU16(readFile(file).data() + 2);
}

// Whether another process holds a lock on the index lock byte that excludes `type`, asked both ways.
short lockSeen(const fs::path& file, short type, bool ofd) {
    int fd = ::open(file.c_str(), O_RDONLY);
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(xbase::kNtxLockOffset);
    fl.l_len = 1;
    fcntl(fd, ofd ? F_OFD_GETLK : F_GETLK, &fl);
    ::close(fd);
    return fl.l_type;
}

}  // namespace

// A process that cached pages sees another process's insert: the change counter moved, so the pages are
// read again; a cursor held across the change goes on from its entry.
TEST(NtxSharing, ChangeByAnotherProcessIsSeen) {
    TempDir dir;
    auto file = dir / "k.ntx";
    ASSERT_TRUE(buildNumbered(file, 3000, 2, Mode::Exclusive));
    Peer peer([&](Peer&) {
        auto ix = NtxIndex::open(file.string(), Mode::Shared, "k.ntx");
        ix->insert("K00101", 9001);
    });
    auto ix = NtxIndex::open(file.string(), Mode::Shared, "k.ntx");
    ASSERT_TRUE(ix);
    EXPECT_FALSE(ix->seek("K00101"));  // the leaf is cached now
    ASSERT_TRUE(ix->seek("K00100"));
    uint16_t version = versionOf(file);

    peer.go();
    ASSERT_EQ(peer.wait(), 0);
    EXPECT_EQ(versionOf(file), static_cast<uint16_t>(version + 1));
    ASSERT_TRUE(ix->skip(1));
    EXPECT_EQ(ix->key(), "K00101");
    EXPECT_EQ(ix->recno(), 9001u);
    ASSERT_TRUE(ix->skip(1));
    EXPECT_EQ(ix->key(), "K00102");
    EXPECT_TRUE(ix->seek("K00101"));
}

// Two processes grow one index in turns, each adding pages at the end of the file: neither takes a page
// the other has just added, and every entry of both arrives.
TEST(NtxSharing, PagesAddedInTurnNeverCollide) {
    TempDir dir;
    auto file = dir / "k.ntx";
    ASSERT_TRUE(buildNumbered(file, 100, 1, Mode::Exclusive));
    constexpr int kTurns = 12, kBatch = 80;  // a batch splits leaves more than once
    auto batch = [&](NtxIndex& ix, int turn, int side) {
        for (int i = 0; i < kBatch; ++i) {
            char k[32];  // room for any int, as the compiler checks it
            snprintf(k, sizeof k, "K%d%02d%03d", side + 1, turn, i);
            ix.insert(k, static_cast<uint32_t>(1000 + (side * kTurns + turn) * kBatch + i));
        }
    };
    Peer peer([&](Peer& p) {
        auto ix = NtxIndex::open(file.string(), Mode::Shared, "k.ntx");
        ix->seek("K");  // pages cached before the other side changes the file
        for (int turn = 0; turn < kTurns; ++turn) {
            if (p.receive() != 't') throw std::runtime_error("out of step");
            batch(*ix, turn, 1);
            p.send('d');
        }
    });
    auto ix = NtxIndex::open(file.string(), Mode::Shared, "k.ntx");
    ix->seek("K");
    peer.go();
    for (int turn = 0; turn < kTurns; ++turn) {
        batch(*ix, turn, 0);
        peer.send('t');
        ASSERT_EQ(peer.receive(), 'd');
    }
    ASSERT_EQ(peer.wait(), 0);
    EXPECT_EQ(allEntries(*ix).size(), 100u + 2 * kTurns * kBatch);
    EXPECT_TRUE(ix->verify(0, nullptr).empty());
    auto again = NtxIndex::open(file.string(), Mode::Shared, "again.ntx");
    EXPECT_EQ(allEntries(*again), allEntries(*ix));
}

// During a shared update the index lock byte is write-locked, seen by other processes through both kinds
// of fcntl locks; an exclusive update locks nothing.
TEST(NtxSharing, UpdateHoldsTheLockByte) {
    for (Mode mode : {Mode::Shared, Mode::Exclusive}) {
        TempDir dir;
        auto file = dir / "k.ntx";
        ASSERT_TRUE(buildNumbered(file, 10, 1, Mode::Exclusive));
        Peer peer([&](Peer& p) {
            auto ix = NtxIndex::open(file.string(), mode, "k.ntx");
            xbase::ntxUpdateLockedHook = [&] {
                p.send('L');
                p.receive();
            };
            ix->insert("K00003", 99);
        });
        peer.go();
        ASSERT_EQ(peer.receive(), 'L');
        short want = mode == Mode::Shared ? F_WRLCK : F_UNLCK;
        EXPECT_EQ(lockSeen(file, F_RDLCK, true), want);
        EXPECT_EQ(lockSeen(file, F_RDLCK, false), want);
        peer.send('c');
        ASSERT_EQ(peer.wait(), 0);
        EXPECT_EQ(lockSeen(file, F_WRLCK, true), F_UNLCK);
    }
}

// Shared mode: every change rewrites the counter (modulo 65536), a no-op does not. Exclusive mode: changes
// stay in memory until flush, which writes the header only when the root or the free list changed.
TEST(NtxSharing, HeaderWritesByMode) {
    TempDir dir;
    auto file = dir / "k.ntx";
    ASSERT_TRUE(buildNumbered(file, 200, 2, Mode::Exclusive));  // four leaves under the root
    patch(file, 2, {0xFE, 0xFF});
    {
        auto ix = NtxIndex::open(file.string(), Mode::Shared, "k.ntx");
        ix->insert("K00001", 100);
        EXPECT_EQ(versionOf(file), 0xFFFF);
        ix->insert("K00003", 101);
        EXPECT_EQ(versionOf(file), 0);
        EXPECT_FALSE(ix->remove("K00005", 1));
        EXPECT_EQ(versionOf(file), 0);
    }
    EXPECT_EQ(versionOf(file), 0) << "closing a shared index writes nothing";

    auto ix = NtxIndex::open(file.string(), Mode::Exclusive, "k.ntx");
    const std::string header = headerWords(file), image = readFile(file);
    ix->insert("K00005", 102);
    ix->remove("K00002", 2);
    EXPECT_TRUE(readFile(file) == image) << "written before the flush";
    ix->flush();
    EXPECT_FALSE(readFile(file) == image);
    EXPECT_EQ(headerWords(file), header) << "no root or free-list change";
    // Emptied, the leaves merge onto the free chain and the root gives way to the last page.
    for (uint32_t r = 1; r <= 200; ++r) {
        char k[16];
        snprintf(k, sizeof k, "K%05u", (r - 1) * 2);
        ix->remove(k, r);
    }
    ix->flush();
    EXPECT_TRUE(ix->verify(0, nullptr).empty());
    std::string now = headerWords(file);
    EXPECT_NE(xbase::getU32(now.data() + 4), xbase::getU32(header.data() + 4));
    EXPECT_NE(xbase::getU32(now.data() + 8), 0u);
    EXPECT_NE(xbase::getU16(now.data() + 2), xbase::getU16(header.data() + 2));
    ix.reset();
    EXPECT_EQ(headerWords(file), now);
}

namespace {

std::unique_ptr<NtxIndex> openFixtureCopy(const TempDir& dir, const char* name, Mode mode) {
    auto file = fixtureCopy(dir, name);
    return NtxIndex::open(file.string(), mode, file.filename().string());
}

}  // namespace

// as.ntx (key MAG+INDEKS, 9 bytes): its root holds 1SYP00013, the leaves the keys either side.
TEST(NtxCursor, SeekComparesOverTheSearchedLength) {
    TempDir dir;
    auto ix = openFixtureCopy(dir, "24/03/as.ntx", Mode::Shared);
    struct Case {
        std::string key;
        bool found;
        uint32_t recno;  // 0: past the end
    } cases[] = {
        {"1CH37    ", true, 18}, {"1NAP", true, 11},       {"1NAQ", false, 12},
        {"2", true, 39},         {"3", false, 0},          {"", true, 18},
        {"1SYP00013", true, 46}, {"1SYP00012", false, 46}, {"1CH37    XYZ", true, 18},
        {"2WAR00047", true, 10}, {"2WAR00048", false, 0},  {"0", false, 18},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ix->seek(c.key), c.found);
        EXPECT_EQ(ix->recno(), c.recno);
        EXPECT_EQ(ix->eof(), c.recno == 0);
        EXPECT_FALSE(ix->bof());
    }
    // From the root's own key both ways into the leaves.
    ASSERT_TRUE(ix->seek("1SYP00013"));
    ASSERT_TRUE(ix->skip(1));
    EXPECT_EQ(ix->key(), "1SYP00014");
    ASSERT_TRUE(ix->skip(-1));
    ASSERT_TRUE(ix->skip(-1));
    EXPECT_EQ(ix->key(), "1SYP00011");
}

// Seeks over every searched length, on keys that share long prefixes (so that the first eight bytes,
// the next eight and the rest each decide somewhere), in both orders, against a sorted list: the seek
// lands on the first entry whose key over that length is not below the searched one in index order.
TEST(NtxCursor, SeekOverAnyLengthLandsOnTheFirstEntryNotBelow) {
    for (int keySize : {5, 9, 13, 20}) {
        for (bool descending : {false, true}) {
            SCOPED_TRACE(std::to_string(keySize) + (descending ? " descending" : " ascending"));
            TempDir dir;
            auto path = (dir / "k.ntx").string();
            NtxIndex::build(path, "k.ntx", Mode::Exclusive, "K", keySize, 0, {}, {}).reset();
            if (descending) {
                int fd = ::open(path.c_str(), O_WRONLY);
                ASSERT_EQ(::pwrite(fd, "\1", 1, 280), 1);  // the header's descending flag
                ::close(fd);
            }
            auto ix = NtxIndex::open(path, Mode::Exclusive, "k.ntx");
            ASSERT_TRUE(ix);
            ASSERT_EQ(ix->descending(), descending);
            std::mt19937 rng(static_cast<unsigned>(keySize * 2 + descending));
            // A few stems, each cut anywhere and filled up at random: keys that part at every position.
            auto randomText = [&](int n) {
                std::string k;
                for (int i = 0; i < n; ++i) k += "AB\xF0"[rng() % 3];
                return k;
            };
            std::string stems[4];
            for (auto& stem : stems) stem = randomText(keySize);
            auto randomKey = [&] {
                std::string k = stems[rng() % 4].substr(0, rng() % (keySize + 1));
                return k + randomText(keySize - static_cast<int>(k.size()));
            };
            std::vector<std::pair<std::string, uint32_t>> entries;  // in insertion order
            for (uint32_t r = 1; r <= 3000; ++r) {
                entries.emplace_back(randomKey(), r);
                ix->insert(entries.back().first, r);
            }
            auto inOrder = [&](const std::string& a, const std::string& b) {
                return descending ? b < a : a < b;
            };
            std::stable_sort(entries.begin(), entries.end(),
                             [&](const auto& a, const auto& b) { return inOrder(a.first, b.first); });
            for (int probe = 0; probe < 3000; ++probe) {
                std::string key = randomKey().substr(0, rng() % (keySize + 1));
                auto first = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
                    return !inOrder(e.first.substr(0, key.size()), key);
                });
                bool found = ix->seek(key);
                if (first == entries.end()) {
                    ASSERT_TRUE(ix->eof()) << key;
                    continue;
                }
                ASSERT_EQ(ix->recno(), first->second) << key;
                ASSERT_EQ(found, first->first.compare(0, key.size(), key) == 0) << key;
            }
        }
    }
}

TEST(NtxCursor, EndsAndEmptyIndex) {
    TempDir dir;
    auto ix = openFixtureCopy(dir, "24/03/as.ntx", Mode::Exclusive);
    ix->goTop();
    EXPECT_EQ(ix->recno(), 18u);
    EXPECT_FALSE(ix->skip(-1));
    EXPECT_TRUE(ix->bof());
    EXPECT_FALSE(ix->eof());
    EXPECT_EQ(ix->recno(), 18u) << "stays on the first entry";
    EXPECT_TRUE(ix->skip(1));
    EXPECT_FALSE(ix->bof());
    EXPECT_EQ(ix->recno(), 29u);

    ix->goBottom();
    EXPECT_EQ(ix->recno(), 10u);
    EXPECT_FALSE(ix->skip(1));
    EXPECT_TRUE(ix->eof());
    EXPECT_EQ(ix->recno(), 0u);
    EXPECT_EQ(ix->key(), "");
    EXPECT_FALSE(ix->skip(1));
    EXPECT_TRUE(ix->skip(-1)) << "back from past the end onto the last entry";
    EXPECT_EQ(ix->recno(), 10u);

    auto empty = NtxIndex::build((dir / "e.ntx").string(), "e.ntx", Mode::Shared, "K", 4, 0, {}, {});
    ASSERT_TRUE(empty);
    empty->goTop();
    EXPECT_TRUE(empty->eof() && empty->bof());
    empty->goBottom();
    EXPECT_TRUE(empty->eof() && empty->bof());
    EXPECT_FALSE(empty->skip(1));
    EXPECT_FALSE(empty->skip(-1));
    EXPECT_FALSE(empty->seek(""));
    EXPECT_EQ(empty->recno(), 0u);
}

// A long run of one key crosses several pages; its entries are told apart by record number only.
TEST(NtxCursor, SeekEntryAmongEqualKeys) {
    TempDir dir;
    std::vector<char> keys;
    std::vector<uint32_t> recnos;
    for (uint32_t r = 1; r <= 400; ++r) {
        std::string k = r % 50 == 0 ? "OTHER" : "SAME ";
        keys.insert(keys.end(), k.begin(), k.end());
        recnos.push_back(r);
    }
    auto ix = NtxIndex::build((dir / "s.ntx").string(), "s.ntx", Mode::Exclusive, "K", 5, 0, std::move(keys),
                              std::move(recnos));
    ASSERT_TRUE(ix);
    for (uint32_t r : {1u, 77u, 249u, 398u}) {
        ASSERT_TRUE(ix->seekEntry("SAME", r)) << r;  // a short key is padded
        EXPECT_EQ(ix->recno(), r);
        ASSERT_TRUE(ix->skip(1));
        EXPECT_EQ(ix->recno(), r + 1 + (r % 50 == 49 ? 1 : 0));
    }
    EXPECT_FALSE(ix->seekEntry("SAME ", 100));
    EXPECT_TRUE(ix->eof());
    EXPECT_FALSE(ix->seekEntry("SAME ", 401));
    EXPECT_TRUE(ix->remove("SAME ", 231));
    EXPECT_FALSE(ix->remove("SAME ", 231));
    EXPECT_FALSE(ix->seekEntry("SAME ", 231));
    EXPECT_TRUE(ix->seekEntry("SAME ", 232));
}

// The position is the entry: it survives changes of the tree, and when its own entry goes, moving on
// continues from where that entry stood.
TEST(NtxCursor, PositionSurvivesChanges) {
    TempDir dir;
    auto ix = buildNumbered(dir / "k.ntx", 3000, 2, Mode::Exclusive);
    ASSERT_TRUE(ix->seek("K01000"));
    for (int i = 0; i < 500; ++i) {  // splits all around
        char k[16];
        snprintf(k, sizeof k, "K%05d", 1 + 4 * i);
        ix->insert(k, static_cast<uint32_t>(5000 + i));
    }
    EXPECT_EQ(ix->key(), "K01000");
    ASSERT_TRUE(ix->skip(1));
    EXPECT_EQ(ix->key(), "K01001");

    ASSERT_TRUE(ix->remove("K01001", ix->recno()));
    ASSERT_TRUE(ix->skip(1));
    EXPECT_EQ(ix->key(), "K01002");
    ASSERT_TRUE(ix->remove("K01002", ix->recno()));
    ASSERT_TRUE(ix->skip(-1));
    EXPECT_EQ(ix->key(), "K01000");

    ix->goTop();
    ASSERT_TRUE(ix->remove("K00000", ix->recno()));
    EXPECT_FALSE(ix->skip(-1));
    EXPECT_TRUE(ix->bof());
    EXPECT_EQ(ix->key(), "K00001") << "the first entry now";
}

// The descending flag reverses the order of the tree; the checker agrees with what we write.
TEST(NtxFlags, DescendingAndUnique) {
    TempDir dir;
    auto file = dir / "d.ntx";
    ASSERT_TRUE(NtxIndex::build(file.string(), "d.ntx", Mode::Exclusive, "K", 3, 0, {}, {}));
    patch(file, 280, {1});
    auto ix = NtxIndex::open(file.string(), Mode::Exclusive, "d.ntx");
    ASSERT_TRUE(ix->descending());
    auto table = DbfImage::keyTable(3);
    std::mt19937 rng(3);
    for (int i = 0; i < 500; ++i) {
        std::string k = std::to_string(100 + rng() % 900);
        uint32_t r = table.append();
        table.set(r, "K", k);
        ix->insert(k, r);
    }
    auto entries = allEntries(*ix);
    EXPECT_TRUE(
        std::is_sorted(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.second > b.second; }));
    ASSERT_TRUE(ix->seek("5"));
    EXPECT_EQ(ix->key()[0], '5');
    ASSERT_TRUE(ix->skip(-1));
    EXPECT_EQ(ix->key()[0], '6');
    EXPECT_TRUE(ix->verify(table.count(), [&](uint32_t r) { return table.get(r, "K"); }).empty());
    ix.reset();
    table.save(dir / "d.dbf");
    std::string out;
    EXPECT_EQ(xbcheck("ntx '" + (dir / "d.dbf").string() + "' '" + file.string() + "'", &out), 0) << out;

    auto uniqueFile = dir / "u.ntx";
    ASSERT_TRUE(NtxIndex::build(uniqueFile.string(), "u.ntx", Mode::Exclusive, "K", 3, 0, {}, {}));
    patch(uniqueFile, 278, {1});
    auto u = NtxIndex::open(uniqueFile.string(), Mode::Shared, "u.ntx");
    ASSERT_TRUE(u->unique());
    u->insert("ABC", 1);
    u->insert("ABC", 2);
    u->insert("ABD", 3);
    EXPECT_EQ(allEntries(*u), (Entries{{1, "ABC"}, {3, "ABD"}}));
}

// An index larger than the page cache: pages leave the cache and come back while seeks and updates go on.
TEST(NtxCache, IndexLargerThanTheCache) {
    TempDir dir;
    const uint32_t count = 500000;  // some 11,000 pages of 8-byte keys
    std::vector<char> keys(count * 8);
    std::vector<uint32_t> recnos(count);
    for (uint32_t r = 1; r <= count; ++r) {
        char k[16];
        snprintf(k, sizeof k, "%08u", 2 * r);
        std::memcpy(keys.data() + (r - 1) * 8, k, 8);
        recnos[r - 1] = r;
    }
    auto ix = NtxIndex::build((dir / "big.ntx").string(), "big.ntx", Mode::Exclusive, "K", 8, 0,
                              std::move(keys), std::move(recnos));
    ASSERT_GT(fs::file_size(dir / "big.ntx"), 8192u * 1024);
    std::mt19937 rng(9);
    for (int i = 0; i < 40000; ++i) {
        uint32_t r = 1 + static_cast<uint32_t>(rng() % count);
        char k[16];
        snprintf(k, sizeof k, "%08u", 2 * r);
        ASSERT_TRUE(ix->seek(k)) << k;
        ASSERT_EQ(ix->recno(), r);
        if (i % 100 == 0) {
            snprintf(k, sizeof k, "%08u", 2 * r + 1);
            ix->insert(k, count + r);
            ASSERT_TRUE(ix->skip(1));
            ASSERT_EQ(ix->recno(), count + r);
        }
    }
    EXPECT_TRUE(ix->verify(0, nullptr).empty());
}

// A file may state fewer keys per page than the formula gives; its pages are laid out and split by what
// it states.
TEST(NtxFlags, FewerKeysPerPageThanTheFormula) {
    TempDir dir;
    auto file = dir / "m.ntx";
    ASSERT_TRUE(NtxIndex::build(file.string(), "m.ntx", Mode::Exclusive, "K", 9, 0, {}, {}));
    const int maxKeys = 10;
    std::string bytes = readFile(file);
    xbase::putU16(bytes.data() + 18, maxKeys);
    xbase::putU16(bytes.data() + 20, maxKeys / 2);
    std::fill(bytes.begin() + 1024, bytes.end(), '\0');
    for (int i = 0; i <= maxKeys; ++i)
        xbase::putU16(bytes.data() + 1024 + 2 + 2 * i, 2 * (maxKeys + 2) + i * 17);
    writeFile(file, bytes);

    auto ix = NtxIndex::open(file.string(), Mode::Shared, "m.ntx");
    ASSERT_TRUE(ix);
    auto table = DbfImage::keyTable(9);
    std::mt19937 rng(4);
    for (int i = 0; i < 300; ++i) {
        char k[16];
        snprintf(k, sizeof k, "%09u", static_cast<unsigned>(rng() % 1000));
        uint32_t r = table.append();
        table.set(r, "K", k);
        ix->insert(k, r);
    }
    for (uint32_t r = 1; r <= 300; r += 3) ASSERT_TRUE(ix->remove(table.get(r, "K"), r));
    for (uint32_t r = 1; r <= 300; r += 3) ix->insert(table.get(r, "K"), r);
    ix.reset();
    for (int count : pageCounts(file)) EXPECT_LE(count, maxKeys);
    table.save(dir / "m.dbf");
    std::string out;
    EXPECT_EQ(xbcheck("ntx '" + (dir / "m.dbf").string() + "' '" + file.string() + "'", &out), 0) << out;
}
