// ntx_bench [DIR]: figures of the index files alone, on 200,000 keys of 9 bytes in a scratch directory
// (DIR, default a fresh one under /tmp). Prints one line per figure: "name seconds" or "name value".
//
//   ntx_bench --updates N FILE    (internal) N shared inserts into FILE, for counting system calls under
//   strace
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/xbase/ntx.h"

namespace fs = std::filesystem;
using xbase::NtxIndex;
using Mode = xbase::SharedFile::Mode;

namespace {

constexpr int kKeys = 200000;
constexpr int kKeySize = 9;

// Processor time of this process: the machine may be busy with other work while a figure is taken.
double seconds(const std::function<void()>& work) {
    auto now = [] {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
    };
    double start = now();
    work();
    return now() - start;
}

// Keys shaped like warehouse + goods index: a digit and eight characters, in no order.
std::vector<std::string> makeKeys(unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::string> keys;
    keys.reserve(kKeys);
    for (int i = 0; i < kKeys; ++i) {
        char k[16];
        std::snprintf(k, sizeof k, "%u%c%c%c%05u", static_cast<unsigned>(1 + rng() % 3),
                      'A' + static_cast<char>(rng() % 26), 'A' + static_cast<char>(rng() % 26),
                      'A' + static_cast<char>(rng() % 26), static_cast<unsigned>(rng() % 100000));
        keys.emplace_back(k, kKeySize);
    }
    return keys;
}

std::unique_ptr<NtxIndex> build(const fs::path& file, const std::vector<std::string>& keys, Mode mode) {
    std::vector<char> bytes;
    std::vector<uint32_t> recnos;
    bytes.reserve(keys.size() * kKeySize);
    for (size_t i = 0; i < keys.size(); ++i) {
        bytes.insert(bytes.end(), keys[i].begin(), keys[i].end());
        recnos.push_back(static_cast<uint32_t>(i + 1));
    }
    return NtxIndex::build(file.string(), file.filename().string(), mode, "MAG+INDEKS", kKeySize, 0,
                           std::move(bytes), std::move(recnos));
}

int updates(int count, const std::string& file) {
    auto ix = NtxIndex::open(file, Mode::Shared, "bench.ntx");
    std::mt19937 rng(5);
    for (int i = 0; i < count; ++i) {
        char k[16];
        std::snprintf(k, sizeof k, "9%08u", static_cast<unsigned>(rng() % 100000000));
        ix->insert(std::string(k, kKeySize), static_cast<uint32_t>(kKeys + 1 + i));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--updates") return updates(std::atoi(argv[2]), argv[3]);
    fs::path dir =
        argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / ("ntx-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    auto keys = makeKeys(1);
    auto file = dir / "bench.ntx";

    std::printf("build_200k_keys %.4f\n", seconds([&] { build(file, keys, Mode::Exclusive); }));

    std::mt19937 rng(2);
    std::vector<std::string> probes;
    for (int i = 0; i < kKeys; ++i) probes.push_back(keys[rng() % keys.size()]);
    for (Mode mode : {Mode::Exclusive, Mode::Shared}) {
        auto ix = NtxIndex::open(file.string(), mode, "bench.ntx");
        int found = 0;
        double t = seconds([&] {
            for (auto& p : probes) found += ix->seek(p);
        });
        std::printf("seek_200k_%s %.4f\n", mode == Mode::Shared ? "shared" : "exclusive", t);
        if (found != kKeys) std::fprintf(stderr, "only %d of %d keys found\n", found, kKeys);
    }
    for (Mode mode : {Mode::Exclusive, Mode::Shared}) {
        auto ix = NtxIndex::open(file.string(), mode, "bench.ntx");
        double t = seconds([&] {
            ix->goTop();
            while (ix->skip(1)) {
            }
        });
        std::printf("skip_all_%s %.4f\n", mode == Mode::Shared ? "shared" : "exclusive", t);
    }
    for (Mode mode : {Mode::Exclusive, Mode::Shared}) {
        auto ix = NtxIndex::open(file.string(), mode, "bench.ntx");
        auto more = makeKeys(3);
        more.resize(20000);
        double t = seconds([&] {
            for (size_t i = 0; i < more.size(); ++i)
                ix->insert(more[i], static_cast<uint32_t>(kKeys + 1 + i));
            for (size_t i = 0; i < more.size(); ++i)
                ix->remove(more[i], static_cast<uint32_t>(kKeys + 1 + i));
        });
        std::printf("insert_remove_20k_%s %.4f\n", mode == Mode::Shared ? "shared" : "exclusive", t);
    }

    // System calls of one shared update, when strace is at hand.
    if (std::system("command -v strace >/dev/null 2>&1") == 0) {
        auto self = fs::read_symlink("/proc/self/exe").string();
        auto log = (dir / "strace.txt").string();
        auto count = [&](int n) {
            std::string cmd = "strace -c -o '" + log + "' '" + self + "' --updates " + std::to_string(n) +
                              " '" + file.string() + "' >/dev/null 2>&1";
            if (std::system(cmd.c_str()) != 0) return -1L;
            FILE* f = std::fopen(log.c_str(), "r");
            long total = -1;
            char line[512];
            while (f && std::fgets(line, sizeof line, f))
                if (std::string(line).find("total") != std::string::npos) {
                    long calls = 0;
                    double a, b;
                    if (std::sscanf(line, "%lf %lf %*d %ld", &a, &b, &calls) == 3) total = calls;
                }
            if (f) std::fclose(f);
            return total;
        };
        long few = count(10), many = count(1010);
        if (few >= 0 && many >= 0) std::printf("syscalls_per_shared_insert %.1f\n", (many - few) / 1000.0);
    }
    if (argc <= 1) fs::remove_all(dir);
    return 0;
}
