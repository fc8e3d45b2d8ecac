// Posting a document from the scratch table: its number, header, rows, totals and the goods counters,
// over copies of the real-engine shop; and two stations posting at the same moment.
#include "velto/posting.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/core/cp852.h"
#include "platform/core/text.h"
#include "platform/os/files.h"
#include "platform/workplace.h"
#include "receive_shop.h"
#include "velto/period.h"
#include "velto/sales_import.h"

using namespace core::literals;
using core::Value;
using receive_testing::ReceiveShop;
namespace key = screen::key;

namespace {

const core::Date kDay = core::Date::fromYmd(2024, 3, 15);

struct Row {
    std::string mag, indeks;
    double ilosc, cena0, wartosc, podatek;
    std::string lp = "  9";
};

// A document assembled by hand in the scratch table, with the working fields a booking flow sets.
void assemble(ReceiveShop& h, const std::vector<Row>& rows, double wplata = 0) {
    auto& dd = h.areas.table("dd");
    dd.zap();
    for (auto& r : rows) {
        dd.appendBlank();
        dd.put("RD", Value::ofText("SD "));
        dd.put("NRD", Value::ofText("      16"));
        dd.put("DATA", Value::ofDate(kDay));
        dd.put("MAG", Value::ofText(r.mag));
        dd.put("LP", Value::ofText(r.lp));
        dd.put("INDEKS", Value::ofText(r.indeks));
        dd.put("NAZWA", Value::ofText("TOWAR " + r.indeks));
        dd.put("JM", Value::ofText("szt"));
        dd.put("CENA0", Value::ofNumber(r.cena0));
        dd.put("CENA", Value::ofNumber(r.ilosc ? r.wartosc / r.ilosc : 0));
        dd.put("NB", Value::ofText("B"));
        dd.put("ILOSC", Value::ofNumber(r.ilosc));
        dd.put("WARTOSC", Value::ofNumber(r.wartosc));
        dd.put("PODATEK0", Value::ofText("23"));
        dd.put("PODATEK", Value::ofNumber(r.podatek));
        dd.put("BRUTTO", Value::ofNumber(r.wartosc));
        dd.put("SWW", Value::ofText("SWW"));
        dd.put("PKWIU", Value::ofText("PKWIU"));
    }
    dd.commit();
    auto& s = h.settings;
    s.set("M_RD", Value::ofText("SD "));
    s.set("M_NRD", Value::ofText("      16"));
    s.set("M_DATA", Value::ofDate(kDay));
    s.set("M_MAG", Value::ofText("1"));
    s.set("M_SPZ", Value::ofText("G"));
    s.set("M_WPLATA", Value::ofNumber(wplata));
}

// A header of the kind appended as the stock-keeping system would, without touching the counter.
void addHeader(ReceiveShop& h, const std::string& nrd) {
    auto& dowod = h.areas.table("dowod");
    dowod.appendBlank();
    dowod.put("RD", Value::ofText("SD "));
    dowod.put("NRD", Value::ofText(nrd));
    dowod.unlock();
}

// In another process: a lock on one byte of a table file, as the stock-keeping system's engine takes it
// (a process-owned lock through a descriptor of its own), held until the process is released.
void holdByte(const char* file, off_t offset) {
    int fd = ::open(file, O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = 1;
    if (fd < 0 || fcntl(fd, F_SETLK, &lock) != 0) _exit(1);
}

double counter(ReceiveShop& h) {
    auto& slow = h.areas.table("slow");
    EXPECT_TRUE(slow.seek(Value::ofText("SD "), false));
    return slow.get("NRD").number;
}

// The header of a document.
xbase::Table& header(ReceiveShop& h, const std::string& nrd) {
    auto& dowod = h.areas.table("dowod");
    dowod.setOrder(1);
    if (!dowod.seekKey("SD " + nrd, false)) throw std::runtime_error("no header SD " + nrd);
    return dowod;
}

// The rows of a document in the row table: the named fields.
std::vector<std::vector<Value>> documentRows(ReceiveShop& h, const std::string& nrd,
                                             const std::vector<std::string>& fields) {
    std::vector<std::vector<Value>> out;
    for (auto& r : ReceiveShop::records(h.areas.table("dow"), [&] {
             auto f = fields;
             f.insert(f.begin(), {"RD", "NRD"});
             return f;
         }()))
        if (r[0].text == "SD " && r[1].text == nrd) out.emplace_back(r.begin() + 2, r.end());
    return out;
}

}  // namespace

// Sales received through the import: the Part's numbers (counter 15, no header 16), the header with the
// register's name, rows renumbered from 1, totals rounded at the end, and the amount shown.
TEST(Posting, DocumentFromImport) {
    ReceiveShop h;
    auto& velto = h.areas.table("velto");
    velto.goTop();
    velto.put("POPIS", Value::ofText("Stoisko 1"));
    velto.put("PPORT", Value::ofNumber(3));
    std::vector<std::string> shown;
    h.keys().onKeyWanted([&](double) {
        shown.push_back(h.row(17));
        return key::Esc;
    });
    h.clock.advance(3 * 3600 + 25 * 60 + 9);
    ReceiveShop::report({
        ReceiveShop::sale("5902012610039", 12345, 2500),   // NAB00049, VAT 5
        ReceiveShop::sale("5908896060090", 1105, 333),     // WAR00047 of warehouse 2, VAT 5
        ReceiveShop::sale("5903537320465", 110000, 1000),  // NAP00013, VAT 23
    });
    ASSERT_TRUE(ZROB_SD_ZETO(h.ctx, receive_testing::kReport));
    EXPECT_EQ(h.settings.text("M_NRD"), "      16");
    EXPECT_EQ(counter(h), 16);

    auto& dd = h.areas.table("dd");
    double wartosc0 = 0, netto = 0, vat = 0;
    for (dd.goTop(); !dd.eof(); dd.skip(1)) {
        wartosc0 += NEWROUND(dd.get("ILOSC").number * dd.get("CENA0").number, 2);
        vat += dd.get("PODATEK").number;
        netto += dd.get("WARTOSC").number - dd.get("PODATEK").number;
    }
    auto& dowod = header(h, "      16");
    EXPECT_EQ(dowod.get("R_P").text, "R");
    EXPECT_EQ(dowod.get("S_Z").text, "S");
    EXPECT_EQ(dowod.get("KTO").text, "O");
    EXPECT_EQ(dowod.get("DATA").date, kDay);
    EXPECT_EQ(dowod.get("MAG").text, "1");  // the warehouse of the last line
    EXPECT_EQ(dowod.get("SPZ").text, "G");
    EXPECT_EQ(dowod.get("KWOTA").number, 1234.5);
    EXPECT_EQ(dowod.get("OPERATOR").text, " ");
    EXPECT_EQ(core::trimBlanks(dowod.get("NODB").text), "Stoisko 1" + std::string(17, ' ') + "Port: 3");
    EXPECT_EQ(dowod.get("R_DATA").date, kDay);
    EXPECT_EQ(dowod.get("R_CZAS").text, "13:25:09");
    EXPECT_DOUBLE_EQ(dowod.get("WARTOSC0").number, NEWROUND(wartosc0, 2));
    EXPECT_DOUBLE_EQ(dowod.get("NETTO").number, NEWROUND(netto, 2));
    EXPECT_DOUBLE_EQ(dowod.get("VAT").number, NEWROUND(vat, 2));
    EXPECT_DOUBLE_EQ(dowod.get("NETTO").number + dowod.get("VAT").number, 1234.5);

    auto rows =
        documentRows(h, "      16", {"LP", "MAG", "INDEKS", "ILOSC", "WARTOSC", "KTO", "DATA", "PKWIU"});
    ASSERT_EQ(rows.size(), 3u);
    const char* expected[][3] = {
        {"  1", "1", "NAB00049"}, {"  2", "2", "WAR00047"}, {"  3", "1", "NAP00013"}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i][0].text, expected[i][0]);
        EXPECT_EQ(rows[i][1].text, expected[i][1]);
        EXPECT_EQ(rows[i][2].text, expected[i][2]);
        EXPECT_EQ(rows[i][5].text, "O");
        EXPECT_EQ(rows[i][6].date, kDay);
    }
    EXPECT_EQ(rows[1][3].number, 0.333);
    EXPECT_EQ(rows[2][4].number, 1100);
    EXPECT_EQ(rows[2][7].text, h.goods("1", "NAP00013").get("PKWIU").text);

    ASSERT_FALSE(shown.empty());
    EXPECT_NE(shown.back().find("SD 16  na kwote  1 234.50 Zł"_cp), std::string::npos) << shown.back();
    std::string out;
    EXPECT_EQ(testing_support::xbcheck("dir 24/03", &out), 0) << out;
}

