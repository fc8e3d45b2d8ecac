// The PLU registry: what was last sent to each register for each article, its creation, its index, and
// the changes of a sending kept pending until the transmission is settled.
#include "velto/plu_registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/os/files.h"
#include "support/harness.h"

using core::Value;
using testing_support::Harness;
using Change = PluRegistry::Change;

namespace {

struct Registry : Harness {
    Registry() {
        std::filesystem::create_directory(dir.path() / "velto");
        settings.declarePublic("STACJA", Value::ofNumber(1));
    }
    std::unique_ptr<PluRegistry> open() {
        auto r = PluRegistry::open(ctx);
        EXPECT_TRUE(r);
        return r;
    }
    // The rows as stored: PKASA, KOD13 and TEKST trimmed of trailing blanks; deleted rows marked "*".
    std::vector<std::string> rows() {
        auto t = xbase::Table::open("velto/as2000.dbf", "as2000", true);
        std::vector<std::string> out;
        for (uint32_t n = 1; n <= t->recordCount(); ++n) {
            t->goTo(n);
            std::string tekst = t->get("TEKST").text;
            tekst.erase(tekst.find_last_not_of(' ') + 1);
            out.push_back((t->deleted() ? "*" : "") + t->get("PKASA").text + "|" + t->get("KOD13").text +
                          "|" + tekst);
        }
        return out;
    }
    void checkIndex() {
        std::string out;
        EXPECT_EQ(testing_support::xbcheck("ntx velto/as2000.dbf velto/as2000.ntx", &out), 0) << out;
    }
};

const std::string A = "5900000000017", B = "5900000000024";
const std::string recA = "I;1;5900000000017;MLEKO             ;349;B;3;11100;02;00;;";
const std::string recA2 = "I;1;5900000000017;MLEKO             ;359;B;3;11100;02;00;;";
const std::string recB = "I;1;5900000000024;SER               ;1299;C;3;11100;03;00;;";

}  // namespace

TEST(PluRegistry, RemembersEachArticleForEachRegister) {
    Registry h;
    {
        auto r = h.open();
        struct Step {
            const char* kasa;
            const std::string& code;
            const std::string& record;
            Change expected;
        } steps[] = {
            {"01", A, recA, Change::Added}, {"01", A, recA, Change::Same},  {"01", A, recA2, Change::Changed},
            {"02", A, recA, Change::Added}, {"01", B, recB, Change::Added}, {"02", A, recA, Change::Same},
            {"01", A, recA2, Change::Same},
        };
        for (auto& s : steps)
            EXPECT_EQ(r->remember(s.kasa, s.code, s.record), s.expected) << s.kasa << s.record;
        r->close();
    }
    EXPECT_EQ(h.rows(), (std::vector<std::string>{"01|" + A + "|" + recA2, "02|" + A + "|" + recA,
                                                  "01|" + B + "|" + recB}));
    h.checkIndex();
    settleSending(h.ctx, true);
    {
        auto r = h.open();
        EXPECT_FALSE(os::exists("velto\\as2000.ntx"));  // built anew by every sending
        EXPECT_EQ(r->remember("01", A, recA2), Change::Same);
        EXPECT_EQ(r->remember("02", A, recA), Change::Same);
        EXPECT_EQ(r->remember("01", "ABC12345", recB), Change::Added);  // an index code, padded
        r->close();
    }
    h.checkIndex();
    EXPECT_EQ(h.rows().back(), "01|ABC12345     |" + recB);
}

TEST(PluRegistry, CreatedWhenMissingOrWithoutRegisterNumbers) {
    struct Case {
        const char* what;
        std::vector<xbase::Field> fields;  // empty: no table
        size_t rowsBefore;
        size_t rowsAfter;
    } cases[] = {
        {"missing", {}, 0, 0},
        {"without PKASA", {{"KOD13", 'C', 13}, {"TEKST", 'C', 80}}, 2, 0},
        {"current", {{"PKASA", 'C', 2}, {"KOD13", 'C', 13}, {"TEKST", 'C', 80}}, 2, 2},
    };
    for (auto& c : cases) {
        Registry h;
        if (!c.fields.empty()) {
            auto t = xbase::Table::create("velto/as2000.dbf", "as2000", c.fields);
            for (size_t i = 0; i < c.rowsBefore; ++i) {
                t->appendBlank();
                t->put("KOD13", Value::ofText(i ? B : A));
            }
            t->close();
        }
        auto r = h.open();
        ASSERT_TRUE(r) << c.what;
        EXPECT_EQ(r->rows(), c.rowsAfter) << c.what;
        r->close();
        auto t = xbase::Table::open("velto/as2000.dbf", "as2000", true);
        EXPECT_EQ(t->layout().fields.size(), 3u) << c.what;
        EXPECT_TRUE(t->hasField("PKASA")) << c.what;
        EXPECT_EQ(t->layout().field("TEKST")->length, 80) << c.what;
    }
}

TEST(PluRegistry, HeldElsewhere) {
    Registry h;
    h.open()->close();
    testing_support::OtherProcess holder(
        [] { xbase::Table::open("velto/as2000.dbf", "as2000", true).release(); });
    std::string message;
    h.clock.onSleep([&](double) { message = h.row(17); });
    EXPECT_FALSE(PluRegistry::open(h.ctx));
    EXPECT_NE(message.find("PROBLEMY Z velto\\as2000.dbf"), std::string::npos) << message;
}

