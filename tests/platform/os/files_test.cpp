#include "platform/os/files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

#include "support/test_support.h"

namespace fs = std::filesystem;
using testing_support::ChangeDir;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(OsFiles, ExistenceSizeAndDirectories) {
    TempDir dir;
    ChangeDir cd(dir.path());
    fs::create_directory("Velto");
    writeFile("Velto/Error.txt", "2;5;");

    EXPECT_TRUE(os::exists("VELTO\\ERROR.TXT"));
    EXPECT_FALSE(os::exists("velto"));  // a directory is no file
    EXPECT_FALSE(os::exists("velto\\data_out.txt"));
    EXPECT_TRUE(os::directoryExists("velto"));
    EXPECT_FALSE(os::directoryExists("velto\\error.txt"));
    EXPECT_EQ(os::fileSize("velto\\error.txt"), 4);
    EXPECT_EQ(os::fileSize("velto\\none.txt"), -1);
    EXPECT_EQ(os::fileSize("velto"), -1);

    EXPECT_TRUE(os::makeDirectory("VELTO_SD"));
    EXPECT_TRUE(fs::is_directory("velto_sd"));
    EXPECT_TRUE(os::makeDirectory("Velto_SD"));  // already there: still true
    EXPECT_FALSE(os::makeDirectory("no\\parent"));
    EXPECT_FALSE(os::makeDirectory("velto\\error.txt"));
}

TEST(OsFiles, Erase) {
    TempDir dir;
    ChangeDir cd(dir.path());
    fs::create_directory("velto");
    writeFile("velto/AS2000.NTX", "x");
    EXPECT_TRUE(os::erase("velto\\as2000.ntx"));
    EXPECT_FALSE(fs::exists("velto/AS2000.NTX"));
    EXPECT_FALSE(os::erase("velto\\as2000.ntx"));
    EXPECT_FALSE(os::erase("velto"));
    EXPECT_TRUE(fs::is_directory("velto"));
}

TEST(OsFiles, AFileHeldOpenElsewhereIsNotErased) {
    TempDir dir;
    ChangeDir cd(dir.path());
    writeFile("velto.dbf", "table");
    {
        testing_support::OtherProcess holder([] {
            int fd = ::open("velto.dbf", O_RDWR);
            ::flock(fd, LOCK_SH);  // as a shared table open holds it
        });
        EXPECT_FALSE(os::erase("velto.dbf"));
        EXPECT_EQ(readFile("velto.dbf"), "table");
    }
    EXPECT_TRUE(os::erase("velto.dbf"));
}

TEST(OsFiles, RenameNeverReplaces) {
    TempDir dir;
    ChangeDir cd(dir.path());
    writeFile("A.TXT", "first");
    writeFile("b.txt", "second");

    EXPECT_FALSE(os::rename("a.txt", "B.TXT"));
    EXPECT_EQ(readFile("A.TXT"), "first");
    EXPECT_EQ(readFile("b.txt"), "second");

    EXPECT_FALSE(os::rename("missing.txt", "c.txt"));
    EXPECT_FALSE(fs::exists("c.txt"));

    EXPECT_TRUE(os::rename("a.txt", "a.TXT"));  // the same file under another spelling
    EXPECT_EQ(readFile("A.TXT"), "first");

    fs::create_directory("Sub");
    EXPECT_TRUE(os::rename("a.txt", "SUB\\C.TXT"));
    EXPECT_FALSE(fs::exists("A.TXT"));
    EXPECT_EQ(readFile("Sub/c.txt"), "first");
}

TEST(OsFiles, CopyReplacesTheTargetButNeverItself) {
    TempDir dir;
    ChangeDir cd(dir.path());
    std::string bytes(200000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 256);
    writeFile("DATA_OUT.TXT", bytes);
    writeFile("copy.out", std::string(300000, 'x'));

    EXPECT_TRUE(os::copy("data_out.txt", "COPY.OUT"));
    EXPECT_EQ(readFile("copy.out"), bytes);
    EXPECT_TRUE(os::copy("data_out.txt", "NEW.OUT"));
    EXPECT_EQ(readFile("new.out"), bytes);

    EXPECT_FALSE(os::copy("Data_Out.txt", "DATA_OUT.TXT"));
    EXPECT_EQ(readFile("DATA_OUT.TXT"), bytes);
    EXPECT_FALSE(os::copy("missing.txt", "x.out"));
    EXPECT_FALSE(fs::exists("x.out"));
    EXPECT_FALSE(os::copy("data_out.txt", "nodir\\x.out"));
}

TEST(OsFiles, ComputerNameAndEnvironment) {
    std::string saved = os::environment("COMPUTERNAME");
    bool had = ::getenv("COMPUTERNAME") != nullptr;

    ::setenv("COMPUTERNAME", "KASA2", 1);
    EXPECT_EQ(os::computerName(), "KASA2");
    EXPECT_EQ(os::environment("COMPUTERNAME"), "KASA2");

    ::unsetenv("COMPUTERNAME");
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(os::computerName(), host);
    EXPECT_EQ(os::environment("COMPUTERNAME"), "");

    if (had) ::setenv("COMPUTERNAME", saved.c_str(), 1);
}
