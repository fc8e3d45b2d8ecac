// Main-menu item 3, receiving sales: the working date, the questions, the request, the driver run and the
// import, with a stand-in driver in the shop's directory.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/os/files.h"
#include "receive_shop.h"
#include "velto/driver.h"
#include "velto/exchange.h"
#include "velto/flows.h"

using core::Value;
using receive_testing::ReceiveShop;
using testing_support::readFile;
using testing_support::writeFile;
namespace key = screen::key;

namespace {

// A driver that answers the sales request with the sales waiting in velto/sales.txt, once, and leaves no
// report when none wait (as a driver does that cannot reach the register).
void installDriver() {
    writeFile("veltodrv",
              "#!/bin/sh\n"
              "echo \"$@\" >> velto/runs.txt\n"
              "if [ -f velto/sales.txt ]; then mv velto/sales.txt velto/data_out.txt; fi\n"
              "printf '0;' > velto/error.txt\n");
    chmod("veltodrv", 0755);
}

// Answers every wait: T to the sales date question, Esc to the rest; and notes the message region and the
// question each time.
struct Answers {
    std::vector<std::string> seen;
    char answer = 'T';
    void attach(ReceiveShop& h) {
        h.keys().onKeyWanted([this, &h](double) {
            seen.push_back(h.row(17));
            return seen.back().find("Odebrac sprzedaz") != std::string::npos ? answer : key::Esc;
        });
    }
    bool saw(const std::string& text) const {
        for (auto& s : seen)
            if (s.find(text) != std::string::npos) return true;
        return false;
    }
};

}  // namespace

TEST(ReceiveFlow, WorkingDateAndRefusal) {
    struct Case {
        const char* period;
        const char* date;  // today is 15.03.2024
    } cases[] = {{"24\\03", "15.03.2024"},
                 {"24\\02", "29.02.2024"},
                 {"24\\04", "01.04.2024"},
                 {"23\\12", "31.12.2023"}};
    for (auto& c : cases) {
        ReceiveShop h;
        Answers answers;
        answers.answer = 'N';
        answers.attach(h);
        h.settings.set("HH", Value::ofText(c.period));
        receiveSales(h.ctx);
        EXPECT_TRUE(answers.saw(std::string("Odebrac sprzedaz z data ") + c.date + " ?")) << c.period;
        EXPECT_EQ(h.settings.date("M_DATA").display(), c.date);
        EXPECT_TRUE(answers.saw("Zmien okres obrachunkowy lub date"));
        EXPECT_FALSE(os::exists("velto\\data_in.txt"));  // nothing asked of the register
        EXPECT_NE(h.row(0).find("Jestes w programie firmy :"), std::string::npos);
        EXPECT_EQ(h.row(0).substr(50, 5), "SKLEP");
    }
}

// The register's sales booked; a run that brings no report books nothing, not the previous report again.
TEST(ReceiveFlow, OnlyAFreshReportIsBooked) {
    ReceiveShop h;
    installDriver();
    Answers answers;
    answers.attach(h);
    ReceiveShop::report({ReceiveShop::sale("5902012610039", 250, 2000)}, true, "velto/sales.txt");
    receiveSales(h.ctx);
    EXPECT_EQ(readFile("velto/data_in.txt"), "S;U;2; ; ;\r\n");
    EXPECT_EQ(readFile("velto/runs.txt"), "dp=velto if=data_in.txt af=T cp=1 ct=20000 cs=9600\n");
    EXPECT_TRUE(answers.saw("Wszystko dobrze"));
    EXPECT_TRUE(answers.saw("SD 16  na kwote  2.50"));
    EXPECT_EQ(h.numbers().back(), "      16");
    std::string first = readFile("velto/data_out.txt");

    // The register has nothing to say this time.
    receiveSales(h.ctx);
    EXPECT_EQ(h.numbers().back(), "      16");
    EXPECT_FALSE(os::exists("velto\\data_out.txt"));
    EXPECT_EQ(readFile("velto/data_out.old"), first);  // kept beside its archive copy

    ReceiveShop::report({ReceiveShop::sale("5906810660029", 1000, 1000)}, true, "velto/sales.txt");
    receiveSales(h.ctx);
    EXPECT_EQ(h.numbers().back(), "      17");
    EXPECT_EQ(ReceiveShop::texts(h.areas.table("dd"), "INDEKS"), (std::vector<std::string>{"USL00012"}));
}

