// The working copies of a sending: every undeleted goods record with its name folded, and the same records
// in the sending order, whatever part of the sorted copy fits in memory at a time.
#include "velto/send_copies.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/xbase/expr.h"
#include "send_shop.h"
#include "velto/plu.h"

using namespace send_testing;

namespace {

std::vector<std::string> recordsOf(const std::string& file) {
    auto t = xbase::Table::open(file, file, true);
    std::vector<std::string> out;
    for (t->goTop(); !t->eof(); t->skip(1))
        out.emplace_back(t->record(), static_cast<size_t>(t->layout().recordLength));
    return out;
}

}  // namespace

TEST(SendCopies, FoldedCopyAndSendingOrder) {
    struct Case {
        bool wholeNames;
        size_t band;
    } cases[] = {{false, kSortBand}, {false, 7 * 306}, {true, 1}, {true, 20 * 306}};
    for (auto& c : cases) {
        SendShop shop;
        SCOPED_TRACE(std::to_string(c.wholeNames) + " " + std::to_string(c.band));
        auto& goods = shop.areas.table("as");
        WorkingCopies copies = makeWorkingCopies(shop.ctx, goods, c.wholeNames, 1, c.band);
        EXPECT_EQ(copies.first, "rob\\as_01");
        EXPECT_EQ(copies.sorted, "rob\\ass01");

        // The first copy: the undeleted goods records in their order, names folded and left-aligned.
        const auto* nazwa = goods.layout().field("NAZWA");
        std::vector<std::string> expected;
        goods.setOrder(0);
        for (goods.goTop(); !goods.eof(); goods.skip(1)) {
            std::string r(goods.record(), static_cast<size_t>(goods.layout().recordLength));
            std::string name = foldName(r.substr(static_cast<size_t>(nazwa->offset), 30), false);
            name.erase(0, std::min(name.find_first_not_of(' '), name.size()));
            name.resize(30, ' ');
            r.replace(static_cast<size_t>(nazwa->offset), 30, name);
            expected.push_back(r);
        }
        goods.setOrder(1);
        auto first = recordsOf("rob/as_01.dbf");
        EXPECT_EQ(first, expected);
        EXPECT_EQ(copies.records, expected.size());
        EXPECT_EQ(expected.size(), 57u);  // three of the sixty are deleted

        // The sorted copy: the same records by the key of the sending order, equal keys by record number.
        auto key = xbase::Expression::compile(sendingOrder(c.wholeNames), goods.layout());
        std::vector<size_t> order(first.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return key.key(first[a].data(), 0, key.length(), 0) <
                   key.key(first[b].data(), 0, key.length(), 0);
        });
        std::vector<std::string> sorted;
        for (size_t i : order) sorted.push_back(first[i]);
        EXPECT_EQ(recordsOf("rob/ass01.dbf"), sorted);

        std::string out;
        EXPECT_EQ(testing_support::xbcheck("ntx rob/as_01.dbf rob/as_01.ntx", &out), 0) << out;
        EXPECT_EQ(testing_support::xbcheck("dbf rob/ass01.dbf", &out), 0) << out;
    }
}
