// xbtool: a command-line tool for the tables and indexes the program shares with the stock-keeping
// system, for administrators and for tests.
//
//   xbtool verify TABLE [INDEX...]        the table's structure, then each index against the table
//   xbtool dump TABLE [--deleted]         records as tab-separated text under a line of field names
//   xbtool index TABLE INDEX "EXPRESSION" builds an index file
//   xbtool append TABLE [--index INDEX]... [--repeat N] FIELD=VALUE...
//                                         shared appends under the locking protocol
//
// Text on the command line and in the output is UTF-8; the files hold code page 852.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/cp852.h"
#include "platform/core/error.h"
#include "platform/xbase/dbf.h"
#include "platform/xbase/expr.h"
#include "platform/xbase/ntx.h"
#include "platform/xbase/table.h"

namespace {

using xbase::SharedFile;

int usage() {
    std::cerr << "usage: xbtool verify TABLE [INDEX...]\n"
                 "       xbtool dump TABLE [--deleted]\n"
                 "       xbtool index TABLE INDEX \"EXPRESSION\"\n"
                 "       xbtool append TABLE [--index INDEX]... [--repeat N] FIELD=VALUE...\n";
    return 2;
}

std::string oneLine(const std::vector<std::string>& problems) {
    std::string s;
    for (size_t i = 0; i < problems.size() && i < 5; ++i) s += (i ? "; " : "") + problems[i];
    if (problems.size() > 5) s += "; ... (" + std::to_string(problems.size()) + " problems)";
    return s;
}

// Opens a table shared, waiting a while for an exclusive holder to go.
std::unique_ptr<xbase::Table> openTable(const std::string& path, bool exclusive) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (auto table = xbase::Table::open(path, path, exclusive)) return table;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    throw core::RuntimeError(core::RuntimeError::Kind::Other, "table is in use", path);
}

int verify(const std::vector<std::string>& args) {
    if (args.empty()) return usage();
    const std::string& tablePath = args[0];
    std::unique_ptr<xbase::DbfFile> dbf;
    try {
        dbf = xbase::DbfFile::open(tablePath, SharedFile::Mode::Shared, tablePath);
        if (!dbf) throw core::RuntimeError(core::RuntimeError::Kind::Other, "table is in use", tablePath);
        // Every record must be readable and carry a valid deletion flag.
        const uint32_t count = dbf->recordCount();
        std::vector<char> record(static_cast<size_t>(dbf->recordLength()));
        for (uint32_t r = 1; r <= count; ++r) {
            dbf->readRecord(r, record.data());
            if (record[0] != ' ' && record[0] != '*')
                throw core::RuntimeError(core::RuntimeError::Kind::Damaged,
                                         "record " + std::to_string(r) + " has a bad deletion flag",
                                         tablePath);
        }
        std::cout << "OK " << tablePath << " (" << count << " records)\n";
    } catch (const std::exception& e) {
        std::cout << "FAIL " << tablePath << ": " << e.what() << "\n";
        return 1;
    }

    int status = 0;
    const uint32_t count = dbf->recordCount();
    std::vector<char> record(static_cast<size_t>(dbf->recordLength()));
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& indexPath = args[i];
        try {
            auto ntx = xbase::NtxIndex::open(indexPath, SharedFile::Mode::Shared, indexPath);
            if (!ntx) throw core::RuntimeError(core::RuntimeError::Kind::Other, "index is in use", indexPath);
            auto key = xbase::Expression::compile(ntx->expression(), dbf->layout());
            std::vector<std::string> problems;
            if (ntx->forExpression().empty()) {
                problems = ntx->verify(count, [&](uint32_t recno) {
                    dbf->readRecord(recno, record.data());
                    return key.key(record.data(), recno, ntx->keySize(), ntx->keyDecimals());
                });
            } else {
                problems = ntx->verify(count, nullptr);
            }
            if (problems.empty()) {
                std::cout << "OK " << indexPath << " (key '" << core::cp852ToUtf8(ntx->expression())
                          << "')\n";
            } else {
                std::cout << "FAIL " << indexPath << ": " << core::cp852ToUtf8(oneLine(problems)) << "\n";
                status = 1;
            }
        } catch (const std::exception& e) {
            std::cout << "FAIL " << indexPath << ": " << core::cp852ToUtf8(e.what()) << "\n";
            status = 1;
        }
    }
    return status;
}

std::string shown(const xbase::Field& f, const char* record) {
    std::string s(record + f.offset, static_cast<size_t>(f.length));
    if (f.type == 'N' || f.type == 'F') {
        size_t b = s.find_first_not_of(' ');
        s = b == std::string::npos ? std::string() : s.substr(b);
    }
    s.erase(s.find_last_not_of(' ') + 1);
    std::string out;
    for (char c : s) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return core::cp852ToUtf8(out);
}

