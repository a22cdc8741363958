// TheoBR and TheoH: the bias-removal ratio from its definition, and TheoH against the
// Allan deviation within its confidence interval on simulated noise.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "test_support.h"
#include "varnisx.h"

using testing_support::make_vector;
using testing_support::power_law_phase;

namespace {

double theo1_definition(const std::vector<double>& x, long m) {
    const long N = static_cast<long>(x.size()), h = m / 2;
    double total = 0.0;
    for (long i = 0; i < N - m; ++i)
        for (long d = 0; d < h; ++d) {
            const double t = (x[i] - x[i - d + h]) + (x[i + m] - x[i + d + h]);
            total += t * t / static_cast<double>(h - d);
        }
    return total / (0.75 * static_cast<double>(N - m) * static_cast<double>(m * m));
}

double overlapping_avar(const std::vector<double>& v, int m) {
    double s = 0.0;
    EXPECT_GT(CalcPhaseOverlapSigma(v.data(), &s, 1.0, m), 0);
    return s * s;
}

TEST(TheoBR, RatioIsTheMeanAllanToTheo1RatioOverThePublishedPairs) {
    const long N = 330;  // pairs i = 0 .. 330 / 30 - 3 = 8
    const auto x = power_law_phase(N, -2.0, 21, 1e-9);
    const auto v = make_vector(x);
    double expected = 0.0;
    for (int i = 0; i <= 8; ++i)
        expected += overlapping_avar(v, 9 + 3 * i) / theo1_definition(x, 12 + 4 * i);
    expected /= 9.0;
    double ratio = 0.0;
    ASSERT_EQ(CalcTheoBRRatio(v.data(), &ratio, nullptr, 0, nullptr), 9);
    EXPECT_NEAR(ratio, expected, 1e-9 * expected);

    const int factors[] = {10, 100, 328};
    double theo1[3], theobr[3], ratio_back = 0.0;
    int windows[3];
    ASSERT_EQ(CalcTheo1Sweep(v.data(), 2.0, factors, 3, theo1, nullptr, nullptr, 0, nullptr), 3);
    ASSERT_EQ(CalcTheoBRSweep(v.data(), 2.0, factors, 3, theobr, windows, &ratio_back, nullptr, 0,
                              nullptr),
              3);
    EXPECT_NEAR(ratio_back, ratio, 1e-12 * ratio);
    for (int r = 0; r < 3; ++r) {
        EXPECT_NEAR(theobr[r], std::sqrt(ratio) * theo1[r], 1e-12 * theobr[r]);
        EXPECT_EQ(windows[r], N - factors[r]);
    }
    const auto short_record = make_vector(std::vector<double>(89, 1.0));
    EXPECT_EQ(CalcTheoBRRatio(short_record.data(), &ratio, nullptr, 0, nullptr), -1);
}

TEST(TheoH, AllanRowsUpToTheSwitchAndTheoBRRowsBeyond) {
    const long N = 600;
    const auto v = make_vector(power_law_phase(N, -1.0, 4, 1e-9));
    const int afs[] = {1, 8, 60, 61, 100, 400};  // default switch: 60
    double devs[6], taus[6], ratio = 0.0;
    int terms[6], kinds[6];
    ASSERT_EQ(CalcTheoHSweep(v.data(), 0.5, afs, 6, 0, devs, taus, terms, kinds, nullptr, 0, nullptr), 6);
    ASSERT_GT(CalcTheoBRRatio(v.data(), &ratio, nullptr, 0, nullptr), 0);
    for (int r = 0; r < 6; ++r) {
        SCOPED_TRACE("af " + std::to_string(afs[r]));
        double expected = 0.0;
        if (afs[r] <= 60) {
            EXPECT_EQ(kinds[r], 0);
            EXPECT_EQ(terms[r], CalcPhaseOverlapSigma(v.data(), &expected, 0.5, afs[r]));
            EXPECT_EQ(taus[r], 0.5 * afs[r]);
        } else {
            const int m = 2 * static_cast<int>(std::floor(2.0 * afs[r] / 3.0 + 0.5));
            EXPECT_EQ(kinds[r], 1);
            EXPECT_EQ(terms[r], CalcTheo1Dev(v.data(), &expected, 0.5, m));
            expected *= std::sqrt(ratio);
            EXPECT_EQ(taus[r], 0.75 * m * 0.5);
        }
        EXPECT_NEAR(devs[r], expected, 1e-9 * expected);
    }
    const int beyond_half[] = {301};
    EXPECT_EQ(CalcTheoHSweep(v.data(), 1.0, beyond_half, 1, 400, devs, nullptr, nullptr, nullptr,
                             nullptr, 0, nullptr),
              -1);  // an Allan row needs af <= M / 2
    const int too_long[] = {450};
    EXPECT_EQ(CalcTheoHSweep(v.data(), 1.0, too_long, 1, 0, devs, nullptr, nullptr, nullptr, nullptr,
                             0, nullptr),
              -1);  // Theo1 factor 600 > M - 1
}

// Two-sided 95 % interval of the Allan deviation from Varnis's degrees of freedom.
void allan_interval(int alpha, long N, int m, double adev, double& low, double& high) {
    const float edf = CalcDegFree(alpha, static_cast<int>(N), m);
    ASSERT_GT(edf, 0.0f);
    const double upper_quantile = CalcInvChiSqr(0.025f, edf);  // P(X > x) = 0.025
    const double lower_quantile = CalcInvChiSqr(0.975f, edf);
    low = adev * std::sqrt(edf / upper_quantile);
    high = adev * std::sqrt(edf / lower_quantile);
}

TEST(TheoH, AgreesWithTheAllanDeviationWithinItsConfidenceInterval) {
    // Beyond the switch, TheoH (TheoBR) and the Allan deviation estimate the same
    // quantity at tau = 3 j tau0; TheoBR has more degrees of freedom, so the Allan
    // deviation's interval is the wider one to hold it.
    const long N = 4096;
    const int afs[] = {420, 600, 900, 1200, 1500, 2040};  // multiples of 3 beyond 409
    for (const auto& [alpha, beta] : std::vector<std::pair<int, double>>{{0, -2.0}, {-1, -3.0},
                                                                          {-2, -4.0}}) {
        SCOPED_TRACE("alpha " + std::to_string(alpha));
        const auto v = make_vector(power_law_phase(N, beta, 100 + alpha, 1e-9));
        double theoh[6], taus[6];
        ASSERT_EQ(CalcTheoHSweep(v.data(), 1.0, afs, 6, 0, theoh, taus, nullptr, nullptr, nullptr, 0,
                                 nullptr),
                  6);
        for (int r = 0; r < 6; ++r) {
            ASSERT_EQ(taus[r], afs[r]);
            double adev = 0.0, low = 0.0, high = 0.0;
            ASSERT_GT(CalcPhaseOverlapSigma(v.data(), &adev, 1.0, afs[r]), 0);
            allan_interval(alpha, N, afs[r], adev, low, high);
            EXPECT_GE(theoh[r], low) << "af " << afs[r];
            EXPECT_LE(theoh[r], high) << "af " << afs[r];
        }
    }
}

}  // namespace
