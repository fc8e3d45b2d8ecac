#include "driver.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "command_line.h"
#include "faults.h"
#include "platform/core/error.h"
#include "platform/os/files.h"
#include "platform/os/path.h"
#include "records.h"
#include "state.h"

namespace veltodrv {

namespace {

struct Outcome {
    int code = 0;
    int line = 0;
};

// The request file cut at its CR LF line ends. A record without one (a last line left open, or a file
// ending in an end-of-file byte) is remembered: the register refuses it as malformed.
struct RequestFile {
    std::vector<std::string> records;
    int openLine = -1;
};

RequestFile splitRecords(const std::string& bytes) {
    RequestFile file;
    for (size_t pos = 0; pos < bytes.size();) {
        size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) {
            file.openLine = static_cast<int>(file.records.size());
            file.records.push_back(bytes.substr(pos));
            break;
        }
        file.records.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    return file;
}

std::string dosName(const Options& o, const std::string& name) {
    return o.exchangeDir + "\\" + name;
}

// Writes a whole file under a temporary name first, so that a reader never meets half an answer.
void writeWhole(const std::string& temporary, const std::string& bytes) {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.flush();
    if (!out) throw core::RuntimeError(core::RuntimeError::Kind::Io, "cannot write", temporary);
}

void putInPlace(const std::string& temporary, const std::string& target) {
    std::error_code ec;
    std::filesystem::rename(temporary, target, ec);
    if (ec) throw core::RuntimeError(core::RuntimeError::Kind::Io, "cannot write", target);
}

std::string crlfLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// PLU records and list lines (deletions) after "S;I;1; ; ;", applied in order to a copy of the state.
Outcome sendPlu(const RequestFile& file, RegisterState& state) {
    for (size_t i = 1; i < file.records.size(); ++i) {
        const std::string& record = file.records[i];
        int line = static_cast<int>(i);
        if (line == file.openLine) return {kMalformedRecord, line};
        if (isListLine(record)) {
            std::string code;
            if (int e = parseListLine(record, code)) return {e, line};
            if (!state.plus.erase(code)) return {kNoSuchPlu, line};
            continue;
        }
        Plu plu;
        if (int e = parsePluRecord(record, plu)) return {e, line};
        if (!state.programmed(plu.department)) return {kUnknownDepartment, line};
        state.plus[plu.code] = plu;
    }
    return {};
}

// Exactly the departments the request names, in order.
Outcome programDepartments(const RequestFile& file, const Request& request, RegisterState& state) {
    size_t wanted = static_cast<size_t>(request.lastDepartment - request.firstDepartment + 1);
    for (size_t i = 1; i < file.records.size(); ++i) {
        int line = static_cast<int>(i);
        if (line == file.openLine || i > wanted) return {kMalformedRecord, line};
        Department d;
        if (int e = parseDepartmentRecord(file.records[i], d)) return {e, line};
        if (d.number != request.firstDepartment + line - 1) return {kUnknownDepartment, line};
        state.departments[static_cast<size_t>(d.number - 1)] = d;
    }
    if (file.records.size() - 1 < wanted) return {kMalformedRecord, static_cast<int>(file.records.size())};
    return {};
}

Outcome process(const Options& o, const Faults& faults) {
    std::string requestPath = os::resolve(dosName(o, o.requestFile));
    std::ifstream in(requestPath, std::ios::binary);
    if (!in || !std::filesystem::is_regular_file(requestPath)) return {kNoExchangeFile, 0};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    RequestFile file = splitRecords(bytes.str());

    auto request = file.records.empty() ? std::nullopt : parseRequest(file.records[0]);
    if (!request) return {kUnknownRequest, 0};
    if (file.openLine == 0) return {kMalformedRecord, 0};
    if (request->answered() && !o.answerFile) return {kAnswerNotAllowed, 0};
    if (request->answered() && file.records.size() > 1) return {kMalformedRecord, 1};

    std::string statePath = stateFile(o.exchangeDir, o.port);
    RegisterState state = loadState(statePath);
    Outcome outcome;
    switch (request->kind) {
        case RequestKind::SendPlu:
            outcome = sendPlu(file, state);
            if (outcome.code == 0) saveState(statePath, state);
            return outcome;
        case RequestKind::Departments:
            outcome = programDepartments(file, *request, state);
            if (outcome.code == 0) saveState(statePath, state);
            return outcome;
        case RequestKind::PluList:
        case RequestKind::Sales:
            break;
    }
    if (faults.noAnswer) return {};  // the sales stay until a report has really been left

    std::vector<std::string> lines;
    if (request->kind == RequestKind::PluList) {
        for (const auto& [code, plu] : state.plus) lines.push_back(listLine(plu));
    } else {
        for (const Sale& sale : state.sales) lines.push_back(reportLine(sale));
    }
    std::string temporary = os::resolve(dosName(o, "veltodrv.tmp"));
    writeWhole(temporary, crlfLines(lines));
    if (request->kind == RequestKind::Sales) {
        state.sales.clear();
        try {
            saveState(statePath, state);
        } catch (...) {
            std::filesystem::remove(temporary);
            throw;
        }
    }
    putInPlace(temporary, os::resolve(dosName(o, "data_out.txt")));
    return {};
}

// "0;" on success, else "CODE;LINE;" where LINE counts the records of the request file from 0 (the request
// record itself is line 0, the first record after it line 1). The program adds 1 to the number to get its
// own 1-based line count (unless its switch file for older drivers says the number already is 1-based), so
// it shows exactly the record at fault.
void writeErrorFile(const Options& o, const Outcome& outcome) {
    std::string text =
        outcome.code == 0 ? "0;" : std::to_string(outcome.code) + ";" + std::to_string(outcome.line) + ";";
    std::ofstream out(os::resolve(dosName(o, "error.txt")), std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) std::cerr << "veltodrv: cannot write the error file\n";
}

}  // namespace

int runDriver(const std::vector<std::string>& args) {
    Options o;
    std::string problem;
    bool valid = parseDriverLine(args, o, problem);
    if (!os::directoryExists(o.exchangeDir) && !os::makeDirectory(o.exchangeDir)) {
        std::cerr << "veltodrv: no exchange directory " << o.exchangeDir << "\n";
        return 2;
    }
    try {
        ExchangeLock lock(os::resolve(o.exchangeDir));
        Faults faults;
        std::string faultProblem;
        if (!readFaults(o.exchangeDir, faults, faultProblem)) {
            faults = Faults{};
            if (valid) problem = faultProblem;
            valid = false;
        }
        if (faults.noError) os::erase(dosName(o, "error.txt"));
        if (faults.sleepSeconds > 0) std::this_thread::sleep_for(std::chrono::seconds(faults.sleepSeconds));

        Outcome outcome;
        int status = 0;
        if (!valid) {
            std::cerr << "veltodrv: " << problem << "\n";
            outcome = {kBadCommandLine, 0};
            status = 2;
        } else {
            // An answer left by an earlier run must never pass for this run's.
            if (o.answerFile) os::erase(dosName(o, "data_out.txt"));
            if (faults.error) {
                outcome = {faults.error->first, faults.error->second};
            } else {
                try {
                    outcome = process(o, faults);
                } catch (const core::RuntimeError& e) {
                    std::cerr << "veltodrv: " << e.what() << "\n";
                    outcome = {kRegisterFailure, 0};
                }
            }
            status = outcome.code > 0 ? 1 : 0;
        }
        if (!faults.noError) writeErrorFile(o, outcome);
        return faults.exitStatus ? *faults.exitStatus : status;
    } catch (const core::RuntimeError& e) {
        std::cerr << "veltodrv: " << e.what() << "\n";
        return 2;
    }
}

}  // namespace veltodrv
