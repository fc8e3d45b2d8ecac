#pragma once
// The commands of the register driver: a run over the request file, and the administrators' "sell" and
// "show".
#include <string>
#include <vector>

namespace veltodrv {

// Returns the exit status: 0 done, 1 refused by the register, 2 bad command line.
int runDriver(const std::vector<std::string>& args);
int sellCommand(const std::vector<std::string>& args);
int showCommand(const std::vector<std::string>& args);

}  // namespace veltodrv
