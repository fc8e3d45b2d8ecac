// Deleting PLUs in the register: the deletion request each mode makes from the register's PLU list, and the
// whole option against the stand-in register, down to the discarded PLU registry.
#include "velto/plu_delete.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <set>

#include "platform/os/files.h"
#include "send_shop.h"
#include "velto/flows.h"
#include "velto/plu_registry.h"

using namespace send_testing;

namespace {

std::string list(const std::vector<std::string>& lines) {
    std::string bytes;
    for (auto& l : lines) bytes += l + "\r\n";
    return bytes;
}

// The lines of the deletion request after its request record.
std::vector<std::string> deleted() {
    auto all = records();
    EXPECT_EQ(all.at(0), "S;I;1; ; ;");
    return {all.begin() + 1, all.end()};
}

}  // namespace

TEST(PluDelete, ModesOverBarCodes) {
    const std::string inStock = "P;1;5906810660029;UL;6650;Z;07;11100;";      // goods with 220 in stock
    const std::string noStock = "P;1;5902293510127;S  0,5;8370;A;01;11100;";  // goods with -1
    const std::string noGoods = "P;1;1111111;NIEMA;100;A;01;11100;";
    const std::string cutCode = "P;1;12345;WAZONE;100;A;01;11100;";                // sent shortened
    const std::string secondFirst = "P;1;5906624140281;UL  10L;9240;Z;07;11100;";  // warehouse 2 (0) before 1
    const std::string noEnd = "P;1;5906810660029";
    const std::string noCode = "P;1;;PUSTY;";
    const std::vector<std::string> lines{inStock, noStock, noGoods, cutCode, secondFirst, noEnd, noCode};
    struct Case {
        PluDeletion mode;
        std::vector<std::string> expected;
    } cases[] = {
        {PluDeletion::All, lines},
        {PluDeletion::WithoutStock, {noStock, noGoods, cutCode, secondFirst}},
        {PluDeletion::WithoutGoods, {noGoods, cutCode}},
    };
    SendShop shop;
    testing_support::writeFile("velto/data_out.txt", list(lines));
    for (auto& c : cases) {
        ASSERT_TRUE(KAS_PLU(shop.ctx, c.mode));
        EXPECT_EQ(deleted(), c.expected) << static_cast<int>(c.mode);
        auto& as = shop.areas.table("as");  // back on its first order, at its first record
        EXPECT_EQ(as.order(), 1);
        uint32_t at = as.recno();
        as.goTop();
        EXPECT_EQ(as.recno(), at);
    }
    // Every PLU backed by goods: the request alone. So also for an empty list.
    testing_support::writeFile("velto/data_out.txt", list({inStock, noStock}));
    ASSERT_TRUE(KAS_PLU(shop.ctx, PluDeletion::WithoutGoods));
    EXPECT_EQ(testing_support::readFile("velto/data_in.txt"), "S;I;1; ; ;\r\n");
    testing_support::writeFile("velto/data_out.txt", "");
    ASSERT_TRUE(KAS_PLU(shop.ctx, PluDeletion::All));
    EXPECT_EQ(testing_support::readFile("velto/data_in.txt"), "S;I;1; ; ;\r\n");
    // No list: nothing to delete by, and no request written.
    os::erase("velto\\data_out.txt");
    EXPECT_FALSE(KAS_PLU(shop.ctx, PluDeletion::All));
    EXPECT_EQ(testing_support::readFile("velto/data_in.txt"), "S;I;1; ; ;\r\n");
}

TEST(PluDelete, WithoutBarCodesTheRegistersWarehouseIsSearched) {
    SendShop shop([] { goodsWithout({"KOD13"}); });
    const std::string ch37 = "P;1;CH37;S 100;7688;D;04;11100;";    // goods in warehouse 1
    const std::string sy12 = "P;1;SY12;RZ L 1;12137;C;03;11100;";  // goods in warehouse 2 only
    testing_support::writeFile("velto/data_out.txt", list({ch37, sy12}));
    struct Case {
        const char* psMag;
        std::vector<std::string> expected;
    } cases[] = {{" ", {sy12}}, {"2", {ch37}}, {"1", {sy12}}};
    for (auto& c : cases) {
        shop.settings.set("PS_MAG", Value::ofText(c.psMag));
        ASSERT_TRUE(KAS_PLU(shop.ctx, PluDeletion::WithoutGoods));
        EXPECT_EQ(deleted(), c.expected) << c.psMag;
    }
}

