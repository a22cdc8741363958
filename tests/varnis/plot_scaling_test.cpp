// Plot scaling: extremes and histograms of data vectors, and axis limits.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "test_support.h"
#include "varnis.h"

using testing_support::make_vector;

namespace {

TEST(FindMinMax, ZeroRuleKeepsZerosOnlyAtTheVectorsEnds) {
    auto v = make_vector({0, 5, 0, 3, 0});
    double lo = -1, hi = -1;
    EXPECT_EQ(FindMinMax(v.data(), &lo, &hi, 0), 4);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 5.0);
    EXPECT_EQ(FindMinMax(v.data(), &lo, &hi, 1), 2);
    EXPECT_EQ(lo, 3.0);
    EXPECT_EQ(hi, 5.0);

    // Samples 1 and N of the vector, not of the window, keep their zeros: a window
    // 2..4 of the same record has only the interior zero.
    auto inner = make_vector({0, 5, 0, -3, 0}, 2, 4);
    EXPECT_EQ(FindMinMax(inner.data(), &lo, &hi, 0), 2);
    EXPECT_EQ(lo, -3.0);
    EXPECT_EQ(hi, 5.0);

    auto zeros = make_vector({0, 0, 0});
    lo = hi = 7;
    EXPECT_EQ(FindMinMax(zeros.data(), &lo, &hi, 1), 0);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 0.0);
}

TEST(FindMinMax, ExtremesAnywhereInTheWindow) {
    auto v = make_vector({4, -2, 9, 1, -7, 3}, 2, 6);
    double lo = 0, hi = 0;
    EXPECT_EQ(FindMinMax(v.data(), &lo, &hi, 1), 5);
    EXPECT_EQ(lo, -7.0);
    EXPECT_EQ(hi, 9.0);
    auto single = make_vector({4, -2, 9}, 3, 3);
    EXPECT_EQ(FindMinMax(single.data(), &lo, &hi, 1), 1);
    EXPECT_EQ(lo, 9.0);
    EXPECT_EQ(hi, 9.0);
}

TEST(FindMinMax, UnusableHeaderIsRefused) {
    double lo = 5, hi = 5;
    std::vector<double> overrun = {3, 1, 4, 1, 2, 3};
    EXPECT_EQ(FindMinMax(overrun.data(), &lo, &hi, 0), -1);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 0.0);
    std::vector<double> nan_first = {3, std::nan(""), 3, 1, 2, 3};
    EXPECT_EQ(FindMinMax(nan_first.data(), &lo, &hi, 0), -1);
    EXPECT_EQ(FindMinMax(nullptr, &lo, &hi, 0), -1);
    auto empty = make_vector({1, 2, 3}, 3, 2);
    EXPECT_EQ(FindMinMax(empty.data(), &lo, &hi, 0), 0);
}

TEST(HistoCalc, BinsByUpperEdgeAndAccumulates) {
    auto v = make_vector({0.5, 1.0, 1.5, 2.5});
    const float edges[3] = {0, 1, 2};
    float counts[2] = {0, 0};
    double most = -1;
    EXPECT_EQ(HistoCalc(v.data(), edges, counts, &most, 2, 1), 7);  // last + 3
    EXPECT_EQ(counts[0], 2.0f);  // 0.5 and 1.0 (1.0 <= edges[1])
    EXPECT_EQ(counts[1], 1.0f);  // 2.5 lies above edges[2]
    EXPECT_EQ(most, 2.0);

    // Counts are added to; maxCount restarts from 0 and follows the increments only.
    auto low = make_vector({-4.0, 1.8}, 1, 1);
    EXPECT_EQ(HistoCalc(low.data(), edges, counts, &most, 2, 1), 4);
    EXPECT_EQ(counts[0], 3.0f);  // below edges[0], still bin 0
    EXPECT_EQ(counts[1], 1.0f);
    EXPECT_EQ(most, 3.0);
}

TEST(HistoCalc, ZeroRuleAndWindowPosition) {
    auto v = make_vector({0, 0.5, 0, 1.5, 0}, 1, 5);
    const float edges[3] = {0, 1, 2};
    float counts[2] = {0, 0};
    double most = 0;
    EXPECT_EQ(HistoCalc(v.data(), edges, counts, &most, 2, 0), 8);
    EXPECT_EQ(counts[0], 3.0f);  // the zeros of samples 1 and 5, and 0.5
    EXPECT_EQ(counts[1], 1.0f);
    counts[0] = counts[1] = 0;
    auto window = make_vector({0, 0.5, 0, 1.5, 0}, 2, 3);
    EXPECT_EQ(HistoCalc(window.data(), edges, counts, &most, 2, 0), 6);
    EXPECT_EQ(counts[0], 1.0f);
    EXPECT_EQ(counts[1], 0.0f);
    EXPECT_EQ(most, 1.0);

    std::vector<double> bad = {2, 1, 3, 1, 2};
    EXPECT_EQ(HistoCalc(bad.data(), edges, counts, &most, 2, 0), -1);
}