TEST(Posting, RowsNumberedFromOneAndTotalsRoundedAtTheEnd) {
    ReceiveShop h;
    // Ten rows of 0.0046 VAT: 0.046 in all, 0.05 when rounded at the end (0.00 when rounded row by row).
    std::vector<Row> rows;
    for (int i = 0; i < 10; ++i) rows.push_back({"1", "NAB00049", 1.5, 1.111, 0.02, 0.0046, "  7"});
    assemble(h, rows, 0.2);
    ASSERT_TRUE(REP_DOW_ZETO(h.ctx));
    auto& dowod = header(h, "      16");
    EXPECT_EQ(dowod.get("VAT").number, 0.05);
    EXPECT_EQ(dowod.get("NETTO").number, 0.15);      // 0.2 - 0.046
    EXPECT_EQ(dowod.get("WARTOSC0").number, 16.70);  // 1.5 x 1.111 = 1.6665 gives 1.67 per row
    auto lps = documentRows(h, "      16", {"LP"});
    ASSERT_EQ(lps.size(), 10u);
    EXPECT_EQ(lps.front()[0].text, "  1");
    EXPECT_EQ(lps.back()[0].text, " 10");
    EXPECT_EQ(h.areas.table("as").order(), 1);
    // The scratch table is left as it was.
    EXPECT_EQ(ReceiveShop::texts(h.areas.table("dd"), "LP"), std::vector<std::string>(10, "  7"));
}

