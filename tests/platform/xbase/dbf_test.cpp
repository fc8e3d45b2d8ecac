// Table files: reading what the real engine wrote, creating, finishing, and refusing damaged files.
#include "platform/xbase/dbf.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>

#include "platform/core/cp852.h"
#include "platform/core/error.h"
#include "platform/xbase/table.h"
#include "platform/xbase/workareas.h"
#include "table_fixture.h"

namespace {

using namespace xbase;
using core::RuntimeError;
using testing_support::readFile;
using testing_support::writeFile;
using xbase_testing::Shop;

uint32_t u32At(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    return v;
}
void putU32(std::string& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}
void putU16(std::string& bytes, size_t at, uint32_t v) {
    bytes[at] = static_cast<char>(v);
    bytes[at + 1] = static_cast<char>(v >> 8);
}

// The record as the independent checker's dump shows it: text without trailing blanks, numbers trimmed.
std::string dumpLine(const DbfFile& dbf, uint32_t recno, const char* record) {
    std::string line = std::to_string(recno) + "\t" + (record[0] == '*' ? "*" : "");
    for (const auto& f : dbf.layout().fields) {
        std::string s(record + f.offset, static_cast<size_t>(f.length));
        if (f.type == 'N')
            s.erase(0, s.find_first_not_of(' ') == std::string::npos ? s.size() : s.find_first_not_of(' '));
        s.erase(s.find_last_not_of(' ') + 1);
        line += "\t" + core::cp852ToUtf8(s);
    }
    return line + "\n";
}

TEST(DbfFile, ReadsEveryFixtureTableAsTheCheckerDoes) {
    for (const auto& fixture : xbase_testing::fixtureTables()) {
        const std::string path = (testing_support::fixtureDir() / fixture.table).string();
        std::string expected;
        ASSERT_EQ(testing_support::xbcheck("dump --no-header '" + path + "'", &expected), 0) << expected;
        auto dbf = DbfFile::open(path, SharedFile::Mode::Shared, fixture.table);
        ASSERT_TRUE(dbf);
        std::vector<char> record(static_cast<size_t>(dbf->recordLength()));
        std::string ours;
        for (uint32_t r = 1; r <= dbf->recordCount(); ++r) {
            dbf->readRecord(r, record.data());
            ours += dumpLine(*dbf, r, record.data());
        }
        EXPECT_EQ(ours, expected) << fixture.table;
    }
}

TEST(DbfFile, FieldValuesOfTheGoodsTable) {
    auto table = Table::open((testing_support::fixtureDir() / "24/03/dow.dbf").string(), "dow", false);
    ASSERT_TRUE(table);
    table->goTo(4);
    using namespace core::literals;
    EXPECT_EQ(table->get("nazwa").text, std::string("KRóWKI MLECZNA 250G"_cp) + std::string(11, ' '));
    EXPECT_DOUBLE_EQ(table->get("ILOSC").number, -24.0);
    EXPECT_EQ(table->get("ILOSC").decimals, 3);
    EXPECT_EQ(table->get("DATA").date, core::Date::fromYmd(2024, 3, 9));
    EXPECT_FALSE(table->deleted());
    table->goTo(7);
    EXPECT_TRUE(table->deleted());
    try {
        table->get("NOSUCH");
        FAIL() << "an unknown field was read";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.kind(), RuntimeError::Kind::NoField);
        EXPECT_NE(e.description().find("NOSUCH"), std::string::npos);
        EXPECT_EQ(e.file(), "dow");
    }
}

TEST(DbfFile, CreatedTableHasTheStoredLayout) {
    testing_support::TempDir dir;
    const std::string path = (dir / "new.dbf").string();
    std::vector<Field> fields = {{"kod", 'C', 8}, {"ilosc", 'N', 15, 3}, {"data", 'D', 8}, {"jest", 'L', 1}};
    {
        auto table = Table::create(path, "new", fields);
        ASSERT_TRUE(table);
        table->appendBlank();
        table->put("KOD", core::Value::ofText("A1"));
        table->put("ILOSC", core::Value::ofNumber(-2.5));
        table->put("DATA", core::Value::ofDate(core::Date::fromYmd(2024, 3, 15)));
        table->put("JEST", core::Value::ofLogical(true));
        table->close();
    }
    const std::string bytes = readFile(path);
    const size_t headerLength = 32 + 32 * 4 + 2;
    ASSERT_EQ(bytes.size(), headerLength + 33 + 1);
    EXPECT_EQ(bytes[0], 0x03);
    EXPECT_EQ(u32At(bytes, 4), 1u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8, headerLength);
    EXPECT_EQ(bytes[headerLength - 2], 0x0D);
    EXPECT_EQ(bytes[headerLength - 1], 0x00);
    EXPECT_EQ(bytes.substr(headerLength, 33), std::string(" A1      ") + "         -2.500" + "20240315T");
    EXPECT_EQ(bytes.back(), 0x1A);
    std::string out;
    EXPECT_EQ(testing_support::xbcheck("dbf '" + path + "'", &out), 0) << out;
}

TEST(DbfFile, BadFieldListsAreCreationErrors) {
    testing_support::TempDir dir;
    const std::vector<std::vector<Field>> bad = {
        {},
        {{"", 'C', 5}},
        {{"TOOLONGNAME", 'C', 5}},
        {{"A", 'C', 5}, {"a", 'C', 5}},
        {{"A", 'X', 5}},
        {{"A", 'C', 0}},
        {{"A", 'N', 5, 4}},
        {{"A", 'D', 6}},
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        try {
            Table::create((dir / "bad.dbf").string(), "bad", bad[i]);
            ADD_FAILURE() << "field list " << i << " was accepted";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.kind(), RuntimeError::Kind::Creation) << i;
            EXPECT_EQ(e.file(), "bad");
        }
    }
}

