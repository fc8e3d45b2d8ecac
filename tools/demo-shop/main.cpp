// demo-shop: writes a complete demo data directory of the stock-keeping system for the current month,
// for trying the program out and for tests and benchmarks.
//
//   demo-shop DIR [--articles N]     N goods records, 2000 by default
//
// DIR is created when missing. A directory that already holds a company table is a shop already and is
// left alone (exit status 1).
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "demo_shop.h"
#include "platform/core/cp852.h"
#include "platform/os/clock.h"
#include "platform/os/files.h"

namespace {

constexpr uint32_t kDefaultArticles = 2000;
// The fixed articles of the recipes need room, and INDEKS numbers run out past a million.
constexpr uint32_t kMinArticles = 30, kMaxArticles = 1000000;

int usage() {
    std::cerr << "usage: demo-shop DIR [--articles N]   (" << kMinArticles << " <= N <= " << kMaxArticles
              << ", default " << kDefaultArticles << ")\n";
    return 2;
}

bool parseCount(std::string_view text, uint32_t& n) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    return ec == std::errc() && end == text.data() + text.size() && n >= kMinArticles && n <= kMaxArticles;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir;
    uint32_t articles = kDefaultArticles;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--articles" && i + 1 < argc) {
            if (!parseCount(argv[++i], articles)) return usage();
        } else if (arg.substr(0, 11) == "--articles=") {
            if (!parseCount(arg.substr(11), articles)) return usage();
        } else if (dir.empty() && !arg.empty() && arg[0] != '-') {
            dir = arg;
        } else {
            return usage();
        }
    }
    if (dir.empty()) return usage();

    try {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (!std::filesystem::is_directory(dir)) {
            std::cerr << "demo-shop: cannot create the directory " << dir << "\n";
            return 1;
        }
        std::filesystem::current_path(dir);
        // The company table marks a shop: never write over one, whatever the letter case of its name.
        if (os::exists("firma.dbf")) {
            std::cerr << "demo-shop: " << dir
                      << " already holds a company table (firma.dbf); nothing was changed\n";
            return 1;
        }
        os::SystemClock clock;
        demo::ShopSummary shop = demo::makeDemoShop(articles, clock.now());
        std::string period = shop.period;
        period[2] = '/';
        std::cout << "demo shop in " << dir << ": period " << period << ", " << shop.goods
                  << " goods records, " << shop.receipts << " receipts\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "demo-shop: " << core::cp852ToUtf8(e.what()) << "\n";
        return 1;
    }
}
