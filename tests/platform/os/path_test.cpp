#include "platform/os/path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "env_var.h"
#include "platform/os/files.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using testing_support::ChangeDir;
using testing_support::TempDir;

namespace {

void touch(const fs::path& file) {
    std::ofstream(file) << "x";
}

}  // namespace

TEST(OsResolve, MatchesExistingComponentsWhateverTheirCase) {
    TempDir dir;
    ChangeDir cd(dir.path());
    fs::create_directories("Velto/SUB");
    touch("Velto/Data_Out.TXT");
    touch("Velto/SUB/as.dbf");
    touch("PARAMETR.MEM");

    struct Case {
        const char* dos;
        const char* real;
    } cases[] = {
        {"velto\\data_out.txt", "Velto/Data_Out.TXT"},
        {"VELTO\\DATA_OUT.TXT", "Velto/Data_Out.TXT"},
        {"Velto\\Data_Out.TXT", "Velto/Data_Out.TXT"},
        {"velto/sub/AS.DBF", "Velto/SUB/as.dbf"},
        {"velto\\\\sub\\as.dbf", "Velto/SUB/as.dbf"},  // a doubled separator names nothing more
        {"parametr.mem", "PARAMETR.MEM"},
        {"velto\\", "Velto"},
        // Missing components, and everything below them, are taken in lower case.
        {"VELTO\\DATA_IN.TXT", "Velto/data_in.txt"},
        {"VELTO_SD\\DATA_OUT20240131_142305.OUT", "velto_sd/data_out20240131_142305.out"},
        {"Velto\\New\\Deeper\\X.Txt", "Velto/new/deeper/x.txt"},
        {"\\velto\\data_out.txt", "Velto/Data_Out.TXT"},
    };
    for (const auto& c : cases) EXPECT_EQ(os::resolve(c.dos), c.real) << c.dos;
}

TEST(OsResolve, PrefersTheExactSpellingWhenSeveralExist) {
    TempDir dir;
    ChangeDir cd(dir.path());
    touch("AS.DBF");
    touch("as.dbf");
    touch("Wyr.dbf");
    touch("WYR.dbf");
    EXPECT_EQ(os::resolve("AS.DBF"), "AS.DBF");
    EXPECT_EQ(os::resolve("as.dbf"), "as.dbf");
    EXPECT_EQ(os::resolve("As.Dbf"), "as.dbf");
    EXPECT_EQ(os::resolve("wyr.DBF"), "WYR.dbf");  // first in name order
}

TEST(OsResolve, SeesWhatAnotherProcessCreatedAtOnce) {
    TempDir dir;
    ChangeDir cd(dir.path());
    EXPECT_EQ(os::resolve("ROB\\D01.DBF"), "rob/d01.dbf");
    ASSERT_EQ(testing_support::runCommand("mkdir ROB && touch ROB/D01.DBF"), 0);
    EXPECT_EQ(os::resolve("rob\\d01.dbf"), "ROB/D01.DBF");
}

TEST(OsResolve, DrivesMapToTheirVariable) {
    TempDir dir;
    ChangeDir cd(dir.path());
    fs::create_directories(dir / "drive-c" / "Rob");
    touch(dir / "drive-c" / "ROB.TXT");
    {
        EnvVar c("VELTO_DRIVE_C", (dir / "drive-c").c_str());
        EXPECT_EQ(os::resolve("C:\\ROB.TXT"), (dir / "drive-c" / "ROB.TXT").string());
        EXPECT_EQ(os::resolve("c:\\rob\\d01.dbf"), (dir / "drive-c" / "Rob" / "d01.dbf").string());
        EXPECT_EQ(os::resolve("c:rob.txt"), (dir / "drive-c" / "ROB.TXT").string());
        EXPECT_TRUE(os::exists("C:\\rob.txt"));
    }
    // A drive without its variable does not exist, and nothing can be made on it.
    EnvVar c("VELTO_DRIVE_C", nullptr);
    EnvVar d("VELTO_DRIVE_D", "");
    for (const char* name : {"C:\\ROB.TXT", "c:\\rob", "D:\\x.txt", "1:\\x"}) {
        EXPECT_EQ(os::resolve(name), "") << name;
        EXPECT_FALSE(os::exists(name)) << name;
        EXPECT_FALSE(os::makeDirectory(name)) << name;
    }
    EXPECT_FALSE(fs::exists(dir / "c:"));
}

TEST(OsResolve, RealPathsPassThrough) {
    EXPECT_EQ(os::resolve("./Velto\\X"), "./Velto\\X");
    EXPECT_EQ(os::resolve("/tmp/Some/File"), "/tmp/Some/File");
    EXPECT_EQ(os::resolve(""), "");
}
