// Sending the goods of given documents and of a leaflet: every article that passes the filters is written,
// changed or not, in the order of the lines, and the registry learns what was sent.
#include "velto/send_documents.h"

#include <gtest/gtest.h>

#include "platform/os/files.h"
#include "send_shop.h"
#include "velto/flows.h"
#include "velto/plu_registry.h"

using namespace send_testing;

namespace {

std::vector<int> documentKeys(const std::string& nrd) {
    std::vector<int> keys{key::Up, key::Up};
    for (char c : nrd) keys.push_back(c);
    keys.insert(keys.end(), {key::Enter, key::Enter, key::Enter, key::Enter, key::Enter, 'T'});
    return keys;
}

const std::vector<int> kLeafletKeys{key::Up, key::Up, key::Up, 'G', 'Z', key::Del, key::Enter, 'T'};

// Runs the sending and returns the codes written, the messages shown on the way collected in `messages`.
std::vector<std::string> send(SendShop& shop, const std::vector<int>& keys, bool expected = true,
                              std::vector<std::string>* messages = nullptr) {
    shop.clock.onSleep([&](double) {
        std::string row = shop.row(17);
        if (messages && row.find("║") == std::string::npos) {
            std::string text = row.substr(31, 41);
            text.erase(0, text.find_first_not_of(' '));
            text.erase(text.find_last_not_of(' ') + 1);
            if (messages->empty() || messages->back() != text) messages->push_back(text);
        }
    });
    shop.type(keys);
    EXPECT_EQ(TWORZ_U(shop.ctx), expected);
    shop.clock.onSleep(nullptr);
    EXPECT_EQ(shop.keys().pendingKeys(), 0u);
    std::vector<std::string> codes;
    auto all = records();
    EXPECT_EQ(all.at(0), "S;I;1; ; ;");
    for (size_t i = 1; i < all.size(); ++i) codes.push_back(codeOf(all[i]));
    return codes;
}

std::string remembered(const std::string& code) {
    auto t = xbase::Table::open("velto/as2000.dbf", "as2000", true);
    for (t->goTop(); !t->eof(); t->skip(1))
        if (t->get("KOD13").text.substr(0, code.size()) == code) {
            std::string s = t->get("TEKST").text;
            return s.erase(s.find_last_not_of(' ') + 1);
        }
    return {};
}

void makeLeaflet(const std::string& file, const std::vector<std::pair<const char*, const char*>>& rows) {
    std::filesystem::create_directories("rob0");
    auto t = xbase::Table::create(file, file, {{"MAG", 'C', 1}, {"INDEKS", 'C', 8}, {"NAZWA", 'C', 30}});
    for (auto& [mag, indeks] : rows) {
        t->appendBlank();
        t->put("MAG", Value::ofText(mag));
        t->put("INDEKS", Value::ofText(indeks));
    }
    t->close();
}

}  // namespace