namespace {

// A shop whose register holds the shop's goods (sent and confirmed) and one PLU of no goods at all.
struct RegisterWithPlus : SendShop {
    RegisterWithPlus() : SendShop([] {}) {
        installDriver();
        programDepartments();
        type(acceptDialog());
        EXPECT_TRUE(TWORZ_U(ctx));
        driver("dp=velto if=data_in.txt cp=1 ct=20000 cs=9600");
        settleSending(ctx, true);
        testing_support::writeFile("velto/data_in.txt",
                                   "S;I;1; ; ;\r\nI;1;1111111;OBCY;100;A;3;11100;01;00;;\r\n");
        driver("dp=velto if=data_in.txt cp=1 ct=20000 cs=9600");
    }
    std::set<std::string> plus() {
        std::set<std::string> codes;
        for (auto& p : registerPlus()) codes.insert(p.substr(4, p.find(' ', 4) - 4));
        return codes;
    }
};

}  // namespace

TEST(PluDelete, EachModeAgainstTheRegister) {
    struct Case {
        int downs;
        std::set<std::string> (*kept)(const std::set<std::string>& before);
    } cases[] = {
        {0, [](const std::set<std::string>&) { return std::set<std::string>{}; }},
        {1,
         [](const std::set<std::string>& before) {
             std::set<std::string> kept = before;  // goods in stock, as the bar-code order finds them first
             for (const char* gone :
                  {"1111111", "5902293510127", "5906624140281", "59067238", "5903537320465"})
                 kept.erase(gone);
             return kept;
         }},
        {2,
         [](const std::set<std::string>& before) {
             std::set<std::string> kept = before;
             kept.erase("1111111");
             return kept;
         }},
    };
    for (auto& c : cases) {
        RegisterWithPlus shop;
        auto before = shop.plus();
        ASSERT_GT(before.size(), 30u);
        ASSERT_EQ(before.count("1111111"), 1u);
        std::vector<Operator::Step> steps;
        for (int i = 0; i < c.downs; ++i)
            steps.push_back({"Kasowanie PLU dla ktorych brak kartotek", key::Down});
        steps.push_back({"Kasowanie PLU dla ktorych brak kartotek", key::Enter});
        steps.push_back({"Kasowac ?", 'T'});
        Operator op(shop, steps);
        deletePlus(shop.ctx);
        EXPECT_TRUE(op.done());
        EXPECT_EQ(shop.plus(), c.kept(before)) << c.downs;
        for (const char* f : {"velto\\as2000.dbf", "velto\\as2000.ntx"}) EXPECT_FALSE(os::exists(f)) << f;
    }
}

TEST(PluDelete, WithoutThisRegistersListNothingIsDeleted) {
    struct Case {
        const char* what;
        bool driverThere;
        const char* fault;
    } cases[] = {
        {"the driver left no list", true, "noanswer"},
        {"the driver did not run: the old answer is a sales report", false, ""},
    };
    for (auto& c : cases) {
        RegisterWithPlus shop;
        auto before = shop.plus();
        testing_support::writeFile("velto/data_out.txt", "S;5906810660029;UL;6650;1000;Z;07;\r\n");
        if (!c.driverThere) os::erase("veltodrv");
        if (*c.fault) setenv("VELTODRV_FAULT", c.fault, 1);
        std::string message;
        shop.clock.onSleep([&](double) {
            if (shop.row(17).find("Brak listy") != std::string::npos) message = shop.row(17);
        });
        Operator op(shop, {{"Kasowanie wszystkich PLU", key::Enter}, {"Kasowac ?", 'T'}});
        deletePlus(shop.ctx);
        unsetenv("VELTODRV_FAULT");
        EXPECT_TRUE(op.done()) << c.what;
        EXPECT_NE(message.find("Brak listy PLU z kasy - nie kasuje"), std::string::npos) << c.what;
        EXPECT_EQ(records(), std::vector<std::string>{"S;I;0; ; ;"}) << c.what;  // no deletion request
        if (c.driverThere) {
            EXPECT_EQ(shop.plus(), before) << c.what;
        }
        EXPECT_TRUE(os::exists("velto\\as2000.dbf")) << c.what;  // the registry stays
    }
}

TEST(PluDelete, EscOrNoLeaveEverything) {
    for (int answer : {int(key::Esc), int('N')}) {
        RegisterWithPlus shop;
        auto before = shop.plus();
        std::vector<Operator::Step> steps{
            {"Kasowanie wszystkich PLU", answer == 'N' ? key::Enter : key::Esc}};
        if (answer == 'N') steps.push_back({"Kasowac ?", 'N'});
        Operator op(shop, steps);
        deletePlus(shop.ctx);
        EXPECT_TRUE(op.done());
        EXPECT_EQ(shop.plus(), before);
        EXPECT_TRUE(os::exists("velto\\as2000.dbf"));
        EXPECT_EQ(records(), std::vector<std::string>{"S;I;0; ; ;"});
    }
}
