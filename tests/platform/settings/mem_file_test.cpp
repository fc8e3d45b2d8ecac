#include "platform/settings/mem_file.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <thread>

#include "platform/core/cp852.h"
#include "platform/core/error.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using core::RuntimeError;
using core::Value;
using namespace core::literals;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

const Value* find(const settings::MemEntries& entries, const std::string& name) {
    for (const auto& [n, v] : entries)
        if (n == name) return &v;
    return nullptr;
}

}  // namespace

TEST(MemFile, ReadsTheStockKeepingSystemsFile) {
    auto file = (testing_support::fixtureDir() / "PARAMETR.MEM").string();
    auto entries = settings::readMemFile(file, "PARAMETR.MEM");
    ASSERT_EQ(entries.size(), 19u);
    EXPECT_EQ(entries.front().first, "J_ZAOKRAG");
    EXPECT_EQ(entries.back().first, "J_DATAZAM");

    struct Text {
        const char* name;
        std::string value;
    } texts[] = {
        {"J_VAT", "23"},
        {"J_SD", "SD "},
        {"J_PUSTY", ""},
        {"J_PTUZ", "ZW"},
        {"J_PTUF", " 0"},
        {"J_NAZWA", " TEST SHOP "},
        {"J_OPIS", std::string("Zażółć gęślą jaźń"_cp)},
        {"J_I3", "3"},
    };
    for (const auto& t : texts) {
        const Value* v = find(entries, t.name);
        ASSERT_TRUE(v) << t.name;
        EXPECT_TRUE(v->isText()) << t.name;
        EXPECT_EQ(v->text, t.value) << t.name;
    }
    struct Number {
        const char* name;
        double value;
        int width, decimals;
    } numbers[] = {{"J_POZIOM", 3, 10, 0}, {"J_RABAT", 12.5, 12, 1}, {"J_MINUS", -7.25, 13, 2}};
    for (const auto& n : numbers) {
        const Value* v = find(entries, n.name);
        ASSERT_TRUE(v) << n.name;
        EXPECT_TRUE(v->isNumber()) << n.name;
        EXPECT_EQ(v->number, n.value) << n.name;
        EXPECT_EQ(v->width, n.width) << n.name;
        EXPECT_EQ(v->decimals, n.decimals) << n.name;
    }
    ASSERT_TRUE(find(entries, "J_DATAZAM"));
    EXPECT_EQ(*find(entries, "J_DATAZAM"), Value::ofDate(core::Date::fromYmd(2024, 3, 15)));
    ASSERT_TRUE(find(entries, "J_ZAOKRAG"));
    EXPECT_EQ(*find(entries, "J_ZAOKRAG"), Value::ofLogical(true));
}

TEST(MemFile, WhatIsWrittenReadsBackTheSameHereAndInTheChecker) {
    TempDir dir;
    auto original = (testing_support::fixtureDir() / "PARAMETR.MEM").string();
    auto copy = (dir / "PARAMETR.MEM").string();
    auto entries = settings::readMemFile(original, "PARAMETR.MEM");
    settings::writeMemFile(copy, entries, "PARAMETR.MEM");

    // The stock-keeping system's own file comes out byte for byte.
    EXPECT_EQ(readFile(copy), readFile(original));
    std::string expected, got;
    ASSERT_EQ(testing_support::xbcheck("mem -v '" + original + "'", &expected), 0) << expected;
    ASSERT_EQ(testing_support::xbcheck("mem -v '" + copy + "'", &got), 0) << got;
    EXPECT_EQ(got, expected);

    // Values this program makes itself, the empty date and the longest name among them.
    settings::MemEntries own = {
        {"J_ZAOKRAGL", Value::ofLogical(false)},
        {"J_NAZWA", Value::ofText(std::string(" OBSŁUGA KLOVARNI "_cp))},
        {"J_RAPORTY", Value::ofText(std::string(60, ' '))},
        {"J_PAPIER", Value::ofNumber(10)},
        {"J_NEC_M1", Value::ofNumber(0)},
        {"J_KURS", Value::ofNumber(-4.1234, 15, 4)},
        {"J_PUSTA", Value::ofDate(core::Date())},
        {"J_DATA", Value::ofDate(core::Date::fromYmd(1994, 1, 1))},
        {"J_LONG", Value::ofText(std::string(300, 'x'))},
    };
    auto fresh = (dir / "fresh.mem").string();
    settings::writeMemFile(fresh, own, "fresh.mem");
    auto back = settings::readMemFile(fresh, "fresh.mem");
    ASSERT_EQ(back.size(), own.size());
    for (std::size_t i = 0; i < own.size(); ++i) {
        EXPECT_EQ(back[i].first, own[i].first);
        EXPECT_EQ(back[i].second, own[i].second) << own[i].first;
        if (own[i].second.isNumber()) {
            EXPECT_EQ(back[i].second.width, own[i].second.width) << own[i].first;
            EXPECT_EQ(back[i].second.decimals, own[i].second.decimals) << own[i].first;
        }
    }
    ASSERT_EQ(testing_support::xbcheck("mem -v '" + fresh + "'", &got), 0) << got;
    EXPECT_NE(got.find("J_ZAOKRAGL\tL\t.F.\tlen=1 dec=0 type=0xCC"), std::string::npos) << got;
    EXPECT_NE(got.find("J_KURS\tN\t-4.1234\tlen=15 dec=4 type=0xCE"), std::string::npos) << got;
    EXPECT_NE(got.find("J_DATA\tD\t1994-01-01"), std::string::npos) << got;
    EXPECT_NE(got.find("J_NAZWA\tC\t OBSŁUGA KLOVARNI \tlen=19"), std::string::npos) << got;
    EXPECT_NE(got.find("J_LONG\tC\t" + std::string(300, 'x') + "\tlen=301"), std::string::npos) << got;
}

