#pragma once
// Faults a test can ask the register to show, to see how the program copes with a register or driver that
// misbehaves. They come from the environment variable VELTODRV_FAULT and from the fault file
// "veltodrv.fault" in the exchange directory (both may be used; their words add up). Words, separated by
// blanks or line ends:
//
//   noanswer        no answer file (data_out.txt) is written; an unanswered sales request keeps its sales
//   noerror         no error file is left (an old one is erased)
//   error=CODE,LINE the error file reads "CODE;LINE;" and nothing of the request is applied
//   sleep=N         wait N seconds before answering
//   exit=N          end with exit status N, after everything else was done as usual
//   once            the fault file is erased once it has been read (the variable is never touched)
//
// Faults apply to driver runs only, not to "sell" and "show".
#include <optional>
#include <string>
#include <string_view>

namespace veltodrv {

struct Faults {
    bool noAnswer = false;
    bool noError = false;
    std::optional<std::pair<int, int>> error;  // code, line
    int sleepSeconds = 0;
    std::optional<int> exitStatus;
    bool once = false;
};

// Adds the words of `text` to `faults`; false, with the offending word in `problem`, when one is unknown.
bool parseFaults(std::string_view text, Faults& faults, std::string& problem);

// Reads the variable and the fault file of the exchange directory (erasing the file under "once").
bool readFaults(const std::string& exchangeDir, Faults& faults, std::string& problem);

}  // namespace veltodrv