// A number is never given twice: the first one after the counter that no header of the kind carries.
TEST(Posting, NumberSkipsHeadersAlreadyThere) {
    struct Case {
        std::vector<std::string> headers;
        std::string posted;
    } cases[] = {
        {{}, "      16"},
        {{"      16"}, "      17"},
        {{"      16", "      17", "      19"}, "      18"},
    };
    for (auto& c : cases) {
        ReceiveShop h;
        for (auto& nrd : c.headers) addHeader(h, nrd);
        ReceiveShop::report({ReceiveShop::sale("5902012610039", 100, 1000)});
        ASSERT_TRUE(ZROB_SD_ZETO(h.ctx, receive_testing::kReport));
        EXPECT_EQ(h.settings.text("M_NRD"), c.posted);
        EXPECT_EQ(counter(h), core::readNumber(c.posted));
        EXPECT_EQ(documentRows(h, c.posted, {"INDEKS"}).size(), 1u);
        EXPECT_EQ(header(h, c.posted).get("SPZ").text, "G");
    }
}

TEST(Posting, KindRecordHeldElsewhereKeepsTheCallersNumber) {
    ReceiveShop h;
    assemble(h, {{"1", "NAB00049", 1, 1, 2, 0.1}});
    testing_support::OtherProcess holder(
        [] { holdByte("24/03/slow.dbf", 1000000000 + 1); });  // SD is record 1
    ASSERT_TRUE(REP_DOW_ZETO(h.ctx));
    EXPECT_EQ(h.settings.text("M_NRD"), "      16");
    holder.release();
    EXPECT_EQ(counter(h), 15);
    EXPECT_EQ(documentRows(h, "      16", {"INDEKS"}).size(), 1u);
}

