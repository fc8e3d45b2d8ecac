#include "lib/fun3.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace fs = std::filesystem;
using testing_support::ChangeDir;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(FileX, ToleratesBlanksAndLetterCase) {
    TempDir dir;
    ChangeDir cd(dir.path());
    fs::create_directories("velto");
    fs::create_directories("Rob");
    writeFile("velto/data_out.xxx", "x");
    writeFile("SD_VELTO.TXT", "FV\r\n");
    writeFile("Rob/Wydruk03.Prn", "x");
    writeFile("a b.txt", "x");

    struct Case {
        const char* name;
        bool found;
    } cases[] = {
        {"velto\\data_out.xxx   ", true},  // padded from a fixed-width field
        {"VELTO\\DATA_OUT.XXX", true},
        {" velto \\ data_out . xxx", true},  // blanks inside go as well
        {"sd_velto.txt", true},
        {"rob\\wydruk03.prn", true},  // a mixed-case name on disk is found too
        {"a b.txt", true},            // the name as given, blank kept
        {"velto\\data_out.txt", false},
        {"velto", false},  // a directory is no file
        {"", false},
        {"   ", false},
    };
    for (const auto& c : cases) EXPECT_EQ(FILE_X(c.name), c.found) << '"' << c.name << '"';
}

TEST(Fun3, BlankRemovalAndTwoDigitNumbers) {
    EXPECT_EQ(USUN_SPACJE(" a b  c "), "abc");
    EXPECT_EQ(USUN_SPACJE("a\tb"), "a\tb");  // only blanks go
    EXPECT_EQ(USUN_SPACJE("   "), "");

    struct Case {
        int n;
        const char* text;
    } cases[] = {{1, "01"},  {7, "07"}, {9, "09"},   {10, "10"},    {42, "42"},
                 {99, "99"}, {0, "00"}, {100, "00"}, {12345, "00"}, {-3, "00"}};
    for (const auto& c : cases) EXPECT_EQ(STR2(c.n), c.text) << c.n;
}
