#pragma once
// A shop ready for sending goods and deleting PLUs, as the main menu leaves it for its flows: the copied
// fixture shop, the public settings with its saved parameters, station 1, the working data set, the
// menu's selection (register 01) and the register table held in its slot.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "lib/locks.h"
#include "platform/core/value.h"
#include "platform/screen/keyboard.h"
#include "support/fixture_shop.h"
#include "support/harness.h"
#include "velto/init_dbf.h"
#include "velto/public_settings.h"
#include "velto/register_table.h"
#include "velto/startup.h"

namespace send_testing {

using core::Value;
namespace key = screen::key;

struct SendShop : testing_support::Harness {
    std::unique_ptr<Procedure> menu;

    // `prepare` runs on the copied shop before the program opens it. With `inMenu` the shop stands as
    // the main menu leaves it for a flow; without, as start-up leaves it for the menu.
    template <class Prepare>
    explicit SendShop(Prepare prepare, bool inMenu = true) {
        testing_support::copyFixture(dir.path());
        prepare();
        start(inMenu);
    }
    SendShop() : SendShop([] {}) {}
    ~SendShop() { menu.reset(); }

    void start(bool inMenu) {
        createPublicSettings(settings, clock.today());
        readOrWriteParameters(ctx);
        settings.set("STACJA", Value::ofNumber(1));
        if (!INIT_DBF(ctx)) throw std::runtime_error("working data set not opened");
        if (!inMenu) return;
        menu = std::make_unique<Procedure>(ctx, "VELTO_");
        settings.declarePrivate("NR_KASY", Value::ofText("01"));
        settings.declarePrivate("OPIS", Value::ofText(std::string(28, ' ')));
        settings.declarePrivate("PORT", Value::ofNumber(1));
        settings.declarePrivate("PREDKOSC", Value::ofNumber(9600));
        settings.declarePrivate("PS_MAG", Value::ofText(" "));
        settings.declarePrivate("PS_MAG_NO", Value::ofText(" "));
        settings.declarePrivate("M_MAGAZYN", Value::ofText(std::string(10, ' ')));
        areas.select(kRegisterSlot);
        if (!openRegisterTable(ctx)) throw std::runtime_error("register table not opened");
        areas.select(1);
    }

    // The register the flows work on: its row in the register table and the selection.
    void selectRegister(int number, const std::string& description = "") {
        auto& velto = areas.table("velto");
        velto.goTo(static_cast<uint32_t>(number));
        if (!description.empty()) velto.put("POPIS", Value::ofText(description));
        velto.commit();
        PS_READ(ctx);
    }

    // Keys for the sending dialog as it stands over this shop (warehouse field, quantity, price level,
    // then the warehouse question), each field taken as it is.
    std::vector<int> acceptDialog() const { return {key::Enter, key::Enter, key::Enter, 'T'}; }

    void type(const std::vector<int>& keys) {
        for (int k : keys) this->keys().type(k);
    }

    // A goods record changed as the stock-keeping system would change it.
    void changeGoods(const std::string& magIndeks, const std::string& field, const Value& value) {
        auto& as = areas.table("as");
        as.setOrder(1);
        if (!as.seek(Value::ofText(magIndeks), false)) throw std::runtime_error("no goods " + magIndeks);
        if (!as.tryLockRecord()) throw std::runtime_error("goods record locked");
        as.put(field, value);
        as.unlock();
        as.goTop();
    }

    // The register driver stand-in, found in the working directory as the program finds "veltodrv.exe".
    void installDriver() {
        std::filesystem::create_symlink(testing_support::binDir() / "veltodrv", dir.path() / "veltodrv");
    }
};

using testing_support::goodsWithout;

// The operator at the keyboard: each step's key is pressed once its text is on the screen, in order, so
// that timed messages pass without swallowing keys meant for the questions after them.
struct Operator {
    struct Step {
        std::string text;
        int key;
    };
    std::vector<Step> steps;
    size_t next = 0;

    Operator(SendShop& shop, std::vector<Step> script) : steps(std::move(script)) {
        shop.keys().onKeyWanted([this, &shop](double) {
            if (next < steps.size() && shop.screen().dump().find(steps[next].text) != std::string::npos)
                return steps[next++].key;
            return 0;
        });
    }
    bool done() const { return next == steps.size(); }
};

// Runs the register driver stand-in in the shop's directory; returns its output.
inline std::string driver(const std::string& arguments) {
    std::string out;
    testing_support::runCommand((testing_support::binDir() / "veltodrv").string() + " " + arguments, &out);
    return out;
}

// A register that has its departments programmed, as PLUs need.
inline void programDepartments() {
    std::filesystem::create_directories("velto");
    testing_support::writeFile("velto/data_in.txt",
                               "S;D;1;1;7;\r\nH;1;01;Dzial 1;0;A;1000;00;\r\nH;1;02;Dzial 2;0;B;1000;00;\r\n"
                               "H;1;03;Dzial 3;0;C;1000;00;\r\nH;1;04;Dzial 4;0;D;1000;00;\r\n"
                               "H;1;05;Dzial 5;0;E;1000;00;\r\nH;1;06;Dzial 6;0;F;1000;00;\r\n"
                               "H;1;07;Dzial 7;0;Z;1000;00;\r\n");
    driver("dp=velto if=data_in.txt cp=1 cs=9600");
}

// The PLUs the stand-in register holds on port 1, by code: "plu CODE PRICE TAX DEPARTMENT FLAGS NAME".
inline std::vector<std::string> registerPlus(int port = 1) {
    std::vector<std::string> out;
    std::stringstream in(driver("show dp=velto cp=" + std::to_string(port)));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("plu ", 0) == 0) out.push_back(line);
    return out;
}

// The records of a request file, without their CR LF.
inline std::vector<std::string> records(const std::string& file = "velto/data_in.txt") {
    std::string bytes = testing_support::readFile(file);
    std::vector<std::string> out;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find("\r\n", at);
        if (end == std::string::npos) {
            out.push_back(bytes.substr(at) + "<no CR LF>");
            break;
        }
        out.push_back(bytes.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

// The PLU code of a PLU record (third field).
inline std::string codeOf(const std::string& record) {
    std::vector<std::string> fields;
    std::stringstream in(record);
    std::string f;
    while (std::getline(in, f, ';')) fields.push_back(f);
    return fields.size() > 2 ? fields[2] : std::string();
}

}  // namespace send_testing