int dump(const std::vector<std::string>& args) {
    std::string path;
    bool withDeleted = false;
    for (const auto& a : args) {
        if (a == "--deleted") {
            withDeleted = true;
        } else if (path.empty()) {
            path = a;
        } else {
            return usage();
        }
    }
    if (path.empty()) return usage();
    auto dbf = xbase::DbfFile::open(path, SharedFile::Mode::Shared, path);
    if (!dbf) throw core::RuntimeError(core::RuntimeError::Kind::Other, "table is in use", path);
    const auto& fields = dbf->layout().fields;
    std::string line = withDeleted ? "DEL" : "";
    for (size_t i = 0; i < fields.size(); ++i) line += (i || withDeleted ? "\t" : "") + fields[i].name;
    std::cout << line << "\n";
    std::vector<char> record(static_cast<size_t>(dbf->recordLength()));
    for (uint32_t r = 1, n = dbf->refreshCount(); r <= n; ++r) {
        dbf->readRecord(r, record.data());
        const bool deleted = record[0] == '*';
        if (deleted && !withDeleted) continue;
        line = withDeleted ? (deleted ? "*" : "") : "";
        for (size_t i = 0; i < fields.size(); ++i)
            line += (i || withDeleted ? "\t" : "") + shown(fields[i], record.data());
        std::cout << line << "\n";
    }
    return 0;
}

int index(const std::vector<std::string>& args) {
    if (args.size() != 3) return usage();
    auto table = openTable(args[0], true);
    if (!table->indexOn(args[1], args[1], core::utf8ToCp852(args[2])))
        throw core::RuntimeError(core::RuntimeError::Kind::Other, "index file is in use", args[1]);
    std::cout << "OK " << args[1] << " (" << table->recordCount() << " records)\n";
    table->close();
    return 0;
}

std::string substitute(std::string text, long i) {
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"{i}", std::to_string(i)},
                                   {"{pid}", std::to_string(static_cast<long>(getpid()))}}) {
        for (size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
            text.replace(p, from.size(), to);
    }
    return text;
}

// A value as a record stores it: text, a number, a date as YYYYMMDD, a logical as T or F.
core::Value valueFor(const xbase::Field& f, const std::string& text) {
    switch (f.type) {
        case 'N':
        case 'F':
            return core::Value::ofNumber(core::readNumber(text), f.length, f.decimals);
        case 'D':
            return core::Value::ofDate(core::Date::fromDtos(text));
        case 'L':
            return core::Value::ofLogical(!text.empty() &&
                                          std::string("TtYy").find(text[0]) != std::string::npos);
        default:
            return core::Value::ofText(core::utf8ToCp852(text));
    }
}

int append(const std::vector<std::string>& args) {
    std::string path;
    std::vector<std::string> indexes;
    long repeat = 1;
    std::vector<std::pair<std::string, std::string>> assignments;
    for (size_t i = 0; i < args.size(); ++i) {
        const auto& a = args[i];
        if (a == "--index" && i + 1 < args.size()) {
            indexes.push_back(args[++i]);
        } else if (a == "--repeat" && i + 1 < args.size()) {
            repeat = std::strtol(args[++i].c_str(), nullptr, 10);
            if (repeat < 0) return usage();
        } else if (path.empty()) {
            path = a;
        } else if (auto eq = a.find('='); eq != std::string::npos && eq > 0) {
            assignments.emplace_back(a.substr(0, eq), a.substr(eq + 1));
        } else {
            return usage();
        }
    }
    if (path.empty()) return usage();
    auto table = openTable(path, false);
    for (const auto& ix : indexes)
        if (!table->attachIndex(ix, ix))
            throw core::RuntimeError(core::RuntimeError::Kind::Other, "index is in use", ix);
    std::vector<const xbase::Field*> fields;
    for (const auto& [name, value] : assignments) {
        const xbase::Field* f = table->layout().field(name);
        if (!f)
            throw core::RuntimeError(core::RuntimeError::Kind::NoField, "field " + name + " does not exist",
                                     path);
        fields.push_back(f);
    }
    for (long i = 1; i <= repeat; ++i) {
        table->appendBlank();
        for (size_t k = 0; k < assignments.size(); ++k)
            table->put(fields[k]->name, valueFor(*fields[k], substitute(assignments[k].second, i)));
    }
    table->unlock();
    table->close();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "verify") return verify(args);
        if (command == "dump") return dump(args);
        if (command == "index") return index(args);
        if (command == "append") return append(args);
    } catch (const std::exception& e) {
        std::cerr << "xbtool: " << core::cp852ToUtf8(e.what()) << "\n";
        return 2;
    }
    return usage();
}
