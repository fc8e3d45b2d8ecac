// The demo shop generator, run as the built tool into temporary directories.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/core/cp852.h"
#include "platform/os/clock.h"
#include "platform/os/files.h"
#include "platform/settings/mem_file.h"
#include "platform/settings/settings.h"
#include "platform/xbase/ntx.h"
#include "platform/xbase/table.h"
#include "support/harness.h"
#include "support/test_support.h"
#include "velto/init_dbf.h"
#include "velto/public_settings.h"
#include "velto/startup.h"

using namespace core::literals;
using testing_support::binDir;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

int demoShop(const fs::path& dir, const std::string& options = "", std::string* output = nullptr) {
    return testing_support::runCommand(
        "'" + (binDir() / "demo-shop").string() + "' '" + dir.string() + "' " + options + " 2>&1", output);
}

std::string twoDigits(int n) {
    return std::string{char('0' + n / 10 % 10), char('0' + n % 10)};
}

// The period directory of the month, "26/12" (year, month).
std::string periodOf(const os::LocalTime& t) {
    return twoDigits(t.year) + "/" + twoDigits(t.month);
}

// Every file under a directory with its bytes, and every directory, by relative path.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (auto& e : fs::recursive_directory_iterator(dir)) {
        std::string name = fs::relative(e.path(), dir).string();
        files[name] = e.is_directory() ? "<dir>" : testing_support::readFile(e.path());
    }
    return files;
}

std::unique_ptr<xbase::Table> openTable(const fs::path& file,
                                        std::initializer_list<const char*> indexes = {}) {
    auto t = xbase::Table::open(file.string(), file.filename().string(), false);
    if (!t) throw std::runtime_error("cannot open " + file.string());
    for (const char* index : indexes) {
        fs::path ntx = file.parent_path() / index;
        if (!t->attachIndex(ntx.string(), index)) throw std::runtime_error("cannot attach " + ntx.string());
    }
    return t;
}

std::string text(const xbase::Table& t, const char* field) {
    return t.get(field).text;
}
double number(const xbase::Table& t, const char* field) {
    return t.get(field).number;
}

bool digitsOnly(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool eanValid(const std::string& code) {
    int sum = 0, weight = 1;
    for (auto it = code.rbegin(); it != code.rend(); ++it, weight = 4 - weight) sum += (*it - '0') * weight;
    return sum % 10 == 0;
}

std::string trimmed(std::string s) {
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

// One default-size shop for the tests that only read it.
class DemoShop : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        before_ = os::SystemClock().now();
        tmp_ = new TempDir;
        std::string output;
        status_ = demoShop(tmp_->path() / "shop", "", &output);
        output_ = output;
        after_ = os::SystemClock().now();
    }
    static void TearDownTestSuite() {
        delete tmp_;
        tmp_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(status_, 0) << output_; }

    static fs::path shop() { return tmp_->path() / "shop"; }
    // The shop's period directory: the month of the run (a run across midnight at a month's end may
    // have taken either month).
    static fs::path period() {
        fs::path p = shop() / periodOf(after_);
        return fs::exists(p) ? p : shop() / periodOf(before_);
    }

    static TempDir* tmp_;
    static int status_;
    static std::string output_;
    static os::LocalTime before_, after_;
};

TempDir* DemoShop::tmp_ = nullptr;
int DemoShop::status_ = -1;
std::string DemoShop::output_;
os::LocalTime DemoShop::before_, DemoShop::after_;

}  // namespace

