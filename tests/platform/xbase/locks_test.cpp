// Locks and share modes between processes, checked from the outside: the byte ranges another process
// sees held, opens refused while another process holds the table, and concurrent appenders.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <sstream>

#include "platform/core/error.h"
#include "platform/xbase/dbf.h"
#include "platform/xbase/table.h"
#include "platform/xbase/workareas.h"
#include "table_fixture.h"

namespace {

using namespace xbase;
using xbase_testing::Shop;

constexpr uint64_t P = kLockBase;

// Runs `body` in a child process and returns its exit status.
int inChild(const std::function<int()>& body) {
    pid_t pid = fork();
    if (pid == 0) {
        int rc = 99;
        try {
            rc = body();
        } catch (...) {
        }
        _exit(rc);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Which of the ranges another process finds write-locked (through a description of its own).
std::vector<bool> heldElsewhere(const std::string& path,
                                const std::vector<std::pair<uint64_t, uint64_t>>& ranges) {
    int mask = inChild([&] {
        int fd = ::open(path.c_str(), O_RDWR);
        if (fd < 0) return 98;
        int bits = 0;
        for (size_t i = 0; i < ranges.size(); ++i) {
            struct flock fl {};
            fl.l_type = F_WRLCK;
            fl.l_whence = SEEK_SET;
            fl.l_start = static_cast<off_t>(ranges[i].first);
            fl.l_len = static_cast<off_t>(ranges[i].second);
            if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return 97;
            if (fl.l_type != F_UNLCK) bits |= 1 << i;
        }
        return bits;
    });
    std::vector<bool> held;
    for (size_t i = 0; i < ranges.size(); ++i) held.push_back((mask >> i) & 1);
    return held;
}

bool heldElsewhere(const std::string& path, uint64_t offset, uint64_t length = 1) {
    return heldElsewhere(path, {{offset, length}})[0];
}

// Another program holding a table: a child process that takes a classic process lock or a share lock
// and keeps it until the object goes.
class OtherProgram {
  public:
    enum class Hold { Range, SharedOpen, ExclusiveOpen };
    OtherProgram(const std::string& path, Hold hold, uint64_t offset = 0, uint64_t length = 0) {
        int ready[2], done[2];
        if (pipe(ready) != 0 || pipe(done) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(done[1]);
            int fd = ::open(path.c_str(), O_RDWR);
            bool ok = fd >= 0;
            if (ok && hold == Hold::Range) {
                struct flock fl {};
                fl.l_type = F_WRLCK;
                fl.l_whence = SEEK_SET;
                fl.l_start = static_cast<off_t>(offset);
                fl.l_len = static_cast<off_t>(length);
                ok = fcntl(fd, F_SETLK, &fl) == 0;  // the other engine's classic lock
            } else if (ok) {
                ok = flock(fd, (hold == Hold::SharedOpen ? LOCK_SH : LOCK_EX) | LOCK_NB) == 0;
            }
            char c = ok ? 'y' : 'n';
            if (write(ready[1], &c, 1) != 1) _exit(1);
            ssize_t ignored = read(done[0], &c, 1);  // until the parent lets go
            (void)ignored;
            _exit(0);
        }
        close(ready[1]);
        close(done[0]);
        release_ = done[1];
        char c = 0;
        if (read(ready[0], &c, 1) != 1 || c != 'y')
            throw std::runtime_error("the other program failed to hold");
        close(ready[0]);
    }
    ~OtherProgram() {
        close(release_);
        int status;
        waitpid(pid_, &status, 0);
    }

  private:
    pid_t pid_ = -1;
    int release_ = -1;
};

TEST(Locks, RecordFileAndAppendLocksSitAtTheSharedOffsets) {
    Shop shop;
    const std::string path = shop("24/03/pk.dbf");
    auto pk = Table::open(path, "pk", false);
    pk->goTo(3);
    ASSERT_TRUE(pk->tryLockRecord());
    EXPECT_EQ(heldElsewhere(path, {{P + 3, 1}, {P + 2, 1}, {P + 4, 1}, {P, 1}}),
              (std::vector<bool>{true, false, false, false}));
    pk->goTo(5);
    ASSERT_TRUE(pk->tryLockRecord());  // releases record 3
    EXPECT_EQ(heldElsewhere(path, {{P + 5, 1}, {P + 3, 1}}), (std::vector<bool>{true, false}));

    ASSERT_TRUE(pk->tryFileLock());
    EXPECT_EQ(heldElsewhere(path, {{P + 1, 1}, {P + 1000000000, 1}, {P + 1000000001, 1}, {P, 1}, {P - 1, 1}}),
              (std::vector<bool>{true, true, false, false, false}));
    pk->unlock();
    EXPECT_EQ(heldElsewhere(path, {{P, 2000000002}}), (std::vector<bool>{false}));

    ASSERT_TRUE(pk->tryAppendBlank());  // record 7, locked; the append byte is free again
    EXPECT_EQ(pk->recno(), 7u);
    EXPECT_EQ(heldElsewhere(path, {{P + 7, 1}, {P, 1}}), (std::vector<bool>{true, false}));
    pk->close();
    EXPECT_FALSE(heldElsewhere(path, P, 2000000002));

    // Exclusive tables take no locks.
    auto excl = Table::open(path, "pk", true);
    excl->goTo(2);
    EXPECT_TRUE(excl->tryLockRecord());
    EXPECT_TRUE(excl->tryFileLock());
    EXPECT_TRUE(excl->tryAppendBlank());
    excl->close();
}

TEST(Locks, ClassicLocksOfAnotherProgramAreRespected) {
    Shop shop;
    const std::string path = shop("24/03/pk.dbf");
    const std::string before = testing_support::readFile(path);
    auto pk = Table::open(path, "pk", false);
    {
        OtherProgram other(path, OtherProgram::Hold::Range, P + 3, 1);
        pk->goTo(4);
        EXPECT_TRUE(pk->tryLockRecord());
        pk->goTo(3);
        EXPECT_FALSE(pk->tryLockRecord());  // refused: record 4 stays locked
        EXPECT_FALSE(pk->tryFileLock());
        EXPECT_TRUE(pk->recordLocked(4));
        EXPECT_TRUE(heldElsewhere(path, P + 4));
        pk->unlock();
    }
    {
        OtherProgram other(path, OtherProgram::Hold::Range, P, 1);  // appending just now
        pk->goTo(2);
        EXPECT_TRUE(pk->tryLockRecord());
        EXPECT_FALSE(pk->tryAppendBlank());
        EXPECT_EQ(pk->recno(), 2u);  // a failed append leaves the table as it was
        EXPECT_TRUE(heldElsewhere(path, P + 2));
        pk->unlock();
    }
    {
        // A file lock covers every record byte but not the append byte: the append takes the append byte,
        // fails on the new record's byte and lets the append byte go again.
        OtherProgram other(path, OtherProgram::Hold::Range, P + 1, 1000000000);
        EXPECT_FALSE(pk->tryAppendBlank());
        EXPECT_FALSE(heldElsewhere(path, P, 1) && !heldElsewhere(path, P + 1, 1));
        EXPECT_EQ(inChild([&] {
                      int fd = ::open(path.c_str(), O_RDWR);
                      struct flock fl {};
                      fl.l_type = F_WRLCK;
                      fl.l_whence = SEEK_SET;
                      fl.l_start = static_cast<off_t>(P);
                      fl.l_len = 1;
                      return fcntl(fd, F_OFD_SETLK, &fl) == 0 ? 0 : 1;
                  }),
                  0);
    }
    EXPECT_EQ(testing_support::readFile(path), before);
    EXPECT_EQ(pk->recordCount(), 6u);
}

// A shared append writes the record appended before it: together with the new one when they are
// neighbours, on its own when another process appended in between, and also when the append is refused.
// Each time that record's key goes into the index and its lock goes with the append byte.
TEST(Locks, AppendWritesTheRecordAppendedBeforeIt) {
    Shop shop;
    const std::string path = shop("24/03/pk.dbf"), index = shop("24/03/pk.ntx");
    auto pk = Table::open(path, "pk", false);
    ASSERT_TRUE(pk->attachIndex(index, "pk.ntx"));
    auto appendElsewhere = [&](const std::string& kod) {
        return inChild([&] {
            auto t = Table::open(path, "pk", false);
            t->attachIndex(index, "pk.ntx");
            t->appendBlank();
            t->put("KOD", core::Value::ofText(kod));
            t->close();
            return 0;
        });
    };
    // What another process reads: the KOD of each record and the record its index finds for each key.
    auto seenElsewhere = [&](uint32_t first, const std::vector<std::string>& kods) {
        return inChild([&] {
            auto t = Table::open(path, "pk", false);
            t->attachIndex(index, "pk.ntx");
            for (size_t i = 0; i < kods.size(); ++i) {
                t->goTo(first + static_cast<uint32_t>(i));
                if (t->get("KOD").text.substr(0, kods[i].size()) != kods[i]) return 10 + static_cast<int>(i);
                if (!kods[i].empty() &&
                    (!t->seek(core::Value::ofText(kods[i]), false) || t->recno() != first + i))
                    return 20 + static_cast<int>(i);
            }
            return 0;
        });
    };

    ASSERT_TRUE(pk->tryAppendBlank());  // 7
    pk->put("KOD", core::Value::ofText("A0001"));
    ASSERT_EQ(appendElsewhere("B0001"), 0);  // 8
    ASSERT_TRUE(pk->tryAppendBlank());       // 9: record 7 is not its neighbour
    EXPECT_EQ(pk->recno(), 9u);
    pk->put("KOD", core::Value::ofText("A0002"));
    ASSERT_TRUE(pk->tryAppendBlank());  // 10: record 9 goes with it
    pk->put("KOD", core::Value::ofText("A0003"));
    EXPECT_EQ(seenElsewhere(7, {"A0001", "B0001", "A0002", ""}), 0);
    EXPECT_EQ(heldElsewhere(path, {{P + 10, 1}, {P + 9, 1}, {P + 7, 1}, {P, 1}}),
              (std::vector<bool>{true, false, false, false}));
    {
        OtherProgram other(path, OtherProgram::Hold::Range, P + 11, 1);  // the new record's byte
        EXPECT_FALSE(pk->tryAppendBlank());
        EXPECT_EQ(pk->recno(), 10u);
    }
    EXPECT_EQ(seenElsewhere(10, {"A0003"}), 0);
    ASSERT_TRUE(pk->tryAppendBlank());  // 11
    pk->put("KOD", core::Value::ofText("A0004"));
    {
        OtherProgram other(path, OtherProgram::Hold::Range, P, 1);  // the append byte
        EXPECT_FALSE(pk->tryAppendBlank());
        EXPECT_EQ(pk->recno(), 11u);
    }
    EXPECT_EQ(seenElsewhere(7, {"A0001", "B0001", "A0002", "A0003", "A0004"}), 0);
    EXPECT_EQ(pk->recordCount(), 11u);
    pk->close();
    xbase_testing::expectIndexesSound(path, {index});
}

TEST(Locks, ExclusiveOpenAndOtherOpensExcludeEachOther) {
    Shop shop;
    const std::string path = shop("firma.dbf");
    WorkAreas areas;
    {
        OtherProgram other(path, OtherProgram::Hold::SharedOpen);
        areas.select(1);
        EXPECT_EQ(areas.use(path, "firma", "firma", true), WorkAreas::OpenResult::Conflict);
        EXPECT_FALSE(areas.used());
        EXPECT_EQ(areas.use(path, "firma", "firma", false), WorkAreas::OpenResult::Opened);
        areas.close();
    }
    {
        OtherProgram other(path, OtherProgram::Hold::ExclusiveOpen);
        EXPECT_EQ(areas.use(path, "firma", "firma", false), WorkAreas::OpenResult::Conflict);
        EXPECT_EQ(areas.use(path, "firma", "firma", true), WorkAreas::OpenResult::Conflict);
        EXPECT_FALSE(areas.used());
    }
    // And the other way round: while we hold it, the other program is refused.
    ASSERT_EQ(areas.use(path, "firma", "firma", true), WorkAreas::OpenResult::Opened);
    auto tryFlock = [&](int op) {
        return inChild([&] {
            int fd = ::open(path.c_str(), O_RDWR);
            return flock(fd, op | LOCK_NB) == 0 ? 0 : 1;
        });
    };
    EXPECT_EQ(tryFlock(LOCK_SH), 1);
    areas.close();
    ASSERT_EQ(areas.use(path, "firma", "firma", false), WorkAreas::OpenResult::Opened);
    EXPECT_EQ(tryFlock(LOCK_EX), 1);
    EXPECT_EQ(tryFlock(LOCK_SH), 0);
    // Inside the process the same rule holds between work areas.
    areas.select(2);
    EXPECT_EQ(areas.use(path, "firma", "firma2", true), WorkAreas::OpenResult::Conflict);
    EXPECT_EQ(areas.use(path, "firma", "firma2", false), WorkAreas::OpenResult::Opened);
}

TEST(Locks, TwoOpensInOneProcessNeverLoseEachOthersLocks) {
    Shop shop;
    const std::string path = shop("24/03/pk.dbf");
    WorkAreas areas;
    areas.select(1);
    ASSERT_EQ(areas.use(path, "pk", "a", false), WorkAreas::OpenResult::Opened);
    areas.select(2);
    ASSERT_EQ(areas.use(path, "pk", "b", false), WorkAreas::OpenResult::Opened);
    Table& a = areas.table("a");
    Table& b = areas.table("b");

    a.goTo(3);
    ASSERT_TRUE(a.tryLockRecord());
    b.goTo(3);
    ASSERT_TRUE(b.tryLockRecord());  // the same process: no conflict
    b.goTo(5);
    ASSERT_TRUE(b.tryLockRecord());  // releases b's hold on 3, not a's
    EXPECT_EQ(heldElsewhere(path, {{P + 3, 1}, {P + 5, 1}}), (std::vector<bool>{true, true}));

    // A file lock taken and released around a's record lock leaves it in place.
    ASSERT_TRUE(b.tryFileLock());
    b.unlock();
    EXPECT_EQ(heldElsewhere(path, {{P + 3, 1}, {P + 4, 1}, {P + 5, 1}}),
              (std::vector<bool>{true, false, false}));

    // A record lock taken and released inside a's file lock does not punch a hole into it.
    a.unlock();
    ASSERT_TRUE(a.tryFileLock());
    b.goTo(4);
    ASSERT_TRUE(b.tryLockRecord());
    b.unlock();
    EXPECT_EQ(heldElsewhere(path, {{P + 4, 1}, {P + 1, 1000000000}}), (std::vector<bool>{true, true}));
    EXPECT_TRUE(heldElsewhere(path, {{P + 4, 1}})[0]);

    // Closing one work area keeps the other's locks.
    b.goTo(2);
    ASSERT_TRUE(b.tryLockRecord());
    areas.close(2);
    EXPECT_EQ(heldElsewhere(path, {{P + 2, 1}, {P + 6, 1}}), (std::vector<bool>{true, true}));
    a.unlock();
    a.goTo(6);
    ASSERT_TRUE(a.tryLockRecord());
    EXPECT_EQ(heldElsewhere(path, {{P + 2, 1}, {P + 6, 1}}), (std::vector<bool>{false, true}));
}

// Four processes each add 1 to one record's counter 100 times under the record lock: no increment is lost,
// because a granted lock reads the record again and unlocking writes it first.
TEST(Locks, RecordLockSerialisesChangesOfOneRecord) {
    testing_support::TempDir dir;
    const std::string path = (dir / "licznik.dbf").string();
    {
        auto t = Table::create(path, "licznik", {{"ILE", 'N', 8, 0}, {"KTO", 'C', 10}});
        t->appendBlank();
        t->appendBlank();
        t->close();
    }
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    for (int c = 0; c < 4; ++c) {
        pid_t pid = fork();
        if (pid == 0) {
            int rc = 0;
            try {
                close(start[1]);
                auto t = Table::open(path, "licznik", false);
                t->goTo(2);  // read once here: only the lock brings the other processes' counts in
                char go;
                if (read(start[0], &go, 1) != 0) _exit(2);  // all start together
                for (int i = 0; i < 100; ++i) {
                    while (!t->tryLockRecord()) usleep(100);
                    t->put("ILE", core::Value::ofNumber(t->get("ILE").number + 1));
                    t->put("KTO", core::Value::ofText(std::to_string(getpid())));
                    t->unlock();
                }
                t->close();
            } catch (...) {
                rc = 1;
            }
            _exit(rc);
        }
        children.push_back(pid);
    }
    close(start[0]);
    close(start[1]);
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto t = Table::open(path, "licznik", true);
    t->goTo(2);
    EXPECT_EQ(t->get("ILE").number, 400);
    t->goTo(1);
    EXPECT_EQ(t->get("ILE").number, 0);
}

// Going to a record and locking it in one attempt: a refusal, or a record past the end, leaves the table
// where it was with its locks; a grant reads the record under the lock (a change made just before is seen)
// and gives up the table's other record lock.
TEST(Locks, RecordLockedByNumber) {
    Shop shop;
    const std::string path = shop("24/03/pk.dbf");
    auto pk = Table::open(path, "pk", false);
    pk->goTo(1);
    ASSERT_TRUE(pk->tryLockRecord());
    {
        OtherProgram other(path, OtherProgram::Hold::Range, P + 3, 1);
        EXPECT_FALSE(pk->tryLockRecordAt(3));
        EXPECT_FALSE(pk->tryLockRecordAt(99));
        EXPECT_EQ(pk->recno(), 1u);
        EXPECT_EQ(heldElsewhere(path, {{P + 1, 1}}), std::vector<bool>{true});
    }
    ASSERT_EQ(inChild([&] {
                  auto t = Table::open(path, "pk", false);
                  t->goTo(3);
                  if (!t->tryLockRecord()) return 1;
                  t->put("KOD", core::Value::ofText("ZMIANA"));
                  t->close();
                  return 0;
              }),
              0);
    ASSERT_TRUE(pk->tryLockRecordAt(3));
    EXPECT_EQ(pk->recno(), 3u);
    EXPECT_EQ(pk->get("KOD").text.substr(0, 6), "ZMIANA");
    EXPECT_EQ(heldElsewhere(path, {{P + 1, 1}, {P + 3, 1}}), (std::vector<bool>{false, true}));
}

// An append with its fields given at once: the record is found with its fields and its key by another
// process, and neither its lock nor the append byte is left held; the record appended before it goes
// with it. A fill that fails writes nothing and holds nothing; a refused append runs no fill. Exclusive
// mode gives the same records.
TEST(Locks, AppendedRecordGoesInWithItsFieldsAndUnlocked) {
    for (bool exclusive : {false, true}) {
        SCOPED_TRACE(exclusive ? "exclusive" : "shared");
        Shop shop;
        const std::string path = shop("24/03/pk.dbf"), index = shop("24/03/pk.ntx");
        auto pk = Table::open(path, "pk", exclusive);
        ASSERT_TRUE(pk->attachIndex(index, "pk.ntx"));
        auto kod = [](const char* k) { return [k](Table& t) { t.put("KOD", core::Value::ofText(k)); }; };

        ASSERT_TRUE(pk->tryAppendBlank());  // 7, still locked and unwritten
        pk->put("KOD", core::Value::ofText("A0001"));
        ASSERT_TRUE(pk->tryAppendRecord(kod("A0002")));  // 8
        EXPECT_EQ(pk->recno(), 8u);
        EXPECT_EQ(pk->get("KOD").text.substr(0, 5), "A0002");
        EXPECT_THROW(pk->tryAppendRecord([](Table& t) { t.put("KOD", core::Value::ofNumber(1)); }),
                     core::RuntimeError);
        if (!exclusive) {
            EXPECT_EQ(heldElsewhere(path, {{P, 1}, {P + 7, 1}, {P + 8, 1}, {P + 9, 1}}),
                      (std::vector<bool>{false, false, false, false}));
            OtherProgram other(path, OtherProgram::Hold::Range, P, 1);
            bool filled = false;
            EXPECT_FALSE(pk->tryAppendRecord([&](Table&) { filled = true; }));
            EXPECT_FALSE(filled);
        }
        ASSERT_TRUE(pk->tryAppendRecord(kod("A0003")));
        pk->close();

        auto t = Table::open(path, "pk", false);
        ASSERT_TRUE(t->attachIndex(index, "pk.ntx"));
        EXPECT_EQ(t->recordCount(), 9u) << "the failed fill left no record";
        for (auto [key, recno] : {std::pair{"A0001", 7u}, {"A0002", 8u}, {"A0003", 9u}}) {
            EXPECT_TRUE(t->seek(core::Value::ofText(key), false)) << key;
            EXPECT_EQ(t->recno(), recno) << key;
        }
        t->close();
        xbase_testing::expectIndexesSound(path, {index});
    }
}

// Four processes append 500 rows each to one table with its three indexes: every row arrives once and
// every index holds them all.
TEST(Locks, FourConcurrentAppendersLoseNothing) {
    Shop shop;
    const std::string table = shop("24/03/dow.dbf");
    const std::vector<std::string> indexes = {shop("24/03/dow1.ntx"), shop("24/03/dow2.ntx"),
                                              shop("24/03/dow3.ntx")};
    const std::string xbtool = (testing_support::binDir() / "xbtool").string();
    ASSERT_TRUE(std::filesystem::exists(xbtool)) << "build the xbtool target first";
    std::string one = "'" + xbtool + "' append '" + table + "'";
    for (const auto& ix : indexes) one += " --index '" + ix + "'";
    one += " --repeat 500 RD=ZZ 'NRD={i}' 'ODB={pid}' MAG=1 'INDEKS=P{i}' DATA=20240320 LP=1";
    std::string out;
    ASSERT_EQ(testing_support::runCommand(
                  "(" + one + " & " + one + " & " + one + " & " + one + " & wait) 2>&1", &out),
              0)
        << out;
    EXPECT_EQ(out, "");

    auto dbf = DbfFile::open(table, SharedFile::Mode::Shared, "dow");
    ASSERT_EQ(dbf->recordCount(), 60u + 2000u);
    std::set<std::pair<std::string, std::string>> rows;
    std::set<std::string> pids;
    Table::open(table, "dow", false);  // the file is sound for a table too
    auto t = Table::open(table, "dow", false);
    for (uint32_t r = 61; r <= 2060; ++r) {
        t->goTo(r);
        ASSERT_EQ(t->get("RD").text, "ZZ ") << r;
        rows.emplace(t->get("ODB").text, t->get("NRD").text);
        pids.insert(t->get("ODB").text);
    }
    EXPECT_EQ(rows.size(), 2000u);
    EXPECT_EQ(pids.size(), 4u);
    t->close();
    xbase_testing::expectIndexesSound(table, indexes);
    // Shared appends leave the header count right and write no end-of-file byte.
    const std::string bytes = testing_support::readFile(table);
    EXPECT_EQ(bytes.size(), 706u + 2060u * 168u);
}

// Header words and index pages written through mappings and through write calls meet in one file: two
// processes of each kind append at the same time, and every row and every key arrives.
TEST(Locks, MappedAndCalledHeaderWritesMeet) {
    Shop shop;
    const std::string table = shop("24/03/dow.dbf");
    const std::vector<std::string> indexes = {shop("24/03/dow1.ntx"), shop("24/03/dow2.ntx"),
                                              shop("24/03/dow3.ntx")};
    constexpr int kRows = 800;  // a mapped writer lets go of its written pages more than once
    std::vector<pid_t> children;
    for (int child = 0; child < 4; ++child) {
        pid_t pid = fork();
        if (pid == 0) {
            int rc = 99;
            try {
                const bool mapped = child % 2 == 0;
                SharedFile::allowMapping(mapped);
                auto t = Table::open(table, "dow", false);
                for (const auto& ix : indexes) t->attachIndex(ix, ix);
                for (int i = 0; i < kRows; ++i) {
                    t->appendBlank();
                    t->put("RD", core::Value::ofText("ZZ"));
                    t->put("NRD", core::Value::ofText(std::to_string(child * kRows + i)));
                    t->put("INDEKS", core::Value::ofText("P" + std::to_string(i)));
                    t->put("MAG", core::Value::ofText("1"));
                    t->unlock();
                }
                rc = 0;
            } catch (...) {
            }
            _exit(rc);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    SharedFile::allowMapping(true);
    auto t = Table::open(table, "dow", false);
    ASSERT_EQ(t->recordCount(), 60u + 4 * kRows);
    std::set<std::string> numbers;
    for (uint32_t r = 61; r <= t->recordCount(); ++r) {
        t->goTo(r);
        numbers.insert(t->get("NRD").text);
    }
    EXPECT_EQ(numbers.size(), 4u * kRows);
    t->close();
    xbase_testing::expectIndexesSound(table, indexes);
    EXPECT_EQ(testing_support::readFile(table).size(), 706u + (60u + 4 * kRows) * 168u);
}

}  // namespace
