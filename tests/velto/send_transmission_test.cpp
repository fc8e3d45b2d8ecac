// The main menu's sending with the stand-in register: the PLU registry keeps a sending's records only when
// the register confirmed the transmission, so that an answer N, a failed run or a driver that never ran
// leaves the next sending to send the same articles again.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/os/files.h"
#include "send_shop.h"
#include "velto/menu.h"

using namespace send_testing;

namespace {

// One visit to the main menu: item 2 with the dialog as it stands, `ready` to "Kasa gotowa do
// transmisji ?", then Esc. Returns the number of PLU records the sending wrote.
size_t sendFromMenu(SendShop& shop, int ready, bool failing = false) {
    std::vector<Operator::Step> steps{{"Esc - Wyjscie", key::Enter}, {"Rd:", key::Enter},
                                      {"Rd:", key::Enter},           {"Rd:", key::Enter},
                                      {"Na pewno z", 'T'},           {"Kasa gotowa do transmisji", ready}};
    if (failing) steps.push_back({"S;I;1; ; ;", key::Enter});  // the faulty line shown on row 24
    steps.push_back({"Esc - Wyjscie", key::Esc});
    Operator op(shop, steps);
    VELTO_(shop.ctx);
    EXPECT_TRUE(op.done());
    return records().size() - 1;
}

}  // namespace

TEST(SendTransmission, OnlyAConfirmedTransmissionIsRemembered) {
    struct Case {
        const char* what;
        int ready;
        const char* fault;  // for the driver run of the first sending
        bool driverThere;
        bool taken;       // the register holds the PLUs afterwards
        bool remembered;  // the registry keeps them as sent
    } cases[] = {
        {"sent", 'T', "", true, true, true},
        {"not ready", 'N', "", true, false, false},
        {"refused by the register", 'T', "error=5,0", true, false, false},
        {"no error file left", 'T', "noerror", true, true, false},
        {"driver missing, an old success in the error file", 'T', "", false, false, false},
    };
    for (auto& c : cases) {
        SendShop shop([] {}, false);
        shop.installDriver();
        programDepartments();
        if (!c.driverThere) os::erase("veltodrv");
        if (*c.fault) setenv("VELTODRV_FAULT", c.fault, 1);
        size_t first = sendFromMenu(shop, c.ready, std::string(c.fault).rfind("error", 0) == 0);
        unsetenv("VELTODRV_FAULT");
        ASSERT_GT(first, 30u) << c.what;
        EXPECT_EQ(registerPlus().size(), c.taken ? first : 0u) << c.what;
        EXPECT_FALSE(os::exists("velto\\as2000.cof")) << c.what;  // settled either way

        // The next sending: nothing when the register has it all, else the same articles again.
        if (!c.driverThere) shop.installDriver();
        size_t second = sendFromMenu(shop, 'T');
        EXPECT_EQ(second, c.remembered ? 0u : first) << c.what;
        EXPECT_EQ(registerPlus().size(), first) << c.what;
        std::string out;
        EXPECT_EQ(testing_support::xbcheck("ntx velto/as2000.dbf velto/as2000.ntx", &out), 0) << out;
    }
}

TEST(SendTransmission, APriceChangeIsSentAgainUntilTheRegisterHasIt) {
    SendShop shop([] {}, false);
    shop.installDriver();
    programDepartments();
    sendFromMenu(shop, 'T');
    shop.changeGoods("1USL00012", "CENA3", Value::ofNumber(70.10));
    setenv("VELTODRV_FAULT", "error=6,0", 1);
    EXPECT_EQ(sendFromMenu(shop, 'T', true), 1u);
    unsetenv("VELTODRV_FAULT");
    EXPECT_EQ(sendFromMenu(shop, 'N'), 1u);
    EXPECT_EQ(sendFromMenu(shop, 'T'), 1u);
    EXPECT_EQ(sendFromMenu(shop, 'T'), 0u);
    bool found = false;
    for (auto& p : registerPlus())
        if (p.rfind("plu 5906810660029 70.10 ", 0) == 0) found = true;
    EXPECT_TRUE(found);
}