TEST(FindPlotScale, WorkedRanges) {
    double lo = -1, hi = -1;
    EXPECT_EQ(FindPlotScale(0.3, 4.0, &lo, &hi), 4);
    EXPECT_DOUBLE_EQ(lo, 0.0);
    EXPECT_DOUBLE_EQ(hi, 4.0);
    EXPECT_EQ(FindPlotScale(1.5, 5.2, &lo, &hi), 5);  // window moved up, then lo back
    EXPECT_DOUBLE_EQ(lo, 1.0);
    EXPECT_DOUBLE_EQ(hi, 6.0);
    EXPECT_EQ(FindPlotScale(-3.7, -0.2, &lo, &hi), 4);
    EXPECT_DOUBLE_EQ(lo, -4.0);
    EXPECT_DOUBLE_EQ(hi, 0.0);

    lo = hi = 9;
    EXPECT_EQ(FindPlotScale(2.0, 2.0, &lo, &hi), -1);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 0.0);
    EXPECT_EQ(FindPlotScale(3.0, 1.0, &lo, &hi), -1);
    EXPECT_EQ(FindPlotScale(0.0, std::numeric_limits<double>::infinity(), &lo, &hi), -1);
    EXPECT_EQ(FindPlotScale(std::nan(""), 1.0, &lo, &hi), -1);
}

// Ranges whose rounded span overflows or underflows are refused, not scaled.
TEST(FindPlotScale, RefusesRangesWithoutARepresentableSpan) {
    double lo = 9, hi = 9;
    EXPECT_EQ(FindPlotScale(0.0, std::numeric_limits<double>::max(), &lo, &hi), -1);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 0.0);
    lo = hi = 9;
    EXPECT_EQ(FindPlotScale(0.0, std::numeric_limits<double>::denorm_min(), &lo, &hi), -1);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 0.0);
}

// Limits always cover the range, and the divisions tile it in steps of a power of ten.
TEST(FindPlotScale, CoversRandomRangesIncludingOnesAtTheResolutionOfTheirValues) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> mantissa(0.5, 1000.0), spread(-15.0, 3.0);
    std::uniform_int_distribution<int> exponent(-200, 200), ulps(1, 6), coin(0, 1);
    for (int i = 0; i < 20000; ++i) {
        const double x = (coin(rng) ? 1.0 : -1.0) * mantissa(rng) * std::pow(10.0, exponent(rng));
        double y = x;
        if (coin(rng)) {
            // A range of a few units in the last place: the division is below the
            // resolution of the values and the walk must still end.
            for (int k = ulps(rng); k > 0; --k) y = std::nextafter(y, HUGE_VAL);
        } else {
            y = x + std::fabs(x) * std::pow(10.0, spread(rng));
        }
        double lo = 0, hi = 0;
        const int n = FindPlotScale(x, y, &lo, &hi);
        ASSERT_GE(n, 2) << x << " " << y;
        ASSERT_LE(lo, x) << x << " " << y;
        ASSERT_GE(hi, y) << x << " " << y;
    }
    // One such range, found by search, that a walk without the guard never leaves.
    double lo = 0, hi = 0;
    EXPECT_GE(FindPlotScale(-0.17294427051941128, -0.17294427051941125, &lo, &hi), 2);
    EXPECT_LE(lo, -0.17294427051941128);
    EXPECT_GE(hi, -0.17294427051941125);
}

TEST(BasScale, WorkedRanges) {
    double start = -1, step = -1;
    EXPECT_EQ(BasScale(0, 7.3, 5, &start, &step), 1);
    EXPECT_DOUBLE_EQ(start, 0.0);
    EXPECT_DOUBLE_EQ(step, 2.0);
    EXPECT_EQ(BasScale(7.3, 0, 5, &start, &step), 1);  // order does not matter
    EXPECT_DOUBLE_EQ(step, 2.0);
    EXPECT_EQ(BasScale(-5, -1, 3, &start, &step), 1);  // mirrored range
    EXPECT_DOUBLE_EQ(start, -5.0);
    EXPECT_DOUBLE_EQ(step, 2.5);
    EXPECT_EQ(BasScale(0, 0, 3, &start, &step), 1);  // a zero range becomes 0 .. 1
    EXPECT_DOUBLE_EQ(start, 0.0);
    EXPECT_DOUBLE_EQ(step, 0.5);
}

TEST(BasScale, LaterPassesLabelEverySecondOrFourthDivision) {
    // 6.96 .. 7.76 in 2 labels: no single step of the table reaches from a multiple of
    // itself past 7.76, two divisions of 0.6 from 6.6 do, labelled every second.
    double start = 0, step = 0;
    EXPECT_EQ(BasScale(6.96, 7.76, 2, &start, &step), 1);
    EXPECT_NEAR(start, 6.6, 1e-12);
    EXPECT_NEAR(step, 1.2, 1e-12);
    // Here only the third pass (four divisions of 0.075) succeeds.
    EXPECT_EQ(BasScale(83.999, 84.195, 2, &start, &step), 1);
    EXPECT_NEAR(start, 83.925, 1e-9);
    EXPECT_NEAR(step, 0.3, 1e-12);
    // n < 2 is taken as 2.
    EXPECT_EQ(BasScale(6.96, 7.76, -3, &start, &step), 1);
    EXPECT_NEAR(step, 1.2, 1e-12);
}