TEST_F(DemoShop, WritesACompleteShopForTheCurrentMonthThatVerifies) {
    std::string report;
    EXPECT_EQ(testing_support::xbcheck("dir '" + shop().string() + "'", &report), 0) << report;
    EXPECT_EQ(report.find("FAIL"), std::string::npos) << report;

    // The period directory is this month's, and the company table names it as "MM/YY".
    ASSERT_TRUE(fs::is_directory(period()));
    auto firma = openTable(shop() / "firma.dbf");
    firma->goTop();
    const std::string bmr = text(*firma, "BMR");
    EXPECT_TRUE(bmr == twoDigits(after_.month) + "/" + twoDigits(after_.year) ||
                bmr == twoDigits(before_.month) + "/" + twoDigits(before_.year))
        << bmr;
    EXPECT_EQ(text(*firma, "ST"), "0000000000");
    EXPECT_NE(text(*firma, "NODB").find("Ą"_cp), std::string::npos);  // code page 852 letters

    // Everything the program and its settlement look for, found as the program finds names.
    testing_support::ChangeDir cd(shop());
    for (const char* file : {"firma.dbf", "PARAMETR.MEM", "vat.ini", "KLOV_RTP.TXT", "wyr.dbf", "wyr.ntx",
                             "NOR.DBF", "NOR.NTX", "rob0\\gazetka1.dbf"})
        EXPECT_TRUE(os::exists(file)) << file;
    for (const char* dir : {"rob", "rob0", "velto"}) EXPECT_TRUE(os::directoryExists(dir)) << dir;
    EXPECT_TRUE(fs::is_empty("velto"));
    auto goods = openTable(period() / "as.dbf");
    EXPECT_EQ(goods->recordCount(), 2000u);
}

