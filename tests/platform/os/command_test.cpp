#include "platform/os/command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "env_var.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using testing_support::ChangeDir;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

void script(const fs::path& file, const std::string& body) {
    writeFile(file, "#!/bin/sh\n" + body + "\n");
    fs::permissions(file, fs::perms::owner_all);
}

// A program that notes its arguments, one a line, in args.txt and ends with the status of its first one.
const char* kNoteArgs = "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > args.txt\nexit \"${1:-0}\"";

}  // namespace

TEST(OsCommand, RunsTheProgramWithItsWordsTakenLiterally) {
    TempDir dir;
    ChangeDir cd(dir.path());
    script("veltodrv", kNoteArgs);

    EXPECT_EQ(os::runCommand("veltodrv.exe 0 dp=velto if=data_in.txt cp=1 ct=20000 cs=9600"), 0);
    EXPECT_EQ(readFile("args.txt"), "0\ndp=velto\nif=data_in.txt\ncp=1\nct=20000\ncs=9600\n");

    // Only blanks separate words; nothing else means anything to the shell.
    EXPECT_EQ(os::runCommand("  VELTODRV.EXE   7 a;touch${IFS}hacked 'q' \"d\" $HOME `id` >out |x &  "), 7);
    EXPECT_EQ(readFile("args.txt"), "7\na;touch${IFS}hacked\n'q'\n\"d\"\n$HOME\n`id`\n>out\n|x\n&\n");
    EXPECT_FALSE(fs::exists("hacked"));
    EXPECT_FALSE(fs::exists("out"));

    EXPECT_EQ(os::runCommand("start /WAIT veltodrv.exe 3 dp=velto"), 3);
    EXPECT_EQ(readFile("args.txt"), "3\ndp=velto\n");
}

TEST(OsCommand, ExitStatus) {
    TempDir dir;
    ChangeDir cd(dir.path());
    script("killed", "kill -TERM $$");
    struct Case {
        const char* line;
        int status;
    } cases[] = {
        {"true", 0},
        {"false", 1},
        {"killed.exe", 128 + 15},
        {"missing.exe x", 127},
        {"no-such-program-here", 127},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(os::runCommand(c.line), c.status) << c.line;
}

TEST(OsCommand, ScreenIsSuspendedAroundTheRun) {
    TempDir dir;
    ChangeDir cd(dir.path());
    script("veltodrv", kNoteArgs);
    std::vector<std::string> log;
    os::ScreenHooks hooks{[&] { log.push_back(fs::exists("args.txt") ? "suspend after" : "suspend"); },
                          [&] { log.push_back(fs::exists("args.txt") ? "restore" : "restore before"); }};
    EXPECT_EQ(os::runCommand("veltodrv.exe 5", hooks), 5);
    EXPECT_EQ(log, (std::vector<std::string>{"suspend", "restore"}));
}

TEST(OsCommand, FindsProgramsAsDosWould) {
    TempDir dir;
    ChangeDir cd(dir.path());
    fs::create_directories("bin");
    fs::create_directories("Tools");
    script("veltodrv", "exit 0");
    script("bin/onpath", "exit 0");
    script("bin/other.exe", "exit 0");
    script("Tools/Helper", "exit 0");
    writeFile("bin/plain", "not a program");
    EnvVar path("PATH", ((dir / "bin").string() + ":/usr/bin:/bin").c_str());

    struct Case {
        const char* name;
        std::string found;
    } cases[] = {
        {"veltodrv.exe", "./veltodrv"},
        {"VELTODRV.EXE", "./veltodrv"},
        {"veltodrv", "./veltodrv"},
        {"onpath.exe", (dir / "bin" / "onpath").string()},
        {"ONPATH.EXE", (dir / "bin" / "onpath").string()},
        {"other", (dir / "bin" / "other.exe").string()},
        {"tools\\helper.exe", "Tools/Helper"},
        {"plain.exe", ""},
        {"missing.exe", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(os::findProgram(c.name), c.found) << c.name;

    EXPECT_EQ(os::runCommand("onpath.exe"), 0);
}
