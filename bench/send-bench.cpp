// send-bench [DIR]: sending goods to the register from a goods table of 200,000 articles, without the
// screen (headless console, virtual clock for the messages' waits). DIR is a demo shop made with
// "demo-shop DIR --articles 200000"; without it one is made beside the benchmark in a scratch directory.
// DIR itself is never changed: the sendings run on a copy.
//
// Prints one line per figure:
//   read_goods_seconds      reading the goods table file sequentially (the floor)
//   first_seconds           the first sending (every article new), wall clock
//   first_cpu_seconds       the same in processor time (user + system)
//   first_peak_kib          peak resident memory of the process that ran it
//   first_positions         PLU records written
//   second_*                a second sending with nothing changed
//   *_over_read             ratio of a sending to the floor
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "bench_support.h"
#include "lib/fun3.h"
#include "platform/os/clock.h"
#include "platform/os/files.h"
#include "platform/screen/console.h"
#include "platform/workplace.h"
#include "velto/flows.h"
#include "velto/init_dbf.h"
#include "velto/plu_registry.h"
#include "velto/public_settings.h"
#include "velto/register_table.h"
#include "velto/startup.h"

namespace fs = std::filesystem;
using core::Value;

namespace {

using bench::cpuSeconds;
using bench::peakKib;
using bench::phase;
double now() {
    return bench::wallSeconds();
}

double readSequentially(const fs::path& file) {
    double start = now();
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        std::exit(1);
    }
    static char buffer[1 << 16];
    size_t total = 0, n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) total += n;
    std::fclose(f);
    if (total == 0) std::exit(1);
    return now() - start;
}

fs::path goodsTable(const fs::path& shop) {
    for (auto& entry : fs::recursive_directory_iterator(shop))
        if (entry.path().filename() == "as.dbf") return entry.path();
    std::fprintf(stderr, "no goods table in %s\n", shop.c_str());
    std::exit(1);
}

// One sending in a process of its own, as the main menu runs it, on a headless screen: the dialog's
// fields taken as they stand, the warehouse question answered T, the registry kept as sent.
void sending(const fs::path& shop, const char* name, double floor) {
    phase([&] {
        fs::current_path(shop);
        os::VirtualClock clock;
        auto console = screen::Console::headless(clock);
        Workplace work(clock, *console);
        auto& settings = work.settings;
        auto& areas = work.areas;
        Context& ctx = work.ctx;
        createPublicSettings(settings, clock.today());
        readOrWriteParameters(ctx);
        settings.set("STACJA", Value::ofNumber(1));
        if (!INIT_DBF(ctx)) std::exit(1);
        Procedure menu(ctx, "VELTO_");
        settings.declarePrivate("NR_KASY", Value::ofText("01"));
        settings.declarePrivate("OPIS", Value::ofText(std::string(28, ' ')));
        settings.declarePrivate("PORT", Value::ofNumber(1));
        settings.declarePrivate("PREDKOSC", Value::ofNumber(9600));
        settings.declarePrivate("PS_MAG", Value::ofText(" "));
        settings.declarePrivate("M_MAGAZYN", Value::ofText(std::string(10, ' ')));
        areas.select(kRegisterSlot);
        if (!openRegisterTable(ctx)) std::exit(1);
        areas.select(1);
        areas.commitAll();

        auto& keys = *console->headless();
        int fields = (settings.logical("JEST_KOD13") ? 1 : 0) + 1 + (settings.number("J_POZIOM") > 1 ? 1 : 0);
        for (int i = 0; i < fields; ++i) keys.type(screen::key::Enter);
        if (settings.logical("JEST_KOD13")) keys.type('T');

        double start = now(), cpu = cpuSeconds();
        bool written = TWORZ_U(ctx);
        double wall = now() - start;
        cpu = cpuSeconds() - cpu;
        if (!written) std::exit(1);
        settleSending(ctx, true);

        long positions = -1;  // lines after the request record
        if (std::FILE* f = std::fopen("velto/data_in.txt", "rb")) {
            int c;
            while ((c = std::fgetc(f)) != EOF)
                if (c == '\n') ++positions;
            std::fclose(f);
        }
        std::printf("%s_seconds %.3f\n", name, wall);
        std::printf("%s_cpu_seconds %.3f\n", name, cpu);
        std::printf("%s_peak_kib %ld\n", name, peakKib());
        std::printf("%s_positions %ld\n", name, positions);
        std::printf("%s_over_read %.1f\n", name, wall / floor);
    });
}

}  // namespace

int main(int argc, char** argv) {
    fs::path scratch = fs::temp_directory_path() / ("send-bench-" + std::to_string(getpid()));
    fs::create_directories(scratch);
    fs::path source;
    if (argc > 1) {
        source = fs::absolute(argv[1]);
    } else {
        source = scratch / "made";
        fs::path maker = fs::canonical("/proc/self/exe").parent_path() / "demo-shop";
        std::string command = maker.string() + " " + source.string() + " --articles 200000 >/dev/null";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "cannot make a demo shop with %s\n", maker.c_str());
            return 1;
        }
    }
    fs::path shop = scratch / "shop";
    fs::copy(source, shop, fs::copy_options::recursive);
    fs::remove(shop / "velto" / "as2000.dbf");
    fs::remove(shop / "velto" / "as2000.ntx");

    fs::path goods = goodsTable(shop);
    readSequentially(goods);  // the file in the page cache, as for the sendings
    double floor = readSequentially(goods);
    std::printf("goods_records %ju\n", static_cast<uintmax_t>((fs::file_size(goods) - 898) / 306));
    std::printf("read_goods_seconds %.3f\n", floor);
    sending(shop, "first", floor);
    sending(shop, "second", floor);
    fs::remove_all(scratch);
    return 0;
}
