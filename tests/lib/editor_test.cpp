// The printout editor: when the file is written and when it is not.
#include "lib/editor.h"

#include <gtest/gtest.h>

#include "platform/os/files.h"
#include "support/harness.h"

using testing_support::Harness;
using testing_support::readFile;
using testing_support::writeFile;
namespace key = screen::key;

namespace {
constexpr int kCtrlW = 23;
constexpr int kCtrlPgDn = 30;

struct Editor : Harness {
    Editor() {
        os::makeDirectory("rob");
        writeFile("rob/wydruk01.prn", "LINIA 1\r\nLINIA 2\r\n");
    }
    void run(std::initializer_list<int> keys) {
        this->keys().type(keys);
        MEDIT(ctx, "rob\\wydruk01.prn");
    }
    std::string file() { return readFile("rob/wydruk01.prn"); }
};
}  // namespace

TEST(Medit, AMissingFileIsCreatedWithALineEnd) {
    Editor h;
    std::filesystem::remove("rob/wydruk01.prn");
    h.run({key::Esc});
    EXPECT_EQ(h.file(), "\r\n");
}

TEST(Medit, LeavingWithEscWritesNothing) {
    Editor h;
    auto before = h.screen().dump();
    h.run({'X', 'Y', key::Enter, kCtrlW, 'Z', key::Esc});  // edits, a Ctrl-W reopening, more edits
    EXPECT_EQ(h.file(), "LINIA 1\r\nLINIA 2\r\n");
    EXPECT_EQ(h.screen().dump(), before);  // the screen is given back
}

TEST(Medit, PrintWithoutAPrinterWritesNothing) {
    Editor h;
    h.run({'X', key::F5, key::Esc});
    EXPECT_EQ(h.file(), "LINIA 1\r\nLINIA 2\r\n");
}

TEST(Medit, PdfExportWritesTheTextAndALineEnd) {
    Editor h;
    h.run({'X', key::alt('P'), key::Esc});  // without PDF.TXT Alt+P does nothing
    EXPECT_EQ(h.file(), "LINIA 1\r\nLINIA 2\r\n");
    writeFile("PDF.TXT", "");
    h.run({'X', key::alt('P'), key::Esc});
    EXPECT_EQ(h.file(), "XLINIA 1\r\nLINIA 2\r\n\r\n");
}

TEST(Medit, AKeyPressedBeforeOpeningIsNotActedOn) {
    Editor h;
    h.ctx.keyboard->setLastKey(key::Esc);  // Esc from the previous screen
    h.run({'Q', key::Esc});
    EXPECT_EQ(h.keys().pendingKeys(), 0u);  // both keys were needed to leave
}

TEST(Medit, LineAndColumnCounters) {
    Editor h;
    std::string big;
    for (int i = 0; i < 10001; ++i) big += "x\r\n";
    writeFile("rob/wydruk01.prn", big);
    std::string status;
    int asked = 0;
    h.keys().onKeyWanted([&](double) {
        status = h.row(24);
        return ++asked < 3 ? 0 : key::Esc;  // let the editor pause once at the end of the text
    });
    h.run({kCtrlPgDn});
    EXPECT_EQ(status.substr(0, 14), "L ****  K 0   ");
}
