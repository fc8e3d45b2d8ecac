// The simulated register, run as the program runs it: a real process in a shop directory, talking
// through the exchange files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "lib/readl.h"
#include "platform/core/cp852.h"
#include "platform/os/command.h"
#include "support/test_support.h"

using namespace core::literals;
using testing_support::binDir;
using testing_support::ChangeDir;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;
namespace fs = std::filesystem;

namespace {

const std::string kSend = "S;I;1; ; ;";
const std::string kList = "S;I;0; ; ;";
const std::string kSales = "S;U;2; ; ;";
const std::string kAnswerLine = "dp=velto if=data_in.txt af=T cp=1 ct=20000 cs=9600";
const std::string kSendLine = "dp=velto if=data_in.txt cp=1 ct=20000 cs=9600";

std::vector<std::string> departmentRequest() {
    std::vector<std::string> r{"S;D;1;1;7;"};
    const char taxes[] = "ABCDEFZ";
    for (int n = 1; n <= 7; ++n)
        r.push_back("H;1;0" + std::to_string(n) + ";Dzial " + std::to_string(n) + ";0;" + taxes[n - 1] +
                    ";1000;00;");
    return r;
}

std::string shortPlu(const std::string& code, const std::string& name, const std::string& price,
                     const std::string& tax = "A", const std::string& department = "01") {
    return "I;1;" + code + ";" + name + ";" + price + ";" + tax + ";3;11100;" + department + ";00;;";
}

std::string longPlu(const std::string& code, const std::string& name, const std::string& price) {
    return "I#00;1;" + code + ";0;" + name + ";" + price + ";B;3;01100;02;00;;00;0;";
}

class Veltodrv : public ::testing::Test {
  protected:
    TempDir dir;

    void SetUp() override { fs::create_directory(dir / "velto"); }