TEST(SendDocuments, TwoDocumentsLineByLine) {
    // Document 4 gains a second line of its first article, right after it.
    SendShop shop([] {
        auto dow = xbase::Table::open("24/03/dow.dbf", "dow", true);
        for (const char* n : {"24/03/dow1.ntx", "24/03/dow2.ntx", "24/03/dow3.ntx"}) dow->attachIndex(n, n);
        dow->appendBlank();
        for (auto [f, v] :
             {std::pair{"RD", "PZ "}, {"NRD", "       4"}, {"LP", "  1"}, {"MAG", "1"}, {"INDEKS", "CH37"}})
            dow->put(f, Value::ofText(v));
        dow->close();
    });
    std::vector<std::string> messages;
    auto codes = send(shop, documentKeys("2/3 4"), true, &messages);
    // An article on both documents is written twice; blank bar codes, deleted goods and the same
    // article on consecutive lines are not.
    EXPECT_EQ(codes, (std::vector<std::string>{
                         "59067238",      "5903537320465", "5903838640088", "5902347450409", "5907418060167",
                         "5908959290051", "59018919",      "5902351980244",  // document 2
                         "5908959290051", "5900162800225", "5909821500230", "2007334341449", "5903929360505",
                         "5904962320310",  // document 3
                         "5906609950171", "5903609570477", "59055167",      "5903929360505", "59018919",  // 4
                     }));
    EXPECT_EQ(messages, (std::vector<std::string>{"PZ        2", "PZ        3", "PZ        4"}));
    // The name as folded, not trimmed; the flags of a document sending.
    auto all = records();
    EXPECT_EQ(all[4], "I;1;5902347450409;TO 2% 400         ;1574;A;3;11100;01;00;;");
    // The records also went to the screen, and the registry remembers them.
    EXPECT_NE(shop.screen().dump().find("I;1;5906609950171;"), std::string::npos);
    settleSending(shop.ctx, true);
    EXPECT_EQ(remembered("5902347450409"), all[4]);
    std::string out;
    EXPECT_EQ(testing_support::xbcheck("ntx velto/as2000.dbf velto/as2000.ntx", &out), 0) << out;

    // Unchanged since: written again all the same. Leading zeros vanish: 004 is document 4.
    auto again = send(shop, documentKeys("004"));
    EXPECT_EQ(again, (std::vector<std::string>{"5906609950171", "5903609570477", "59055167", "5903929360505",
                                               "59018919"}));
    // A number that is no document gives the request alone.
    EXPECT_TRUE(send(shop, documentKeys("77")).empty());
}

TEST(SendDocuments, ZeroPriceIsSentFromADocument) {
    SendShop shop;
    shop.changeGoods("1NAB00051", "CENA2", Value::ofNumber(0));
    shop.changeGoods("1NAB00051", "CENA3", Value::ofNumber(0));
    send(shop, documentKeys("2"));
    EXPECT_EQ(records().at(4), "I;1;5902347450409;TO 2% 400         ;0;A;3;11100;01;00;;");
    // A negative price is not.
    shop.changeGoods("1NAB00051", "CENA2", Value::ofNumber(-1));
    auto codes = send(shop, documentKeys("2"));
    EXPECT_TRUE(std::find(codes.begin(), codes.end(), "5902347450409") == codes.end());
}

TEST(SendDocuments, Leaflet) {
    SendShop shop([] {
        makeLeaflet("rob0/gazetka1.dbf",
                    {{"1", "NAB00051"}, {"1", "NAB00051"}, {"9", "NIEMA"}, {"1", "USL00012"}});
        makeLeaflet("rob0/gazetka_.dbf", {{"1", "CH37"}});
    });
    std::vector<std::string> messages;
    auto codes = send(shop, kLeafletKeys, true, &messages);
    // Every row on its own: the same article twice in a row is written twice.
    EXPECT_EQ(codes, (std::vector<std::string>{"5902347450409", "5902347450409", "5906810660029"}));
    EXPECT_EQ(messages.front(), "Wysylam rob0\\gazetka1");
    settleSending(shop.ctx, true);
    EXPECT_EQ(remembered("5906810660029"), records().at(3));
    EXPECT_EQ(send(shop, kLeafletKeys), codes);  // unchanged, sent again

    // Without the first file the second one is sent.
    settleSending(shop.ctx, true);
    os::erase("rob0\\gazetka1.dbf");
    EXPECT_EQ(send(shop, kLeafletKeys), std::vector<std::string>{"5906609950171"});
}

TEST(SendDocuments, LeafletHeldElsewhereGivesTheRequestAlone) {
    SendShop shop([] { makeLeaflet("rob0/gazetka1.dbf", {{"1", "USL00012"}}); });
    testing_support::OtherProcess holder(
        [] { xbase::Table::open("rob0/gazetka1.dbf", "g", true).release(); });
    EXPECT_TRUE(send(shop, kLeafletKeys).empty());
    EXPECT_EQ(shop.clock.seconds() >= 20, true);  // tried for 20 seconds
}
