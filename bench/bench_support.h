#pragma once
// What the benchmarks share: wall and processor seconds, peak memory, and phases run in child processes so
// that each phase's peak memory is its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace bench {

inline double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline double seconds(const std::function<void()>& work) {
    double start = wallSeconds();
    work();
    return wallSeconds() - start;
}

// User and system time of this process so far.
inline double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

inline long peakKib() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

// Runs a phase in a child process; a phase that fails ends the benchmark with status 1.
inline void phase(const std::function<void()>& work) {
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        try {
            work();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            _exit(1);
        }
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "phase failed\n");
        std::exit(1);
    }
}

// Runs `work`, which prints figure lines ("name value"), `runs` times and prints each figure once: the
// median of its runs (the largest of them for peak memory; a text figure as it came, or each text it
// came as), and for a timed figure also the runs themselves, "name_runs a b c". The machine's speed
// varies from run to run by a fifth and more; one run says little.
inline void repeated(int runs, const std::function<void()>& work) {
    std::vector<std::string> order;
    std::map<std::string, std::vector<std::string>> values;
    for (int run = 0; run < runs; ++run) {
        std::fflush(stdout);
        FILE* capture = std::tmpfile();
        if (!capture) {
            std::perror("tmpfile");
            std::exit(1);
        }
        const int saved = dup(fileno(stdout));
        dup2(fileno(capture), fileno(stdout));
        phase(work);
        std::fflush(stdout);
        dup2(saved, fileno(stdout));
        close(saved);
        std::rewind(capture);
        char line[512];
        while (std::fgets(line, sizeof line, capture)) {
            std::istringstream in(line);
            std::string name, value, word;
            in >> name;
            while (in >> word) value += (value.empty() ? "" : " ") + word;
            if (name.empty()) continue;
            if (!values.count(name)) order.push_back(name);
            values[name].push_back(value);
        }
        std::fclose(capture);
    }
    auto numeric = [](const std::string& v) {
        char* end = nullptr;
        std::strtod(v.c_str(), &end);
        return !v.empty() && end && *end == '\0';
    };
    auto ends = [](const std::string& s, const std::string& tail) {
        return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
    };
    for (const auto& name : order) {
        const auto& v = values[name];
        if (!std::all_of(v.begin(), v.end(), numeric)) {
            std::string text = v.front();
            for (const auto& other : v)
                if (other != v.front() && text.find(other) == std::string::npos) text += " / " + other;
            std::printf("%s %s\n", name.c_str(), text.c_str());
            continue;
        }
        // The figure as one run printed it: the median run, or for peak memory the largest.
        std::vector<std::pair<double, std::string>> n;
        for (const auto& x : v) n.emplace_back(std::strtod(x.c_str(), nullptr), x);
        std::sort(n.begin(), n.end());
        const auto& figure = ends(name, "_peak_kib") ? n.back() : n[n.size() / 2];
        std::printf("%s %s\n", name.c_str(), figure.second.c_str());
        const bool timedFigure = ends(name, "_seconds") || values.count(name + "_cpu");
        if (timedFigure && v.size() > 1) {
            std::printf("%s_runs", name.c_str());
            for (const auto& x : v) std::printf(" %s", x.c_str());
            std::printf("\n");
        }
    }
    std::fflush(stdout);
}

}  // namespace bench
