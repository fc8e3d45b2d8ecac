#include "velto/send_answer.h"

#include <sys/stat.h>

#include "platform/os/files.h"
#include "platform/os/path.h"
#include "velto/driver.h"

DriverFileMark::DriverFileMark(std::string_view dosName) : name_(dosName), before_(stamp(name_)) {}

DriverFileMark::Stamp DriverFileMark::stamp(const std::string& dosName) {
    Stamp s;
    std::string path = os::resolve(dosName);
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.changed = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

bool DriverFileMark::written() const {
    Stamp now = stamp(name_);
    return now.exists && !(now == before_);
}

bool driverConfirmed(const DriverFileMark& errorFile) {
    if (!errorFile.written()) return false;
    return driverReportsSuccess(os::readFile(kErrorFile));
}
