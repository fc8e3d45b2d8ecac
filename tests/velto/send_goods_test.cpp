// Sending goods from the goods table over the real-engine shop: the dialog, the records written and their
// order, the filters, and what the PLU registry makes of a second sending.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/core/cp852.h"
#include "platform/os/files.h"
#include "platform/settings/mem_file.h"
#include "send_shop.h"
#include "velto/flows.h"
#include "velto/plu_registry.h"
#include "velto/send.h"

using namespace send_testing;
using namespace core::literals;

namespace {

// Sends with the dialog's fields as given by `keys`, and returns the PLU records written (the request
// record checked and left out) with the count the closing message gave.
struct Sent {
    bool result = false;
    std::vector<std::string> plus;
    std::string message;
};

Sent sendGoods(SendShop& shop, const std::vector<int>& keys) {
    Sent sent;
    shop.clock.onSleep([&](double) {
        std::string row = shop.row(17);
        if (row.find("W pliku jest") != std::string::npos) sent.message = row.substr(row.find("W pliku"), 25);
    });
    shop.type(keys);
    os::erase("velto\\data_in.txt");
    sent.result = TWORZ_U(shop.ctx);
    shop.clock.onSleep(nullptr);
    EXPECT_EQ(shop.keys().pendingKeys(), 0u) << "the dialog asked for fewer keys than expected";
    if (!os::exists("velto\\data_in.txt")) return sent;
    auto all = records();
    EXPECT_FALSE(all.empty());
    if (all.empty()) return sent;
    EXPECT_EQ(all[0], "S;I;1; ; ;");
    sent.plus.assign(all.begin() + 1, all.end());
    return sent;
}

std::string pluOf(const std::vector<std::string>& plus, const std::string& code) {
    for (auto& p : plus)
        if (codeOf(p) == code) return p;
    return {};
}

std::vector<std::string> codes(const std::vector<std::string>& plus) {
    std::vector<std::string> out;
    for (auto& p : plus) out.push_back(codeOf(p));
    return out;
}

}  // namespace

TEST(SendGoods, FirstSendingThenNothingChanged) {
    SendShop shop;
    Sent first = sendGoods(shop, shop.acceptDialog());
    ASSERT_TRUE(first.result);
    EXPECT_EQ(first.message, "W pliku jest   " + std::to_string(first.plus.size()) + " pozycji");
    // Short form, at the first price level's neighbour 0: CENA3 where there is one, else CENA2.
    EXPECT_EQ(pluOf(first.plus, "5906810660029"),
              "I;1;5906810660029;UL                ;6650;Z;3;11100;07;00;;");
    EXPECT_EQ(pluOf(first.plus, "5902347450409"),
              "I;1;5902347450409;TO 2% 400         ;1574;A;3;11100;01;00;;");
    // Passed over: blank bar codes, deleted records, the same code again right after itself.
    auto sentCodes = codes(first.plus);
    for (const char* absent : {"0033", "5901360830427", ""})
        EXPECT_EQ(std::count(sentCodes.begin(), sentCodes.end(), absent), 0) << absent;
    EXPECT_EQ(std::count(sentCodes.begin(), sentCodes.end(), "5908896060090"), 1);  // both warehouses
    EXPECT_EQ(std::count(sentCodes.begin(), sentCodes.end(), "5907207410203"), 1);  // one of them deleted
    // In order of name: the first 17 characters of the folded names never go down.
    for (size_t i = 1; i < first.plus.size(); ++i)
        EXPECT_LE(first.plus[i - 1].substr(first.plus[i - 1].find(';', 4) + 1, 17),
                  first.plus[i].substr(first.plus[i].find(';', 4) + 1, 17))
            << i;
    std::string out;
    EXPECT_EQ(testing_support::xbcheck("ntx velto/as2000.dbf velto/as2000.ntx", &out), 0) << out;

    settleSending(shop.ctx, true);
    Sent second = sendGoods(shop, shop.acceptDialog());
    EXPECT_TRUE(second.result);  // the request alone is still offered for transmission
    EXPECT_TRUE(second.plus.empty());
    EXPECT_EQ(second.message, "W pliku jest    0 pozycji");
    EXPECT_EQ(testing_support::xbcheck("ntx velto/as2000.dbf velto/as2000.ntx", &out), 0) << out;
}

