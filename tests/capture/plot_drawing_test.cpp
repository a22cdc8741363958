#include "core/plot_drawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ticklog {
static std::ostream& operator<<(std::ostream& os, const PlotSegment& s) {
    return os << static_cast<int>(s.pen) << ":(" << s.x0 << "," << s.y0 << ")-(" << s.x1 << ","
              << s.y1 << ")";
}

namespace {

PlotHistories Histories(std::vector<double> phase, std::vector<double> freq) {
    PlotHistories h;
    h.size = 8;
    h.phase = std::move(phase);
    h.freq = std::move(freq);
    h.phase.resize(10, 0.0);
    h.freq.resize(10, 0.0);
    return h;
}

std::vector<PlotSegment> Grid(int W, int H) {
    std::vector<PlotSegment> grid;
    for (int y : {H / 5, 2 * H / 5, 3 * H / 5, 4 * H / 5})
        grid.push_back({PlotPen::Grid, 0, y, W, y});
    for (int k = 1; k <= 7; ++k) grid.push_back({PlotPen::Grid, k * W / 8, 0, k * W / 8, H});
    return grid;
}

// A 101 x 51 area: W = 100, H = 50, so 0.125 * 3 * W = 37.5 truncates to 37.
TEST(PlotDrawing, PhaseLineOverTheTruncatedGrid) {
    const PlotHistories h = Histories({0, 1, 0.5}, {});
    PlotStatistics s;
    UpdatePlotStatistics(h, 3, false, s);
    const PlotPicture p = LayOutPlot(h, 3, false, s, 101, 51);
    ASSERT_TRUE(p.has_data);
    std::vector<PlotSegment> expected = Grid(100, 50);
    EXPECT_EQ(expected[6].x0, 37);
    expected.push_back({PlotPen::Data, 0, 50, 12, 0});
    expected.push_back({PlotPen::Data, 12, 0, 25, 25});
    EXPECT_EQ(p.segments, expected);
}

TEST(PlotDrawing, FrequencyStaircaseAndMeanLine) {
    const PlotHistories h = Histories({10, 11, 13, 16}, {100, 1, 2, 3});
    PlotStatistics s;
    UpdatePlotStatistics(h, 4, true, s);
    const PlotPicture p = LayOutPlot(h, 4, true, s, 101, 51);
    ASSERT_TRUE(p.has_data);
    std::vector<PlotSegment> expected = Grid(100, 50);
    expected.push_back({PlotPen::Data, 0, 50, 12, 50});   // value 1 over x(0)..x(1)
    expected.push_back({PlotPen::Data, 12, 50, 12, 25});  // step up to value 2
    expected.push_back({PlotPen::Data, 12, 25, 25, 25});  // value 2; value 3 not drawn
    expected.push_back({PlotPen::Mean, 0, 25, 25, 25});   // mean 2 up to x(n - 2)
    EXPECT_EQ(p.segments, expected);
}

// A reading recorded as 0 (text that was no number) measured nothing: the two
// differences next to it are gaps, neither drawn nor counted in mean, spread or scale.
TEST(PlotDrawing, ReadingOfZeroLeavesAGapInTheFrequencyStaircase) {
    // Phases 1, 2, 0, 5, 7, 10: differences 1, (-2), (5), 2, 3.
    const PlotHistories h = Histories({1, 2, 0, 5, 7, 10}, {100, 1, -2, 5, 2, 3});
    PlotStatistics s;
    UpdatePlotStatistics(h, 6, true, s);
    EXPECT_DOUBLE_EQ(s.freq_mean, 2.0);
    EXPECT_NEAR(s.freq_spread, std::sqrt(2.0) / 3.0, 1e-15);
    EXPECT_EQ(s.minimum, 1.0);
    EXPECT_EQ(s.maximum, 3.0);
    const PlotPicture p = LayOutPlot(h, 6, true, s, 101, 51);
    std::vector<PlotSegment> expected = Grid(100, 50);
    expected.push_back({PlotPen::Data, 0, 50, 12, 50});   // value 1, then the gap
    expected.push_back({PlotPen::Data, 37, 25, 50, 25});  // value 2 after it
    expected.push_back({PlotPen::Mean, 0, 25, 50, 25});
    EXPECT_EQ(p.segments, expected);

    // Full histories repeat the newest slot; a 0 before the newest reading makes
    // both copies of its difference gaps.
    const PlotHistories full = Histories({1, 2, 3, 4, 5, 6, 7, 0, 9, 9},
                                         {100, 1, 1, 1, 1, 1, 1, -7, 9, 9});
    UpdatePlotStatistics(full, 10, true, s);
    EXPECT_EQ(s.freq_mean, 1.0);
    EXPECT_EQ(s.maximum, 1.0);
}

TEST(PlotDrawing, FullPhaseHistoryRunsPastTheRightEdge) {
    const PlotHistories h = Histories({1, 2, 3, 4, 5, 6, 7, 8, 9, 9}, {});
    PlotStatistics s;
    UpdatePlotStatistics(h, 10, false, s);
    const PlotPicture p = LayOutPlot(h, 10, false, s, 101, 51);
    ASSERT_EQ(p.segments.size(), 11u + 9u);
    const PlotSegment& last = p.segments.back();
    EXPECT_EQ(last.x0, 100);
    EXPECT_EQ(last.x1, 112);  // clipped by the area
    EXPECT_EQ(last.y0, 0);
    EXPECT_EQ(last.y1, 0);
}

TEST(PlotDrawing, NoVariationOrNoUsableRangeGivesNoPicture) {
    PlotStatistics s;
    const PlotHistories flat = Histories({2, 2, 2}, {0, 2, 2});
    UpdatePlotStatistics(flat, 3, false, s);
    EXPECT_FALSE(LayOutPlot(flat, 3, false, s, 101, 51).has_data);

    const double inf = std::numeric_limits<double>::infinity();
    const PlotHistories wild = Histories({1, inf, 3}, {});
    UpdatePlotStatistics(wild, 3, false, s);
    EXPECT_FALSE(LayOutPlot(wild, 3, false, s, 101, 51).has_data);

    const PlotHistories fine = Histories({1, 2}, {});
    UpdatePlotStatistics(fine, 2, false, s);
    EXPECT_FALSE(LayOutPlot(fine, 2, false, s, 0, 51).has_data);
    PlotHistories missing = fine;
    missing.phase.clear();
    EXPECT_FALSE(LayOutPlot(missing, 2, false, s, 101, 51).has_data);
}

TEST(PlotDrawing, NaNValueStaysInsideDefinedCoordinates) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const PlotHistories h = Histories({1, nan, 3}, {});
    PlotStatistics s;
    UpdatePlotStatistics(h, 3, false, s);
    const PlotPicture p = LayOutPlot(h, 3, false, s, 101, 51);
    ASSERT_TRUE(p.has_data);
    EXPECT_EQ(p.segments[11].y1, 0);
}

TEST(PlotDrawing, RasterLeavesOutTheEndPoint) {
    auto pixels = [](PlotSegment s) {
        std::vector<std::pair<int, int>> out;
        for (const PlotPixel& p : RasterizeSegment(s)) out.emplace_back(p.x, p.y);
        return out;
    };
    using V = std::vector<std::pair<int, int>>;
    EXPECT_EQ(pixels({PlotPen::Grid, 0, 0, 3, 0}), (V{{0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(pixels({PlotPen::Grid, 2, 5, 2, 3}), (V{{2, 5}, {2, 4}}));
    EXPECT_EQ(pixels({PlotPen::Data, 0, 0, 2, 2}), (V{{0, 0}, {1, 1}}));
    EXPECT_EQ(pixels({PlotPen::Data, 0, 0, 5, -2}), (V{{0, 0}, {1, 0}, {2, -1}, {3, -1}, {4, -2}}));
    EXPECT_EQ(pixels({PlotPen::Data, 1, 5, 0, 0}), (V{{1, 5}, {1, 4}, {1, 3}, {0, 2}, {0, 1}}));
    EXPECT_TRUE(pixels({PlotPen::Data, 7, 7, 7, 7}).empty());
}

}  // namespace
}  // namespace ticklog