TEST_F(DemoShop, TablesHaveTheStockKeepingSystemsLayoutsAndOrders) {
    TempDir real;
    testing_support::copyFixture(real.path());
    const fs::path realPeriod = real.path() / "24" / "03";
    struct Case {
        fs::path demo, fixture;
        std::initializer_list<const char*> indexes;
    } cases[] = {
        {shop() / "firma.dbf", real.path() / "firma.dbf", {}},
        {period() / "as.dbf", realPeriod / "as.dbf", {"as.ntx", "as2.ntx", "as3.ntx"}},
        {period() / "dow.dbf", realPeriod / "dow.dbf", {"dow1.ntx", "dow2.ntx", "dow3.ntx"}},
        {period() / "dowod.dbf", realPeriod / "dowod.dbf", {"dowod1.ntx", "dowod2.ntx"}},
        {period() / "slow.dbf", realPeriod / "slow.dbf", {"slow.ntx"}},
        {period() / "pk.dbf", realPeriod / "pk.dbf", {"pk.ntx"}},
        {shop() / "wyr.dbf", real.path() / "wyr.dbf", {"wyr.ntx"}},
        {shop() / "nor.dbf", real.path() / "nor.dbf", {"nor.ntx"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.demo.filename().string());
        auto demo = openTable(c.demo, c.indexes);
        auto fixture = openTable(c.fixture, c.indexes);
        const auto& ours = demo->layout().fields;
        const auto& theirs = fixture->layout().fields;
        ASSERT_EQ(ours.size(), theirs.size());
        for (size_t i = 0; i < ours.size(); ++i) {
            EXPECT_EQ(ours[i].name, theirs[i].name);
            EXPECT_EQ(ours[i].type, theirs[i].type) << ours[i].name;
            EXPECT_EQ(ours[i].length, theirs[i].length) << ours[i].name;
            EXPECT_EQ(ours[i].decimals, theirs[i].decimals) << ours[i].name;
        }
        for (int i = 1; i <= demo->indexCount(); ++i) {
            EXPECT_EQ(demo->indexExpression(i), fixture->indexExpression(i));
            EXPECT_EQ(demo->index(i).keySize(), fixture->index(i).keySize());
        }
    }
}

TEST_F(DemoShop, GoodsCoverWhatSendingAndImportLookAt) {
    auto goods = openTable(period() / "as.dbf");
    std::set<std::string> warehouses, units, taxes, keys;
    int deleted = 0, ean13 = 0, ean8 = 0, weighed = 0, blank = 0, positive = 0, zero = 0, negative = 0;
    int grosze = 0, unpriced = 0, polish = 0;
    const uint32_t count = goods->recordCount();
    for (uint32_t r = 1; r <= count; ++r) {
        goods->goTo(r);
        if (goods->deleted()) ++deleted;
        const std::string mag = text(*goods, "MAG"), kod = trimmed(text(*goods, "KOD13"));
        EXPECT_TRUE(keys.insert(mag + text(*goods, "INDEKS")).second) << "MAG+INDEKS repeats at " << r;
        warehouses.insert(mag);
        units.insert(trimmed(text(*goods, "JM")));
        taxes.insert(text(*goods, "PODATEK0"));
        if (kod.empty()) {
            ++blank;
        } else if (kod.size() == 7 && kod.substr(0, 2) == "28" && digitsOnly(kod)) {
            ++weighed;
        } else {
            ASSERT_TRUE(digitsOnly(kod) && (kod.size() == 13 || kod.size() == 8)) << kod;
            EXPECT_TRUE(eanValid(kod)) << kod;
            ++(kod.size() == 13 ? ean13 : ean8);
        }
        const double ilosc = number(*goods, "ILOSC"), cena2 = number(*goods, "CENA2");
        ++(ilosc > 0 ? positive : ilosc < 0 ? negative : zero);
        if (cena2 == 0) ++unpriced;
        if (std::fmod(std::round(cena2 * 100), 100) != 0) ++grosze;
        const std::string nazwa = text(*goods, "NAZWA");
        if (std::any_of(nazwa.begin(), nazwa.end(),
                        [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            ++polish;
    }
    EXPECT_EQ(warehouses, (std::set<std::string>{"1", "2", "3", "K", "U"}));
    EXPECT_EQ(units, (std::set<std::string>{"szt", "kg", "l"}));
    for (const char* tax : {"23", " 8", " 5", " 0", "ZW"}) EXPECT_TRUE(taxes.count(tax)) << tax;
    EXPECT_GT(deleted, 0);
    EXPECT_LT(deleted, 100);
    for (int n : {ean13, ean8, weighed, blank, positive, zero, negative, unpriced, grosze, polish})
        EXPECT_GT(n, 0);
}

TEST_F(DemoShop, ReceiptsAgreeWithTheGoodsAndTheDictionary) {
    auto dowod = openTable(period() / "dowod.dbf", {"dowod1.ntx"});
    auto dow = openTable(period() / "dow.dbf", {"dow1.ntx"});
    auto goods = openTable(period() / "as.dbf", {"as.ntx"});
    auto slow = openTable(period() / "slow.dbf", {"slow.ntx"});
    const core::Date first = core::Date::fromYmd(before_.year, before_.month, 1), last = after_.date();

    struct Receipt {
        core::Date date;
        std::string nrd;
    };
    std::map<std::string, Receipt> lastReceipt;  // by MAG+INDEKS
    int headers = 0;
    for (dowod->goTop(); !dowod->eof(); dowod->skip()) {
        ++headers;
        EXPECT_EQ(text(*dowod, "RD"), "PZ ");
        const std::string nrd = text(*dowod, "NRD");
        EXPECT_EQ(nrd, xbase::formatNumber(headers, 8, 0));  // numbered 1, 2, ... in date order
        const core::Date date = dowod->get("DATA").date;
        EXPECT_TRUE(date >= first && date <= last) << date.dtos();
        double netto = 0, vat = 0;
        int rows = 0;
        ASSERT_TRUE(dow->seek(core::Value::ofText("PZ " + nrd)));
        for (; !dow->eof() && text(*dow, "RD") + text(*dow, "NRD") == "PZ " + nrd; dow->skip()) {
            ++rows;
            EXPECT_EQ(text(*dow, "LP"), xbase::formatNumber(rows, 3, 0));
            EXPECT_EQ(text(*dow, "MAG"), text(*dowod, "MAG"));
            netto += number(*dow, "WARTOSC");
            vat += number(*dow, "PODATEK");
            lastReceipt[text(*dow, "MAG") + text(*dow, "INDEKS")] = {date, nrd};
        }
        EXPECT_GT(rows, 0);
        EXPECT_NEAR(number(*dowod, "NETTO"), netto, 0.005);
        EXPECT_NEAR(number(*dowod, "VAT"), vat, 0.005);
        EXPECT_NEAR(number(*dowod, "KWOTA"), number(*dowod, "NETTO") + number(*dowod, "VAT"), 0.005);
    }
    EXPECT_GE(headers, 3);
    ASSERT_TRUE(slow->seek(core::Value::ofText("PZ ")));
    EXPECT_EQ(number(*slow, "NRD"), headers);              // the next receipt gets the next number
    EXPECT_FALSE(slow->seek(core::Value::ofText("RT ")));  // the settlement adds its own kind

    // Every article received remembers its last receipt, which the date filter of sending reads.
    for (const auto& [key, receipt] : lastReceipt) {
        ASSERT_TRUE(goods->seek(core::Value::ofText(key))) << key;
        EXPECT_FALSE(goods->deleted());
        EXPECT_EQ(goods->get("DATA_PZ").date, receipt.date) << key;
        EXPECT_EQ(text(*goods, "RD_PZ"), "PZ ") << key;
        EXPECT_EQ(text(*goods, "NRD_PZ"), receipt.nrd) << key;
        EXPECT_GT(number(*goods, "ILOSC_PZ"), 0) << key;
    }
}

TEST_F(DemoShop, LeafletAndRecipesNameLiveGoods) {
    auto goods = openTable(period() / "as.dbf", {"as.ntx"});
    auto live = [&](const std::string& key) {
        return goods->seek(core::Value::ofText(key)) && !goods->deleted();
    };

    auto leaflet = openTable(shop() / "rob0" / "gazetka1.dbf");
    int rows = 0;
    for (leaflet->goTop(); !leaflet->eof(); leaflet->skip(), ++rows)
        EXPECT_TRUE(live(text(*leaflet, "MAG") + text(*leaflet, "INDEKS"))) << text(*leaflet, "INDEKS");
    EXPECT_GE(rows, 5);

    auto wyr = openTable(shop() / "wyr.dbf");
    auto nor = openTable(shop() / "nor.dbf", {"nor.ntx"});
    int products = 0;
    for (wyr->goTop(); !wyr->eof(); wyr->skip(), ++products) {
        const std::string product = text(*wyr, "MAG") + text(*wyr, "INDEKS");
        EXPECT_TRUE(live(product)) << product;  // the register sells it
        EXPECT_GT(number(*wyr, "IL_JM"), 0);
        int ingredients = 0;
        nor->seek(core::Value::ofText(product));
        for (; !nor->eof() && text(*nor, "MAG") + text(*nor, "INDEKS") == product;
             nor->skip(), ++ingredients) {
            EXPECT_TRUE(live(text(*nor, "MAGS") + text(*nor, "INDEKSS"))) << text(*nor, "INDEKSS");
            EXPECT_GT(number(*nor, "NORMA"), 0);
        }
        EXPECT_GE(ingredients, 2) << product;
    }
    EXPECT_GE(products, 3);
}

TEST_F(DemoShop, ParametersCarryTheTaxRatesAndTheProgramsSettings) {
    auto entries = settings::readMemFile((shop() / "parametr.mem").string(), "PARAMETR.MEM");
    std::map<std::string, core::Value> saved(entries.begin(), entries.end());
    const std::pair<const char*, std::string> expected[] = {
        {"J_PTUA", "23"}, {"J_PTUB", " 8"}, {"J_PTUC", " 5"}, {"J_PTUD", " 0"},
        {"J_PTUE", " 0"}, {"J_PTUF", " 0"}, {"J_PTUZ", "ZW"}, {"J_MAG_K", "K"},
    };
    for (const auto& [name, value] : expected) EXPECT_EQ(saved[name].text, value) << name;
    EXPECT_EQ(saved["J_POZIOM"].number, 2);
    EXPECT_FALSE(saved["J_NAZWA"].text.empty());
    // Everything the program would have written itself is there too.
    settings::Settings defaults;
    createPublicSettings(defaults, core::Date::fromYmd(2024, 3, 15));
    for (const auto& [name, value] : defaults.publicsWithPrefix("J_")) {
        ASSERT_TRUE(saved.count(name)) << name;
        EXPECT_EQ(saved[name].type, value.type) << name;
    }

    // The workstation file: defaults in "System", raw printing for this computer, CR LF lines.
    const std::string ini = testing_support::readFile(shop() / "vat.ini");
    EXPECT_NE(ini.find("[System]\r\nPrinterName=DEFAULT\r\nPrinterType=WIN32\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("[" + os::computerName() + "]\r\nPrinterName=LPT1\r\n"), std::string::npos) << ini;
    EXPECT_EQ(ini.find('\n'), ini.find("\r\n") + 1);
}

TEST(DemoShopStart, TheProgramOpensItsWorkingDataInADemoShop) {
    testing_support::Harness h;  // an existing, empty directory is filled
    std::string output;
    ASSERT_EQ(demoShop(h.dir.path(), "--articles 300", &output), 0) << output;
    createPublicSettings(h.settings, h.clock.today());
    readOrWriteParameters(h.ctx);
    h.settings.set("STACJA", core::Value::ofNumber(1));
    ASSERT_TRUE(INIT_DBF(h.ctx));
    auto& as = h.areas.table("as");
    EXPECT_EQ(as.recordCount(), 300u);
    EXPECT_EQ(as.indexCount(), 3);
    EXPECT_TRUE(h.settings.logical("JEST_KOD13"));
    EXPECT_EQ(h.settings.number("J_POZIOM"), 2);  // CENAM is there, so two price levels stay
    EXPECT_EQ(h.settings.text("J_PTUA"), "23");
    const std::string hh = h.settings.text("HH");
    EXPECT_TRUE(fs::is_directory(h.dir.path() / hh.substr(0, 2) / hh.substr(3, 2))) << hh;
}

TEST(DemoShopRun, ASecondRunOrAnotherShopIsLeftAlone) {
    TempDir tmp;
    const fs::path shop = tmp.path() / "shop";
    ASSERT_EQ(demoShop(shop, "--articles 100"), 0);
    auto before = snapshot(shop);
    std::string output;
    EXPECT_EQ(demoShop(shop, "--articles 100", &output), 1);
    EXPECT_NE(output.find("firma.dbf"), std::string::npos) << output;
    EXPECT_EQ(snapshot(shop), before);

    // Somebody's real shop, its company table named in upper case.
    const fs::path other = tmp.path() / "other";
    fs::create_directory(other);
    testing_support::writeFile(other / "FIRMA.DBF", "not ours");
    EXPECT_EQ(demoShop(other), 1);
    EXPECT_EQ(snapshot(other), (std::map<std::string, std::string>{{"FIRMA.DBF", "not ours"}}));
}

TEST(DemoShopRun, ArticlesSizeTheGoodsTable) {
    struct Case {
        std::string options;
        int status;
        uint32_t records;  // 0: nothing written
    } cases[] = {
        {"--articles 30", 0, 30}, {"--articles=1234", 0, 1234}, {"--articles 29", 2, 0},
        {"--articles abc", 2, 0}, {"--articles", 2, 0},         {"--articles 12x", 2, 0},
        {"--size 100", 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        TempDir tmp;
        const fs::path shop = tmp.path() / "shop";
        std::string output;
        EXPECT_EQ(demoShop(shop, c.options, &output), c.status) << output;
        if (c.records == 0) {
            EXPECT_FALSE(fs::exists(shop));
            continue;
        }
        std::string report;
        EXPECT_EQ(testing_support::xbcheck("dir '" + shop.string() + "'", &report), 0) << report;
        for (auto& e : fs::recursive_directory_iterator(shop)) {
            if (e.path().filename() != "as.dbf") continue;
            EXPECT_EQ(openTable(e.path())->recordCount(), c.records);
        }
    }
}

TEST(DemoShopRun, EveryRunWritesTheSameShop) {
    TempDir tmp;
    ASSERT_EQ(demoShop(tmp.path() / "a", "--articles 500"), 0);
    ASSERT_EQ(demoShop(tmp.path() / "b", "--articles 500"), 0);
    auto a = snapshot(tmp.path() / "a"), b = snapshot(tmp.path() / "b");
    ASSERT_EQ(a.size(), b.size());
    for (const auto& [name, bytes] : a) EXPECT_TRUE(b.count(name) && b[name] == bytes) << name;
}
