#pragma once
// What the register driver leaves behind a run, read so that a flow acts only on this run's answer: the
// error file and the PLU list are never erased by the program, so an old one may still stand there when
// the driver did not run or failed before writing.
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::string_view kErrorFile = "velto\\error.txt";
inline constexpr std::string_view kAnswerFile = "velto\\data_out.txt";

// A file the driver writes, as it stood before a run.
class DriverFileMark {
  public:
    explicit DriverFileMark(std::string_view dosName);
    // True when the file exists now and is not the one that stood before the run.
    bool written() const;

  private:
    struct Stamp {
        bool exists = false;
        uint64_t device = 0, inode = 0;
        int64_t size = 0, modified = 0, changed = 0;  // nanoseconds
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stamp(const std::string& dosName);

    std::string name_;
    Stamp before_;
};

// Whether the run that followed the mark of the error file confirmed success: the run wrote the file and it
// reads as success (no ";", or a code of 0 or below before the first ";", as ERROR_VELTO reads it). A run
// that left no error file of its own confirms nothing.
bool driverConfirmed(const DriverFileMark& errorFile);
