// The terminal backend in a real terminal: this test binary runs itself inside a tmux pane as a tiny
// program that draws Polish letters and frames, shows the codes of the keys it gets and ends with the
// farewell line, which must stay in the pane after the program.
#include "platform/screen/terminal.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/core/cp852.h"
#include "platform/os/clock.h"
#include "platform/screen/console.h"
#include "support/test_support.h"

namespace {

using namespace core::literals;
namespace key = screen::key;

int runProbe() {
    os::SystemClock clock;
    std::unique_ptr<screen::Console> console;
    try {
        console = screen::Console::terminal(clock);
    } catch (const screen::TerminalError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    screen::Screen& s = console->screen();
    s.clear();
    s.say(0, 0, "Zażółć gęślą jaźń ŁÓDŹ"_cp, "W+/R");
    s.box(2, 0, 4, 20, screen::Frame::Double);
    s.say(3, 2, "▀▀▀ ┌─┐ └┘"_cp);
    s.say(24, 79, "#");
    s.say(24, 0, "gotowy");
    std::string codes = "klawisze:";
    for (;;) {
        int k = console->keyboard().inkey(-1);
        if (k == key::F2) {
            // An outside command writes on the terminal meanwhile; the screen comes back whole.
            screen::Screen::Suspended suspended(s);
            if (std::system("printf 'polecenie zewnetrzne\\n\\n\\n'") != 0) codes += " !";
        }
        codes += " " + std::to_string(k);  // drawn after the command, so it shows the screen came back
        s.say(6, 0, codes);
        if (k == key::Esc) break;
    }
    s.setColour("");
    s.clear();
    s.newline();
    s.out("Koniec pracy programu VELTO");
    return 0;  // the console ends as it goes
}

// Started inside the pane, the binary is the probe and nothing else.
[[maybe_unused]] const bool kProbe = [] {
    if (std::getenv("VELTO_TERMINAL_PROBE"))
        std::_Exit([] {
            int status = runProbe();
            std::fflush(stdout);
            return status;
        }());
    return false;
}();

class TmuxPane {
  public:
    TmuxPane(int columns, int rows, const std::string& command)
        : tmux_("LC_ALL=C.UTF-8 tmux -u -f /dev/null -L velto-screen-" + std::to_string(getpid()) + "-" +
                std::to_string(++panes_) + " ") {
        started_ = run("new-session -d -x " + std::to_string(columns) + " -y " + std::to_string(rows) +
                       " \"" + command + "\"") == 0;
    }
    ~TmuxPane() { run("kill-server"); }
    bool started() const { return started_; }

    int run(const std::string& arguments, std::string* output = nullptr) {
        return testing_support::runCommand(tmux_ + arguments + " 2>/dev/null", output);
    }
    std::string capture(bool escapes = false) {
        std::string text;
        run(std::string("capture-pane -p") + (escapes ? " -e" : ""), &text);
        return text;
    }
    // Waits (in real time, with a generous limit) until the pane shows what is wanted.
    bool waitFor(const std::function<bool(const std::string&)>& wanted) {
        for (int i = 0; i < 200; ++i) {
            if (wanted(capture())) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    void keys(const std::string& arguments) { run("send-keys " + arguments); }

  private:
    static inline int panes_ = 0;  // a server of its own for each pane: a killed one may linger a moment
    std::string tmux_;
    bool started_ = false;
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct TerminalTest : ::testing::Test {
    testing_support::TempDir dir;
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();

    void SetUp() override {
        if (testing_support::runCommand("command -v tmux >/dev/null") != 0) GTEST_SKIP() << "tmux is missing";
    }
    std::string probe(const std::string& redirect = "") {
        return "sh -c 'VELTO_TERMINAL_PROBE=1 " + self + redirect + "; echo \\$? > " + (dir / "rc").string() +
               "; exec sleep 120'";
    }
    std::string status() {
        std::string rc = testing_support::readFile(dir / "rc");
        return rc.substr(0, rc.find('\n'));
    }
};

TEST_F(TerminalTest, ShowsTheCodePageAsUnicodeReadsKeysAndLeavesTheLastScreen) {
    TmuxPane pane(80, 25, probe());
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.waitFor([](const std::string& s) { return contains(s, "gotowy"); })) << pane.capture();

    std::vector<std::string> screen = lines(pane.capture());
    ASSERT_GE(screen.size(), 25u);
    EXPECT_EQ(screen[0], "Zażółć gęślą jaźń ŁÓDŹ");
    EXPECT_EQ(screen[2], "╔═══════════════════╗");
    EXPECT_EQ(screen[3], "║ ▀▀▀ ┌─┐ └┘        ║");
    EXPECT_EQ(screen[4], "╚═══════════════════╝");
    EXPECT_EQ(screen[24].substr(0, 6), "gotowy");
    EXPECT_EQ(screen[24].substr(screen[24].size() - 1), "#");  // the bottom right cell too
    EXPECT_TRUE(contains(lines(pane.capture(true))[0], "41m")) << "red background expected";

    // A letter, a Polish letter, F4, Alt+P, Up and Enter, then Esc on its own.
    pane.keys("a");
    pane.keys("-l 'ł'");
    pane.keys("F4 M-p Up Enter");
    const std::string expected = "klawisze: 97 136 -3 281 5 13";
    ASSERT_TRUE(pane.waitFor([&](const std::string& s) { return contains(s, expected); })) << pane.capture();
    pane.keys("F2");
    ASSERT_TRUE(pane.waitFor([&](const std::string& s) { return contains(s, expected + " -1"); }))
        << pane.capture();
    screen = lines(pane.capture());
    EXPECT_EQ(screen[0], "Zażółć gęślą jaźń ŁÓDŹ");
    EXPECT_EQ(screen[3], "║ ▀▀▀ ┌─┐ └┘        ║");
    EXPECT_EQ(screen[24].substr(0, 6), "gotowy");
    EXPECT_FALSE(contains(pane.capture(), "polecenie")) << pane.capture();
    pane.keys("Escape");
    ASSERT_TRUE(pane.waitFor([](const std::string& s) { return contains(s, "Koniec"); })) << pane.capture();
    ASSERT_TRUE(pane.waitFor([&](const std::string&) { return status() == "0"; }));

    screen = lines(pane.capture());
    ASSERT_GE(screen.size(), 2u);
    EXPECT_EQ(screen[0], "");
    EXPECT_EQ(screen[1], "Koniec pracy programu VELTO");
    for (std::size_t r = 2; r < screen.size(); ++r) EXPECT_EQ(screen[r], "") << "row " << r;
}

TEST_F(TerminalTest, RefusesATerminalSmallerThan80x25) {
    TmuxPane pane(70, 20, probe(" 2>" + (dir / "err").string()));
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.waitFor([&](const std::string&) { return !status().empty(); }));
    EXPECT_EQ(status(), "1");
    const std::string message = testing_support::readFile(dir / "err");
    EXPECT_TRUE(contains(message, "80 kolumn i 25 wierszy")) << message;
    EXPECT_TRUE(contains(message, "70x20")) << message;
}

}  // namespace
