#pragma once
// Running another program (the register driver above all) and waiting for it.
#include <functional>
#include <string>
#include <string_view>

namespace os {

// What the caller does around a run: the text screen is suspended before the program starts and restored
// after it has ended.
struct ScreenHooks {
    std::function<void()> suspend;
    std::function<void()> restore;
};

// Runs a DOS-style command line through /bin/sh and waits for it without a time limit; returns its exit
// status (128 + the signal number when a signal ended it, 127 when it could not be started).
// - "start /WAIT " in front is dropped: every run is waited for and there is no separate console.
// - The line is split into words at blanks, and only there: no other character means anything to the
//   shell, so arguments may hold semicolons, quotes or dollars. The first word is the program.
// - A program named with ".exe" is run as findProgram finds it.
int runCommand(std::string_view commandLine, const ScreenHooks& hooks = {});

// Finds a program as DOS would start it: in the working directory, then in each directory of PATH, under
// the name as given and without its ".exe" ("veltodrv.exe" is installed as veltodrv). A name with a
// directory part is looked up there only. Returns the path to run, or empty when there is none.
std::string findProgram(std::string_view name);

}  // namespace os
