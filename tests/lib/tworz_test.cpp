#include "lib/tworz.h"

#include <gtest/gtest.h>

#include "platform/core/error.h"
#include "platform/os/files.h"
#include "platform/os/path.h"
#include "support/harness.h"

using testing_support::Harness;
using testing_support::OtherProcess;
using testing_support::readFile;

namespace {

const char kRegisterStructure[] =
    "velto\\velto,PKASA      ,C, 2,  0,POPIS      ,C,26,  0,PPORT      ,N, 2,  0,PTYP_KASY  ,C, 1,  0";

std::vector<std::string> fieldsOf(const std::string& path) {
    auto t = xbase::Table::open(path, path, false);
    std::vector<std::string> out;
    for (auto& f : t->layout().fields)
        out.push_back(f.name + ":" + f.type + std::to_string(f.length) + "." + std::to_string(f.decimals));
    return out;
}

}  // namespace

TEST(Tworz, CreatesAnEmptyTableAndRemovesTheScratchTable) {
    Harness h;
    os::makeDirectory("velto");
    h.areas.select(99);
    ASSERT_TRUE(TWORZ(h.ctx, kRegisterStructure, true, 5));
    EXPECT_EQ(h.areas.current(), 99);
    EXPECT_FALSE(os::exists("strukt05.dbf"));
    EXPECT_EQ(fieldsOf("velto/velto.dbf"),
              (std::vector<std::string>{"PKASA:C2.0", "POPIS:C26.0", "PPORT:N2.0", "PTYP_KASY:C1.0"}));
    std::string report;
    EXPECT_EQ(testing_support::xbcheck("dbf velto/velto.dbf", &report), 0) << report;

    // With a trailing comma the same table comes out.
    std::string first = readFile("velto/velto.dbf").substr(32);
    ASSERT_TRUE(TWORZ(h.ctx, std::string(kRegisterStructure) + ",", true, 5));
    EXPECT_EQ(readFile("velto/velto.dbf").substr(32), first);
}

TEST(Tworz, ReplacesAnOpenTableInTheCurrentSlot) {
    Harness h;
    os::makeDirectory("velto");
    h.areas.select(99);
    ASSERT_TRUE(TWORZ(h.ctx, kRegisterStructure, true, 1));
    ASSERT_EQ(h.areas.use("velto/velto.dbf", "velto\\velto.dbf", "velto", true), xbase::WorkAreas::OpenResult::Opened);
    h.areas.table().appendBlank();
    h.areas.table().put("PKASA", core::Value::ofText("01"));
    ASSERT_TRUE(TWORZ(h.ctx, "velto\\velto,PKASA,C,2,0,NOWE,N,10,2", true, 1));
    EXPECT_FALSE(h.areas.used(99));  // closed to be replaced
    EXPECT_EQ(fieldsOf("velto/velto.dbf"), (std::vector<std::string>{"PKASA:C2.0", "NOWE:N10.2"}));
    EXPECT_EQ(xbase::Table::open("velto/velto.dbf", "v", false)->recordCount(), 0u);
}

TEST(Tworz, ScratchNamesCountUpPastOnesHeldElsewhere) {
    Harness h;
    testing_support::writeFile("strukt03.dbf", "left by a crashed run");
    ASSERT_TRUE(TWORZ(h.ctx, "a,X,C,1,0", true, 3));
    EXPECT_FALSE(os::exists("strukt03.dbf"));

    auto scratch = xbase::Table::create("strukt04.dbf", "strukt04.dbf", {{"X", 'C', 1, 0}});
    scratch.reset();
    OtherProcess holder([] { xbase::Table::open("strukt04.dbf", "strukt04.dbf", true).release(); });
    ASSERT_TRUE(TWORZ(h.ctx, "b,X,C,1,0", true, 4));
    EXPECT_TRUE(os::exists("strukt04.dbf"));   // the other process's file is left alone
    EXPECT_FALSE(os::exists("strukt05.dbf"));  // ours was made and erased
    EXPECT_TRUE(os::exists("b.dbf"));
}

TEST(Tworz, MalformedStructureIsAFatalError) {
    for (const char* text : {"t,A,C,x,0", "t,A,Q,1,0", "t,A,C,1", "t", "t,AVERYLONGNAME,C,1,0"}) {
        Harness h;
        EXPECT_THROW(TWORZ(h.ctx, text, true, 1), core::RuntimeError) << text;
    }
}
