#include "core/plot_history.h"

#include <gtest/gtest.h>

#include <vector>

namespace ticklog {
namespace {

PlotHistories MakeHistories(int size) {
    PlotHistories h;
    h.size = size;
    EXPECT_TRUE(AllocatePlotHistory(h.phase, size));
    EXPECT_TRUE(AllocatePlotHistory(h.freq, size));
    return h;
}

// Drives the histories the way the run loop does: count, append, clamp.
int Feed(PlotHistories& h, int heldPoints, double phase, double freq) {
    ++heldPoints;
    AppendToPlotHistories(h, heldPoints, phase, freq);
    return heldPoints;
}

TEST(PlotHistory, AllocatesSizePlusTwoZeroedSlots) {
    PlotHistories h = MakeHistories(8);
    EXPECT_EQ(h.phase, std::vector<double>(10, 0.0));
    EXPECT_EQ(h.freq.size(), 10u);
    EXPECT_TRUE(PlotHistoriesReady(h));
    h.freq.clear();
    EXPECT_FALSE(PlotHistoriesReady(h));
}

TEST(PlotHistory, SizeEightTenReadingsSlidesTheWindow) {
    PlotHistories h = MakeHistories(8);
    int n = 0;
    double previous = 0.0;
    double current = 0.0;
    for (int reading = 1; reading <= 10; ++reading) {
        const double phase = reading - 1;
        if (reading > 1) current = phase - previous;
        previous = phase;
        n = Feed(h, n, phase, current);
        if (reading < 10) n = ClampHeldPoints(n, h.size);
    }
    // During the update after the tenth reading: n = 10, the newest value twice.
    EXPECT_EQ(n, 10);
    EXPECT_EQ(h.phase, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 9}));
    for (int i = 1; i <= 9; ++i) EXPECT_EQ(h.freq[i], 1.0) << i;
    EXPECT_EQ(ClampHeldPoints(n, h.size), 9);
}

TEST(PlotHistory, RestartOverwritesFromSlotZeroWithoutClearing) {
    PlotHistories h = MakeHistories(8);
    int n = 0;
    for (int i = 0; i < 5; ++i) n = ClampHeldPoints(Feed(h, n, 10.0 + i, 1.0), h.size);
    n = Feed(h, 0, -1.0, 7.0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(h.phase[0], -1.0);
    EXPECT_EQ(h.freq[0], 7.0);
    EXPECT_EQ(h.phase[1], 11.0);  // left from the earlier run, not in use
}

TEST(PlotHistory, MissingHistoryIsNeverWritten) {
    PlotHistories h;
    h.size = 8;
    ASSERT_TRUE(AllocatePlotHistory(h.phase, 8));
    int n = 0;
    for (int i = 0; i < 20; ++i) n = ClampHeldPoints(Feed(h, n, i, i), h.size);
    EXPECT_TRUE(h.freq.empty());
    EXPECT_EQ(h.phase[8], 19.0);
}

TEST(PlotHistory, OutOfRangeCountsStoreNothing) {
    PlotHistories h = MakeHistories(8);
    AppendToPlotHistories(h, 0, 5.0, 5.0);
    AppendToPlotHistories(h, 11, 5.0, 5.0);
    EXPECT_EQ(h.phase, std::vector<double>(10, 0.0));
    EXPECT_EQ(h.freq, std::vector<double>(10, 0.0));
}

TEST(PlotHistory, ImpossibleAllocationFailsCleanly) {
    std::vector<double> history{1.0};
    EXPECT_FALSE(AllocatePlotHistory(history, -5));
    EXPECT_TRUE(history.empty());
}

}  // namespace
}  // namespace ticklog