// The goods counters of one row (quantity 2.5 of 1NAB00049 on 15.03.2024), by what the record held.
TEST(Posting, GoodsCounters) {
    const core::Date empty, before = core::Date::fromYmd(2024, 3, 1),
                            later = core::Date::fromYmd(2024, 3, 20);
    struct Case {
        core::Date dataPz;
        double iloscPz, iloscSd;
        core::Date expectPz;
        double expectSd;
        bool dated;  // DATA_SD set to the working date
    } cases[] = {
        {empty, 0, 7, kDay, 2.5, true},  // first sale since nothing was received: counting starts
        {empty, 3, 7, empty, 9.5, true},
        {before, 0, 7, before, 9.5, true},
        {kDay, 5, 7, kDay, 9.5, true},   // received the same day
        {later, 5, 7, later, 7, false},  // received after the sale: not counted
        {before, 5, 99999999, before, 100000001.5, true},
        {before, 5, 100000000, before, 0, true},  // over the limit: back to 0, this row not added
    };
    for (auto& c : cases) {
        ReceiveShop h;
        auto& g = h.goods("1", "NAB00049");
        const double ilosc = g.get("ILOSC").number, bri = g.get("B_R_I").number,
                     briSd = g.get("B_R_I_SD").number;
        ASSERT_TRUE(g.tryLockRecord());
        g.put("DATA_PZ", Value::ofDate(c.dataPz));
        g.put("ILOSC_PZ", Value::ofNumber(c.iloscPz));
        g.put("ILOSC_SD", Value::ofNumber(c.iloscSd));
        g.put("DATA_SD", Value::ofDate(before));
        g.unlock();
        assemble(h, {{"1", "NAB00049", 2.5, 1, 5, 0.2}});
        ASSERT_TRUE(REP_DOW_ZETO(h.ctx));
        auto& after = h.goods("1", "NAB00049");
        std::string what =
            c.dataPz.display() + " " + std::to_string(c.iloscPz) + " " + std::to_string(c.iloscSd);
        EXPECT_DOUBLE_EQ(after.get("ILOSC").number, ilosc - 2.5) << what;
        EXPECT_DOUBLE_EQ(after.get("B_R_I").number, bri + 2.5) << what;
        EXPECT_DOUBLE_EQ(after.get("B_R_I_SD").number, briSd + 2.5) << what;
        EXPECT_EQ(after.get("DATA_PZ").date, c.expectPz) << what;
        EXPECT_DOUBLE_EQ(after.get("ILOSC_SD").number, c.expectSd) << what;
        EXPECT_EQ(after.get("DATA_SD").date, c.dated ? kDay : before) << what;
    }
}

TEST(Posting, GoodsTableWithoutReceiptDate) {
    ReceiveShop h([] {
        receive_testing::tableWithout(
            "as", {"DATA_PZ"},
            {{"as", "MAG+INDEKS"}, {"as2", "DESCEND(KOD13+MAG)"}, {"as3", "UPPER(NAZWA)+MAG"}});
    });
    auto& g = h.goods("1", "NAB00049");
    std::vector<Value> before;
    for (auto& f : g.layout().fields) before.push_back(g.get(f.name));
    assemble(h, {{"1", "NAB00049", 2, 1, 5, 0.2}});
    ASSERT_TRUE(REP_DOW_ZETO(h.ctx));
    auto& after = h.goods("1", "NAB00049");
    const auto& fields = after.layout().fields;
    for (size_t i = 0; i < fields.size(); ++i) {
        double change = fields[i].name == "ILOSC"                                     ? -2
                        : (fields[i].name == "B_R_I" || fields[i].name == "B_R_I_SD") ? 2
                                                                                      : 0;
        if (change)
            EXPECT_DOUBLE_EQ(after.get(fields[i].name).number, before[i].number + change) << fields[i].name;
        else
            EXPECT_EQ(after.get(fields[i].name), before[i]) << fields[i].name;
    }
}