TEST(BasScale, FoundAxesCoverRandomRanges) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> value(-1000.0, 1000.0);
    std::uniform_int_distribution<int> labels(-1, 12), exponent(-30, 30);
    int found = 0;
    for (int i = 0; i < 20000; ++i) {
        const double scale = std::pow(10.0, exponent(rng));
        const double a = value(rng) * scale, b = value(rng) * scale;
        const int n = labels(rng);
        double start = 0, step = 0;
        if (BasScale(a, b, n, &start, &step) == 0) continue;
        ++found;
        const double last = start + (n < 2 ? 1 : n - 1) * step;
        const double slack = 1e-9 * std::fabs(step);
        ASSERT_GT(step, 0.0);
        ASSERT_LE(start, std::min(a, b) + slack) << a << " " << b << " " << n;
        ASSERT_GE(last, std::max(a, b) - slack) << a << " " << b << " " << n;
    }
    EXPECT_GT(found, 19000);
}

TEST(BasScale, RangesWithoutAStepEndAtOnce) {
    double start = 1, step = 1;
    const double tiny = std::numeric_limits<double>::denorm_min();
    EXPECT_EQ(BasScale(tiny, tiny, 5, &start, &step), 0);  // a + |a|/10 == a
    EXPECT_EQ(step, 0.0);
    const double big = std::numeric_limits<double>::max();
    EXPECT_EQ(BasScale(-big, big, 5, &start, &step), 0);  // width beyond the doubles
    EXPECT_EQ(BasScale(0, HUGE_VAL, 5, &start, &step), 0);
    EXPECT_EQ(BasScale(std::nan(""), 1, 5, &start, &step), 0);
}

TEST(RoundAxes, WorkedRanges) {
    double lo = 0, hi = 7.3, tick = 0;
    RoundAxes(&lo, &hi, &tick);
    EXPECT_DOUBLE_EQ(lo, 0.0);
    EXPECT_DOUBLE_EQ(hi, 8.0);
    EXPECT_DOUBLE_EQ(tick, 0.2);

    lo = -3.2, hi = 5.1;
    RoundAxes(&lo, &hi, &tick);
    EXPECT_DOUBLE_EQ(lo, -4.0);
    EXPECT_DOUBLE_EQ(hi, 6.0);
    EXPECT_DOUBLE_EQ(tick, 0.2);

    // Entirely negative: top stays at 0 only when hi is at or below 0.
    lo = -7.3, hi = -2.0;
    RoundAxes(&lo, &hi, &tick);
    EXPECT_DOUBLE_EQ(lo, -8.0);   // -75.65 -> -76 -> (-7 - 1) * 10
    EXPECT_DOUBLE_EQ(hi, -1.5);   // -17.3 -> -17 -> (-3 + 0) * 5
    EXPECT_DOUBLE_EQ(tick, 0.1);  // span 65 -> factor 10

    // From 0, the unit is a tenth of the other end's power of ten: 0.01 here.
    lo = 0.0, hi = 0.5;
    RoundAxes(&lo, &hi, &tick);
    EXPECT_DOUBLE_EQ(lo, 0.0);
    EXPECT_DOUBLE_EQ(hi, 0.55);   // 50 + margin 2.5 -> 53 -> (10 + 1) * 5
    EXPECT_DOUBLE_EQ(tick, 0.01);  // span 55 -> factor 10
}

TEST(RoundAxes, TickFollowsTheRoundedSpan) {
    struct Case {
        double lo, hi, tick;
    };
    // Spans in units of 0.1: 15 -> 2, 30 -> 5, 120 -> 20, 170 -> 50, 200 -> 100.
    const Case cases[] = {{1.0, 1.0, 0.02}, {1.0, 2.0, 0.05}, {-5.0, 5.0, 0.2},
                          {-7.3, 8.1, 0.5}, {-9.0, 9.0, 1.0}};
    for (const auto& c : cases) {
        double lo = c.lo, hi = c.hi, tick = 0;
        RoundAxes(&lo, &hi, &tick);
        EXPECT_LE(lo, c.lo);
        EXPECT_GE(hi, c.hi);
        EXPECT_NEAR(tick, c.tick, 1e-12) << c.lo << " .. " << c.hi << " -> " << lo << " .. " << hi;
    }
}

TEST(RoundAxes, UnroundableInputIsLeftAlone) {
    double lo = -HUGE_VAL, hi = 1.0, tick = 5;
    RoundAxes(&lo, &hi, &tick);
    EXPECT_EQ(lo, -HUGE_VAL);
    EXPECT_EQ(hi, 1.0);
    EXPECT_EQ(tick, 0.0);
    const double tiny = std::numeric_limits<double>::denorm_min();
    lo = tiny, hi = 2 * tiny;
    RoundAxes(&lo, &hi, &tick);  // the unit would be below the smallest double
    EXPECT_EQ(lo, tiny);
    EXPECT_EQ(hi, 2 * tiny);
    EXPECT_EQ(tick, 0.0);
}

}  // namespace
