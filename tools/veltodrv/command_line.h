#pragma once
// The arguments of the driver: "dp=velto if=data_in.txt [af=T] cp=P [ct=20000] cs=S", keys in any letter
// case, each at most once. dp defaults to "velto" and if to "data_in.txt"; cp (1 to 17) is required.
#include <string>
#include <vector>

namespace veltodrv {

struct Options {
    std::string exchangeDir = "velto";  // DOS name, relative to the working directory
    std::string requestFile = "data_in.txt";
    bool answerFile = false;  // af=T: an answer may be left in data_out.txt
    int port = 0;
    int timeout = 20000;                  // ct, milliseconds (accepted, nothing to wait for)
    int speed = 9600;                     // cs
    std::vector<std::string> positional;  // sell's CODE QUANTITY [VALUE]
};

// A driver run. On a fault, `problem` says what was wrong; `options.exchangeDir` is still usable for the
// error file.
bool parseDriverLine(const std::vector<std::string>& args, Options& options, std::string& problem);
// "sell" and "show": dp and cp, and the positional words of sell.
bool parseAdminLine(const std::vector<std::string>& args, Options& options, std::string& problem);

}  // namespace veltodrv
