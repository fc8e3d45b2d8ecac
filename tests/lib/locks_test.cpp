// Bounded-retry opens, record locks and appends against real conflicts from other processes, on virtual
// time.
#include "lib/locks.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/core/error.h"
#include "platform/os/files.h"
#include "platform/os/path.h"
#include "support/harness.h"

using testing_support::Harness;
using testing_support::OtherProcess;

namespace {

void makeTable(const std::string& dosName, int records = 3) {
    os::makeDirectory("velto");
    os::makeDirectory("rob");
    auto t = xbase::Table::create(os::resolve(dosName + ".dbf"), dosName, {{"NAME", 'C', 10, 0}});
    for (int i = 0; i < records; ++i) {
        t->appendBlank();
        t->put("NAME", core::Value::ofText("row" + std::to_string(i + 1)));
    }
    t->close();
}

// Holds a classic (process-owned) fcntl lock, as the stock-keeping system's engine takes its locks.
void classicLock(const std::string& path, off_t offset) {
    int fd = open(path.c_str(), O_RDWR);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = 1;
    if (fcntl(fd, F_SETLK, &fl) != 0) throw std::runtime_error("lock");
}

constexpr off_t kLockBase = 1000000000;

}  // namespace

TEST(NetUse, WaitOfOneMakesExactlyOneAttempt) {
    Harness h;
    makeTable("velto\\velto");
    OtherProcess holder([] { xbase::Table::open("velto/velto.dbf", "velto.dbf", true).release(); });
    std::string during;
    h.clock.onSleep([&](double) { during = h.row(17); });
    auto before = h.screen().dump();
    EXPECT_FALSE(NET_USE(h.ctx, "velto\\velto", "velto", true, 1));
    EXPECT_EQ(h.clock.sleeps(), 1);
    EXPECT_DOUBLE_EQ(h.clock.seconds(), 1.0);
    EXPECT_NE(during.find("Otwieram plik velto\\velto.dbf"), std::string::npos) << during;
    EXPECT_EQ(h.screen().dump(), before);  // the message region is restored
    EXPECT_FALSE(h.areas.used());
}

TEST(NetUse, WaitZeroRetriesUntilTheOtherProcessLetsGo) {
    Harness h;
    makeTable("dane");
    OtherProcess holder([] { xbase::Table::open("dane.dbf", "dane.dbf", true).release(); });
    h.clock.onSleep([&](double elapsed) {
        if (elapsed >= 7) holder.release();
    });
    EXPECT_TRUE(NET_USE(h.ctx, "dane", "dane", false, 0));
    EXPECT_EQ(h.clock.sleeps(), 7);
    EXPECT_TRUE(h.areas.used());
}

TEST(NetUse, ScratchTablesOpenWithoutAMessage) {
    for (const char* name : {"rob\\d01", "strukt05"}) {
        Harness h;
        makeTable(name);
        OtherProcess holder([&] { xbase::Table::open(os::resolve(std::string(name) + ".dbf"), name, false).release(); });
        std::string during;
        h.clock.onSleep([&](double) { during = h.row(17); });
        EXPECT_FALSE(NET_USE(h.ctx, name, "x", true, 2));
        EXPECT_EQ(during.find("Otwieram"), std::string::npos) << name;
        EXPECT_EQ(h.clock.sleeps(), 2);
    }
}

TEST(NetUse, MissingTableIsAFatalErrorWithoutRetries) {
    Harness h;
    EXPECT_THROW(NET_USE(h.ctx, "brak", "brak", false, 20), core::RuntimeError);
    EXPECT_EQ(h.clock.sleeps(), 0);
}

TEST(RecLock, TwentySecondsAreFortyOneAttempts) {
    Harness h;
    makeTable("dane");
    OtherProcess holder([] { classicLock("dane.dbf", kLockBase + 2); });
    ASSERT_TRUE(NET_USE(h.ctx, "dane", "dane", false, 1));
    auto& t = h.areas.table();
    t.goTo(2);
    EXPECT_FALSE(REC_LOCK(h.ctx, 20));
    EXPECT_EQ(h.clock.sleeps(), 40);  // 41 attempts with 40 pauses between them
    EXPECT_DOUBLE_EQ(h.clock.seconds(), 20.0);
    t.goTo(1);
    EXPECT_TRUE(REC_LOCK(h.ctx, 20));
}

TEST(RecLock, KeysShortenThePausesAndAreConsumed) {
    Harness h;
    makeTable("dane");
    OtherProcess holder([] { classicLock("dane.dbf", kLockBase + 1); });
    ASSERT_TRUE(NET_USE(h.ctx, "dane", "dane", false, 1));
    h.areas.table().goTo(1);
    for (int i = 0; i < 5; ++i) h.keys().type('a');
    EXPECT_FALSE(REC_LOCK(h.ctx, 20));
    EXPECT_EQ(h.keys().pendingKeys(), 0u);
    EXPECT_EQ(h.clock.sleeps(), 35);  // five pauses were cut short by a key
}

TEST(AddRec, RefusedWhileAnotherProcessAppends) {
    Harness h;
    makeTable("dane");
    {
        OtherProcess holder([] { classicLock("dane.dbf", kLockBase); });
        ASSERT_TRUE(NET_USE(h.ctx, "dane", "dane", false, 1));
        EXPECT_FALSE(ADD_REC(h.ctx, 1));
        EXPECT_EQ(h.clock.sleeps(), 2);  // three attempts
        EXPECT_EQ(h.areas.table().recordCount(), 3u);
    }
    EXPECT_TRUE(ADD_REC(h.ctx, 1));
    EXPECT_EQ(h.areas.table().recordCount(), 4u);
    EXPECT_EQ(h.areas.table().recno(), 4u);
    EXPECT_TRUE(h.areas.table().recordLocked(4));
}
