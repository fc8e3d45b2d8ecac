// Open tables: moving through records and indexes past deleted rows, seeking, keeping every index up to
// date through changes, relations, copying, appending from another table, zap and INDEX ON.
#include "platform/xbase/table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>

#include "platform/core/cp852.h"
#include "platform/core/error.h"
#include "platform/os/clock.h"
#include "platform/xbase/dbf.h"
#include "platform/xbase/ntx.h"
#include "platform/xbase/workareas.h"
#include "table_fixture.h"

namespace {

using namespace xbase;
using core::RuntimeError;
using core::Value;
using xbase_testing::expectIndexesSound;
using xbase_testing::Shop;

Value text(const std::string& s) {
    return Value::ofText(s);
}

// Six records keyed C A E B D F; the ones keyed C, A, D and F are deleted, so both ends of both orders
// are deleted rows: natural order sees records 3, 4; key order sees B(4), E(3).
struct SmallTable {
    testing_support::TempDir dir;
    std::unique_ptr<Table> table;
    explicit SmallTable(bool shared = false) {
        const std::string path = (dir / "small.dbf").string();
        {
            auto t = Table::create(path, "small", {{"K", 'C', 2}, {"N", 'N', 5, 1}});
            const char* keys = "CAEBDF";
            for (int i = 0; i < 6; ++i) {
                t->appendBlank();
                t->put("K", text(std::string(1, keys[i])));
                t->put("N", Value::ofNumber(i + 1));
                if (std::string("CADF").find(keys[i]) != std::string::npos) t->deleteRecord();
            }
            EXPECT_TRUE(t->indexOn((dir / "small.ntx").string(), "small.ntx", "K"));
            t->close();
        }
        table = Table::open(path, "small", !shared);
        EXPECT_TRUE(table->attachIndex((dir / "small.ntx").string(), "small.ntx"));
    }
};

struct Walk {
    int order;
    uint32_t first, last;
};

TEST(Table, SkipsDeletedRecordsBothWaysInBothOrders) {
    SmallTable small;
    Table& t = *small.table;
    for (const Walk& w : {Walk{0, 3, 4}, Walk{1, 4, 3}}) {
        SCOPED_TRACE(w.order);
        t.setOrder(w.order);
        t.goTop();
        EXPECT_EQ(t.recno(), w.first);
        EXPECT_FALSE(t.bof());
        t.skip(1);
        EXPECT_EQ(t.recno(), w.last);
        t.skip(1);
        EXPECT_TRUE(t.eof());
        EXPECT_EQ(t.recno(), 7u);
        EXPECT_EQ(t.get("K").text, "  ");
        t.skip(1);  // stays at the end
        EXPECT_TRUE(t.eof());
        t.skip(-1);  // back from the end: the last visible record
        EXPECT_FALSE(t.eof());
        EXPECT_EQ(t.recno(), w.last);
        t.skip(-1);
        EXPECT_EQ(t.recno(), w.first);
        t.skip(-1);  // before the first: bof, still on the first
        EXPECT_TRUE(t.bof());
        EXPECT_EQ(t.recno(), w.first);
        EXPECT_EQ(t.get("K").text, std::string(w.first == 3 ? "E " : "B "));
        t.skip(5);
        EXPECT_TRUE(t.eof());
        t.goBottom();
        EXPECT_EQ(t.recno(), w.last);
        t.skip(-2);
        EXPECT_TRUE(t.bof());
        EXPECT_EQ(t.recno(), w.first);
        t.goTo(2);  // goTo reaches deleted records
        EXPECT_TRUE(t.deleted());
        t.skip(1);
        EXPECT_EQ(t.recno(), w.order == 0 ? 3u : 4u);
    }
}

TEST(Table, AllRecordsDeletedIsEofAndBof) {
    SmallTable small;
    Table& t = *small.table;
    for (uint32_t r : {3u, 4u}) {
        t.goTo(r);
        t.deleteRecord();
    }
    for (int order : {0, 1}) {
        t.setOrder(order);
        t.goTop();
        EXPECT_TRUE(t.eof());
        EXPECT_TRUE(t.bof());
        t.goBottom();
        EXPECT_TRUE(t.eof());
        EXPECT_EQ(t.recno(), 7u);
    }
}

struct SeekCase {
    std::string key;
    bool soft;
    bool found;
    uint32_t recno;  // 7: eof
};

TEST(Table, SeekExactAndSoftPassOverDeletedRecords) {
    SmallTable small;
    Table& t = *small.table;
    const std::vector<SeekCase> cases = {
        {"B", false, true, 4},  {"B", true, true, 4},  {"B ", false, true, 4},  // the key is "B "
        {"C", false, false, 7}, {"C", true, false, 3},                          // only on a deleted record
        {"D", true, false, 3},  {"A", true, false, 4}, {"Z", true, false, 7},
        {"", false, true, 4},   {"E", false, true, 3}, {"F", false, false, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("seek \"" + c.key + "\" soft " + std::to_string(c.soft));
        EXPECT_EQ(t.seek(text(c.key), c.soft), c.found);
        EXPECT_EQ(t.found(), c.found);
        EXPECT_EQ(t.recno(), c.recno);
        EXPECT_EQ(t.eof(), c.recno == 7);
    }
    t.seek(text("B"));
    t.skip(1);  // a move after a seek goes on in key order and forgets the find
    EXPECT_EQ(t.recno(), 3u);
    EXPECT_FALSE(t.found());
    t.setOrder(0);
    EXPECT_THROW(t.seek(text("B")), RuntimeError);
}

TEST(Table, SeekByNumberAndDateKeys) {
    testing_support::TempDir dir;
    auto t = Table::create((dir / "n.dbf").string(), "n", {{"ILE", 'N', 8, 2}, {"DAT", 'D', 8}});
    const double values[] = {3.5, -2, 10.25, -7.75, 0};
    for (int i = 0; i < 5; ++i) {
        t->appendBlank();
        t->put("ILE", Value::ofNumber(values[i]));
        t->put("DAT", Value::ofDate(core::Date::fromYmd(2024, 3, 10 - i)));
    }
    ASSERT_TRUE(t->indexOn((dir / "n1.ntx").string(), "n1", "ILE"));
    std::vector<uint32_t> order;
    for (t->goTop(); !t->eof(); t->skip()) order.push_back(t->recno());
    EXPECT_EQ(order, (std::vector<uint32_t>{4, 2, 5, 1, 3}));
    EXPECT_TRUE(t->seek(Value::ofNumber(-2)));
    EXPECT_EQ(t->recno(), 2u);
    EXPECT_FALSE(t->seek(Value::ofNumber(4), true));
    EXPECT_EQ(t->recno(), 3u);
    ASSERT_TRUE(t->indexOn((dir / "n2.ntx").string(), "n2", "DAT"));
    EXPECT_TRUE(t->seek(Value::ofDate(core::Date::fromYmd(2024, 3, 8))));
    EXPECT_EQ(t->recno(), 3u);
    t->close();
    expectIndexesSound((dir / "n.dbf").string(), {(dir / "n1.ntx").string(), (dir / "n2.ntx").string()});
}

// The record order of an index, read through the table, is the checker's order without deleted records.
TEST(Table, FixtureIndexesReadInTheCheckersOrder) {
    for (const auto& fixture : xbase_testing::fixtureTables()) {
        const auto dir = testing_support::fixtureDir();
        auto table = Table::open((dir / fixture.table).string(), fixture.table, false);
        for (const auto& index : fixture.indexes) {
            ASSERT_TRUE(table->attachIndex((dir / index).string(), index));
            table->setOrder(table->indexCount());
            std::string out;
            ASSERT_EQ(testing_support::xbcheck("keys '" + (dir / index).string() + "'", &out), 0);
            std::vector<uint32_t> expected, ours;
            std::istringstream lines(out);
            for (std::string line; std::getline(lines, line);) {
                auto tab = line.find('\t');
                if (tab == std::string::npos || line.find_first_not_of("0123456789") != tab) continue;
                auto recno = static_cast<uint32_t>(std::stoul(line.substr(0, tab)));
                table->goTo(recno);
                if (!table->deleted()) expected.push_back(recno);
            }
            for (table->goTop(); !table->eof(); table->skip()) ours.push_back(table->recno());
            EXPECT_EQ(ours, expected) << index;
            std::vector<uint32_t> backwards;
            for (table->goBottom(); !table->bof() && !table->eof(); table->skip(-1))
                backwards.insert(backwards.begin(), table->recno());
            EXPECT_EQ(backwards, expected) << index;
        }
    }
}

// Appends, changes that re-key, deletes and recalls through a table with all its indexes: both
// checkers accept every index afterwards, in shared and in exclusive mode.
TEST(Table, EveryIndexFollowsEveryKindOfChange) {
    using namespace core::literals;
    for (bool exclusive : {false, true}) {
        SCOPED_TRACE(exclusive ? "exclusive" : "shared");
        Shop shop;
        WorkAreas areas;
        areas.select(2);
        std::vector<TableFile> indexes;
        for (const char* n : {"as.ntx", "as2.ntx", "as3.ntx"})
            indexes.push_back({shop(std::string("24/03/") + n), n});
        ASSERT_EQ(areas.use(shop("24/03/as.dbf"), "24\\03\\as", "as", exclusive, indexes),
                  WorkAreas::OpenResult::Opened);
        Table& as = areas.table();
        // Re-key every few records, walking in record order.
        as.setOrder(0);
        int visited = 0;
        for (as.goTop(); !as.eof(); as.skip()) {
            ++visited;
            ASSERT_TRUE(as.tryLockRecord());
            if (as.recno() % 3 == 0) as.put("MAG", text(as.get("MAG").text == "1" ? "2" : "1"));
            if (as.recno() % 4 == 0) as.put("NAZWA", text(std::string("Żółta "_cp) + as.get("NAZWA").text));
            if (as.recno() % 5 == 0) as.put("KOD13", text("590" + std::to_string(as.recno() * 7919)));
        }
        EXPECT_EQ(visited, 57);
        as.goTo(10);
        as.deleteRecord();
        as.goTo(21);  // deleted in the fixture
        as.recall();
        for (int i = 0; i < 30; ++i) {
            ASSERT_TRUE(as.tryAppendBlank());
            as.put("MAG", text(i % 2 ? "1" : "2"));
            as.put("INDEKS", text("NEW" + std::to_string(i)));
            as.put("NAZWA", text(std::string("Nowy towar "_cp) + std::to_string(i % 7)));
            if (i % 3) as.put("KOD13", text(std::to_string(5900000000000LL + i * 13)));
        }
        as.appendBlank();  // left blank
        as.goTo(61);
        as.put("INDEKS", text("RENAMED"));  // a new record changed again before it was written
        as.commit();
        EXPECT_EQ(as.recordCount(), 91u);
        areas.closeAll();
        std::vector<std::string> paths;
        for (const auto& ix : indexes) paths.push_back(ix.path);
        expectIndexesSound(shop("24/03/as.dbf"), paths);

        // What was written is what is read back through the indexes.
        ASSERT_EQ(areas.use(shop("24/03/as.dbf"), "as", "as", false, indexes), WorkAreas::OpenResult::Opened);
        EXPECT_TRUE(areas.table().seek(text("2RENAMED"), false));
        EXPECT_EQ(areas.table().recno(), 61u);
    }
}

// Exclusive mode holds changed index pages in memory: a commit leaves table and indexes sound in the
// files while the table stays open, and so does close after further changes.
TEST(Table, ExclusiveChangesReachTheFilesAtCommitAndClose) {
    Shop shop;
    const std::string table = shop("24/03/dow.dbf");
    const std::vector<std::string> indexes = {shop("24/03/dow1.ntx"), shop("24/03/dow2.ntx"),
                                              shop("24/03/dow3.ntx")};
    auto dow = Table::open(table, "dow", true);
    for (const auto& ix : indexes) ASSERT_TRUE(dow->attachIndex(ix, ix));
    auto appendRows = [&](int from, int count) {
        for (int i = from; i < from + count; ++i) {
            dow->appendBlank();
            dow->put("RD", text("WZ"));
            dow->put("NRD", text(std::to_string(500 - i)));  // descending: splits on the left
            dow->put("MAG", text(i % 2 ? "1" : "2"));
            dow->put("INDEKS", text("X" + std::to_string(i * 7 % 101)));
            dow->put("DATA", Value::ofDate(core::Date::fromYmd(2024, 3, 1 + i % 28)));
        }
    };
    appendRows(0, 300);
    dow->commit();
    std::string out;  // the independent checker reads the files while we hold them
    EXPECT_EQ(
        testing_support::xbcheck(
            "ntx --with-dbf " + xbase_testing::quoted(table) + xbase_testing::joinQuoted(indexes), &out),
        0)
        << out;
    for (uint32_t r = 1; r <= 60; r += 3) {  // re-key rows of the fixture
        dow->goTo(r);
        dow->put("NRD", text("Z" + std::to_string(r)));
    }
    appendRows(300, 100);
    dow->close();
    expectIndexesSound(table, indexes);
}

TEST(Table, RelationPositionsTheChildByAnExactSeek) {
    Shop shop;
    WorkAreas areas;
    areas.select(2);
    ASSERT_EQ(areas.use(shop("24/03/as.dbf"), "as", "as", false, {{shop("24/03/as.ntx"), "as"}}),
              WorkAreas::OpenResult::Opened);
    Table& as = areas.table();
    as.goTo(21);
    ASSERT_TRUE(as.deleted());
    const std::string deletedKey = as.get("MAG").text + as.get("INDEKS").text;
    as.goTo(1);
    const std::string firstKey = as.get("MAG").text + as.get("INDEKS").text;
    as.skip();
    const uint32_t secondRecno = as.recno();
    const std::string secondKey = as.get("MAG").text + as.get("INDEKS").text;

    areas.select(4);
    ASSERT_EQ(areas.create(shop("rob/d01.dbf"), "rob\\d01", "dd", {{"MAG", 'C', 1}, {"INDEKS", 'C', 8}}),
              WorkAreas::OpenResult::Opened);
    Table& dd = areas.table();
    for (const auto& key : {firstKey, std::string("9NOSUCH"), deletedKey, secondKey}) {
        dd.appendBlank();
        dd.put("MAG", text(key.substr(0, 1)));
        dd.put("INDEKS", text(key.substr(1)));
    }
    dd.setRelation(as, "mag+indeks");
    const uint32_t past = as.recordCount() + 1;
    const std::vector<uint32_t> expected = {1, past, past, secondRecno};
    std::vector<uint32_t> seen;
    for (dd.goTop(); !dd.eof(); dd.skip()) {
        seen.push_back(as.recno());
        EXPECT_EQ(as.eof(), as.recno() == past);
        EXPECT_EQ(as.found(), as.recno() != past);
    }
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(as.eof());  // the parent at its end puts the child at its end
    dd.goTo(4);
    EXPECT_EQ(as.recno(), secondRecno);
    areas.close(2);  // closing the child drops the relation
    dd.goTop();
    EXPECT_EQ(dd.recno(), 1u);
}

TEST(Table, CopyToAndAppendFrom) {
    Shop shop;
    auto as = Table::open(shop("24/03/as.dbf"), "as", false);
    ASSERT_TRUE(as->attachIndex(shop("24/03/as3.ntx"), "as3"));  // by name
    std::vector<std::string> names;
    for (as->goTop(); !as->eof(); as->skip()) names.push_back(as->get("NAZWA").text);
    ASSERT_EQ(names.size(), 57u);

    EXPECT_EQ(as->copyTo(shop("rob/as_01.dbf"), "rob\\as_01", {"nazwa", "MAG", "CENA0"}), 57u);
    EXPECT_TRUE(as->eof());
    EXPECT_THROW(as->copyTo(shop("rob/bad.dbf"), "bad", {"NOSUCH"}), RuntimeError);
    auto copy = Table::open(shop("rob/as_01.dbf"), "as_01", true);
    ASSERT_EQ(copy->layout().fields.size(), 3u);
    EXPECT_EQ(copy->layout().fields[0].name, "NAZWA");
    EXPECT_EQ(copy->layout().fields[2].decimals, 4);
    std::vector<std::string> copied;
    for (copy->goTop(); !copy->eof(); copy->skip()) copied.push_back(copy->get("NAZWA").text);
    EXPECT_EQ(copied, names);
    copy->close();
    std::string out;
    EXPECT_EQ(testing_support::xbcheck("dbf '" + shop("rob/as_01.dbf") + "'", &out), 0) << out;

    // Append from: fields matched by name, others blank, a field of another type left blank.
    auto target =
        Table::create(shop("rob/x.dbf"), "x",
                      {{"INDEKS", 'C', 5}, {"CENA0", 'N', 10, 2}, {"NAZWA", 'N', 3}, {"EXTRA", 'C', 4}});
    target->appendBlank();
    target->put("EXTRA", text("kept"));
    EXPECT_EQ(target->appendFrom(shop("24/03/as.dbf"), "as"), 57u);
    EXPECT_EQ(target->recordCount(), 58u);
    target->goTo(2);
    as->setOrder(0);
    as->goTop();
    EXPECT_EQ(target->get("INDEKS").text, as->get("INDEKS").text.substr(0, 5));
    EXPECT_EQ(target->get("CENA0").number, std::round(as->get("CENA0").number * 100) / 100);
    EXPECT_EQ(target->get("NAZWA").number, 0);
    EXPECT_EQ(target->get("EXTRA").text, "    ");
    target->goTo(1);
    EXPECT_EQ(target->get("EXTRA").text, "kept");
}

TEST(Table, ZapEmptiesTableAndIndexes) {
    Shop shop;
    const std::vector<std::string> indexes = {shop("24/03/dow1.ntx"), shop("24/03/dow2.ntx"),
                                              shop("24/03/dow3.ntx")};
    {
        auto shared = Table::open(shop("24/03/dow.dbf"), "dow", false);
        EXPECT_THROW(shared->zap(), RuntimeError);
    }
    auto dow = Table::open(shop("24/03/dow.dbf"), "dow", true);
    for (const auto& ix : indexes) ASSERT_TRUE(dow->attachIndex(ix, ix));
    dow->goTo(3);
    dow->put("RD", text("XX"));  // pending: goes with the rest
    dow->zap();
    EXPECT_EQ(dow->recordCount(), 0u);
    EXPECT_TRUE(dow->eof() && dow->bof());
    dow->appendBlank();
    dow->put("RD", text("ZZ"));
    dow->close();
    expectIndexesSound(shop("24/03/dow.dbf"), indexes);
    EXPECT_EQ(testing_support::readFile(shop("24/03/dow.dbf")).size(), 706u + 168u + 1u);
}

TEST(Table, ZapThatCannotEmptyAnIndexLeavesTheTableUsable) {
    Shop shop;
    auto dow = Table::open(shop("24/03/dow.dbf"), "dow", true);
    ASSERT_TRUE(dow->attachIndex(shop("24/03/dow1.ntx"), "dow1.ntx"));
    ASSERT_TRUE(dow->attachIndex(shop("24/03/dow2.ntx"), "dow2.ntx"));
    // A child process inherits the open index files and keeps them while the index is rebuilt.
    testing_support::OtherProcess child([] {});
    EXPECT_THROW(dow->zap(), RuntimeError);
    child.release();
    EXPECT_EQ(dow->recordCount(), 0u);
    dow->appendBlank();
    dow->put("RD", text("ZZ"));
    EXPECT_NO_THROW(dow->close());
}

TEST(Table, IndexOnKeySizesFromTheExpression) {
    Shop shop;
    struct Case {
        const char* expression;
        int keySize, decimals;
    };
    for (const Case& c : {Case{"ILOSC", 15, 3}, Case{"CENA0", 14, 4}, Case{"MAG+INDEKS", 9, 0},
                          Case{"DTOS(DATA_PZ)+MAG", 9, 0}, Case{"DATA_SD", 8, 0},
                          Case{"UPPER(NAZWA)+STR(CENA,10,2)", 40, 0}}) {
        SCOPED_TRACE(c.expression);
        const std::string path = shop("24/03/x.ntx");
        auto as = Table::open(shop("24/03/as.dbf"), "as", true);
        ASSERT_TRUE(as->attachIndex(shop("24/03/as.ntx"), "as"));
        ASSERT_TRUE(as->indexOn(path, "x", c.expression));
        EXPECT_EQ(as->indexCount(), 1);  // the others are closed
        EXPECT_EQ(as->index(1).keySize(), c.keySize);
        EXPECT_EQ(as->index(1).keyDecimals(), c.decimals);
        EXPECT_EQ(as->index(1).expression(), c.expression);
        as->close();
        expectIndexesSound(shop("24/03/as.dbf"), {path});
    }
    auto as = Table::open(shop("24/03/as.dbf"), "as", true);
    EXPECT_THROW(as->indexOn(shop("24/03/y.ntx"), "y", "NOSUCH+MAG"), RuntimeError);
}

TEST(Table, PutAtEofChangesNothingAndBadTypesAreErrors) {
    SmallTable small;
    Table& t = *small.table;
    t.goTo(99);
    EXPECT_TRUE(t.eof());
    t.put("K", text("Q"));
    EXPECT_EQ(t.recordCount(), 6u);
    t.goTo(3);
    EXPECT_THROW(t.put("K", Value::ofNumber(1)), RuntimeError);
    EXPECT_THROW(t.put("NOPE", text("x")), RuntimeError);
    EXPECT_EQ(t.get("K").text, "E ");
}

}  // namespace

namespace {

uint32_t le32(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + static_cast<size_t>(i)]);
    return v;
}
void setLe32(std::string& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}
// Where the root page's first item keeps its child page.
size_t firstChildAt(const std::string& ntx) {
    const uint32_t root = le32(ntx, 4);
    const auto slot = static_cast<unsigned char>(ntx[root + 2]) | static_cast<unsigned char>(ntx[root + 3])
                                                                      << 8;
    return root + static_cast<size_t>(slot);
}

