#include "core/plot_texts.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ticklog {
namespace {

PlotStatistics OneTwoThree() {
    PlotStatistics s;
    s.freq_mean = 2.0;
    s.freq_spread = std::sqrt(2.0) / 3.0;
    s.minimum = 1.0;
    s.maximum = 3.0;
    s.plot_range = 2.0;
    return s;
}

TEST(PlotTexts, FrequencyAxisAndStatistics) {
    const PlotStatistics s = OneTwoThree();
    EXPECT_EQ(PlotAxisText(8, true, s),
              "X-Axis: 1 sec/div, Y-Axis: 1.000e+00 to 3.000e+00 = 4.000e-01/div");
    EXPECT_EQ(PlotStatisticsText(3.0, s),
              "Last Freq= 3.00000e+00; Avg Freq= 2.00000e+00 +/- 4.714e-01 (scaled)");
}

TEST(PlotTexts, PhaseAxisUsesFiveDecimalsAndSizeSetsTheDivision) {
    PlotStatistics s;
    s.minimum = -1.5e-9;
    s.maximum = 2.25e-7;
    s.plot_range = s.maximum - s.minimum;
    EXPECT_EQ(PlotAxisText(240, false, s),
              "X-Axis: 30 sec/div, Y-Axis: -1.50000e-09 to 2.25000e-07 = 4.530e-08/div");
}

TEST(PlotTexts, ThreeDigitExponentsOnlyFromOneHundred) {
    PlotStatistics s;
    s.freq_mean = 1.0e-100;
    s.freq_spread = 0.0;
    EXPECT_EQ(PlotStatisticsText(-2.5e105, s),
              "Last Freq= -2.50000e+105; Avg Freq= 1.00000e-100 +/- 0.000e+00 (scaled)");
}

}  // namespace
}  // namespace ticklog
