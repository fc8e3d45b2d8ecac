// sales-bench DIR: figures of receiving sales (archive copy, import, posting) on copies of a shop with
// 200,000 articles (an unpacked shop-200k.tar.xz, or one made by demo-shop --articles 200000). DIR is not
// changed. Prints one line per figure, "name value":
//
//   sales_100000_seconds / _peak_kib / _rows / _unmatched   a report of 100,000 lines, about 1 % unknown
//   sales_5000_seconds / _peak_kib / ...                    a day of 5,000 lines
//   sales_100000_verify OK|FAIL                             every index of dow, dowod and as afterwards
//
//   sales-bench DIR LINES   only a report of LINES lines (for a profiler)
//
// Each run works in a fresh copy of the shop, in a child process of its own (so the peak memory is its
// own), without the screen, on the system clock. Each size is received three times: a figure is the
// median of the runs ("name_runs" lists them), a peak memory the largest.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bench_support.h"
#include "platform/os/clock.h"
#include "platform/screen/console.h"
#include "platform/screen/keyboard.h"
#include "platform/workplace.h"
#include "platform/xbase/table.h"
#include "velto/init_dbf.h"
#include "velto/public_settings.h"
#include "velto/sales_import.h"

namespace fs = std::filesystem;
using core::Value;

namespace {

using bench::cpuSeconds;
using bench::peakKib;
using bench::phase;
using bench::seconds;

// The shop's current period from the company table ("03/24" is the directory 24/03), and a day in it.
struct Period {
    fs::path dir;
    core::Date day;
};

Period period(const fs::path& shop) {
    auto firma = xbase::Table::open((shop / "firma.dbf").string(), "firma.dbf", false);
    firma->goTop();
    std::string bmr = firma->get("BMR").text;
    int month = std::atoi(bmr.substr(0, 2).c_str()), year = 2000 + std::atoi(bmr.substr(3, 2).c_str());
    return {fs::path(bmr.substr(3, 2)) / bmr.substr(0, 2), core::Date::fromYmd(year, month, 15)};
}

// The bar codes of the goods table, for sale lines that match.
std::vector<std::string> barCodes(const fs::path& shop, const Period& p) {
    auto as = xbase::Table::open((shop / p.dir / "as.dbf").string(), "as.dbf", false);
    std::vector<std::string> codes;
    for (uint32_t r = 1; r <= as->recordCount(); ++r) {
        as->goTo(r);
        std::string code = as->get("KOD13").text;
        if (!as->deleted() && code.find_first_not_of(' ') != std::string::npos)
            codes.push_back(code.substr(0, code.find_last_not_of(' ') + 1));
    }
    return codes;
}

// A sales report as the register writes it: `lines` sales, one in a hundred of a code the shop lacks.
void writeReport(const fs::path& file, const std::vector<std::string>& codes, int lines) {
    std::set<std::string> known(codes.begin(), codes.end());
    std::mt19937 rng(20240315);
    std::ofstream out(file, std::ios::binary);
    for (int i = 0; i < lines; ++i) {
        std::string code = codes[rng() % codes.size()];
        if (rng() % 100 == 0) {
            do code = "99" + std::to_string(100000000 + rng() % 900000000);
            while (known.count(code));
        }
        int quantity =
            1000 * static_cast<int>(1 + rng() % 5) + (rng() % 4 == 0 ? static_cast<int>(rng() % 1000) : 0);
        int value = static_cast<int>(50 + rng() % 20000);
        out << "S;" << code << ";TOWAR " << i << ";" << value << ";" << quantity << ";A;01;\r\n";
    }
}

void copyShop(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive);
    fs::create_directories(to / "rob");
    fs::create_directories(to / "velto");
}

