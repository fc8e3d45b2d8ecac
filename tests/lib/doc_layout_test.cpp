#include "lib/doc_layout.h"

#include <gtest/gtest.h>

#include "support/harness.h"

using testing_support::Harness;
using testing_support::writeFile;

TEST(DocLayout, BasicLayoutHas24Fields) {
    const auto& f = basicRowFields();
    ASSERT_EQ(f.size(), 24u);
    EXPECT_EQ(f.front().name, "R_P");
    EXPECT_EQ(f.back().name, "CENA_N");
    EXPECT_EQ(structureText("rob\\d01", {f[0], f[13]}), "rob\\d01,R_P,C,1,0,CENA0,N,14,4");
}

TEST(DocLayout, ExtendedFieldCountsFollowTheSwitchFiles) {
    struct Case { std::vector<const char*> files; size_t count; } cases[] = {
        {{}, 58},
        {{"INDEKS1.TXT"}, 60},
        {{"DD_WAGA.TXT"}, 60},
        {{"nazwa46.txt"}, 59},
        {{"TREPIN.TXT", "NR_SERII.TXT"}, 59},
        {{"NAZWA46.TXT", "NR_SERII.TXT", "NRPARTII.TXT", "UWAGI.DOW", "INDEKS1.TXT", "PROWIZJA.TXT", "DD_WAGA.TXT"}, 67},
    };
    for (auto& c : cases) {
        Harness h;
        for (auto* name : c.files) writeFile(name, "");
        EXPECT_EQ(extendedRowFields().size(), c.count) << (c.files.empty() ? "none" : c.files[0]);
    }
    Harness h;
    auto width = [] {
        for (auto& f : extendedRowFields())
            if (f.name == "PODATEK0") return f.length;
        return 0;
    };
    EXPECT_EQ(width(), 2);
    writeFile("VAT_13_5.TXT", "");
    EXPECT_EQ(width(), 4);
}

TEST(DocLayout, ExtendedKeyChoice) {
    const std::string priced = "mag+indeks+STR(cena,10,2)+lp", plain = "mag+indeks+lp";
    struct Case { const char* nodb; const char* nodb1; const char* file; const char* rabat; std::string key; } cases[] = {
        {"SKLEP", "", nullptr, nullptr, plain},
        {"Firma rvt", "", nullptr, nullptr, priced},
        {"SKLEP", "RVT s.c.", nullptr, nullptr, plain},  // RVT counts only in the name itself
        {"SKLEP SOL", "DINE", nullptr, nullptr, priced},   // SOLDINE across both lines
        {"SKLEP", "soldine", nullptr, nullptr, priced},
        {"SKLEP", "", "PESKU.TXT", nullptr, priced},
        {"SKLEP", "", "tynex.txt", nullptr, priced},
        {"BUTY", "", nullptr, nullptr, priced},
        {"SKLEP", "", nullptr, "N", priced},
        {"SKLEP", "", nullptr, "T", plain},
        {"SKLEP", "", "DD_CENA.TXT", nullptr, priced},
    };
    for (auto& c : cases) {
        Harness h;
        if (c.file) writeFile(c.file, "");
        if (c.rabat) h.settings.declarePublic("J_RABAT_AS", core::Value::ofText(c.rabat));
        EXPECT_EQ(extendedRowKey(h.ctx, c.nodb, c.nodb1), c.key) << c.nodb << "/" << c.nodb1;
    }
}
