#include "platform/os/command.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/os/files.h"
#include "platform/os/path.h"

namespace os {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lowerAscii(text[i]) != lowerAscii(prefix[i])) return false;
    return true;
}

bool endsWithExe(std::string_view name) {
    return name.size() > 4 && startsWithIgnoringCase(name.substr(name.size() - 4), ".exe");
}

std::string_view skipBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    for (line = skipBlanks(line); !line.empty(); line = skipBlanks(line)) {
        std::size_t n = 0;
        while (n < line.size() && !isBlank(line[n])) ++n;
        out.emplace_back(line.substr(0, n));
        line.remove_prefix(n);
    }
    return out;
}

// One word for sh, taken literally whatever it holds.
std::string quoted(std::string_view word) {
    std::string out = "'";
    for (char c : word) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

bool runnable(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// The DOS "start /WAIT " prefix, or nothing.
std::string_view dropStartWait(std::string_view line) {
    std::string_view s = skipBlanks(line);
    if (!startsWithIgnoringCase(s, "start") || s.size() < 6 || !isBlank(s[5])) return line;
    s = skipBlanks(s.substr(5));
    if (!startsWithIgnoringCase(s, "/wait") || (s.size() > 5 && !isBlank(s[5]))) return line;
    return s.substr(5);
}

}  // namespace

std::string findProgram(std::string_view name) {
    if (name.empty()) return {};
    std::vector<std::string> names{std::string(name)};
    if (endsWithExe(name))
        names.emplace_back(name.substr(0, name.size() - 4));
    else
        names.push_back(std::string(name) + ".exe");

    if (name.find_first_of("\\/") != std::string_view::npos) {
        for (const auto& candidate : names) {
            std::string path = resolve(candidate);
            if (runnable(path)) return path.find('/') == std::string::npos ? "./" + path : path;
        }
        return {};
    }
    for (const auto& candidate : names) {
        std::string path = resolve(candidate);
        if (runnable(path)) return "./" + path;
    }
    std::string searchPath = environment("PATH");
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string::npos) end = searchPath.size();
        std::string dir = searchPath.substr(start, end - start);
        start = end + 1;
        if (dir.empty()) continue;  // the working directory was looked at first
        for (const auto& candidate : names) {
            std::string lowered = candidate;
            for (char& c : lowered) c = lowerAscii(c);
            for (const auto& spelling : {candidate, lowered}) {
                std::string path = dir + "/" + spelling;
                if (runnable(path)) return path;
            }
        }
    }
    return {};
}

int runCommand(std::string_view commandLine, const ScreenHooks& hooks) {
    std::vector<std::string> argv = words(dropStartWait(commandLine));
    if (argv.empty()) return 0;
    if (endsWithExe(argv.front())) {
        std::string found = findProgram(argv.front());
        if (!found.empty()) argv.front() = found;
    }
    std::string script;
    for (const auto& word : argv) script += (script.empty() ? "" : " ") + quoted(word);

    // Interrupt keys reach the program that runs, not this one, as with system().
    struct sigaction ignore = {}, oldInt, oldQuit;
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);

    if (hooks.suspend) hooks.suspend();
    std::fflush(nullptr);
    ::sigaction(SIGINT, &ignore, &oldInt);
    ::sigaction(SIGQUIT, &ignore, &oldQuit);
    int status = 127;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGQUIT, SIG_DFL);
        ::execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid > 0) {
        int raw = 0;
        pid_t r;
        do r = ::waitpid(pid, &raw, 0);
        while (r < 0 && errno == EINTR);
        if (r == pid)
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : 127;
    }
    ::sigaction(SIGINT, &oldInt, nullptr);
    ::sigaction(SIGQUIT, &oldQuit, nullptr);
    if (hooks.restore) hooks.restore();
    return status;
}

}  // namespace os
