#include "support/test_support.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace testing_support {

TempDir::TempDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = fs::temp_directory_path() / ("velto-test-" + std::to_string(rd()));
        if (fs::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

ChangeDir::ChangeDir(const fs::path& dir) : previous_(fs::current_path()) { fs::current_path(dir); }
ChangeDir::~ChangeDir() {
    std::error_code ec;
    fs::current_path(previous_, ec);
}

fs::path sharedDir() { return fs::path(VELTO_SHARED_DIR); }
fs::path fixtureDir() { return sharedDir() / "fixtures" / "shop-small"; }
fs::path binDir() { return fs::path(VELTO_BIN_DIR); }

void copyFixture(const fs::path& dir) {
    fs::copy(fixtureDir(), dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    for (auto& entry : fs::recursive_directory_iterator(dir))
        fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::owner_write |
                                          (entry.is_directory() ? fs::perms::owner_exec : fs::perms::none),
                        fs::perm_options::add);
}

int runCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string out;
    std::array<char, 4096> buf{};
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
    int status = pclose(pipe);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int xbcheck(const std::string& arguments, std::string* output) {
    auto script = sharedDir() / "tools" / "xbcheck" / "xbcheck.py";
    return runCommand("python3 '" + script.string() + "' " + arguments + " 2>&1", output);
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace testing_support

namespace testing_support {

OtherProcess::OtherProcess(const std::function<void()>& setup) {
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
        close(ready[0]);
        close(release[1]);
        char c = 'r';
        try {
            setup();
        } catch (...) {
            c = 'e';
        }
        (void)!write(ready[1], &c, 1);
        (void)!read(release[0], &c, 1);
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    releaseFd_ = release[1];
    char c = 0;
    (void)!read(ready[0], &c, 1);
    close(ready[0]);
    if (c != 'r') throw std::runtime_error("the other process failed to set up");
}

OtherProcess::~OtherProcess() { release(); }

void OtherProcess::release() {
    if (pid_ <= 0) return;
    char c = 'x';
    (void)!write(releaseFd_, &c, 1);
    close(releaseFd_);
    int status;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

}  // namespace testing_support