TEST(SendGoods, AChangeResendsThatArticleOnly) {
    struct Case {
        const char* what;
        const char* field;
        Value value;
        std::string expected;
    } cases[] = {
        {"price", "CENA3", Value::ofNumber(70.10),
         "I;1;5906810660029;UL                ;7010;Z;3;11100;07;00;;"},
        {"name", "NAZWA", Value::ofText(std::string("USŁUGA TELEFONU"_cp)),
         "I;1;5906810660029;USLUGA TELEFONU   ;6650;Z;3;11100;07;00;;"},
        {"tax rate", "PODATEK0", Value::ofText(" 8"),
         "I;1;5906810660029;UL                ;6650;B;3;11100;02;00;;"},
    };
    for (auto& c : cases) {
        SendShop shop;
        ASSERT_TRUE(sendGoods(shop, shop.acceptDialog()).result);
        settleSending(shop.ctx, true);
        shop.changeGoods("1USL00012", c.field, c.value);
        Sent second = sendGoods(shop, shop.acceptDialog());
        EXPECT_EQ(second.plus, std::vector<std::string>{c.expected}) << c.what;
        EXPECT_EQ(second.message, "W pliku jest    1 pozycji") << c.what;
    }
}

TEST(SendGoods, PriceLevelsAndRegisters) {
    SendShop shop;
    ASSERT_TRUE(sendGoods(shop, shop.acceptDialog()).result);
    settleSending(shop.ctx, true);
    // Level 3 of 3 is CENA2M: every article with another price there is sent again.
    Sent level = sendGoods(shop, {key::Enter, key::Enter, '3', key::Enter, 'T'});
    EXPECT_EQ(pluOf(level.plus, "5906810660029"),
              "I;1;5906810660029;UL                ;6318;Z;3;11100;07;00;;");
    EXPECT_GT(level.plus.size(), 30u);
    settleSending(shop.ctx, true);

    // Another register has its own memory: everything goes to it, and register 01 is left as it was.
    shop.selectRegister(2);
    Sent other = sendGoods(shop, {key::Enter, key::Enter, '3', key::Enter, 'T'});
    EXPECT_EQ(other.plus, level.plus);
    settleSending(shop.ctx, true);
    shop.selectRegister(1);
    EXPECT_TRUE(sendGoods(shop, {key::Enter, key::Enter, '3', key::Enter, 'T'}).plus.empty());
}

TEST(SendGoods, LongFormAndWholeNameOrderFor3000) {
    SendShop shop;
    shop.selectRegister(1, "Kasa 3000");
    Sent sent = sendGoods(shop, shop.acceptDialog());
    ASSERT_FALSE(sent.plus.empty());
    EXPECT_EQ(pluOf(sent.plus, "5906810660029"),
              "I#00;1;5906810660029;0;UL" + std::string(28, ' ') + ";6650;Z;3;11100;07;00;;00;0;");
    for (auto& p : sent.plus) EXPECT_EQ(p.substr(0, 5), "I#00;");
    std::string out;
    testing_support::runCommand(
        "python3 -c \"import sys; d=open('rob/as_01.ntx','rb').read(); "
        "print(d[22:60].split(b'\\\\0')[0].decode())\"",
        &out);
    EXPECT_EQ(out, "nazwa+mag+indeks\n");
}

TEST(SendGoods, DialogScreenAndAbandon) {
    SendShop shop;
    screen::CursorState cursor;
    shop.keys().onKeyWanted([&](double) {
        cursor = shop.keys().cursor();
        return key::Esc;
    });
    EXPECT_FALSE(TWORZ_U(shop.ctx));
    EXPECT_FALSE(os::exists("velto\\data_in.txt"));
    EXPECT_FALSE(os::exists("velto\\as2000.dbf"));  // nothing opened, nothing written
    EXPECT_EQ(shop.row(5).substr(10, 64), "Rd: PZ   Nrd: " + std::string(37, ' ') + " od znaku:   ");
    EXPECT_EQ(shop.row(7).substr(10, 51), " 1. Przesłanie danych do kasy z magazynu           "_cp);
    EXPECT_EQ(shop.row(8).substr(10, 42), " 2. Wyslac tylko wtedy gdy ilosc > 0     N");
    EXPECT_EQ(shop.row(10).substr(10, 42), " 3. Z ktorego poziomu cen sprzedazy ?    0");
    EXPECT_EQ(shop.row(11).substr(10, 35), "    0,1 - najwyzszy,  3 - najnizszy");
    // The cursor begins on the warehouse field, past the three document fields.
    EXPECT_EQ(cursor.row, 7);
    EXPECT_EQ(cursor.col, 51);
    EXPECT_TRUE(cursor.visible);
    EXPECT_FALSE(shop.screen().cursorVisible());  // hidden once the dialog is over
}

