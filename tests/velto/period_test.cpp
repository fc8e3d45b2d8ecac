#include "velto/period.h"

#include <gtest/gtest.h>

TEST(Period, LastAndFirstDays) {
    struct Case { const char* period; const char* last; } cases[] = {
        {"24\\02", "29.02.2024"}, {"23\\02", "28.02.2023"}, {"00\\02", "29.02.2000"}, {"99\\02", "28.02.1999"},
        {"24\\04", "30.04.2024"}, {"24\\12", "31.12.2024"}, {"89\\01", "31.01.2089"}, {"90\\09", "30.09.1990"},
    };
    for (auto& c : cases) EXPECT_EQ(K_MIES_FK(c.period), c.last) << c.period;
    EXPECT_EQ(P_MIES("98\\11"), "01.11.1998");
    EXPECT_EQ(P_MIES("24\\03"), "01.03.2024");
}

TEST(Period, NewroundRoundsHalvesUp) {
    struct Case { double v; int dec; double want; } cases[] = {
        {2.675, 2, 2.68}, {2.674999, 2, 2.67}, {0.5, 0, 1}, {1.005, 2, 1.01}, {1234.5, 0, 1235},
        {-2.5, 0, -2}, {-2.6, 0, -3}, {0.1 + 0.2, 2, 0.3}, {19.999, 2, 20}, {12.3456, 4, 12.3456}, {-0.004, 2, 0},
    };
    for (auto& c : cases) EXPECT_DOUBLE_EQ(NEWROUND(c.v, c.dec), c.want) << c.v << " " << c.dec;
}
