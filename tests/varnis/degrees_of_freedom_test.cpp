// Equivalent degrees of freedom: closed forms, the table, and the Hadamard kernel sum.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "varnis.h"

namespace {

TEST(CalcDegFree, ClosedFormsByNoiseType) {
    EXPECT_NEAR(CalcDegFree(0, 100, 1), 65.1289, 5e-5);
    EXPECT_FLOAT_EQ(CalcDegFree(2, 100, 1), static_cast<float>(101.0 * 98.0 / (2.0 * 99.0)));
    EXPECT_FLOAT_EQ(CalcDegFree(-1, 100, 1),
                    static_cast<float>(2.0 * 98.0 * 98.0 / (2.3 * 100.0 - 4.9)));
    EXPECT_FLOAT_EQ(CalcDegFree(-1, 100, 2),
                    static_cast<float>(5.0 * 1e4 / (4.0 * 2.0 * (100.0 + 6.0))));
    EXPECT_FLOAT_EQ(CalcDegFree(-2, 100, 4),
                    static_cast<float>((99.0 * 99.0 - 12.0 * 99.0 + 64.0) * 98.0 /
                                       (4.0 * 97.0 * 97.0)));
    const double p = std::log(99.0 * 5.0 / 4.0) * std::log(99.0 / 4.0);
    EXPECT_FLOAT_EQ(CalcDegFree(1, 100, 2), static_cast<float>(std::exp(std::sqrt(p))));
}

TEST(CalcDegFree, SignsOfNAndMAreIgnored) {
    for (int alpha = -2; alpha <= 2; ++alpha) {
        const float base = CalcDegFree(alpha, 250, 3);
        EXPECT_EQ(CalcDegFree(alpha, -250, 3), base);
        EXPECT_EQ(CalcDegFree(alpha, 250, -3), base);
        EXPECT_EQ(CalcDegFree(alpha, -250, -3), base);
    }
    EXPECT_GT(CalcDegFree(0, INT_MIN, 1), 0.0f);
}

TEST(CalcDegFree, Refusals) {
    EXPECT_EQ(CalcDegFree(0, 0, 1), -1.0f);
    EXPECT_EQ(CalcDegFree(0, 100, 0), -1.0f);
    EXPECT_EQ(CalcDegFree(3, 100, 1), -1.0f);
    EXPECT_EQ(CalcDegFree(-3, 100, 1), -1.0f);
    EXPECT_EQ(CalcDegFree(2, 10, 10), -1.0f);
    EXPECT_EQ(CalcDegFree(-2, 3, 1), -1.0f);
    EXPECT_EQ(CalcDegFree(1, 1, 1), -1.0f);
    EXPECT_EQ(CalcDegFree(1, 2, 2), -1.0f);  // ln(5/4) ln(1/4) < 0
    // A degenerate input the formulas do not refuse gives what they give.
    EXPECT_FLOAT_EQ(CalcDegFree(0, 2, 1), static_cast<float>(1.5 * 4.0 / 9.0));
}

TEST(EDF, TableByNoiseTypeAndAveragingFactor) {
    EXPECT_FLOAT_EQ(EDF(0, 5, 1000), static_cast<float>(1.2245f * 200.0 / (1.0 - 0.58929f / 200.0)));
    EXPECT_FLOAT_EQ(EDF(0, 3, 600), EDF(0, 7, 1400));  // m from 3 on shares a column
    EXPECT_FLOAT_EQ(EDF(-2, 1, 100), 0.66667f * 100.0f);
    EXPECT_FLOAT_EQ(EDF(-4, 2, 50), 0.8658f * 25.0f);
    EXPECT_FLOAT_EQ(EDF(-3, 4, 400),
                    static_cast<float>(0.94663f * 100.0 / (1.0 - 0.41643f / 100.0)));
}

TEST(EDF, OutsideTheTableIsRefused) {
    EXPECT_EQ(EDF(1, 2, 100), -1.0f);
    EXPECT_EQ(EDF(-5, 2, 100), -1.0f);
    EXPECT_EQ(EDF(0, 0, 100), -1.0f);
    EXPECT_EQ(EDF(0, -2, 100), -1.0f);
}

TEST(HadamardEDF, WhiteFrequencyAtUnitFactorMatchesTermCorrelations) {
    // For white frequency noise the third differences of phase at m = 1 are second
    // differences of independent frequency values: correlations -2/3 and 1/6 at lags
    // 1 and 2, none beyond.
    for (int n : {10, 40, 90}) {
        const double terms = n - 3.0;
        const double v = (1.0 + 2.0 * (4.0 / 9.0 * (1.0 - 1.0 / terms) +
                                       1.0 / 36.0 * (1.0 - 2.0 / terms))) / terms;
        EXPECT_FLOAT_EQ(HadamardEDF(n, 1, -2), static_cast<float>(1.0 / v)) << n;
    }
}

TEST(HadamardEDF, ShortcutsContinueTheDirectSum) {
    for (int beta = -6; beta <= -2; ++beta) {
        // min(M, 3m) = 99 is summed directly, 100 takes a shortcut; at the same M / m
        // the two stay within a few percent.
        const float direct_long = HadamardEDF(3 * 33 + 198, 33, beta);    // M = 198, r = 6
        const float shortcut_long = HadamardEDF(3 * 34 + 204, 34, beta);  // M = 204, r = 6
        EXPECT_NEAR(shortcut_long / direct_long, 1.0, 0.05) << beta;
        const float direct_short = HadamardEDF(3 * 40 + 99, 40, beta);      // J = M = 99
        const float resampled_short = HadamardEDF(3 * 40 + 100, 40, beta);  // J = M = 100
        EXPECT_NEAR(resampled_short / direct_short, 1.0, 0.05) << beta;
        EXPECT_NE(resampled_short, direct_short);
    }
}

TEST(HadamardEDF, Refusals) {
    EXPECT_EQ(HadamardEDF(30, 10, -2), -1.0f);  // M = 0
    EXPECT_EQ(HadamardEDF(20, 10, -2), -1.0f);
    EXPECT_EQ(HadamardEDF(100, 2, -1), -1.0f);
    EXPECT_EQ(HadamardEDF(100, 2, -7), -1.0f);
    EXPECT_EQ(HadamardEDF(100, 0, -2), -1.0f);
    EXPECT_EQ(HadamardEDF(INT_MAX, INT_MAX, -2), -1.0f);
    EXPECT_GT(HadamardEDF(31, 10, -4), 0.0f);
}

}  // namespace
