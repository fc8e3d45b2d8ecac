// Work areas: numbered slots, aliases, the current slot, opening and closing.
#include "platform/xbase/workareas.h"

#include <gtest/gtest.h>

#include "platform/core/error.h"
#include "platform/os/clock.h"
#include "table_fixture.h"

namespace {

using namespace xbase;
using core::RuntimeError;
using xbase_testing::Shop;

TEST(WorkAreas, SlotsAliasesAndTheCurrentSlot) {
    Shop shop;
    WorkAreas areas;
    EXPECT_EQ(areas.current(), 1);
    areas.select(5);
    ASSERT_EQ(areas.use(shop("24/03/dow.dbf"), "24\\03\\dow", "dow", false), WorkAreas::OpenResult::Opened);
    areas.select(255);
    ASSERT_EQ(areas.use(shop("firma.dbf"), "firma", "firma", false), WorkAreas::OpenResult::Opened);
    EXPECT_THROW(areas.select(256), RuntimeError);
    EXPECT_THROW(areas.select(-1), RuntimeError);
    EXPECT_EQ(areas.current(), 255);

    areas.select(0);  // the lowest free slot
    EXPECT_EQ(areas.current(), 1);
    ASSERT_EQ(areas.use(shop("24/03/pk.dbf"), "pk", "pk", false), WorkAreas::OpenResult::Opened);
    areas.select(0);
    EXPECT_EQ(areas.current(), 2);

    EXPECT_TRUE(areas.select("DOW"));
    EXPECT_EQ(areas.current(), 5);
    EXPECT_EQ(&areas.table(), &areas.table("Dow"));
    EXPECT_EQ(areas.table().displayName(), "24\\03\\dow");
    EXPECT_FALSE(areas.select("nosuch"));
    EXPECT_EQ(areas.current(), 5);
    EXPECT_EQ(areas.slotOf("firma"), 255);
    EXPECT_EQ(areas.alias(255), "firma");
    EXPECT_EQ(areas.find("nosuch"), nullptr);
    EXPECT_THROW(areas.table("nosuch"), RuntimeError);

    // An alias lives in one slot only; reopening a slot replaces what it held.
    areas.select(7);
    EXPECT_THROW(areas.use(shop("24/03/slow.dbf"), "slow", "PK", false), RuntimeError);
    EXPECT_FALSE(areas.used());
    EXPECT_THROW(areas.table(), RuntimeError);
    areas.select("pk");
    ASSERT_EQ(areas.use(shop("24/03/slow.dbf"), "slow", "slow", false), WorkAreas::OpenResult::Opened);
    EXPECT_EQ(areas.slotOf("pk"), 0);
    EXPECT_EQ(areas.slotOf("slow"), 1);

    areas.close(5);
    EXPECT_FALSE(areas.used(5));
    EXPECT_TRUE(areas.used(255));
    areas.closeAll();
    for (int n = 1; n <= WorkAreas::kSlots; ++n) EXPECT_FALSE(areas.used(n));
}

TEST(WorkAreas, MissingFilesAreErrorsAndIndexConflictsLeaveTheSlotEmpty) {
    Shop shop;
    WorkAreas areas;
    try {
        areas.use(shop("24/03/nosuch.dbf"), "24\\03\\nosuch", "x", false);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.kind(), RuntimeError::Kind::Missing);
        EXPECT_EQ(e.file(), "24\\03\\nosuch");
    }
    try {
        areas.use(shop("24/03/pk.dbf"), "pk", "pk", false,
                  {{shop("24/03/nosuch.ntx"), "24\\03\\nosuch.ntx"}});
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.kind(), RuntimeError::Kind::Missing);
        EXPECT_EQ(e.file(), "24\\03\\nosuch.ntx");
    }
    EXPECT_FALSE(areas.used());

    // An index held exclusively elsewhere is a sharing conflict of the whole open.
    auto holder = SharedFile::open(shop("24/03/pk.ntx"), SharedFile::Mode::Exclusive, "pk.ntx");
    ASSERT_TRUE(holder);
    areas.select(1);
    EXPECT_EQ(areas.use(shop("24/03/pk.dbf"), "pk", "pk", false, {{shop("24/03/pk.ntx"), "pk.ntx"}}),
              WorkAreas::OpenResult::Conflict);
    EXPECT_FALSE(areas.used());
    holder.reset();
    EXPECT_EQ(areas.use(shop("24/03/pk.dbf"), "pk", "pk", false, {{shop("24/03/pk.ntx"), "pk.ntx"}}),
              WorkAreas::OpenResult::Opened);
    EXPECT_EQ(areas.table().indexCount(), 1);
    EXPECT_EQ(areas.table().order(), 1);
}

TEST(WorkAreas, AppendsDateTheHeaderByTheClock) {
    Shop shop;
    os::VirtualClock clock(os::LocalTime{2031, 7, 9, 12, 0, 0});
    WorkAreas areas;
    areas.setClock(&clock);
    areas.select(88);
    ASSERT_EQ(areas.use(shop("24/03/pk.dbf"), "pk", "pk", false), WorkAreas::OpenResult::Opened);
    areas.table().appendBlank();
    areas.closeAll();
    const std::string bytes = testing_support::readFile(shop("24/03/pk.dbf"));
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 131u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[2]), 7u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[3]), 9u);
}

}  // namespace