// Shared appends leave no end-of-file byte and keep the header count right; an exclusive writer that
// changed the table closes it with 0x1A after the last record.
TEST(DbfFile, EndOfFileByteAndHeaderCount) {
    Shop shop;
    const std::string path = shop("24/03/pk.dbf");
    const std::string before = readFile(path);
    ASSERT_EQ(before.back(), 0x1A);
    const uint32_t count = u32At(before, 4);
    {
        auto table = Table::open(path, "pk", false);
        table->appendBlank();
        table->put("KOD", core::Value::ofText("K1"));
        table->appendBlank();
        table->put("KOD", core::Value::ofText("K2"));
        table->close();
    }
    std::string bytes = readFile(path);
    EXPECT_EQ(u32At(bytes, 4), count + 2);
    const size_t headerLength = 194, recordLength = 107;
    EXPECT_EQ(bytes.size(), headerLength + (count + 2) * recordLength);  // the old 0x1A was overwritten
    EXPECT_EQ(bytes.substr(headerLength + (count + 1) * recordLength, 3), " K2");

    {  // An exclusive open that changes nothing writes nothing.
        auto table = Table::open(path, "pk", true);
        table->goBottom();
        table->close();
    }
    EXPECT_EQ(readFile(path), bytes);
    {
        auto table = Table::open(path, "pk", true);
        table->goTo(1);
        table->put("NAZWA", core::Value::ofText("Zmieniona"));
        table->close();
    }
    bytes = readFile(path);
    EXPECT_EQ(bytes.size(), headerLength + (count + 2) * recordLength + 1);
    EXPECT_EQ(bytes.back(), 0x1A);
    EXPECT_EQ(u32At(bytes, 4), count + 2);
    std::string out;
    EXPECT_EQ(testing_support::xbcheck("dbf '" + path + "'", &out), 0) << out;
}

// A shared appender of the other engine has written its record but not yet the header: the count comes
// from the file size.
TEST(DbfFile, CountComesFromTheFileSizeWhileTheHeaderLags) {
    Shop shop;
    const std::string path = shop("24/03/slow.dbf");
    std::string bytes = readFile(path);
    bytes.pop_back();  // the 0x1A
    bytes += " XX " + std::string(59 - 4, ' ');
    writeFile(path, bytes);
    auto table = Table::open(path, "slow", false);
    EXPECT_EQ(table->recordCount(), 7u);
    table->goBottom();
    EXPECT_EQ(table->recno(), 7u);
    EXPECT_EQ(table->get("RD").text, "XX ");
}

struct Damage {
    const char* name;
    std::function<void(std::string&)> apply;
    const char* says;
};

TEST(DbfFile, DamagedTablesAreRefusedNamedAndLeftAlone) {
    // slow.dbf: 10 fields, header 354, record 59, 6 records.
    const std::vector<Damage> damages = {
        {"record count past the end", [](std::string& b) { putU32(b, 4, 7); }, "record count"},
        {"header length past the file", [](std::string& b) { putU16(b, 8, 60000); }, "header length"},
        {"header length inside the descriptors", [](std::string& b) { putU16(b, 8, 200); }, "header length"},
        {"header length too small", [](std::string& b) { putU16(b, 8, 40); }, "header length"},
        {"record length not the sum of the fields", [](std::string& b) { putU16(b, 10, 58); },
         "record length"},
        {"unknown field type", [](std::string& b) { b[32 + 11] = 'X'; }, "descriptor"},
        {"no terminator", [](std::string& b) { b[352] = 'R'; }, "header length"},
        {"not a table", [](std::string& b) { b[0] = 0x30; }, "dBASE"},
        {"cut short", [](std::string& b) { b.resize(20); }, "header"},
    };
    for (const auto& damage : damages) {
        Shop shop;
        const std::string path = shop("24/03/slow.dbf");
        std::string bytes = readFile(path);
        damage.apply(bytes);
        writeFile(path, bytes);
        for (bool exclusive : {false, true}) {
            WorkAreas areas;
            areas.select(9);
            try {
                areas.use(path, "24\\03\\slow", "slow", exclusive);
                ADD_FAILURE() << damage.name << ": accepted";
            } catch (const RuntimeError& e) {
                EXPECT_EQ(e.kind(), RuntimeError::Kind::Damaged) << damage.name;
                EXPECT_EQ(e.file(), "24\\03\\slow") << damage.name;
                EXPECT_NE(e.description().find(damage.says), std::string::npos)
                    << damage.name << ": " << e.what();
            }
            EXPECT_FALSE(areas.used());
        }
        EXPECT_EQ(readFile(path), bytes) << damage.name;
    }
}

TEST(DbfFile, TableThatShrinksUnderUsIsDamagedAndNotWritten) {
    Shop shop;
    const std::string path = shop("24/03/slow.dbf");
    auto table = Table::open(path, "slow", false);
    std::string bytes = readFile(path);
    bytes.resize(354 + 3 * 59);
    writeFile(path, bytes);
    EXPECT_THROW(table->goBottom(), RuntimeError);
    EXPECT_THROW(table->appendBlank(), RuntimeError);
    table->goTo(1);
    table->put("OPIS", core::Value::ofText("changed"));
    EXPECT_THROW(table->close(), RuntimeError);
    EXPECT_EQ(readFile(path), bytes);
}

}  // namespace
