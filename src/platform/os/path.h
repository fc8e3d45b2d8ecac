#pragma once
// The program names its files the DOS way ("velto\data_in.txt", "24\03\as.dbf", "C:\ROB.TXT"), without
// regard to letter case. Here such a name becomes the real path on a case-sensitive file system.
#include <string>
#include <string_view>

namespace os {

// The real path of a DOS name, for reading or for creating:
// - a relative name (backslashes or slashes between components) lies under the working directory; each
//   component is matched against what exists without regard to letter case (an exact match wins, then
//   the lower-case spelling, then the first in name order), and from the first component that does not exist
//   on, the rest is taken in lower case, so new files and directories are created in lower case;
// - a drive name ("C:\x\y", "c:x") lies under the directory that VELTO_DRIVE_C (VELTO_DRIVE_D, ...) names;
//   without that variable the drive does not exist and the result is empty;
// - a name that begins with "./" or "/" is already a real path and is returned as given.
// An empty result names nothing: every file operation on it fails. Nothing is cached, so a name made by
// another process is found at once.
std::string resolve(std::string_view dosPath);

}  // namespace os