TEST(Posting, HeaderTableWithoutBookingTime) {
    ReceiveShop h([] {
        receive_testing::tableWithout("dowod", {"R_DATA", "R_CZAS"},
                                      {{"dowod1", "RD+NRD"}, {"dowod2", "DTOS(DATA)+RD+NRD"}});
    });
    assemble(h, {{"1", "NAB00049", 2, 1, 5, 0.2}});
    ASSERT_TRUE(REP_DOW_ZETO(h.ctx));
    EXPECT_EQ(header(h, "      16").get("VAT").number, 0.2);
}

// A row whose goods record was removed after the import is posted, and no goods record is touched.
TEST(Posting, VanishedGoodsRecordKeepsItsCounters) {
    ReceiveShop h;
    auto& g = h.goods("2", "USL00015");
    const double stock = g.get("ILOSC").number;
    ASSERT_TRUE(g.tryLockRecord());
    g.deleteRecord();
    g.unlock();
    std::string before = testing_support::readFile("24/03/as.dbf");
    assemble(h, {{"2", "USL00015", 2, 1, 5, 0}});
    ASSERT_TRUE(REP_DOW_ZETO(h.ctx));
    EXPECT_EQ(documentRows(h, "      16", {"INDEKS"}).size(), 1u);
    EXPECT_EQ(testing_support::readFile("24/03/as.dbf"), before);
    auto& as = h.areas.table("as");
    as.goTo(22);
    EXPECT_EQ(as.get("ILOSC").number, stock);
}

// The goods record a row was matched to at the import: booked when it is still that article; when it has
// become another one, the article is booked where its key finds it; when another process holds it past the
// wait, its counters stay as they are and the rest of the document is booked.
TEST(Posting, MatchedGoodsRecordIsCheckedUnderItsLock) {
    ReceiveShop h;
    const uint32_t nab = h.goods("1", "NAB00049").recno(), nap = h.goods("1", "NAP00013").recno();
    const double nabStock = h.goods("1", "NAB00049").get("ILOSC").number;
    const double napStock = h.goods("1", "NAP00013").get("ILOSC").number;
    assemble(h, {{"1", "NAB00049", 2, 1, 5, 0.2}, {"1", "NAP00013", 1, 1, 3, 0.1}});
    const std::vector<uint32_t> matched = {nap, nap};  // the first row's record holds another article now
    testing_support::OtherProcess holder(
        [nap] { holdByte("24/03/as.dbf", static_cast<off_t>(1000000000 + nap)); });
    ASSERT_TRUE(REP_DOW_ZETO(h.ctx, &matched));
    holder.release();
    EXPECT_EQ(documentRows(h, "      16", {"INDEKS"}).size(), 2u);
    EXPECT_EQ(h.goods("1", "NAB00049").recno(), nab);
    EXPECT_EQ(h.goods("1", "NAB00049").get("ILOSC").number, nabStock - 2);
    EXPECT_EQ(h.goods("1", "NAP00013").get("ILOSC").number, napStock);
}

// While another process holds the row table's append byte, no row is written over another document's.
TEST(Posting, FailedAppendWritesNothing) {
    ReceiveShop h;
    std::string rowsBefore = testing_support::readFile("24/03/dow.dbf");
    assemble(h, {{"1", "NAB00049", 2, 1, 5, 0.2}, {"1", "NAP00013", 1, 1, 3, 0.1}});
    testing_support::OtherProcess holder([] { holdByte("24/03/dow.dbf", 1000000000); });  // the append byte
    ASSERT_TRUE(REP_DOW_ZETO(h.ctx));
    holder.release();
    auto& dow = h.areas.table("dow");
    EXPECT_EQ(dow.recordCount(), 60u);
    // Byte for byte the row table is what it was (the header date of a shared append aside: none made).
    EXPECT_EQ(testing_support::readFile("24/03/dow.dbf"), rowsBefore);
    // The header and the goods were booked all the same.
    EXPECT_EQ(header(h, "      16").get("VAT").number, 0.3);
}

