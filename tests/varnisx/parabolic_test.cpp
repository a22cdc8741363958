// Parabolic deviation against its definition, term by term.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "test_support.h"
#include "varnisx.h"

using testing_support::make_vector;

namespace {

// PDEV as defined (x[0] holds x_1), over the terms i = 1 .. N - 2m whose samples
// x_i .. x_{i+2m-1} hold no gap position; returns the deviation and the term count.
double pdev_definition(const std::vector<double>& x, long m, double tau0,
                       const std::set<long>& gaps, long& used) {
    const long N = static_cast<long>(x.size());
    auto X = [&](long k) { return x[static_cast<std::size_t>(k - 1)]; };
    double total = 0.0;
    used = 0;
    for (long i = 1; i <= N - 2 * m; ++i) {
        bool usable = true;
        for (long k = i; k <= i + 2 * m - 1; ++k) usable = usable && gaps.count(k) == 0;
        if (!usable) continue;
        double s = 0.0;
        for (long k = 0; k <= m - 1; ++k)
            s += ((m - 1) / 2.0 - static_cast<double>(k)) * (X(i + k) - X(i + k + m));
        total += s * s;
        ++used;
    }
    const double mm = static_cast<double>(m);
    return std::sqrt(72.0 * total / (static_cast<double>(used) * mm * mm * mm * mm * (mm * tau0) * (mm * tau0)));
}

std::vector<double> offset_record(long count, double beta, unsigned seed) {
    auto x = testing_support::power_law_phase(static_cast<std::size_t>(count), beta, seed, 1e-12);
    for (long k = 0; k < count; ++k) x[static_cast<std::size_t>(k)] += 1e-3 + 1e-9 * k;
    return x;
}

TEST(Parabolic, MatchesTheDefinitionOnOffsetRecordsAcrossRestarts) {
    // 3000 samples: the sums of m = 2 restart every 1024 terms.
    for (double beta : testing_support::noise_betas()) {
        const auto x = offset_record(3000, beta, 31);
        const auto v = make_vector(x);
        for (long m : {2L, 3L, 7L, 64L, 700L}) {
            long used = 0;
            const double expected = pdev_definition(x, m, 0.25, {}, used);
            double dev = 0.0;
            ASSERT_EQ(CalcParabolicDev(v.data(), &dev, 0.25, static_cast<int>(m)), used);
            EXPECT_NEAR(dev, expected, 1e-9 * expected) << "beta " << beta << " m " << m;
        }
    }
}

TEST(Parabolic, TermsTouchingAGapAreLeftOutAndFactorOneIsTheOverlappingAllan) {
    auto x = offset_record(500, -2.0, 8);
    x[0] = 0.0;    // sample 1 of the vector: a reading
    x[199] = 0.0;  // sample 200: a gap
    x[200] = 0.0;  // sample 201: a gap
    const auto v = make_vector(x);
    for (long m : {2L, 5L, 40L}) {
        long used = 0;
        const double expected = pdev_definition(x, m, 1.0, {200, 201}, used);
        double dev = 0.0;
        ASSERT_EQ(CalcParabolicDev(v.data(), &dev, 1.0, static_cast<int>(m)), used);
        EXPECT_EQ(used, 500 - 2 * m - (2 * m + 1));
        EXPECT_NEAR(dev, expected, 1e-9 * expected) << "m " << m;
    }
    double pdev = 0.0, adev = 0.0;
    EXPECT_EQ(CalcParabolicDev(v.data(), &pdev, 1.0, 1), CalcPhaseOverlapSigma(v.data(), &adev, 1.0, 1));
    EXPECT_EQ(pdev, adev);
}

TEST(Parabolic, Refusals) {
    const auto v = make_vector(offset_record(20, 0.0, 2));
    double dev = -7.0;
    EXPECT_EQ(CalcParabolicDev(v.data(), &dev, 1.0, 10), -1);  // no term: 20 - 2 * 10 = 0
    EXPECT_EQ(CalcParabolicDev(v.data(), &dev, 1.0, 0), -1);
    EXPECT_EQ(CalcParabolicDev(v.data(), &dev, -1.0, 2), -1);
    EXPECT_EQ(dev, -7.0);
    EXPECT_EQ(CalcParabolicDev(v.data(), &dev, 1.0, 9), 2);
    auto all_gaps = make_vector(std::vector<double>(20, 0.0));
    EXPECT_EQ(CalcParabolicDev(all_gaps.data(), &dev, 1.0, 3), -1);
}

}  // namespace