struct IndexDamage {
    const char* name;
    std::function<void(std::string&)> apply;
};

// A damaged index is a fatal error naming the index; the table does not open and neither file changes.
TEST(Table, DamagedIndexesAreRefusedNamedAndLeftAlone) {
    const std::vector<IndexDamage> damages = {
        {"root page outside the file", [](std::string& b) { setLe32(b, 4, 1024 * 100); }},
        {"child page outside the file", [](std::string& b) { setLe32(b, firstChildAt(b), 1024 * 100); }},
        {"loop in the tree", [](std::string& b) { setLe32(b, firstChildAt(b), le32(b, 4)); }},
        {"unknown signature",
         [](std::string& b) {
             b[0] = 0;
             b[1] = 1;
         }},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.name);
        Shop shop;
        const std::string index = shop("24/03/as.ntx");
        std::string bytes = testing_support::readFile(index);
        damage.apply(bytes);
        testing_support::writeFile(index, bytes);
        const std::string table = testing_support::readFile(shop("24/03/as.dbf"));
        for (bool exclusive : {false, true}) {
            os::VirtualClock clock(os::LocalTime{2031, 7, 9, 12, 0, 0});  // a header written would show it
            WorkAreas areas;
            areas.setClock(&clock);
            areas.select(2);
            try {
                areas.use(shop("24/03/as.dbf"), "24\\03\\as", "as", exclusive,
                          {{shop("24/03/as2.ntx"), "24\\03\\as2"}, {index, "24\\03\\as"}});
                // Damage deep in the tree shows when the walk reaches it.
                Table& t = areas.table();
                t.setOrder(2);
                for (t.goTop(); !t.eof(); t.skip()) {
                }
                ADD_FAILURE() << "accepted";
            } catch (const RuntimeError& e) {
                EXPECT_EQ(e.kind(), RuntimeError::Kind::Damaged) << e.what();
                EXPECT_EQ(e.file(), "24\\03\\as");
            }
            areas.closeAll();
        }
        EXPECT_EQ(testing_support::readFile(index), bytes);
        EXPECT_EQ(testing_support::readFile(shop("24/03/as.dbf")), table);
    }
}

