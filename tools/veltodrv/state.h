#pragma once
// What one register remembers between runs, kept in a text file per port in the exchange directory
// ("veltodrv_port1.state" for cp=1). The file, code page 852 with LF line ends:
//
//   veltodrv state 1
//   D<TAB>H;1;01;Dzial 1;0;A;1000;00;            a programmed department, its record as received
//   P<TAB>I;1;123;MLEKO;349;A;3;11100;01;00;;     a PLU, its last record as received (short or long form)
//   S<TAB>CODE<TAB>NAME<TAB>QUANTITY<TAB>VALUE<TAB>TAX<TAB>DEPARTMENT
//                                                 a sale not yet reported (thousandths, hundredths)
//
// Records are read back with the same checks as the register applies to a request, so a file edited by
// hand into something the register would refuse is reported as damaged. Names hold no control bytes, so
// tabs cannot occur inside a field.
#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "records.h"

namespace veltodrv {

struct RegisterState {
    std::array<std::optional<Department>, 7> departments;  // [0] is department 01
    std::map<std::string, Plu> plus;                       // by code
    std::vector<Sale> sales;                               // in the order they were made

    bool programmed(int department) const {
        return department >= 1 && department <= 7 &&
               departments[static_cast<size_t>(department - 1)].has_value();
    }
};

// The state file of a port, as a real path under the exchange directory `exchangeDir` (a DOS name).
std::string stateFile(const std::string& exchangeDir, int port);
// A missing file is a register that was never programmed. A damaged file throws core::RuntimeError.
RegisterState loadState(const std::string& path);
// Writes a new file beside the old one and puts it in place, so a failed run never leaves half a state.
// Throws core::RuntimeError when it cannot.
void saveState(const std::string& path, const RegisterState& state);

// Holds the exchange directory (a real path) for one command: runs on the same directory follow one
// another, so a sale recorded while a report is written is neither lost nor reported twice.
class ExchangeLock {
  public:
    explicit ExchangeLock(const std::string& directory);
    ~ExchangeLock();
    ExchangeLock(const ExchangeLock&) = delete;
    ExchangeLock& operator=(const ExchangeLock&) = delete;

  private:
    int fd_ = -1;
};

}  // namespace veltodrv
