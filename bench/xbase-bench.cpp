// xbase-bench DIR: figures of the table engine on an unpacked copy of the 200,000-article shop
// (shop-200k.tar.xz). Works on copies in a scratch directory; DIR is not changed.
// Prints one line per figure: "name seconds" (or "name value" for counts and memory); each timed figure is
// followed by "name_cpu seconds", the user and system time it took (wall time misleads on a busy machine).
// Every phase runs three times, each in a process of its own and on fresh copies; a figure is the median
// of its runs ("name_runs" lists them), a peak memory the largest.
//
//   xbase-bench DIR                 all figures
//   xbase-bench --appends N DIR [exclusive]   N appends to DIR/dow.dbf and its indexes (shared unless
//                                            told), for counting system calls under strace and checking files
//   xbase-bench --seeks DIR [exclusive]      only the seeks (on DIR's own as.dbf), for a profiler
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "platform/xbase/ntx.h"
#include "platform/xbase/table.h"

namespace fs = std::filesystem;
using core::Value;

namespace {

// Runs the work and prints "name wall" and "name_cpu cpu".
void timed(const std::string& name, const std::function<void()>& work) {
    double cpu = bench::cpuSeconds();
    double wall = bench::seconds(work);
    cpu = bench::cpuSeconds() - cpu;
    std::printf("%s %.3f\n%s_cpu %.3f\n", name.c_str(), wall, name.c_str(), cpu);
}

std::string path(const fs::path& p) {
    return p.string();
}

std::unique_ptr<xbase::Table> openDow(const fs::path& dir, bool exclusive) {
    auto t = xbase::Table::open(path(dir / "dow.dbf"), "dow.dbf", exclusive);
    for (const char* n : {"dow1.ntx", "dow2.ntx", "dow3.ntx"}) t->attachIndex(path(dir / n), n);
    return t;
}

void appendRows(xbase::Table& t, int count, int first) {
    auto date = core::Date::fromYmd(2024, 3, 15);
    for (int i = 0; i < count; ++i) {
        int n = first + i;
        t.appendBlank();
        t.put("R_P", Value::ofText("R"));
        t.put("S_Z", Value::ofText("S"));
        t.put("RD", Value::ofText("SD "));
        char nrd[16];
        std::snprintf(nrd, sizeof nrd, "%8d", 90000 + n / 50);
        t.put("NRD", Value::ofText(nrd));
        t.put("DATA", Value::ofDate(date));
        t.put("MAG", Value::ofText("1"));
        char lp[8];
        std::snprintf(lp, sizeof lp, "%3d", n % 50 + 1);
        t.put("LP", Value::ofText(lp));
        t.put("KTO", Value::ofText("O"));
        t.put("ODB", Value::ofText(""));
        char indeks[16];
        std::snprintf(indeks, sizeof indeks, "B%07d", n % 200000);
        t.put("INDEKS", Value::ofText(indeks));
        t.put("NAZWA", Value::ofText("TOWAR TESTOWY"));
        t.put("JM", Value::ofText("szt"));
        t.put("CENA0", Value::ofNumber(1.2345));
        t.put("CENA", Value::ofNumber(2.5));
        t.put("NB", Value::ofText("B"));
        t.put("ILOSC", Value::ofNumber(1 + n % 7));
        t.put("WARTOSC", Value::ofNumber(2.5 * (1 + n % 7)));
        t.put("PODATEK0", Value::ofText("23"));
        t.put("PODATEK", Value::ofNumber(0.47));
        t.put("SWW", Value::ofText(""));
        t.put("PKWIU", Value::ofText(""));
    }
    t.commit();
    t.unlock();
}

void copyDow(const fs::path& from, const fs::path& to) {
    fs::create_directories(to);
    for (const char* n : {"dow.dbf", "dow1.ntx", "dow2.ntx", "dow3.ntx"})
        fs::copy_file(from / n, to / n, fs::copy_options::overwrite_existing);
}

// The system calls that the work area's seeks of one mode cannot do without, alone and over the same
// records: the record read, and in shared mode the index lock and its release around the walk. Through
// descriptors of their own (read locks do not conflict with the engine's), so that the seeks' figure can
// be read against what this machine's kernel takes for them at the same moment.
void protocolCallsAlone(const fs::path& dir, bool exclusive, const std::vector<uint32_t>& recnos) {
    int dbf = ::open(path(dir / "as.dbf").c_str(), O_RDONLY);
    int ntx = ::open(path(dir / "as.ntx").c_str(), O_RDONLY);
    unsigned char header[12];
    if (dbf < 0 || ntx < 0 || pread(dbf, header, sizeof header, 0) != sizeof header) std::exit(1);
    const uint64_t headerLength = header[8] | header[9] << 8, recordLength = header[10] | header[11] << 8;
    std::vector<char> record(recordLength);
    // The index lock byte, and its release as the engine makes it on a local disk (the whole file).
    struct flock lock {}, release {};
    lock.l_type = F_RDLCK;
    lock.l_whence = release.l_whence = SEEK_SET;
    lock.l_start = 1000000000;
    lock.l_len = 1;
    release.l_type = F_UNLCK;
    timed(std::string("seeks_200000_") + (exclusive ? "exclusive" : "shared") + "_calls_alone", [&] {
        for (uint32_t r : recnos) {
            if (!exclusive) {
                fcntl(ntx, F_OFD_SETLK, &lock);
                fcntl(ntx, F_OFD_SETLK, &release);
            }
            auto at = static_cast<off_t>(headerLength + (r - 1) * recordLength);
            if (pread(dbf, record.data(), recordLength, at) <= 0) std::exit(1);
        }
    });
    ::close(dbf);
    ::close(ntx);
}

// 200,000 seeks on as.ntx for the MAG+INDEKS of records chosen at random (collected before timing), in
// two figures. "index_seeks": the index alone, the walk and in shared mode the index lock around it, which
// is all a seek costs an engine that shows deleted rows and reads a record only when a field is asked
// for. "seeks": through a work area, which hides deleted rows and so reads every record it lands on.
void seeks(const fs::path& dir, bool exclusive) {
    const char* mode = exclusive ? "exclusive" : "shared";
    std::vector<std::string> keys;
    std::vector<uint32_t> recnos;
    {
        auto t = xbase::Table::open(path(dir / "as.dbf"), "as.dbf", exclusive);
        uint32_t count = t->recordCount();
        std::mt19937 rng(42);
        for (int i = 0; i < 200000; ++i) {
            recnos.push_back(rng() % count + 1);
            t->goTo(recnos.back());
            keys.push_back(t->get("MAG").text + t->get("INDEKS").text);
        }
    }
    {
        using Mode = xbase::SharedFile::Mode;
        auto ix =
            xbase::NtxIndex::open(path(dir / "as.ntx"), exclusive ? Mode::Exclusive : Mode::Shared, "as.ntx");
        int found = 0;
        timed(std::string("index_seeks_200000_") + mode, [&] {
            for (auto& k : keys) found += ix->seek(k) ? 1 : 0;
        });
        std::printf("index_seeks_%s_found %d\n", mode, found);
    }
    protocolCallsAlone(dir, exclusive, recnos);
    auto t = xbase::Table::open(path(dir / "as.dbf"), "as.dbf", exclusive);
    t->attachIndex(path(dir / "as.ntx"), "as.ntx");
    int found = 0;
    timed(std::string("seeks_200000_") + mode, [&] {
        for (auto& k : keys) found += t->seekKey(k, true) ? 1 : 0;
    });
    std::printf("seeks_%s_found %d\n", mode, found);
    std::printf("seeks_%s_peak_kib %ld\n", mode, bench::peakKib());
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 4 || argc == 5) && std::string(argv[1]) == "--appends") {
        auto t = openDow(argv[3], argc == 5 && std::string(argv[4]) == "exclusive");
        appendRows(*t, std::atoi(argv[2]), 0);
        return 0;
    }
    if ((argc == 3 || argc == 4) && std::string(argv[1]) == "--seeks") {
        seeks(fs::path(argv[2]) / "24" / "03", argc == 4 && std::string(argv[3]) == "exclusive");
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: xbase-bench DIR   (an unpacked shop-200k)\n");
        return 2;
    }
    fs::path period = fs::path(argv[1]) / "24" / "03";
    if (!fs::exists(period / "as.dbf")) {
        std::fprintf(stderr, "no 24/03/as.dbf under %s\n", argv[1]);
        return 2;
    }
    fs::path scratch = fs::temp_directory_path() / ("xbase-bench-" + std::to_string(getpid()));
    fs::create_directories(scratch);
    fs::copy_file(period / "as.dbf", scratch / "as.dbf");
    fs::copy_file(period / "as.ntx", scratch / "as.ntx");
    ::sync();  // the copies' write-back is not timed

    constexpr int kRuns = 3;
    for (auto [name, expr] : {std::pair{"index_build_mag_indeks", "MAG+INDEKS"},
                              std::pair{"index_build_upper_nazwa", "UPPER(NAZWA)"}}) {
        bench::repeated(kRuns, [&, name = name, expr = expr] {
            auto t = xbase::Table::open(path(scratch / "as.dbf"), "as.dbf", true);
            timed(name, [&] { t->indexOn(path(scratch / "bench.ntx"), "bench.ntx", expr); });
            std::printf("%s_peak_kib %ld\n", name, bench::peakKib());
        });
    }

    for (bool exclusive : {false, true}) bench::repeated(kRuns, [&] { seeks(scratch, exclusive); });

    for (bool exclusive : {false, true}) {
        fs::path dir = scratch / (exclusive ? "dow_x" : "dow_s");
        bench::repeated(kRuns, [&] {
            copyDow(period, dir);
            ::sync();  // the copy's write-back is not timed
            auto t = openDow(dir, exclusive);
            timed(std::string("appends_100000_") + (exclusive ? "exclusive" : "shared"), [&] {
                appendRows(*t, 100000, 0);
                t->close();
            });
            std::printf("appends_%s_peak_kib %ld\n", exclusive ? "exclusive" : "shared", bench::peakKib());
        });
    }

    // System calls per shared append, counted by strace over 2,000 appends less a run of none.
    if (std::system("command -v strace >/dev/null 2>&1") == 0) {
        auto count = [&](int n) {
            fs::path dir = scratch / ("dow_c" + std::to_string(n));
            copyDow(period, dir);
            std::string out = path(scratch / "strace.txt");
            std::string cmd = "strace -f -c -o '" + out + "' '" + fs::absolute(argv[0]).string() +
                              "' --appends " + std::to_string(n) + " '" + path(dir) + "' >/dev/null 2>&1";
            if (std::system(cmd.c_str()) != 0) return -1L;
            std::ifstream in(out);
            std::string line, last;
            while (std::getline(in, line))
                if (line.find("total") != std::string::npos) last = line;
            long calls = 0;
            if (!last.empty()) std::sscanf(last.c_str(), "%*s %*s %*s %ld", &calls);
            return calls;
        };
        long none = count(0), many = count(2000);
        if (none >= 0 && many >= 0) std::printf("syscalls_per_shared_append %.1f\n", (many - none) / 2000.0);
    }
    fs::remove_all(scratch);
    return 0;
}
