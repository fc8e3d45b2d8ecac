#pragma once
// A complete demo data directory of the stock-keeping system for the program to run in: the company
// table, the current period's goods and document tables with their orders, the saved parameters, the
// recipe tables, a leaflet, the workstation configuration file and the working directories.
#include <cstdint>
#include <string>

#include "platform/os/clock.h"

namespace demo {

struct ShopSummary {
    std::string period;  // the period directory, "26\12"
    uint32_t goods = 0;  // goods records written
    int receipts = 0;    // receipt documents written
};

// Writes the shop into the working directory for the month of `now`, with `articles` goods records.
ShopSummary makeDemoShop(uint32_t articles, const os::LocalTime& now);

}  // namespace demo
