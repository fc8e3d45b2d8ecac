#include "lib/readl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

using testing_support::ChangeDir;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

struct Call {
    std::string line;
    int64_t position;  // after the call
};

// Reads the file the way the import loops do: while the position is below the size taken before.
std::vector<Call> readAll(const std::string& content) {
    TempDir dir;
    ChangeDir cd(dir.path());
    writeFile("DATA_OUT.TXT", content);
    os::FileHandle file;
    EXPECT_FALSE(file.open("missing.txt"));
    EXPECT_TRUE(file.open("data_out.txt"));
    const int64_t size = file.size();
    std::vector<Call> calls;
    while (file.position() < size) {
        std::string line = FREADLINE(file);
        calls.push_back({line, file.position()});
    }
    return calls;
}

std::vector<std::string> nonEmpty(const std::vector<Call>& calls) {
    std::vector<std::string> out;
    for (const auto& c : calls)
        if (!c.line.empty()) out.push_back(c.line);
    return out;
}

}  // namespace

TEST(Freadline, ReturnsCrLfLines) {
    auto calls = readAll("S;U;2; ; ;\r\n1;5901234123457;2.000;\r\n");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].line, "S;U;2; ; ;");
    EXPECT_EQ(calls[0].position, 12);
    EXPECT_EQ(calls[1].line, "1;5901234123457;2.000;");
    EXPECT_EQ(calls[1].position, 36);  // the file size
}

TEST(Freadline, OnlyCrLfEndsALine) {
    auto calls = readAll("a\nb\rc\r\n\r\nd\n\r\n");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].line, "a\nb\rc");
    EXPECT_EQ(calls[1].line, "");  // an empty line
    EXPECT_EQ(calls[2].line, "d\n");
}

TEST(Freadline, ALastLineWithoutItsEndNeverComesBack) {
    auto calls = readAll("first\r\nlast");
    ASSERT_EQ(calls.size(), 5u);  // the line, then one empty result per byte of "last"
    EXPECT_EQ(calls[0].line, "first");
    for (std::size_t i = 1; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].line, "");
        EXPECT_EQ(calls[i].position, 7 + static_cast<int64_t>(i));
    }
}

TEST(Freadline, LongLinesLoseTheirBeginning) {
    struct Case {
        std::size_t length;
        std::size_t empties;
    } cases[] = {{997, 0}, {998, 0}, {999, 1}, {1000, 2}, {1500, 502}};
    for (const auto& c : cases) {
        std::string line;
        for (std::size_t i = 0; i < c.length; ++i) line += static_cast<char>('a' + i % 26);
        auto calls = readAll(line + "\r\nnext\r\n");
        ASSERT_EQ(calls.size(), c.empties + 2) << c.length;
        for (std::size_t i = 0; i < c.empties; ++i) EXPECT_EQ(calls[i].line, "") << c.length;
        std::size_t kept = std::min<std::size_t>(c.length, 998);
        EXPECT_EQ(calls[c.empties].line, line.substr(c.length - kept)) << c.length;
        EXPECT_EQ(calls[c.empties].position, static_cast<int64_t>(c.length + 2)) << c.length;
        EXPECT_EQ(calls[c.empties + 1].line, "next") << c.length;
    }
}

TEST(Freadline, AtTheEndThePositionPassesTheSize) {
    TempDir dir;
    ChangeDir cd(dir.path());
    writeFile("e.txt", "x\r\n");
    os::FileHandle file;
    ASSERT_TRUE(file.open("E.TXT"));
    EXPECT_EQ(FREADLINE(file), "x");
    EXPECT_EQ(file.position(), 3);
    EXPECT_EQ(FREADLINE(file), "");
    EXPECT_EQ(file.position(), 4);
    EXPECT_EQ(FREADLINE(file), "");
    EXPECT_EQ(file.position(), 5);
}

TEST(Freadline, ManyLinesInARow) {
    std::string content;
    std::vector<std::string> lines;
    for (int i = 0; i < 300; ++i) {
        lines.push_back("1;" + std::to_string(1000000 + i) + ";" + std::string(i % 40, 'x') + ";");
        content += lines.back() + "\r\n";
    }
    EXPECT_EQ(nonEmpty(readAll(content)), lines);
}
