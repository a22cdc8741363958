// Dynamic Allan deviation: each element against the overlapping Allan deviation of its
// window, and the behaviour on stationary noise and on a step in the noise level.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "test_support.h"
#include "varnisx.h"

using testing_support::make_vector;
using testing_support::power_law_phase;

namespace {

TEST(DynamicAllan, EachElementIsTheOverlappingAllanDeviationOfItsWindow) {
    auto x = power_law_phase(1000, -2.0, 5, 1e-9);
    for (auto& s : x) s += 1e-3;
    x[600] = 0.0;  // sample 601: a gap
    const auto v = make_vector(x, 11, 990);
    const int window = 200, step = 37, factors[] = {1, 3, 50, 99};
    const int windows = (980 - window) / step + 1;
    std::vector<double> devs(windows * 4);
    std::vector<int> terms(windows * 4);
    ASSERT_EQ(CalcDynamicAllanDev(v.data(), 0.5, window, step, factors, 4, devs.data(), terms.data(),
                                  windows, nullptr, 0, nullptr),
              windows);
    for (int r = 0; r < windows; ++r)
        for (int c = 0; c < 4; ++c) {
            const int first = 11 + r * step;
            const auto sub = make_vector(x, first, first + window - 1);
            double expected = 0.0;
            const int n = CalcPhaseOverlapSigma(sub.data(), &expected, 0.5, factors[c]);
            EXPECT_EQ(terms[r * 4 + c], n) << "window " << r << " m " << factors[c];
            EXPECT_NEAR(devs[r * 4 + c], expected, 1e-12 * expected);
        }
    std::vector<double> small(windows * 4 - 1);
    EXPECT_EQ(CalcDynamicAllanDev(v.data(), 0.5, window, step, factors, 4, small.data(), nullptr,
                                  windows - 1, nullptr, 0, nullptr),
              -1);  // capacity
    const int too_large[] = {100};  // 2 m = window
    EXPECT_EQ(CalcDynamicAllanDev(v.data(), 0.5, window, step, too_large, 1, devs.data(), nullptr,
                                  windows, nullptr, 0, nullptr),
              -1);
}

TEST(DynamicAllan, AWindowOfGapsIsNaNWithoutTerms) {
    std::vector<double> x(100, 1.0);
    for (int k = 0; k < 100; ++k) x[k] = 1.0 + 0.01 * k * k;
    std::fill(x.begin() + 40, x.begin() + 75, 0.0);  // samples 41 .. 75
    const auto v = make_vector(x);
    const int factors[] = {2};
    double devs[4];
    int terms[4];
    ASSERT_EQ(CalcDynamicAllanDev(v.data(), 1.0, 25, 25, factors, 1, devs, terms, 4, nullptr, 0, nullptr), 4);
    EXPECT_GT(terms[0], 0);
    EXPECT_EQ(terms[2], 0);  // samples 51 .. 75: only gaps
    EXPECT_TRUE(std::isnan(devs[2]));
}

// Deviations of the windows at one factor (one column).
std::vector<double> column(const std::vector<double>& x, int window, int step, int m) {
    const auto v = make_vector(x);
    const int windows = (static_cast<int>(x.size()) - window) / step + 1;
    std::vector<double> devs(windows);
    EXPECT_EQ(CalcDynamicAllanDev(v.data(), 1.0, window, step, &m, 1, devs.data(), nullptr, windows,
                                  nullptr, 0, nullptr),
              windows);
    return devs;
}

TEST(DynamicAllan, FlatOnStationaryNoiseAndShowsAStepInTheNoiseLevel) {
    const int N = 16384, window = 1024, step = 512, m = 4;
    auto x = power_law_phase(N, -2.0, 77, 1e-9);  // white frequency
    // Stationary: every window within the 99 % interval of the whole record's value.
    const auto flat = column(x, window, step, m);
    double whole = 0.0;
    const auto v = make_vector(x);
    ASSERT_GT(CalcPhaseOverlapSigma(v.data(), &whole, 1.0, m), 0);
    const float edf = CalcDegFree(0, window, m);
    const double low = whole * std::sqrt(edf / CalcInvChiSqr(0.005f, edf));
    const double high = whole * std::sqrt(edf / CalcInvChiSqr(0.995f, edf));
    for (double d : flat) {
        EXPECT_GT(d, low);
        EXPECT_LT(d, high);
    }
    // The frequency noise triples from sample 8193 on: windows before the step read the
    // old level, windows after it three times that, and the step sits at window 15
    // (samples 7681 .. 8704), the first that holds both.
    auto y = x;
    for (int k = N / 2; k < N; ++k) y[k] = y[N / 2 - 1] + 3.0 * (x[k] - x[N / 2 - 1]);
    const auto stepped = column(y, window, step, m);
    for (int r = 0; r < 15; ++r) EXPECT_EQ(stepped[r], flat[r]);
    for (int r = 16; r < static_cast<int>(stepped.size()); ++r)
        EXPECT_NEAR(stepped[r], 3.0 * flat[r], 1e-9 * stepped[r]);
    EXPECT_GT(stepped[15], flat[15]);
    EXPECT_LT(stepped[15], 3.0 * flat[15]);
}

}  // namespace
