#include "core/plot_statistics.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ticklog {
namespace {

PlotHistories Histories(int size, std::vector<double> phase, std::vector<double> freq) {
    PlotHistories h;
    h.size = size;
    h.phase = std::move(phase);
    h.freq = std::move(freq);
    h.phase.resize(size + 2, 0.0);
    h.freq.resize(size + 2, 0.0);
    return h;
}

TEST(PlotStatistics, FrequencyValuesOneTwoThree) {
    // Slot 0 is a stale value from before the run and must not count.
    const PlotHistories h = Histories(8, {10, 11, 13, 16}, {100, 1, 2, 3});
    PlotStatistics s;
    UpdatePlotStatistics(h, 4, true, s);
    EXPECT_DOUBLE_EQ(s.freq_mean, 2.0);
    EXPECT_NEAR(s.freq_spread, std::sqrt(2.0) / 3.0, 1e-15);
    EXPECT_NEAR(s.freq_spread, 0.4714, 1e-4);
    EXPECT_EQ(s.minimum, 1.0);
    EXPECT_EQ(s.maximum, 3.0);
    EXPECT_EQ(s.plot_range, 2.0);
    EXPECT_DOUBLE_EQ(s.plot_range * 0.2, 0.4);

    UpdatePlotStatistics(h, 4, false, s);
    EXPECT_EQ(s.minimum, 10.0);
    EXPECT_EQ(s.maximum, 16.0);
    EXPECT_DOUBLE_EQ(s.freq_mean, 2.0);  // the mean is the frequency's in both plots
}

TEST(PlotStatistics, TwoReadingsKeepTheSpreadAndHaveNoRange) {
    const PlotHistories h = Histories(8, {1, 6}, {9, 5});
    PlotStatistics s;
    s.freq_spread = 0.25;
    UpdatePlotStatistics(h, 2, true, s);
    EXPECT_EQ(s.freq_mean, 5.0);
    EXPECT_EQ(s.freq_spread, 0.25);
    EXPECT_EQ(s.plot_range, 0.0);
}

TEST(PlotStatistics, OneOrNoPointLeavesTheMeanAndGivesZeroExtremes) {
    const PlotHistories h = Histories(8, {4}, {3});
    PlotStatistics s;
    s.freq_mean = 1.5;
    UpdatePlotStatistics(h, 1, false, s);
    EXPECT_EQ(s.freq_mean, 1.5);
    EXPECT_EQ(s.minimum, 4.0);
    EXPECT_EQ(s.plot_range, 0.0);
    UpdatePlotStatistics(h, 1, true, s);
    EXPECT_EQ(s.minimum, 0.0);
    EXPECT_EQ(s.maximum, 0.0);
    UpdatePlotStatistics(h, 0, false, s);
    EXPECT_EQ(s.maximum, 0.0);
    EXPECT_EQ(s.freq_mean, 1.5);
}

TEST(PlotStatistics, FullHistoriesUseAllSizePlusTwoSlots) {
    std::vector<double> phase(10), freq(10);
    for (int i = 0; i < 10; ++i) {
        phase[i] = i + 1;
        freq[i] = i;
    }
    const PlotHistories h = Histories(8, phase, freq);
    PlotStatistics s;
    UpdatePlotStatistics(h, 10, true, s);
    EXPECT_DOUBLE_EQ(s.freq_mean, 5.0);  // 1 .. 9
    EXPECT_EQ(s.maximum, 9.0);
    UpdatePlotStatistics(h, 10, false, s);
    EXPECT_EQ(s.minimum, 1.0);
    EXPECT_EQ(s.maximum, 10.0);
}

TEST(PlotStatistics, MissingHistoryChangesNothing) {
    PlotHistories h = Histories(8, {1, 2, 3}, {1, 2, 3});
    h.freq.clear();
    PlotStatistics s;
    s.plot_range = 7.0;
    UpdatePlotStatistics(h, 3, false, s);
    EXPECT_EQ(s.plot_range, 7.0);
}

TEST(PlotStatistics, SecondsPerDivisionIsAnEighthOfSize) {
    EXPECT_EQ(SecondsPerDivision(240), 30);
    EXPECT_EQ(SecondsPerDivision(8), 1);
    EXPECT_EQ(SecondsPerDivision(96), 12);
}

}  // namespace
}  // namespace ticklog