// Exclusive mode holds index changes back until close; once the index shows damage, what it held and any
// later change stay unwritten: the damaged file is left exactly as it was found.
TEST(Table, IndexFoundDamagedGetsNothingMoreWritten) {
    Shop shop;
    const std::string index = shop("24/03/as.ntx");
    std::string bytes = testing_support::readFile(index);
    ASSERT_EQ(le32(bytes, 4), 3072u);  // the root; its keys from "1SYP00013" on lie in the leaf at 1024
    bytes[1024] = 60;                  // that leaf claims more keys than a page holds
    testing_support::writeFile(index, bytes);
    os::VirtualClock clock(os::LocalTime{2031, 7, 9, 12, 0, 0});
    auto t = Table::open(shop("24/03/as.dbf"), "as", true);
    t->setClock(&clock);
    ASSERT_TRUE(t->attachIndex(index, "as.ntx"));
    auto append = [&](const char* mag, const char* indeks) {
        t->appendBlank();  // writes the record before, with its key
        t->put("MAG", Value::ofText(mag));
        t->put("INDEKS", Value::ofText(indeks));
    };
    append("1", "AAA00001");  // its key goes into the sound leaf, held back
    append("2", "ZZZ00001");  // into the damaged one
    try {
        t->commit();
        ADD_FAILURE() << "damage not seen";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.kind(), RuntimeError::Kind::Damaged);
        EXPECT_EQ(e.file(), "as.ntx");
    }
    append("1", "AAA00002");
    EXPECT_THROW(t->commit(), RuntimeError);  // nor the sound leaf after it
    try {
        t->close();
    } catch (const RuntimeError&) {
    }
    EXPECT_EQ(testing_support::readFile(index), bytes);
}