// Receives one report in a fresh copy of the shop, as station 1 would, without the screen.
void receive(const fs::path& shop, const Period& p, const fs::path& work, const fs::path& report,
             const std::string& name, bool verify) {
    copyShop(shop, work);
    fs::copy_file(report, work / "velto" / "data_out.txt");
    // A shop's tables are not all freshly written when a receive starts: the copy goes to disk first,
    // so that its write-back does not run during the timing.
    ::sync();
    phase([&] {
        fs::current_path(work);
        os::SystemClock clock;
        auto console = screen::Console::headless(clock);
        // Esc answers every wait: the amount message, and the printout editor the unmatched lines open.
        console->headless()->onKeyWanted([](double) { return screen::key::Esc; });
        Workplace workplace(clock, *console);
        auto& settings = workplace.settings;
        auto& areas = workplace.areas;
        Context& ctx = workplace.ctx;
        createPublicSettings(settings, p.day);
        settings.set("STACJA", Value::ofNumber(1));
        settings.set("PLIK", Value::ofText("rob\\wydruk01.prn"));
        settings.declarePublic("PS_MAG", Value::ofText(" "));
        settings.declarePublic("PS_MAG_NO", Value::ofText(" "));
        if (!INIT_DBF(ctx)) {
            std::fprintf(stderr, "the shop's tables did not open\n");
            _exit(1);
        }
        double cpu = cpuSeconds();
        double s = seconds([&] { ZROB_SD_ZETO(ctx, "velto\\data_out.txt"); });
        cpu = cpuSeconds() - cpu;
        std::printf("%s_seconds %.3f\n", name.c_str(), s);
        std::printf("%s_cpu_seconds %.3f\n", name.c_str(), cpu);
        std::printf("%s_peak_kib %ld\n", name.c_str(), peakKib());
        std::printf("%s_rows %u\n", name.c_str(), areas.table("dd").recordCount());
        std::printf("%s_document %s\n", name.c_str(), settings.text("M_NRD").c_str());
        areas.closeAll();
    });
    std::ifstream printout(work / "rob" / "wydruk01.prn", std::ios::binary);
    std::string line;
    int unmatched = 0;
    while (std::getline(printout, line)) ++unmatched;
    std::printf("%s_unmatched %d\n", name.c_str(), unmatched);
    if (!verify) return;
    // Every index of the tables the posting wrote, checked by the command-line table tool.
    fs::path xbtool = fs::canonical("/proc/self/exe").parent_path() / "xbtool";
    fs::path period = work / p.dir;
    std::string all;
    for (auto [table, indexes] :
         {std::pair{"as", "as as2 as3"}, {"dow", "dow1 dow2 dow3"}, {"dowod", "dowod1 dowod2"}}) {
        std::string command = xbtool.string() + " verify " + (period / table).string() + ".dbf";
        std::string list = indexes;
        for (size_t start = 0; start < list.size();) {
            size_t end = list.find(' ', start);
            if (end == std::string::npos) end = list.size();
            command += " " + (period / list.substr(start, end - start)).string() + ".ntx";
            start = end + 1;
        }
        if (std::system((command + " >/dev/null").c_str()) != 0) all += std::string(table) + " ";
    }
    std::printf("%s_verify %s\n", name.c_str(), all.empty() ? "OK" : ("FAIL " + all).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: sales-bench DIR [LINES]   (a shop of 200,000 articles)\n");
        return 2;
    }
    fs::path shop = fs::absolute(argv[1]);
    if (!fs::exists(shop / "firma.dbf")) {
        std::fprintf(stderr, "no shop (firma.dbf) in %s\n", argv[1]);
        return 2;
    }
    Period p = period(shop);
    fs::path scratch = fs::temp_directory_path() / ("sales-bench-" + std::to_string(getpid()));
    fs::create_directories(scratch);
    std::vector<std::string> codes = barCodes(shop, p);
    const std::vector<int> sizes =
        argc == 3 ? std::vector<int>{std::atoi(argv[2])} : std::vector<int>{5000, 100000};
    for (int lines : sizes) writeReport(scratch / (std::to_string(lines) + ".txt"), codes, lines);
    codes.clear();
    codes.shrink_to_fit();

    for (int lines : sizes) {
        std::string name = "sales_" + std::to_string(lines);
        bench::repeated(3, [&] {
            receive(shop, p, scratch / "shop", scratch / (std::to_string(lines) + ".txt"), name,
                    lines >= 100000);
        });
    }
    fs::remove_all(scratch);
    return 0;
}
