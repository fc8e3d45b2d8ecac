#pragma once
// File operations on DOS names (mapped by os::resolve), and the facts of the machine the program runs on.
#include <cstdint>
#include <string>
#include <string_view>

namespace os {

// Whether a regular file of that name exists (a directory does not count).
bool exists(std::string_view dosPath);
bool directoryExists(std::string_view dosPath);
// Erases a file; false when there was none, another program holds it open, or it could not be erased.
bool erase(std::string_view dosPath);
// Renames or moves a file. As on DOS an existing target is never replaced: false then, and when the source
// is missing. Naming the same file twice (another spelling of its name) succeeds and changes nothing.
bool rename(std::string_view from, std::string_view to);
// Copies the bytes of a file, replacing the target. False when the source is missing, the target cannot be
// written, or both name the same file (which is then left as it was).
bool copy(std::string_view from, std::string_view to);
// Creates one directory (its parent must exist); true when the directory exists afterwards.
bool makeDirectory(std::string_view dosPath);
// The whole content of a file as bytes; empty when there is none or it cannot be read.
std::string readFile(std::string_view dosPath);
// Creates or replaces a file with exactly these bytes; false when it could not be written whole.
bool writeFile(std::string_view dosPath, std::string_view bytes);
// Size in bytes of a regular file, or -1 when there is none.
int64_t fileSize(std::string_view dosPath);

// The name of this computer: COMPUTERNAME, else the host name.
std::string computerName();
// The value of an environment variable; empty when it is not set.
std::string environment(std::string_view name);

}  // namespace os