// A report left by someone else is booked at once, without a question or a driver run, and then erased.
TEST(ReceiveFlow, OutsideReportFirst) {
    ReceiveShop h;
    installDriver();
    Answers answers;
    answers.attach(h);
    h.settings.set("HH", Value::ofText("24\\02"));  // a date question would name 29.02.2024
    ReceiveShop::report({ReceiveShop::sale("5906810660029", 1000, 1000)}, true, "velto/data_out.xxx");
    ReceiveShop::report({ReceiveShop::sale("5902012610039", 250, 2000)});
    receiveSales(h.ctx);
    EXPECT_TRUE(answers.saw("Wczytuje: velto\\data_out.xxx"));
    EXPECT_FALSE(answers.saw("Odebrac sprzedaz"));
    EXPECT_FALSE(os::exists("velto\\data_out.xxx"));
    EXPECT_FALSE(os::exists("velto\\runs.txt"));
    EXPECT_EQ(h.settings.date("M_DATA"), core::Date::fromYmd(2024, 3, 15));
    EXPECT_EQ(ReceiveShop::texts(h.areas.table("dd"), "INDEKS"), (std::vector<std::string>{"USL00012"}));
    EXPECT_TRUE(os::exists("velto\\data_out.txt"));  // not the one read
}

TEST(ReceiveFlow, WarehouseQuestion) {
    {
        ReceiveShop h;
        installDriver();
        Answers answers;
        answers.answer = 'N';
        h.settings.set("J_NAZWA", Value::ofText(" Sklep kod13 "));
        h.keys().type({'2', key::Enter, '1', key::Enter});
        answers.attach(h);
        receiveSales(h.ctx);
        EXPECT_EQ(h.settings.text("PS_MAG"), "2");
        EXPECT_EQ(h.settings.text("PS_MAG_NO"), "1");
        EXPECT_EQ(h.row(24).substr(0, 20), "Pobrac na magazyn: 2");
        EXPECT_EQ(h.row(24).substr(25, 27), "albo     Pominac magazyn: 1");
        EXPECT_EQ(h.settings.number("WYBOR"), 3);
    }
    {
        // Esc on the question ends the menu, and with it the program.
        ReceiveShop h;
        Answers answers;
        h.settings.set("J_NAZWA", Value::ofText("KOD13"));
        h.keys().type(key::Esc);
        answers.attach(h);
        receiveSales(h.ctx);
        EXPECT_TRUE(answers.saw("Przemysl to sobie"));
        EXPECT_EQ(h.settings.number("WYBOR"), 0);
        EXPECT_FALSE(answers.saw("Odebrac sprzedaz"));
    }
}

// The whole way with the simulated register: departments and a PLU sent to it, a sale made at it, the
// sale received into a document; the register reports each sale once.
TEST(ReceiveFlow, SaleAtTheSimulatedRegister) {
    auto driver = testing_support::binDir() / "veltodrv";
    if (!std::filesystem::exists(driver)) GTEST_SKIP() << "no simulated register built";
    ReceiveShop h;
    std::filesystem::create_symlink(driver, "veltodrv");
    Answers answers;
    answers.attach(h);
    std::vector<std::string> departments{std::string(kRequestDepartments)};
    departments.insert(departments.end(), departmentRecords().begin(), departmentRecords().end());
    writeExchangeFile(h.ctx, departments);
    runDriver(h.ctx, DriverRequest::Departments);
    writeExchangeFile(h.ctx, {std::string(kRequestPlu), "I;1;5902012610039;JOGURT;250;A;3;11100;01;00;;"});
    runDriver(h.ctx, DriverRequest::SendPlu);
    ASSERT_EQ(readFile("velto/error.txt"), "0;");
    ASSERT_EQ(testing_support::runCommand("./veltodrv sell cp=1 5902012610039 2"), 0);

    receiveSales(h.ctx);
    EXPECT_EQ(h.numbers().back(), "      16");
    auto rows = ReceiveShop::records(h.areas.table("dd"), {"INDEKS", "ILOSC", "WARTOSC"});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].text, "NAB00049");
    EXPECT_EQ(rows[0][1].number, 2);
    EXPECT_EQ(rows[0][2].number, 5);
    EXPECT_TRUE(answers.saw("SD 16  na kwote  5.00"));

    receiveSales(h.ctx);  // nothing sold since
    EXPECT_EQ(h.numbers().back(), "      16");
}
