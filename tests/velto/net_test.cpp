// Station slots with real processes: each station is a forked child working on the same company table.
#include "velto/net.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "lib/locks.h"
#include "platform/settings/settings.h"
#include "support/harness.h"

using testing_support::Harness;

namespace {

void makeCompanyTable(const std::string& st) {
    auto firma = xbase::Table::create("firma.dbf", "firma.dbf", {{"ST", 'C', 12, 0}, {"BMR", 'C', 5, 0}});
    firma->appendBlank();
    firma->put("ST", core::Value::ofText(st));
    firma->put("BMR", core::Value::ofText("03/24"));
    firma->close();
}

std::string occupancy() {
    auto firma = xbase::Table::open("firma.dbf", "firma.dbf", false);
    firma->goTop();
    return firma->get("ST").text;
}

// A station process: claims a slot, reopens the company table shared as start-up does, reports its number
// on `out`, then waits for a byte on `release` before giving the slot back.
struct Station {
    pid_t pid = -1;
    int result = -1;
    int releaseFd = -1;
    std::string screenText;

    void start(Harness& h) {
        int out[2], rel[2];
        ASSERT_EQ(pipe(out), 0);
        ASSERT_EQ(pipe(rel), 0);
        pid = fork();
        if (pid == 0) {
            close(out[0]);
            close(rel[1]);
            Harness child;
            chdir(h.dir.str().c_str());
            child.settings.declarePublic("STACJA", core::Value::ofNumber(0));
            int n = IN_NET(child.ctx);
            child.settings.set("STACJA", core::Value::ofNumber(n));
            if (n > 0) {
                child.areas.select(1);
                child.areas.close();
                NET_USE(child.ctx, "firma", "firma", false, 15);
            }
            std::string report = std::to_string(n) + "|" + child.row(17);
            write(out[1], report.data(), report.size());
            close(out[1]);
            char c;
            read(rel[0], &c, 1);
            OUT_NET(child.ctx);
            child.areas.closeAll();
            _exit(0);
        }
        close(out[1]);
        close(rel[0]);
        releaseFd = rel[1];
        std::string report;
        char buf[256];
        ssize_t n;
        while ((n = read(out[0], buf, sizeof buf)) > 0) report.append(buf, static_cast<size_t>(n));
        close(out[0]);
        result = std::stoi(report.substr(0, report.find('|')));
        screenText = report.substr(report.find('|') + 1);
    }
    void release() {
        char c = 'x';
        write(releaseFd, &c, 1);
        close(releaseFd);
        int status;
        waitpid(pid, &status, 0);
    }
};

}  // namespace

TEST(StationSlots, NineStationsThenNoMore) {
    Harness h;
    makeCompanyTable("1111111111");  // stale: the first station alone resets it
    std::vector<Station> stations(10);
    for (int i = 0; i < 10; ++i) {
        stations[static_cast<size_t>(i)].start(h);
        if (i < 9) {
            EXPECT_EQ(stations[static_cast<size_t>(i)].result, i + 1);
        }
    }
    EXPECT_EQ(stations[9].result, 0);
    EXPECT_NE(stations[9].screenText.find("Wszystkie stacje zajete"), std::string::npos);
    EXPECT_EQ(occupancy().substr(0, 10), "1111111110");

    stations[3].release();  // station 4 leaves: only its own position changes
    EXPECT_EQ(occupancy().substr(0, 10), "1110111110");
    for (size_t i = 0; i < 10; ++i)
        if (i != 3) stations[i].release();
    EXPECT_EQ(occupancy().substr(0, 10), "0000000000");
}

TEST(StationSlots, ClaimsTheFirstFreePosition) {
    struct Case { const char* st; int station; const char* after; } cases[] = {
        {"1101000000", 3, "1111000000"},
        {"1111111110", 0, "1111111110"},  // position 10 is never handed out
        {"          ", 0, "          "},  // a new company record: no free position
    };
    for (auto& c : cases) {
        Harness h;
        makeCompanyTable(c.st);
        // Another process keeps the company table open, so the station is not alone.
        auto other = xbase::Table::open("firma.dbf", "firma.dbf", false);
        pid_t pid = fork();
        if (pid == 0) {
            Harness child;
            chdir(h.dir.str().c_str());
            child.settings.declarePublic("STACJA", core::Value::ofNumber(0));
            _exit(IN_NET(child.ctx));
        }
        int status;
        waitpid(pid, &status, 0);
        other.reset();
        EXPECT_EQ(WEXITSTATUS(status), c.station) << c.st;
        EXPECT_EQ(occupancy().substr(0, 10), c.after) << c.st;
    }
}