// Random damage to one file of a fixture table and its indexes (cut short, bytes scrambled, page words
// pointing anywhere): opening and walking every order either works or stops with the engine's own error,
// never anything else, and reading writes nothing to any of the files.
TEST(Table, RandomDamageIsRefusedOrHarmlessAndReadingWritesNothing) {
    struct Set {
        const char* table;
        std::vector<const char*> indexes;
    };
    const Set sets[] = {{"as.dbf", {"as.ntx", "as2.ntx", "as3.ntx"}},
                        {"dow.dbf", {"dow1.ntx", "dow2.ntx", "dow3.ntx"}},
                        {"dowod.dbf", {"dowod1.ntx", "dowod2.ntx"}}};
    Shop shop;
    const std::filesystem::path fixtures = testing_support::fixtureDir() / "24" / "03";
    os::VirtualClock clock(os::LocalTime{2031, 7, 9, 12, 0, 0});  // a header written would show its date
    std::mt19937 rng(2026);
    for (int round = 0; round < 400; ++round) {
        const Set& set = sets[rng() % 3];
        std::vector<std::string> names = {set.table};
        names.insert(names.end(), set.indexes.begin(), set.indexes.end());
        std::vector<std::string> before;
        for (const auto& name : names) before.push_back(testing_support::readFile(fixtures / name));
        const size_t victim = rng() % names.size();
        std::string& bytes = before[victim];
        switch (rng() % 4) {
            case 0:
                bytes.resize(rng() % bytes.size());
                break;
            case 1:
                for (int k = 0; k < 8; ++k) bytes[rng() % bytes.size()] = static_cast<char>(rng());
                break;
            case 2: {  // a page of an index, or the header of the table, half zeroed
                const size_t at = rng() % (bytes.size() / 1024 + 1) * 1024;
                for (size_t k = at; k < std::min(bytes.size(), at + 64); ++k)
                    bytes[k] = static_cast<char>(rng() % 4 == 0 ? rng() : 0);
                break;
            }
            default: {  // a word pointing at a page, anywhere or nowhere
                const size_t at = rng() % (bytes.size() - 4);
                const uint32_t word = rng() % 2 ? rng() % 64 * 1024 : rng();
                std::memcpy(&bytes[at], &word, 4);
            }
        }
        SCOPED_TRACE("round " + std::to_string(round) + ", " + names[victim] + " damaged");
        for (size_t i = 0; i < names.size(); ++i)
            testing_support::writeFile(shop("24/03/" + names[i]), before[i]);
        const bool exclusive = rng() % 2 == 0;
        try {
            auto t = Table::open(shop(std::string("24/03/") + set.table), set.table, exclusive);
            ASSERT_TRUE(t);
            t->setClock(&clock);
            for (const char* index : set.indexes) t->attachIndex(shop(std::string("24/03/") + index), index);
            for (int order = 0; order <= static_cast<int>(set.indexes.size()); ++order) {
                t->setOrder(order);
                for (t->goTop(); !t->eof(); t->skip()) {
                }
                for (t->goBottom(); !t->bof(); t->skip(-1)) {
                }
                if (order > 0) t->seek(Value::ofText("1"), true);
            }
            t->close();
        } catch (const RuntimeError&) {
            // refused: the error names the file; what matters here is that nothing else escapes
        }
        for (size_t i = 0; i < names.size(); ++i)
            ASSERT_EQ(testing_support::readFile(shop("24/03/" + names[i])), before[i]) << names[i];
    }
}

}  // namespace
