// Three-cornered hat: the combination of the pairwise variances for each kind, and
// three simulated clocks recovered within their confidence intervals.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "test_support.h"
#include "varnisx.h"

using testing_support::make_vector;
using testing_support::power_law_phase;

namespace {

std::vector<double> difference(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> d(a.size());
    for (std::size_t k = 0; k < a.size(); ++k) d[k] = a[k] - b[k] + 1e-3;  // offset: no 0.0
    return d;
}

void quiet(int, const char*) {}

// The variance of one record by the routine that `kind` names.
double variance_of(const std::vector<double>& v, int kind, int m) {
    double dev = 0.0;
    const int no_stop = 0;
    switch (kind) {
        case VARNISX_ALLAN: EXPECT_GT(CalcPhaseOverlapSigma(v.data(), &dev, 1.0, m), 0); break;
        case VARNISX_MODIFIED_ALLAN:
            EXPECT_GT(CalcPhaseModSigma(v.data(), &dev, m, m, &no_stop, 0, quiet), 0);
            break;
        case VARNISX_HADAMARD: EXPECT_GT(CalcPhaseOverlapHadamardDev(v.data(), &dev, 1.0, m), 0); break;
        case VARNISX_PARABOLIC: EXPECT_GT(CalcParabolicDev(v.data(), &dev, 1.0, m), 0); break;
        case VARNISX_THEO1: EXPECT_GT(CalcTheo1Dev(v.data(), &dev, 1.0, m), 0); break;
    }
    return dev * dev;
}

struct Clocks {
    std::vector<double> a, b, c, ab, bc, ca;
    explicit Clocks(long N) {
        a = power_law_phase(N, -2.0, 1, 1e-9);        // white frequency
        b = power_law_phase(N, -3.0, 2, 0.3e-9);      // flicker frequency
        c = power_law_phase(N, -4.0, 3, 0.02e-9);     // random-walk frequency
        ab = make_vector(difference(a, b));
        bc = make_vector(difference(b, c));
        ca = make_vector(difference(c, a));
    }
};

TEST(ThreeCorneredHat, CombinesThePairwiseVariancesOfEachKind) {
    const Clocks clocks(600);
    for (int kind : {VARNISX_ALLAN, VARNISX_MODIFIED_ALLAN, VARNISX_HADAMARD, VARNISX_PARABOLIC,
                     VARNISX_THEO1}) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        const int m = 16;
        const double vab = variance_of(clocks.ab, kind, m), vbc = variance_of(clocks.bc, kind, m),
                     vca = variance_of(clocks.ca, kind, m);
        double variances[3], pairs[3];
        ASSERT_GT(CalcThreeCorneredHat(clocks.ab.data(), clocks.bc.data(), clocks.ca.data(), 1.0, m,
                                       kind, variances, pairs),
                  0);
        EXPECT_NEAR(variances[0], 0.5 * (vab + vca - vbc), 1e-12 * vab);
        EXPECT_NEAR(variances[1], 0.5 * (vab + vbc - vca), 1e-12 * vab);
        EXPECT_NEAR(variances[2], 0.5 * (vbc + vca - vab), 1e-12 * vab);
        EXPECT_NEAR(pairs[1], vbc, 1e-12 * vbc);
    }
    double variances[3];
    EXPECT_EQ(CalcThreeCorneredHat(clocks.ab.data(), clocks.bc.data(), clocks.ca.data(), 1.0, 16, 5,
                                   variances, nullptr),
              -1);
    EXPECT_EQ(CalcThreeCorneredHat(clocks.ab.data(), clocks.bc.data(), clocks.ca.data(), 1.0, 15,
                                   VARNISX_THEO1, variances, nullptr),
              -1);  // Theo1 needs an even factor
}

TEST(ThreeCorneredHat, RecoversThreeSimulatedClocksWithinTheirConfidenceIntervals) {
    // Each clock's own Allan variance lies in the interval that the 90 % intervals of
    // the three pairwise variances give to its estimate (degrees of freedom of the
    // pair's least favourable noise, random-walk frequency).
    const long N = 8192;
    const Clocks clocks(N);
    const std::vector<double> own[3] = {make_vector(clocks.a), make_vector(clocks.b),
                                        make_vector(clocks.c)};
    for (int m : {1, 8, 64, 512}) {
        double variances[3], pairs[3];
        ASSERT_GT(CalcThreeCorneredHat(clocks.ab.data(), clocks.bc.data(), clocks.ca.data(), 1.0, m,
                                       VARNISX_ALLAN, variances, pairs),
                  0);
        const float edf = CalcDegFree(-2, static_cast<int>(N), m);
        ASSERT_GT(edf, 0.0f);
        const double up = edf / CalcInvChiSqr(0.95f, edf), down = edf / CalcInvChiSqr(0.05f, edf);
        const double hi[3] = {pairs[0] * up, pairs[1] * up, pairs[2] * up};
        const double lo[3] = {pairs[0] * down, pairs[1] * down, pairs[2] * down};
        const int first[3] = {0, 0, 1}, second[3] = {2, 1, 2}, third[3] = {1, 2, 0};
        for (int clock = 0; clock < 3; ++clock) {
            const int p = first[clock], q = second[clock], r = third[clock];
            const double low = 0.5 * (lo[p] + lo[q] - hi[r]), high = 0.5 * (hi[p] + hi[q] - lo[r]);
            const double truth = variance_of(own[clock], VARNISX_ALLAN, m);
            EXPECT_GE(truth, low) << "clock " << clock << " m " << m;
            EXPECT_LE(truth, high) << "clock " << clock << " m " << m;
            EXPECT_GE(variances[clock], low);
            EXPECT_LE(variances[clock], high);
        }
    }
}

}  // namespace