TEST(MemFile, EntriesThatDoNotFitAreRefusedBeforeTheFileIsTouched) {
    TempDir dir;
    auto file = (dir / "p.mem").string();
    writeFile(file, "keep");
    for (const auto& entries : std::vector<settings::MemEntries>{
             {{"J_NAME_TOO_LONG", Value::ofText("x")}},
             {{"", Value::ofText("x")}},
             {{"J_BIG", Value::ofText(std::string(70000, 'x'))}},
         }) {
        EXPECT_THROW(settings::writeMemFile(file, entries, "p.mem"), RuntimeError);
        EXPECT_EQ(readFile(file), "keep");
    }
}

TEST(MemFile, DamagedFilesAreRefusedAndLeftAsTheyAre) {
    TempDir dir;
    auto good = (dir / "good.mem").string();
    // J_VAT: header at 0, "23\0" at 32; J_PP: header at 35, double at 67; the end byte at 75.
    settings::writeMemFile(good, {{"J_VAT", Value::ofText("23")}, {"J_PP", Value::ofNumber(1)}}, "GOOD.MEM");
    const std::string bytes = readFile(good);
    ASSERT_EQ(bytes.size(), 76u);
    ASSERT_EQ(bytes[75], '\x1A');

    auto patched = [&](std::size_t at, std::string with) {
        return std::string(bytes).replace(at, with.size(), with);
    };
    auto doubleBytes = [](double d) {
        std::string out(8, '\0');
        std::memcpy(out.data(), &d, 8);
        return out;
    };
    struct Case {
        const char* what;
        std::string content;
    } cases[] = {
        {"empty", ""},
        {"cut in a header", bytes.substr(0, 20)},
        {"cut in a text", bytes.substr(0, 33)},
        {"cut in a number", bytes.substr(0, 70)},
        {"no end byte", bytes.substr(0, 75)},
        {"text length past the end", patched(16, std::string("\xF0\x00", 2))},
        {"text length 0", patched(16, std::string("\x00\x00", 2))},
        {"text without its NUL", patched(16, "\x02")},
        {"unknown type byte", patched(11, "\xC1")},
        {"nameless entry", patched(35, std::string(1, '\0'))},
        {"number not finite", patched(67, doubleBytes(std::numeric_limits<double>::quiet_NaN()))},
        {"date not a whole day", patched(46, "\xC4").replace(67, 8, doubleBytes(2451545.5))},
    };
    for (const auto& c : cases) {
        auto file = (dir / "PARAMETR.MEM").string();
        writeFile(file, c.content);
        try {
            settings::readMemFile(file, "PARAMETR.MEM");
            ADD_FAILURE() << c.what << ": read without complaint";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.kind(), RuntimeError::Kind::Damaged) << c.what << ": " << e.what();
            EXPECT_EQ(e.file(), "PARAMETR.MEM") << c.what;
        }
        EXPECT_EQ(readFile(file), c.content) << c.what;
    }

    try {
        settings::readMemFile((dir / "none.mem").string(), "NONE.MEM");
        ADD_FAILURE() << "missing file read";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.kind(), RuntimeError::Kind::Missing);
        EXPECT_EQ(e.file(), "NONE.MEM");
    }
}

TEST(MemFile, WritesOnlyOnceTheOtherHolderHasLetGo) {
    TempDir dir;
    auto file = (dir / "PARAMETR.MEM").string();
    settings::writeMemFile(file, {{"J_VAT", Value::ofText("23")}}, "PARAMETR.MEM");
    const std::string before = readFile(file);

    // Another process reads the file and keeps it for a while.
    int held[2], release[2];
    ASSERT_EQ(::pipe(held), 0);
    ASSERT_EQ(::pipe(release), 0);
    pid_t holder = ::fork();
    if (holder == 0) {
        int fd = ::open(file.c_str(), O_RDONLY);
        char c = ::flock(fd, LOCK_SH) == 0 ? 'y' : 'n';
        (void)!::write(held[1], &c, 1);
        (void)!::read(release[0], &c, 1);
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(held[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');

    std::thread writer([&] {
        settings::writeMemFile(file, {{"J_VAT", Value::ofText("8")}}, "PARAMETR.MEM");
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(readFile(file), before);  // not even truncated while the reader holds it
    (void)!::write(release[1], "x", 1);
    writer.join();
    int status = 0;
    ::waitpid(holder, &status, 0);

    auto entries = settings::readMemFile(file, "PARAMETR.MEM");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].second.text, "8");
}
