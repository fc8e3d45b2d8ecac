#pragma once
// Helpers shared by the unit tests: temporary data directories and the shared fixtures.
#include <filesystem>
#include <functional>
#include <string>

namespace testing_support {

// A fresh directory under the system's temporary directory, removed when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Makes the process work in a directory for the lifetime of the object (flows use relative paths).
class ChangeDir {
public:
    explicit ChangeDir(const std::filesystem::path& dir);
    ~ChangeDir();

private:
    std::filesystem::path previous_;
};

std::filesystem::path sharedDir();                 // ../shared beside the checkout
std::filesystem::path fixtureDir();                // shared/fixtures/shop-small
std::filesystem::path binDir();                    // the build directory with the executables
// Copies the small real-engine shop into dir, writable.
void copyFixture(const std::filesystem::path& dir);
// Runs the independent checker; returns its exit status and puts its output in `output`.
int xbcheck(const std::string& arguments, std::string* output = nullptr);
// Runs a shell command, returning its exit status and (optionally) its standard output.
int runCommand(const std::string& command, std::string* output = nullptr);
std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);

}  // namespace testing_support

namespace testing_support {

// Another process that does something (opens a table, takes a lock) and keeps it until released or
// destroyed, so that tests meet real conflicts between processes.
class OtherProcess {
public:
    // Runs `setup` in a forked child, returns once it has finished; the child then waits.
    explicit OtherProcess(const std::function<void()>& setup);
    ~OtherProcess();  // releases
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;
    // Lets the child end (its files close, its locks go) and waits for it.
    void release();

private:
    int pid_ = -1;
    int releaseFd_ = -1;
};

}  // namespace testing_support