TEST(SendGoods, DialogFieldChecks) {
    struct Case {
        const char* what;
        std::vector<int> keys;  // from the warehouse field, where the cursor starts
        int row, col;           // where the cursor stands after them
        std::string shown;      // what the field then shows
    } cases[] = {
        {"an empty type stays", {key::Up, key::Up, key::Up, key::ctrl('Y'), key::Enter}, 5, 14, "   "},
        {"a type is left", {key::Up, key::Up, key::Up, 'W', 'Z', key::Del, key::Enter}, 5, 24, "WZ "},
        {"only T or N for the quantity", {key::Enter, 'Y', key::Enter}, 8, 51, "Y"},
        {"T for the quantity", {key::Enter, 'T', key::Enter}, 10, 51, "T"},
    };
    for (auto& c : cases) {
        SendShop shop;
        shop.type(c.keys);
        screen::CursorState cursor;
        shop.keys().onKeyWanted([&](double) {
            cursor = shop.keys().cursor();
            return key::Esc;
        });
        EXPECT_FALSE(TWORZ_U(shop.ctx)) << c.what;
        EXPECT_EQ(cursor.row, c.row) << c.what;
        EXPECT_EQ(cursor.col, c.col) << c.what;
        int at = c.row == 5 ? 14 : 51;
        EXPECT_EQ(shop.row(c.row == 10 ? 8 : c.row).substr(static_cast<size_t>(at), c.shown.size()), c.shown)
            << c.what;
    }
}

TEST(SendGoods, LeafletTypeEndsTheDialogAtOnce) {
    SendShop shop;
    // "GZ" in Rd ends the dialog: no further field is edited. Without a leaflet file the sending says so
    // and nothing is transmitted.
    shop.type({key::Up, key::Up, key::Up, 'G', 'Z', key::Del, key::Enter, 'T'});
    std::string message;
    shop.clock.onSleep([&](double) {
        if (shop.row(17).find("NIE ma") != std::string::npos) message = shop.row(17);
    });
    EXPECT_FALSE(TWORZ_U(shop.ctx));
    EXPECT_NE(message.find("NIE ma plikow GAZETKA1, GAZETKA_"), std::string::npos);
    EXPECT_EQ(shop.keys().pendingKeys(), 0u);
}

TEST(SendGoods, WithoutBarCodesOrLevels) {
    // A goods table without KOD13 and CENAM: no warehouse field (warehouses 1 to 9, or the register's),
    // no price level, and codes from the goods index.
    SendShop shop([] { goodsWithout({"KOD13", "CENAM"}); });
    Sent sent = sendGoods(shop, {key::Enter});
    ASSERT_TRUE(sent.result);
    EXPECT_EQ(shop.settings.text("M_MAGAZYN"), "123456789");
    EXPECT_TRUE(shop.row(7).find("z magazynu") == std::string::npos);
    // Index codes are digits up to the first other character: "CH37" and the like give none.
    for (auto& p : sent.plus) EXPECT_FALSE(codeOf(p).empty());
    auto sentCodes = codes(sent.plus);
    EXPECT_TRUE(std::find(sentCodes.begin(), sentCodes.end(), "5906810660029") == sentCodes.end());

    shop.settings.set("PS_MAG", Value::ofText("2"));
    settleSending(shop.ctx, true);
    sendGoods(shop, {key::Enter});
    EXPECT_EQ(shop.settings.text("M_MAGAZYN"), "2         ");
}

TEST(SendGoods, DateInNrdSendsTheReceiptsSinceThen) {
    SendShop shop;
    ASSERT_TRUE(sendGoods(shop, shop.acceptDialog()).result);
    settleSending(shop.ctx, true);
    // Unchanged articles received on or after the date with the chosen type are sent again.
    auto since = [&](const std::string& date) {
        std::vector<int> keys{key::Up, key::Up};
        for (char c : date) keys.push_back(c);
        keys.insert(keys.end(), {key::Enter, key::Enter, key::Enter, key::Enter, key::Enter, 'T'});
        return sendGoods(shop, keys);
    };
    Sent dated = since("10.02.2024");
    ASSERT_TRUE(dated.result);
    std::vector<std::string> expected;
    {
        auto as = xbase::Table::open("24/03/as.dbf", "as_check", false);
        for (as->goTop(); !as->eof(); as->skip(1))
            if (as->get("RD_PZ").text == "PZ " &&
                as->get("DATA_PZ").date >= core::Date::fromYmd(2024, 2, 10) &&
                !as->get("KOD13").text.empty() && as->get("KOD13").text[0] != ' ')
                expected.push_back(as->get("KOD13").text.substr(0, as->get("KOD13").text.find(' ')));
    }
    auto got = codes(dated.plus);
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    EXPECT_FALSE(got.empty());
    EXPECT_EQ(got, expected);
    settleSending(shop.ctx, true);
    // An impossible date filters nothing: the usual sending of what changed, here nothing.
    EXPECT_TRUE(since("31.02.2024").plus.empty());
}

