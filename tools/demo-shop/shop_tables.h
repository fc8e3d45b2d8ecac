#pragma once
// The tables of a demo shop, written with the program's own table engine. Names are DOS names relative
// to the working directory (the data directory being made); `hh` is the period directory ("26\12").
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue.h"
#include "platform/core/date.h"
#include "platform/xbase/field.h"

namespace xbase {
class Table;
}

namespace demo {

// The goods table's fields, as the stock-keeping system lays them out.
const std::vector<xbase::Field>& goodsFields();

// Record numbers of live goods that a receipt or a leaflet may name, by warehouse.
struct GoodsPools {
    std::vector<uint32_t> main, second;  // warehouses "1" and "2"
};

// Creates the goods table with `count` records and leaves it open, exclusive and without orders, so
// that the receipts can still update it; buildGoodsOrders adds the three orders once that is done.
std::unique_ptr<xbase::Table> writeGoods(const std::string& hh, Catalogue& catalogue, uint32_t count,
                                         GoodsPools& pools);
void buildGoodsOrders(xbase::Table& goods, const std::string& hh);

struct Contractor {
    std::string_view kod, nazwa, adres, nip;
    double rabat;
};
const std::vector<Contractor>& contractors();
void writeContractors(const std::string& hh);

// Receipts from suppliers spread over the period up to today: headers in dowod, rows in dow, and the
// last receipt of each article noted in its goods record (and its stock raised). Returns how many.
int writeReceipts(const std::string& hh, xbase::Table& goods, const GoodsPools& pools, core::Date periodStart,
                  core::Date today, int documents);

// The document-kind dictionary, the receipt counter standing at the last receipt written.
void writeDocumentKinds(const std::string& hh, int receipts);

// Creates a table anew (a file left from before is replaced); creation failures are fatal.
std::unique_ptr<xbase::Table> createTable(const std::string& dosName,
                                          const std::vector<xbase::Field>& fields);
// Builds an index file on the table and closes it.
void index(xbase::Table& table, const std::string& dosName, const std::string& expression);

}  // namespace demo