    // Runs the tool in the shop directory; `environment` goes in front ("VELTODRV_FAULT=...").
    int run(const std::string& args, std::string* output = nullptr, const std::string& environment = "") {
        std::string command = "cd '" + dir.str() + "' && env -u VELTODRV_FAULT " + environment + " '" +
                              (binDir() / "veltodrv").string() + "' " + args + " 2>/dev/null";
        return testing_support::runCommand(command, output);
    }
    // Writes the request file the way the program does: every record ended by CR LF.
    void request(const std::vector<std::string>& records) {
        std::string bytes;
        for (const auto& r : records) bytes += r + "\r\n";
        writeFile(dir / "velto" / "data_in.txt", bytes);
    }
    int send(const std::vector<std::string>& records, const std::string& line = kSendLine) {
        request(records);
        return run(line);
    }
    std::string error() { return readFile(dir / "velto" / "error.txt"); }
    std::string answer() { return readFile(dir / "velto" / "data_out.txt"); }
    bool answered() { return fs::exists(dir / "velto" / "data_out.txt"); }
    std::string show(int port = 1) {
        std::string out;
        EXPECT_EQ(run("show cp=" + std::to_string(port), &out), 0);
        return out;
    }
    void programDepartments() {
        ASSERT_EQ(send(departmentRequest()), 0);
        ASSERT_EQ(error(), "0;");
    }
    // Two PLUs in the register.
    void stock() {
        programDepartments();
        ASSERT_EQ(send({kSend, shortPlu("5901234123457", "MLEKO 2%          ", "349"),
                        longPlu("123", "CHLEB ZWYKLY                  ", "450")}),
                  0);
        ASSERT_EQ(error(), "0;");
    }
    std::string sales() {
        EXPECT_EQ(send({kSales}, kAnswerLine), 0);
        EXPECT_EQ(error(), "0;");
        return answer();
    }
};

TEST_F(Veltodrv, DepartmentsAreProgrammedBeforeAnyPlu) {
    // A new register has no departments, so it takes no PLU yet.
    EXPECT_EQ(send({kSend, shortPlu("1", "A", "100")}), 1);
    EXPECT_EQ(error(), "7;1;");

    programDepartments();
    std::string shown = show();
    EXPECT_NE(shown.find("department 01 A Dzial 1\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("department 07 Z Dzial 7\n"), std::string::npos) << shown;

    // Part of the departments, renamed; the others keep their records.
    EXPECT_EQ(send({"S;D;1;2;3;", "H;1;02;Napoje;0;B;1000;00;", "H;1;03;Pieczywo;0;C;1000;00;"}), 0);
    EXPECT_EQ(error(), "0;");
    shown = show();
    EXPECT_NE(shown.find("department 02 B Napoje\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("department 01 A Dzial 1\n"), std::string::npos) << shown;

    // Only a programmed department takes PLUs: another register (port 2) with six of them.
    const std::string port2 = "dp=velto if=data_in.txt cp=2 cs=9600";
    auto six = departmentRequest();
    six.pop_back();
    six[0] = "S;D;1;1;6;";
    EXPECT_EQ(send(six, port2), 0);
    EXPECT_EQ(
        send({kSend, shortPlu("1", "A", "100", "F", "06"), shortPlu("2", "B", "100", "Z", "07")}, port2), 1);
    EXPECT_EQ(error(), "7;2;");
}

// The program runs the driver by its DOS name through the command runner, found in the shop directory, the
// department line with "start /WAIT " in front.
TEST_F(Veltodrv, RunAsTheProgramRunsIt) {
    fs::create_symlink(binDir() / "veltodrv", dir / "veltodrv");
    ChangeDir cd(dir.path());
    request(departmentRequest());
    EXPECT_EQ(os::runCommand("start /WAIT veltodrv.exe dp=velto if=data_in.txt cp=3 cs=9600"), 0);
    EXPECT_EQ(error(), "0;");
    request({kSend, shortPlu("5", "A", "100")});
    EXPECT_EQ(os::runCommand("veltodrv.exe dp=velto if=data_in.txt cp=3 ct=20000 cs=9600"), 0);
    EXPECT_EQ(error(), "0;");
    request({kList});
    EXPECT_EQ(os::runCommand("veltodrv.exe dp=velto if=data_in.txt af=T cp=3 ct=20000 cs=9600"), 0);
    EXPECT_EQ(answer(), "P;1;5;A;100;A;01;11100;\r\n");
}

TEST_F(Veltodrv, PluRecordsAddAndReplace) {
    stock();
    std::string shown = show();
    EXPECT_NE(shown.find("plu 5901234123457 3.49 A 01 11100 MLEKO 2%\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("plu 123 4.50 B 02 01100 CHLEB ZWYKLY\n"), std::string::npos) << shown;

    // The same code again replaces the PLU; a code with leading zeros is a PLU of its own; a name the
    // program left with its Polish letters and a leading blank is kept byte for byte; an open price of 0,
    // the highest price and the longest names are taken.
    const std::string polish(" ŻÓŁW"_cp);
    std::string longest(18, 'X');
    EXPECT_EQ(send({kSend, shortPlu("123", "BULKA", "99999999", "C", "03"), shortPlu("0123", polish, "0"),
                    longPlu("77", std::string(40, 'Y') + "          ", "1")}),
              0);
    EXPECT_EQ(send({kSend, shortPlu("5", longest, "1")}), 0);
    EXPECT_EQ(error(), "0;");
    shown = show();
    EXPECT_NE(shown.find("plu 123 999999.99 C 03 11100 BULKA\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("plu 0123 0.00 A 01 11100  ŻÓŁW\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("plu 77 0.01 B 02 01100 " + std::string(40, 'Y') + "\n"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("plu 5 0.01 A 01 11100 " + longest + "\n"), std::string::npos) << shown;

    // Each register (port) keeps its own PLUs.
    EXPECT_EQ(show(2).find("plu "), std::string::npos);
    // An empty sending is a success that changes nothing.
    std::string before = show();
    EXPECT_EQ(send({kSend}), 0);
    EXPECT_EQ(error(), "0;");
    EXPECT_EQ(show(), before);
}

// A bad record between two good ones: its code, its line counted from 0 (the request record being line 0,
// so the program's +1 shows it), and none of the request applied.
TEST_F(Veltodrv, BadPluRecordsAreRefusedWithTheirLine) {
    stock();
    struct Case {
        const char* what;
        std::string record;
        int code;
    } cases[] = {
        {"tax letter X", shortPlu("9", "A", "1", "X"), 6},
        {"tax letter in lower case", shortPlu("9", "A", "1", "a"), 6},
        {"two tax letters", shortPlu("9", "A", "1", "AB"), 6},
        {"no tax letter", shortPlu("9", "A", "1", ""), 6},
        {"empty name", shortPlu("9", "", "1"), 4},
        {"blank name", shortPlu("9", "          ", "1"), 4},
        {"short name of 19", shortPlu("9", std::string(19, 'N'), "1"), 4},
        {"long name of 41", longPlu("9", std::string(41, 'N'), "1"), 4},
        {"price above 999999.99", shortPlu("9", "A", "100000000"), 5},
        {"negative price", shortPlu("9", "A", "-100"), 5},
        {"price with a point", shortPlu("9", "A", "12.50"), 5},
        {"price with a leading zero", shortPlu("9", "A", "0349"), 5},
        {"no price", shortPlu("9", "A", ""), 5},
        {"code with a letter", shortPlu("12A", "A", "1"), 3},
        {"code of 14 digits", shortPlu("12345678901234", "A", "1"), 3},
        {"code of zeros", shortPlu("000", "A", "1"), 3},
        {"no code", shortPlu("", "A", "1"), 3},
        {"department 08", shortPlu("9", "A", "1", "A", "08"), 7},
        {"department 00", shortPlu("9", "A", "1", "A", "00"), 7},
        {"department of one digit", shortPlu("9", "A", "1", "A", "1"), 7},
        {"a field missing", "I;1;9;A;1;A;3;11100;01;00;", 2},
        {"a field too many", "I;1;9;A;1;A;3;11100;01;00;;;", 2},
        {"no closing semicolon", "I;1;9;A;1;A;3;11100;01;00;;x", 2},
        {"semicolon in the name", shortPlu("9", "A;B", "1"), 2},
        {"tab in the name", shortPlu("9", "A\tB", "1"), 2},
        {"unknown record kind", "X;1;9;A;1;A;3;11100;01;00;;", 2},
        {"operation other than 1", "I;2;9;A;1;A;3;11100;01;00;;", 2},
        {"flags of four", "I;1;9;A;1;A;3;1110;01;00;;", 2},
        {"long form cut short", "I#00;1;9;0;A;1;A;3;11100;01;00;;00;", 2},
        {"list line of an unknown PLU", "P;1;999;A;1;A;01;11100;", 8},
        {"list line cut short", "P;1;123;", 2},
        {"department record among PLUs", "H;1;01;Dzial 1;0;A;1000;00;", 2},
    };
    const std::string state = readFile(dir / "velto" / "veltodrv_port1.state");
    for (const auto& c : cases) {
        EXPECT_EQ(send({kSend, shortPlu("42", "NOWY", "100"), c.record, shortPlu("43", "INNY", "100")}), 1)
            << c.what;
        EXPECT_EQ(error(), std::to_string(c.code) + ";2;") << c.what;
        EXPECT_EQ(readFile(dir / "velto" / "veltodrv_port1.state"), state) << c.what;
    }
}

TEST_F(Veltodrv, BadRequestsAndDepartmentRecords) {
    programDepartments();
    auto departments = departmentRequest();
    auto without = [&](size_t i) {
        auto r = departments;
        r.erase(r.begin() + static_cast<long>(i));
        return r;
    };
    auto with = [&](size_t i, const std::string& record) {
        auto r = departments;
        r[i] = record;
        return r;
    };
    struct Case {
        const char* what;
        std::string bytes;  // the whole request file
        std::string line;   // command line
        std::string error;
    };
    auto file = [](const std::vector<std::string>& records) {
        std::string bytes;
        for (const auto& r : records) bytes += r + "\r\n";
        return bytes;
    };
    Case cases[] = {
        {"unknown request", file({"S;X;1; ; ;"}), kSendLine, "1;0;"},
        {"request without its blanks", file({"S;I;1;;;"}), kSendLine, "1;0;"},
        {"empty file", "", kSendLine, "1;0;"},
        {"LF line ends", "S;I;1; ; ;\n" + shortPlu("1", "A", "1") + "\n", kSendLine, "1;0;"},
        {"request without a line end", kSend, kSendLine, "2;0;"},
        {"last record without a line end", file({kSend, shortPlu("1", "A", "1")}) + shortPlu("2", "B", "1"),
         kSendLine, "2;2;"},
        {"end-of-file byte", file({kSend, shortPlu("1", "A", "1")}) + "\x1a", kSendLine, "2;2;"},
        {"blank line at the end", file({kSend, shortPlu("1", "A", "1"), ""}), kSendLine, "2;2;"},
        {"sales without af=T", file({kSales}), kSendLine, "11;0;"},
        {"PLU list without af=T", file({kList}), kSendLine, "11;0;"},
        {"record after the sales request", file({kSales, shortPlu("1", "A", "1")}), kAnswerLine, "2;1;"},
        {"department range 1 to 8", file({"S;D;1;1;8;"}), kSendLine, "1;0;"},
        {"department missing", file(without(7)), kSendLine, "2;7;"},
        {"department record too many", file({"S;D;1;1;1;", departments[1], departments[2]}), kSendLine,
         "2;2;"},
        {"departments out of order", file(with(3, departments[4])), kSendLine, "7;3;"},
        {"department 08", file({"S;D;1;1;1;", "H;1;08;Dzial 8;0;A;1000;00;"}), kSendLine, "7;1;"},
        {"department without a name", file(with(5, "H;1;05;;0;E;1000;00;")), kSendLine, "4;5;"},
        {"department name of 19", file(with(5, "H;1;05;" + std::string(19, 'D') + ";0;E;1000;00;")),
         kSendLine, "4;5;"},
        {"department tax letter G", file(with(6, "H;1;06;Dzial 6;0;G;1000;00;")), kSendLine, "6;6;"},
        {"department field not a number", file(with(2, "H;1;02;Dzial 2;x;B;1000;00;")), kSendLine, "2;2;"},
        {"PLU record among departments", file(with(2, shortPlu("1", "A", "1"))), kSendLine, "2;2;"},
    };
    const std::string state = readFile(dir / "velto" / "veltodrv_port1.state");
    for (const auto& c : cases) {
        writeFile(dir / "velto" / "data_in.txt", c.bytes);
        EXPECT_EQ(run(c.line), 1) << c.what;
        EXPECT_EQ(error(), c.error) << c.what;
        EXPECT_EQ(readFile(dir / "velto" / "veltodrv_port1.state"), state) << c.what;
    }
    fs::remove(dir / "velto" / "data_in.txt");
    EXPECT_EQ(run(kSendLine), 1);
    EXPECT_EQ(error(), "9;0;");
}

TEST_F(Veltodrv, BadCommandLines) {
    request({kSend});
    for (const char* line :
         {"dp=velto if=data_in.txt ct=20000 cs=9600",       // no port
          "dp=velto if=data_in.txt cp=0 ct=20000 cs=9600",  // ports are 1 to 17
          "dp=velto if=data_in.txt cp=18 ct=20000 cs=9600", "dp=velto if=data_in.txt cp=x cs=9600",
          "dp=velto if=data_in.txt cp=1 cs=9600 xx=1",  // unknown argument
          "dp=velto if=data_in.txt cp=1 cs=9600 extra", "dp=velto if=data_in.txt af=X cp=1 cs=9600",
          "dp=velto if=data_in.txt cp=1 cp=2 cs=9600",  // twice
          "dp=velto if=../data_in.txt cp=1 cs=9600",    // outside the exchange directory
          "dp=velto if=data_in.txt cp=1 cs=0"}) {
        fs::remove(dir / "velto" / "error.txt");
        EXPECT_EQ(run(line), 2) << line;
        EXPECT_EQ(error(), "10;0;") << line;
    }
    EXPECT_EQ(run(""), 2);
    // Keys and the exchange directory in any letter case; the directory is found as it exists.
    fs::rename(dir / "velto", dir / "VELTO");
    EXPECT_EQ(run("DP=Velto IF=DATA_IN.TXT AF=t CP=01 CT=20000 CS=19200"), 0);
    EXPECT_EQ(readFile(dir / "VELTO" / "error.txt"), "0;");
}

TEST_F(Veltodrv, PluListAndDeletionThroughItsLines) {
    stock();
    ASSERT_EQ(send({kSend, shortPlu("77", "JAJKA", "1299", "C", "03")}), 0);
    ASSERT_EQ(send({kList}, kAnswerLine), 0);
    EXPECT_EQ(error(), "0;");
    const std::string list = answer();
    EXPECT_EQ(list,
              "P;1;123;CHLEB ZWYKLY;450;B;02;01100;\r\n"
              "P;1;5901234123457;MLEKO 2%;349;A;01;11100;\r\n"
              "P;1;77;JAJKA;1299;C;03;11100;\r\n");

    // The program reads the list with its line reader and takes the code from the fifth character up to
    // the next ";".
    std::vector<std::string> lines;
    {
        ChangeDir cd(dir.path());
        os::FileHandle in;
        ASSERT_TRUE(in.open("velto\\data_out.txt"));
        for (int64_t size = in.size(); in.position() < size;)
            if (auto line = FREADLINE(in); !line.empty()) lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 3u);
    std::vector<std::string> codes;
    for (const auto& l : lines) codes.push_back(l.substr(4, l.find(';', 4) - 4));
    EXPECT_EQ(codes, (std::vector<std::string>{"123", "5901234123457", "77"}));

    // Lines sent back delete their PLUs; a PLU record in the same request still adds.
    EXPECT_EQ(send({kSend, lines[0], lines[2], shortPlu("88", "SOL", "199")}), 0);
    EXPECT_EQ(error(), "0;");
    std::string shown = show();
    EXPECT_EQ(shown.find("plu 123 "), std::string::npos) << shown;
    EXPECT_EQ(shown.find("plu 77 "), std::string::npos) << shown;
    EXPECT_NE(shown.find("plu 5901234123457 "), std::string::npos) << shown;
    EXPECT_NE(shown.find("plu 88 "), std::string::npos) << shown;

    // A line sent back twice: the second meets no PLU, and the first deletion is not applied either.
    EXPECT_EQ(send({kSend, lines[1], lines[1]}), 1);
    EXPECT_EQ(error(), "8;2;");
    EXPECT_NE(show().find("plu 5901234123457 "), std::string::npos);

    // Every line back (deleting all of them) leaves an empty list.
    ASSERT_EQ(send({kList}, kAnswerLine), 0);
    std::string all = answer();
    std::vector<std::string> request{kSend};
    for (size_t p = 0, e; (e = all.find("\r\n", p)) != std::string::npos; p = e + 2)
        request.push_back(all.substr(p, e - p));
    EXPECT_EQ(send(request), 0);
    ASSERT_EQ(send({kList}, kAnswerLine), 0);
    EXPECT_TRUE(answered());
    EXPECT_EQ(answer(), "");
}

TEST_F(Veltodrv, SalesAreReportedOnce) {
    stock();
    struct Sell {
        std::string args;
        int status;
    } sells[] = {
        {"5901234123457 2", 0},     // 2 x 3.49
        {"123 1.5", 0},             // 1.5 x 4.50
        {"5901234123457 1.5", 0},   // 5.235 rounds away from zero
        {"5901234123457 -0.5", 0},  // a return: -1.745
        {"123 0.25 1", 0},          // the value given
        {"123 0 0", 0},             // quantity 0
        {"5901234123457 2", 0},     // the same PLU again, its own line
        {"999 1", 1},               // no such PLU
        {"123 1.2345", 2},          // thousandths at most
        {"123 1 2.005", 2},         // hundredths at most
        {"123", 2},
        {"123 x", 2},
    };
    for (const auto& s : sells) EXPECT_EQ(run("sell cp=1 " + s.args), s.status) << s.args;
    EXPECT_NE(show().find("sale 123 1.500 6.75 CHLEB ZWYKLY\n"), std::string::npos);

    EXPECT_EQ(sales(),
              "S;5901234123457;MLEKO 2%;698;2000;A;01;\r\n"
              "S;123;CHLEB ZWYKLY;675;1500;B;02;\r\n"
              "S;5901234123457;MLEKO 2%;524;1500;A;01;\r\n"
              "S;5901234123457;MLEKO 2%;-175;-500;A;01;\r\n"
              "S;123;CHLEB ZWYKLY;100;250;B;02;\r\n"
              "S;123;CHLEB ZWYKLY;0;0;B;02;\r\n"
              "S;5901234123457;MLEKO 2%;698;2000;A;01;\r\n");
    // Reported once: the next report is empty, and then holds only what was sold since.
    EXPECT_EQ(sales(), "");
    // A sale keeps the name it was made under, even when the PLU changes or goes before the report.
    ASSERT_EQ(run("sell cp=1 123 1"), 0);
    ASSERT_EQ(send({kSend, "P;1;123;CHLEB ZWYKLY;450;B;02;01100;"}), 0);
    EXPECT_EQ(sales(), "S;123;CHLEB ZWYKLY;450;1000;B;02;\r\n");
    // Sales at another register are its own.
    EXPECT_EQ(run("sell cp=2 5901234123457 1"), 1);
}

TEST_F(Veltodrv, ConcurrentSalesAreAllKept) {
    stock();
    std::string bin = (binDir() / "veltodrv").string();
    std::string script =
        "cd '" + dir.str() + "' && for i in $(seq 1 20); do '" + bin + "' sell cp=1 123 1 & done; wait";
    ASSERT_EQ(testing_support::runCommand(script), 0);
    std::string report = sales();
    size_t lines = 0;
    for (size_t p = 0; (p = report.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
    EXPECT_EQ(lines, 20u);
}

TEST_F(Veltodrv, Faults) {
    stock();
    ASSERT_EQ(run("sell cp=1 123 1"), 0);
    const std::string sale = "S;123;CHLEB ZWYKLY;450;1000;B;02;\r\n";
    auto faultFile = [&](const std::string& text) { writeFile(dir / "velto" / "veltodrv.fault", text); };

    // A given error: nothing applied, no answer (an old one is gone), sales kept.
    writeFile(dir / "velto" / "data_out.txt", "old report\r\n");
    faultFile("error=5,3");
    EXPECT_EQ(send({kSales}, kAnswerLine), 1);
    EXPECT_EQ(error(), "5;3;");
    EXPECT_FALSE(answered());
    EXPECT_EQ(send({kSend, shortPlu("9", "NOWY", "1")}), 1);
    EXPECT_EQ(show().find("plu 9 "), std::string::npos);

    // No answer file: the sales wait for a report that is really left.
    faultFile("noanswer");
    EXPECT_EQ(send({kSales}, kAnswerLine), 0);
    EXPECT_EQ(error(), "0;");
    EXPECT_FALSE(answered());

    // No error file (an old one is erased), with the request applied; another exit status; a wait.
    faultFile("noerror\nexit=7 sleep=1");
    EXPECT_EQ(send({kSend, shortPlu("9", "NOWY", "1")}), 7);
    EXPECT_FALSE(fs::exists(dir / "velto" / "error.txt"));
    EXPECT_NE(show().find("plu 9 "), std::string::npos);

    // Once: the fault file goes with its run.
    faultFile("error=12,0 once");
    EXPECT_EQ(send({kSales}, kAnswerLine), 1);
    EXPECT_EQ(error(), "12;0;");
    EXPECT_FALSE(fs::exists(dir / "velto" / "veltodrv.fault"));
    EXPECT_EQ(sales(), sale);

    // From the environment.
    ASSERT_EQ(run("sell cp=1 123 1"), 0);
    request({kSales});
    EXPECT_EQ(run(kAnswerLine, nullptr, "VELTODRV_FAULT='noanswer exit=3'"), 3);
    EXPECT_FALSE(answered());
    EXPECT_EQ(sales(), sale);

    // An unknown fault is a fault of the command line.
    faultFile("explode");
    EXPECT_EQ(send({kSend}), 2);
    EXPECT_EQ(error(), "10;0;");
}

TEST_F(Veltodrv, DamagedStateIsReportedAndKept) {
    stock();
    auto path = dir / "velto" / "veltodrv_port1.state";
    std::string damaged = readFile(path) + "P\tI;1;12A;X;1;A;3;11100;01;00;;\n";
    writeFile(path, damaged);
    EXPECT_EQ(send({kSend, shortPlu("9", "NOWY", "1")}), 1);
    EXPECT_EQ(error(), "12;0;");
    EXPECT_EQ(readFile(path), damaged);
    EXPECT_EQ(run("show cp=1"), 1);
}

}  // namespace
