#include "velto/startup.h"

#include <gtest/gtest.h>

#include "lib/errorsys.h"
#include "platform/core/cp852.h"
#include "platform/settings/mem_file.h"
#include "support/harness.h"

using namespace core::literals;
using testing_support::Harness;
using testing_support::readFile;
using testing_support::writeFile;

namespace {
// A real-engine shop to start in; without its parameter file unless asked.
void shop(Harness& h, bool keepParameters = false) {
    testing_support::copyFixture(h.dir.path());
    if (!keepParameters) std::filesystem::remove(h.dir / "PARAMETR.MEM");
}
}  // namespace

TEST(Startup, WritesTheParameterFileWithTheDefaults) {
    Harness h;
    shop(h);
    h.keys().type(screen::key::Esc);  // leave the main menu at once
    EXPECT_EQ(VELTO(h.ctx), 0);
    // New files are created in lower case; the program finds them under any spelling.
    auto entries = settings::readMemFile("parametr.mem", "PARAMETR.MEM");
    ASSERT_EQ(entries.size(), 75u);
    for (auto& [name, value] : entries) EXPECT_EQ(name.substr(0, 2), "J_");
    auto find = [&](const std::string& name) {
        for (auto& e : entries)
            if (e.first == name) return e.second;
        ADD_FAILURE() << name;
        return core::Value();
    };
    EXPECT_EQ(find("J_NAZWA").text, std::string(" OBSŁUGA KLOVARNI "_cp));
    EXPECT_TRUE(find("J_ZAOKRAGL").isLogical());
    EXPECT_EQ(find("J_POZIOM").number, 1);
    EXPECT_EQ(find("J_RAPORTY").text, std::string(60, ' '));
    EXPECT_EQ(find("J_MAG_U").text, "U ");
    EXPECT_EQ(h.row(1).substr(0, 27), "Koniec pracy programu VELTO");
    EXPECT_EQ(h.settings.text("PLIK"), "rob\\wydruk01.prn");
    std::string report;
    EXPECT_EQ(testing_support::xbcheck("mem parametr.mem", &report), 0) << report;
}

TEST(Startup, ReadsAnExistingParameterFileOverTheDefaults) {
    Harness h;
    shop(h);
    settings::writeMemFile("PARAMETR.MEM",
                           {{"J_POZIOM", core::Value::ofNumber(3)}, {"J_PTUA", core::Value::ofText("23")}},
                           "PARAMETR.MEM");
    std::string before = readFile("PARAMETR.MEM");
    h.keys().type(screen::key::Esc);
    EXPECT_EQ(VELTO(h.ctx), 0);
    EXPECT_EQ(h.settings.number("J_POZIOM"), 3);
    EXPECT_EQ(h.settings.text("J_PTUA"), "23");   // unknown to the program, brought in all the same
    EXPECT_EQ(h.settings.text("J_VAT"), "23");    // defaults stay where the file is silent
    EXPECT_EQ(readFile("PARAMETR.MEM"), before);  // read, never written
}

TEST(Startup, DamagedParameterFileIsReportedAndKept) {
    Harness h;
    shop(h);
    std::string good;
    settings::writeMemFile("PARAMETR.MEM", {{"J_VAT", core::Value::ofText("23")}}, "PARAMETR.MEM");
    good = readFile("PARAMETR.MEM");
    std::string damaged = good.substr(0, good.size() - 3);  // the value runs past the end
    writeFile("PARAMETR.MEM", damaged);
    try {
        VELTO(h.ctx);
        FAIL() << "a damaged file must stop the start-up";
    } catch (const core::RuntimeError& e) {
        EXPECT_NE(std::string(e.what()).find("PARAMETR.MEM"), std::string::npos);
    }
    EXPECT_EQ(readFile("PARAMETR.MEM"), damaged);
}

TEST(Startup, SalesDocumentKindFromTheOverrideFile) {
    struct Case { const char* content; const char* kind; } cases[] = {
        {"FV\r\n", "FV "}, {"sd", "SD "}, {"RXYZ", "RXY"}, {"", "SD "}, {"  \t\r\n", "SD "},
        {" \tSD\r\n", "SD "}, {"X12", "SD "}, {"S", "S  "},
    };
    for (auto& c : cases) {
        Harness h;
        h.settings.declarePublic("M_SD", core::Value::ofText("SD "));
        writeFile("SD_VELTO.TXT", c.content);
        setSalesDocumentKind(h.ctx);
        EXPECT_EQ(h.settings.text("M_SD"), c.kind) << c.content;
    }
    Harness none;
    none.settings.declarePublic("M_SD", core::Value::ofText("XX "));
    setSalesDocumentKind(none.ctx);
    EXPECT_EQ(none.settings.text("M_SD"), "SD ");
}