TEST(SendGoods, WarehouseQuantityAndStartLetter) {
    // The dialog's filters as an operator types them: warehouse 2 only, only goods in stock, names from
    // "W" on (as folded).
    SendShop shop;
    Sent sent = sendGoods(shop, {'2', key::Enter, 'T', key::Enter, key::Enter, 'T'});
    ASSERT_TRUE(sent.result);
    EXPECT_EQ(shop.settings.text("M_MAGAZYN"), "2         ");  // kept for the next sending
    std::map<std::string, std::string> warehouse;              // code -> warehouses holding it in stock
    {
        auto as = xbase::Table::open("24/03/as.dbf", "as_check", false);
        for (as->goTop(); !as->eof(); as->skip(1))
            if (as->get("ILOSC").number > 0)
                warehouse[as->get("KOD13").text.substr(0, 13)] += as->get("MAG").text;
    }
    for (auto& p : sent.plus) {
        std::string code = codeOf(p);
        code.resize(13, ' ');
        EXPECT_NE(warehouse[code].find('2'), std::string::npos) << p;
    }
    EXPECT_GT(sent.plus.size(), 3u);

    settleSending(shop.ctx, true);
    erasePluRegistry(shop.ctx);
    Sent fromW =
        sendGoods(shop, {key::Up, 'W', key::Enter, key::ctrl('Y'), key::Enter, key::Enter, key::Enter, 'T'});
    ASSERT_FALSE(fromW.plus.empty());
    for (auto& p : fromW.plus) EXPECT_GE(p.substr(p.find(';', 4) + 1, 1), "W") << p;
}

TEST(SendGoods, MissingTaxRatesAreNamedAndNothingIsWritten) {
    SendShop shop([] {
        auto entries = settings::readMemFile("PARAMETR.MEM", "PARAMETR.MEM");
        std::erase_if(entries, [](auto& e) { return e.first == "J_PTUB" || e.first == "J_PTUZ"; });
        settings::writeMemFile("PARAMETR.MEM", entries, "PARAMETR.MEM");
    });
    testing_support::writeFile("velto/data_in.txt", "S;U;2; ; ;\r\n");
    std::string message;
    shop.clock.onSleep([&](double) {
        if (shop.row(17).find("Brak") != std::string::npos) message = shop.row(17);
    });
    EXPECT_FALSE(TWORZ_U(shop.ctx));
    EXPECT_NE(message.find("Brak stawek VAT (J_PTU): B,Z"), std::string::npos) << message;
    EXPECT_EQ(testing_support::readFile("velto/data_in.txt"), "S;U;2; ; ;\r\n");
    EXPECT_FALSE(os::exists("velto\\as2000.dbf"));
}

TEST(SendGoods, NrdField) {
    struct Case {
        const char* typed;
        bool isDate;
        core::Date since;
        const char* documents;
    } cases[] = {
        {"05.03.2024", true, core::Date::fromYmd(2024, 3, 5), ""},
        {"31.02.2024", true, core::Date(), ""},
        {"12/15", false, core::Date(), ",12,15,"},
        {" 7 8.9;10\\11:12|13", false, core::Date(), ",7,8,9,10,11,12,13,"},
        {"05.03.24", false, core::Date(), ",05,03,24,"},
        {"", false, core::Date(), ""},
    };
    for (auto& c : cases) {
        std::string nrd = c.typed;
        nrd.resize(37, ' ');
        NrdField f = readNrd(nrd);
        EXPECT_EQ(f.isDate, c.isDate) << c.typed;
        EXPECT_EQ(f.since, c.since) << c.typed;
        EXPECT_EQ(f.documents, c.documents) << c.typed;
    }
}
