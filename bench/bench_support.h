#pragma once
// What the benchmarks share: wall and processor seconds, peak memory, and phases run in child processes so
// that each phase's peak memory is its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>

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

}  // namespace bench
