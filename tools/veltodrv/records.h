#pragma once
// The records of the exchange files as the register checks them: the request record, PLU records (short and
// long form), department records, the lines of the register's PLU list (which also serve as deletion
// records) and the lines of the sales report.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltodrv {

// Error codes written to the error file.
enum ErrorCode : int {
    kUnknownRequest = 1,     // the first record is no request the register knows
    kMalformedRecord = 2,    // wrong record kind, field count, fixed field, line end or control byte
    kBadCode = 3,            // PLU code empty, not digits, longer than 13 digits or all zeros
    kBadName = 4,            // name empty (blank) or longer than the register takes
    kBadPrice = 5,           // price not a whole number of hundredths, leading zeros, out of range
    kBadTax = 6,             // tax letter not one of A..F, Z
    kUnknownDepartment = 7,  // department not 01..07, not programmed, or out of the requested range
    kNoSuchPlu = 8,          // a PLU to be deleted is not in the register
    kNoExchangeFile = 9,     // the request file is missing or unreadable
    kBadCommandLine = 10,    // missing cp, port outside 1..17, unknown or malformed argument
    kAnswerNotAllowed = 11,  // a request that is answered in a file, run without af=T
    kRegisterFailure = 12,   // the register's own memory (state file) could not be read or written
};

inline constexpr int kShortNameLength = 18;  // short PLU records and department names
inline constexpr int kLongNameLength = 40;   // long PLU records
inline constexpr int kCodeLength = 13;
inline constexpr int64_t kMaxPrice = 99999999;  // hundredths

enum class RequestKind { SendPlu, PluList, Sales, Departments };

struct Request {
    RequestKind kind = RequestKind::SendPlu;
    int firstDepartment = 1;  // "S;D;1;first;last;"
    int lastDepartment = 7;
    bool answered() const { return kind == RequestKind::PluList || kind == RequestKind::Sales; }
};

struct Plu {
    std::string code;
    std::string name;   // trailing blanks dropped
    int64_t price = 0;  // hundredths
    char tax = 'A';
    int department = 1;
    std::string flags;
    std::string record;  // the record as last received, every other field kept
};

struct Department {
    int number = 1;
    std::string name;
    char tax = 'A';
    std::string record;
};

struct Sale {
    std::string code;
    std::string name;
    int64_t quantity = 0;  // thousandths
    int64_t value = 0;     // hundredths
    char tax = 'A';
    int department = 1;
};

// The fields of a record that ends with ";" (empty fields kept); nullopt when it does not end with ";".
std::optional<std::vector<std::string_view>> splitFields(std::string_view record);

std::optional<Request> parseRequest(std::string_view record);
// Each parser returns 0 and fills its result, or the error code of the first fault found. Whether the
// department is programmed is the caller's question.
int parsePluRecord(std::string_view record, Plu& plu);
int parseDepartmentRecord(std::string_view record, Department& department);
// A PLU list line sent back to the register: the code of the PLU to delete.
int parseListLine(std::string_view line, std::string& code);

// Whether a record sent after "S;I;1; ; ;" is a list line (a deletion) rather than a PLU record.
bool isListLine(std::string_view record);

// "P;1;CODE;NAME;PRICE;TAX;DEPARTMENT;FLAGS;": the code starts at the fifth character.
std::string listLine(const Plu& plu);
// "S;CODE;NAME;VALUE;QUANTITY;TAX;DEPARTMENT;": value in hundredths, quantity in thousandths.
std::string reportLine(const Sale& sale);

// A decimal number ("-1.5", "12", "0.25") in units of 10^-decimals; false when it is not one, has more
// decimals, or is too large to be an amount.
bool parseScaled(std::string_view text, int decimals, int64_t& out);
// The opposite: 1500 with 3 decimals is "1.500".
std::string formatScaled(int64_t value, int decimals);
// Two digits, "01" to "07".
std::string departmentText(int number);

}  // namespace veltodrv