TEST(Posting, AmountMask) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {1234.5, "1 234.50"},
        {12.5, "12.50"},
        {0, "0.00"},
        {999.999, "1 000.00"},
        {1234567.891, "1 234 567.89"},
        {-12.5, "-12.50"},
        {-1234.5, "-1 234.50"},
        {999999999.99, "999 999 999.99"},
        {1e10, "*** *** ***.**"},
    };
    for (auto& c : cases) EXPECT_EQ(amountText(c.value), c.text) << c.value;
}

// Two stations receive into the same period at the same moment: two numbers, every row, sound indexes.
TEST(Posting, TwoStationsAtOnce) {
    testing_support::TempDir dir;
    testing_support::copyFixture(dir.path());
    testing_support::ChangeDir cd(dir.path());
    std::filesystem::create_directories("velto");
    const int kLines = 150;
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> stations;
    for (int station = 1; station <= 2; ++station) {
        pid_t pid = fork();
        if (pid == 0) {
            close(go[1]);
            int status = 1;
            try {
                os::SystemClock clock;
                auto console = screen::Console::headless(clock);
                console->headless()->onKeyWanted(
                    [&](double) {
                        return console->screen().dump().find("na kwote") != std::string::npos ? key::Esc : 0;
                    },
                    0.01);
                Workplace work(clock, *console);
                auto& settings = work.settings;
                auto& areas = work.areas;
                Context& ctx = work.ctx;
                createPublicSettings(settings, kDay);
                settings.set("STACJA", Value::ofNumber(station));
                settings.set("PLIK", Value::ofText("rob\\wydruk0" + std::to_string(station) + ".prn"));
                settings.declarePublic("PS_MAG", Value::ofText(" "));
                settings.declarePublic("PS_MAG_NO", Value::ofText(" "));
                std::vector<std::string> lines;
                for (int i = 0; i < kLines; ++i)
                    lines.push_back(
                        ReceiveShop::sale(i % 2 ? "5902012610039" : "5903537320465", 100 * station, 1000));
                std::string report = "velto/report" + std::to_string(station) + ".txt";
                ReceiveShop::report(lines, true, report);
                if (INIT_DBF(ctx)) {
                    char byte;
                    if (read(go[0], &byte, 1) == 0 &&
                        ZROB_SD_ZETO(ctx, "velto\\report" + std::to_string(station) + ".txt"))
                        status = 0;
                }
                areas.closeAll();
            } catch (...) {
            }
            _exit(status);
        }
        stations.push_back(pid);
    }
    close(go[0]);
    usleep(200000);
    close(go[1]);  // both start now
    for (pid_t pid : stations) {
        int status = -1;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    auto dowod = xbase::Table::open("24/03/dowod.dbf", "dowod", false);
    std::vector<std::string> posted;
    for (dowod->goTop(); !dowod->eof(); dowod->skip(1))
        if (dowod->get("RD").text == "SD " && dowod->get("NRD").text > "       2")
            posted.push_back(dowod->get("NRD").text);
    std::sort(posted.begin(), posted.end());
    EXPECT_EQ(posted, (std::vector<std::string>{"      16", "      17"}));
    auto dow = xbase::Table::open("24/03/dow.dbf", "dow", false);
    std::map<std::string, int> rows;
    for (dow->goTop(); !dow->eof(); dow->skip(1))
        if (dow->get("RD").text == "SD ") ++rows[dow->get("NRD").text];
    EXPECT_EQ(rows["      16"], kLines);
    EXPECT_EQ(rows["      17"], kLines);
    // Both stations' quantities left the stock: 75 + 75 of each article.
    auto as = xbase::Table::open("24/03/as.dbf", "as", false);
    as->attachIndex("24/03/as.ntx", "as.ntx");
    ASSERT_TRUE(as->seekKey("1NAB00049", false));
    EXPECT_DOUBLE_EQ(as->get("B_R_I").number, 21.1 + 150);
    std::string out;
    EXPECT_EQ(testing_support::xbcheck("dir 24/03", &out), 0) << out;
}
