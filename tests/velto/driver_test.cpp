#include "velto/driver.h"

#include <gtest/gtest.h>

#include "platform/os/files.h"
#include "support/harness.h"
#include "velto/exchange.h"

using core::Value;
using testing_support::Harness;
using testing_support::readFile;
using testing_support::writeFile;

namespace {
void selectRegister(Harness& h, double port, double speed) {
    h.settings.declarePrivate("PORT", Value::ofNumber(port));
    h.settings.declarePrivate("PREDKOSC", Value::ofNumber(speed));
}
}  // namespace

TEST(Driver, CommandLines) {
    Harness h;
    selectRegister(h, 3, 0);
    EXPECT_EQ(driverCommand(h.ctx, DriverRequest::SendPlu), "veltodrv.exe dp=velto if=data_in.txt cp=3 ct=20000 cs=9600");
    selectRegister(h, 12, 19200);
    EXPECT_EQ(driverCommand(h.ctx, DriverRequest::Answer),
              "veltodrv.exe dp=velto if=data_in.txt af=T cp=12 ct=20000 cs=19200");
    EXPECT_EQ(driverCommand(h.ctx, DriverRequest::Departments), "veltodrv.exe dp=velto if=data_in.txt cp=12 cs=19200");
    writeFile("veltowin.txt", "");
    EXPECT_EQ(driverCommand(h.ctx, DriverRequest::Departments),
              "start /WAIT veltodrv.exe dp=velto if=data_in.txt cp=12 cs=19200");
}

TEST(Driver, ExchangeFileRecordsEndWithCrLf) {
    Harness h;
    os::makeDirectory("velto");
    std::vector<std::string> records{std::string(kRequestDepartments)};
    records.insert(records.end(), departmentRecords().begin(), departmentRecords().end());
    writeExchangeFile(h.ctx, records);
    std::string bytes = readFile("velto/data_in.txt");
    EXPECT_EQ(bytes.substr(0, 12), "S;D;1;1;7;\r\n");
    EXPECT_EQ(bytes.substr(bytes.size() - 29), "H;1;07;Dzial 7;0;Z;1000;00;\r\n");
    writeExchangeFile(h.ctx, {std::string(kRequestSales)});
    EXPECT_EQ(readFile("velto/data_in.txt"), "S;U;2; ; ;\r\n");  // created anew for each request
}

TEST(Driver, ErrorFileShowsTheFaultyLine) {
    struct Case { const char* error; bool old; const char* shown; } cases[] = {
        {"3;2;", false, "H;1;02;Dzial 2;0;B;1000;00;"},  // the driver counts from 0
        {"3;2;", true, "H;1;01;Dzial 1;0;A;1000;00;"},   // an older driver counts from 1
        {"17;0;", false, "S;D;1;1;7;"},
    };
    for (auto& c : cases) {
        Harness h;
        os::makeDirectory("velto");
        std::vector<std::string> records{std::string(kRequestDepartments)};
        records.insert(records.end(), departmentRecords().begin(), departmentRecords().end());
        writeExchangeFile(h.ctx, records);
        writeFile("velto/error.txt", c.error);
        if (c.old) writeFile("VELTO.OLD", "");
        std::string row24, flashed;
        h.keys().onKeyWanted([&](double) {
            if (h.row(17).find(c.error) != std::string::npos) flashed = h.row(17);
            row24 = h.row(24);
            return row24.find(';') != std::string::npos ? screen::key::Enter : 0;
        });
        ERROR_VELTO(h.ctx);
        EXPECT_FALSE(flashed.empty()) << c.error;
        EXPECT_EQ(row24.substr(0, std::string(c.shown).size()), c.shown) << c.error;
    }
}

TEST(Driver, SuccessOrNoErrorFile) {
    for (const char* error : {"0;", "", "OK", "0;5;"}) {
        Harness h;
        os::makeDirectory("velto");
        writeFile("velto/error.txt", error);
        std::string shown;
        h.clock.onSleep([&](double) { shown = h.row(17); });
        ERROR_VELTO(h.ctx);
        EXPECT_NE(shown.find("Wszystko dobrze"), std::string::npos) << error;
        EXPECT_DOUBLE_EQ(h.clock.seconds(), 3.0);
    }
    Harness none;
    ERROR_VELTO(none.ctx);
    EXPECT_EQ(none.clock.sleeps(), 0);
}