TEST(PluRegistry, ChangesStayPendingUntilTheTransmissionIsSettled) {
    enum class Outcome { Sent, NotSent, EndedBeforeSettling, EndedWhileSending };
    for (Outcome outcome :
         {Outcome::Sent, Outcome::NotSent, Outcome::EndedBeforeSettling, Outcome::EndedWhileSending}) {
        Registry h;
        SCOPED_TRACE(static_cast<int>(outcome));
        {
            auto r = h.open();
            r->remember("01", A, recA);
            r->close();
        }
        settleSending(h.ctx, true);
        const auto before = h.rows();
        {
            auto r = h.open();
            EXPECT_EQ(r->remember("01", A, recA2), Change::Changed);
            EXPECT_EQ(r->remember("01", A, recA), Change::Changed);  // changed twice: the first text is kept
            EXPECT_EQ(r->remember("01", B, recB), Change::Added);
            if (outcome != Outcome::EndedWhileSending) r->close();  // else it ends without writing anything
        }
        if (outcome == Outcome::EndedWhileSending) {
            EXPECT_EQ(h.rows(), before);
        } else {
            EXPECT_TRUE(os::exists("velto\\as2000.cof"));
            if (outcome == Outcome::Sent) settleSending(h.ctx, true);
            if (outcome == Outcome::NotSent) settleSending(h.ctx, false);
        }
        auto r = h.open();  // an unsettled sending is played back here
        if (outcome == Outcome::Sent) {
            EXPECT_EQ(r->remember("01", A, recA), Change::Same);
            EXPECT_EQ(r->remember("01", B, recB), Change::Same);
        } else {
            // The register may not hold what was sent: the old text is back, the added row stays empty.
            EXPECT_EQ(r->remember("01", A, recA2), Change::Changed);
            EXPECT_EQ(r->remember("01", B, recB),
                      outcome == Outcome::EndedWhileSending ? Change::Added : Change::Changed);
        }
        EXPECT_EQ(r->rows(), 2u);
        r->close();
        h.checkIndex();
    }
}

TEST(PluRegistry, NotSentFirstSendingLeavesEmptyRows) {
    Registry h;
    {
        auto r = h.open();
        r->remember("01", A, recA);
        r->remember("01", B, recB);
        r->close();
    }
    settleSending(h.ctx, false);
    EXPECT_EQ(h.rows(), (std::vector<std::string>{"01|" + A + "|", "01|" + B + "|"}));
    EXPECT_FALSE(os::exists("velto\\as2000.cof"));
    h.checkIndex();
    settleSending(h.ctx, false);  // nothing pending any more
    EXPECT_EQ(h.rows().size(), 2u);
}

TEST(PluRegistry, LongRecordsPastTheRememberedText) {
    Registry h;
    auto r = h.open();
    // A name field of 30 keeps every changing field within the 80 characters; a wider one does not.
    std::string fits = "I#00;1;5900000000017;0;" + std::string(30, 'X') + ";99999999;A;3;11100;01;00;;00;0;";
    std::string wider = "I#00;1;5900000000024;0;" + std::string(40, 'X') + ";349;A;3;11100;01;00;;00;0;";
    ASSERT_EQ(fits.size(), 85u);
    EXPECT_EQ(r->remember("01", A, fits), Change::Added);
    EXPECT_EQ(r->remember("01", A, fits), Change::Same);
    EXPECT_EQ(r->remember("01", B, wider), Change::Added);
    EXPECT_EQ(r->remember("01", B, wider), Change::Changed);
    r->close();
}

TEST(PluRegistry, TheFirstUndeletedRowOfAnArticleCounts) {
    Registry h;
    {
        auto t = xbase::Table::create("velto/as2000.dbf", "as2000",
                                      {{"PKASA", 'C', 2}, {"KOD13", 'C', 13}, {"TEKST", 'C', 80}});
        for (const char* text : {"deleted", "second", "third"}) {
            t->appendBlank();
            t->put("PKASA", Value::ofText("01"));
            t->put("KOD13", Value::ofText(A));
            t->put("TEKST", Value::ofText(text));
        }
        t->goTo(1);
        t->deleteRecord();
        t->close();
    }
    auto r = h.open();
    EXPECT_EQ(r->remember("01", A, "second"), Change::Same);
    EXPECT_EQ(r->remember("01", A, recA), Change::Changed);
    r->close();
    EXPECT_EQ(h.rows(), (std::vector<std::string>{"*01|" + A + "|deleted", "01|" + A + "|" + recA,
                                                  "01|" + A + "|third"}));
    h.checkIndex();
}

TEST(PluRegistry, Erased) {
    Registry h;
    {
        auto r = h.open();
        r->remember("01", A, recA);
        r->close();
    }
    erasePluRegistry(h.ctx);
    for (const char* f : {"velto\\as2000.dbf", "velto\\as2000.ntx", "velto\\as2000.cof"})
        EXPECT_FALSE(os::exists(f)) << f;
}
