// Drift and offset: inclusion rules and abscissae of each fit, the searches, the
// quadratic against an independent fit, the drift estimates and the removals.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "test_support.h"
#include "varnis.h"

using testing_support::make_vector;
using testing_support::samples_of;

namespace {

constexpr double kUntouched = -12345.0;

TEST(LineFits, ExactLinesAndInclusionRules) {
    double c = kUntouched, s = kUntouched, var = kUntouched;
    auto two = make_vector({0, 5, 0, 11, 0});
    EXPECT_EQ(CalcLinFreqDrift(two.data(), &c, &s, &var), 2);
    EXPECT_DOUBLE_EQ(s, 3.0);
    EXPECT_DOUBLE_EQ(c, -1.0);
    EXPECT_EQ(var, 0.0);

    std::vector<double> y;
    for (int k = 1; k <= 10; ++k) y.push_back(3.0 + 2.0 * k);
    y[3] = y[6] = 0.0;
    auto line = make_vector(y);
    EXPECT_EQ(CalcLinFreqDrift(line.data(), &c, &s, &var), 8);
    EXPECT_NEAR(c, 3.0, 1e-12);
    EXPECT_NEAR(s, 2.0, 1e-13);
    EXPECT_NEAR(var, 0.0, 1e-20);

    // The abscissa is the sample number of the record, not the window position.
    auto window = make_vector({0, 0, 0, 7, 9, 11}, 4, 6);
    EXPECT_EQ(CalcLinFreqDrift(window.data(), &c, &s, &var), 3);
    EXPECT_NEAR(c, -1.0, 1e-12);

    // Phase record from 0.0: the offset fit counts sample 1 and the window's last
    // sample at 0.0; the frequency fit does not; an interior 0.0 is a gap for both.
    auto phase = make_vector({0, 2, 4, 0, 8, 0});
    EXPECT_EQ(CalcFreqOffset(phase.data(), &c, &s, &var), 5);
    EXPECT_EQ(CalcLinFreqDrift(phase.data(), &c, &s, &var), 3);
    auto from_zero = make_vector({0, 2, 4, 6, 8});
    EXPECT_EQ(CalcFreqOffset(from_zero.data(), &c, &s, &var), 5);
    EXPECT_NEAR(s, 2.0, 1e-13);
    EXPECT_NEAR(c, -2.0, 1e-12);

    c = s = var = kUntouched;
    auto one = make_vector({0, 4, 0});
    EXPECT_EQ(CalcLinFreqDrift(one.data(), &c, &s, &var), -1);
    EXPECT_EQ(CalcFreqOffset(make_vector({1}).data(), &c, &s, &var), -1);
    EXPECT_EQ(c, kUntouched);
    EXPECT_EQ(s, kUntouched);
    EXPECT_EQ(var, kUntouched);
}

TEST(LineFits, RemovingTheFittedDriftLeavesNoSlope) {
    auto noise = testing_support::power_law_phase(50000, 0.0, 4, 1e-12);
    std::vector<double> y(noise.size());
    for (std::size_t i = 0; i < y.size(); ++i) {
        y[i] = 3e-9 + 4e-15 * static_cast<double>(i + 1) + noise[i];
        if (i % 97 == 5) y[i] = 0.0;
    }
    auto v = make_vector(y, 20, 49000);
    double c = 0, s = 0, var = 0;
    const int n = CalcLinFreqDrift(v.data(), &c, &s, &var);
    ASSERT_GT(n, 48000);
    EXPECT_NEAR(s / 4e-15, 1.0, 1e-2);
    EXPECT_NEAR(std::sqrt(var) / 1e-12, 1.0, 2e-2);
    EXPECT_EQ(RemoveLinFreqDrift(v.data(), c, s), n);
    double c2 = 0, s2 = 0, var2 = 0;
    EXPECT_EQ(CalcLinFreqDrift(v.data(), &c2, &s2, &var2), n);
    EXPECT_NEAR(s2, 0.0, 1e-24);
    EXPECT_NEAR(c2, 0.0, 1e-19);
    EXPECT_NEAR(var2 / var, 1.0, 1e-9);
    EXPECT_EQ(v[3], y[0]);  // outside the window
}

TEST(Searches, LogarithmicFitFindsItsTimeFactor) {
    std::vector<double> y;
    for (int k = 1; k <= 400; ++k) y.push_back(2e-11 * std::log(0.05 * k + 1.0) + 1e-12);
    y[10] = 0.0;
    auto v = make_vector(y);
    double a = 0, b = 0, y0 = 0, r = -1;
    EXPECT_EQ(CalcLogFreqDrift(v.data(), &a, &b, &y0, &r), 399);
    EXPECT_NEAR(b / 0.05, 1.0, 0.05);
    EXPECT_NEAR(a / 2e-11, 1.0, 0.05);
    EXPECT_LT(r, 1e-26);
    EXPECT_GE(r, 0.0);
    EXPECT_EQ(RemoveLogFreqDrift(v.data(), a, b, y0), 399);
    for (long k = 1; k <= 400; ++k) EXPECT_LT(std::fabs(v[k + 2]), 5e-14) << k;
    EXPECT_EQ(v[13], 0.0);

    double untouched = kUntouched;
    b = kUntouched;
    auto one = make_vector({0, 0, 3e-12});
    EXPECT_EQ(CalcLogFreqDrift(one.data(), &untouched, &b, &untouched, &untouched), -1);
    EXPECT_EQ(b, 1.0);
    EXPECT_EQ(untouched, kUntouched);
}

TEST(Searches, DiffusionFitFindsItsTimeOffset) {
    std::vector<double> y;
    for (int k = 1; k <= 500; ++k) y.push_back(1e-12 + 2e-12 * std::sqrt(k + 30.0));
    auto v = make_vector(y);
    double c = 0, s = 0, t0 = -1, r = -1;
    EXPECT_EQ(CalcDiffusionFreqDrift(v.data(), &c, &s, &t0, &r), 500);
    EXPECT_NEAR(t0, 30.0, 1.0);
    EXPECT_NEAR(s / 2e-12, 1.0, 0.01);
    EXPECT_LT(r, 1e-28);
    EXPECT_EQ(RemoveDiffusionFreqDrift(v.data(), c, s, t0), 500);
    for (long k = 1; k <= 500; ++k) EXPECT_LT(std::fabs(v[k + 2]), 1e-14) << k;

    t0 = kUntouched;
    auto gaps = make_vector({0, 0, 0});
    EXPECT_EQ(CalcDiffusionFreqDrift(gaps.data(), &c, &s, &t0, &r), -1);
    EXPECT_EQ(t0, 0.0);
}

TEST(Searches, EndOnDataThatNeverSettle) {
    // A straight line is fitted ever better by sqrt(k + t0) as t0 grows; a NaN
    // sample makes every residual NaN. Both calls must come back.
    std::vector<double> line;
    for (int k = 1; k <= 200; ++k) line.push_back(1e-12 * k);
    auto v = make_vector(line);
    double c = 0, s = 0, t0 = 0, r = 0;
    EXPECT_EQ(CalcDiffusionFreqDrift(v.data(), &c, &s, &t0, &r), 200);
    // The residual keeps falling at every step of 100 samples: the pass limit
    // (10 000) is what ends the search.
    EXPECT_DOUBLE_EQ(t0, 10000 * 100.0);
    auto bad = make_vector({1, 2, std::numeric_limits<double>::quiet_NaN(), 4});
    double a = 0, b = 0, y0 = 0;
    EXPECT_EQ(CalcLogFreqDrift(bad.data(), &a, &b, &y0, &r), 4);
    EXPECT_TRUE(std::isnan(r));
}

TEST(QuadraticFit, ExactCurveAndTauScaling) {
    std::vector<double> x;
    for (int u = 1; u <= 10; ++u) x.push_back(5.0 + 2.0 * u + 0.5 * u * u);
    auto v = make_vector(x);
    double a0 = 0, a1 = 0, a2 = 0, var = -1;
    EXPECT_EQ(CalcQuadraticDrift(v.data(), 1.0, &a0, &a1, &a2, &var), 10);
    EXPECT_NEAR(a0, 5.0, 1e-11);
    EXPECT_NEAR(a1, 2.0, 1e-12);
    EXPECT_NEAR(a2, 0.5, 1e-13);
    EXPECT_NEAR(var, 0.0, 1e-20);
    EXPECT_EQ(CalcQuadraticDrift(v.data(), 10.0, &a0, &a1, &a2, &var), 10);
    EXPECT_NEAR(a0, 5.0, 1e-11);
    EXPECT_NEAR(a1, 0.2, 1e-13);
    EXPECT_NEAR(a2, 0.005, 1e-15);

    // u counts positions in the window; a gap is filled in a copy only, by the
    // straight line between its neighbours (16 between 11 and 21).
    auto window = make_vector({99, 7.5, 11, 15.5, 21, 27.5, 1}, 2, 6);
    EXPECT_EQ(CalcQuadraticDrift(window.data(), 1.0, &a0, &a1, &a2, &var), 5);
    EXPECT_NEAR(a0, 5.0, 1e-11);
    EXPECT_NEAR(a2, 0.5, 1e-12);
    auto gap = make_vector({99, 7.5, 11, 0, 21, 27.5, 1}, 2, 6);
    const auto before = gap;
    auto filled = make_vector({99, 7.5, 11, 16, 21, 27.5, 1}, 2, 6);
    double f0 = 0, f1 = 0, f2 = 0, fv = 0;
    EXPECT_EQ(CalcQuadraticDrift(gap.data(), 1.0, &a0, &a1, &a2, &var), 5);
    EXPECT_EQ(CalcQuadraticDrift(filled.data(), 1.0, &f0, &f1, &f2, &fv), 5);
    EXPECT_EQ(gap, before);
    EXPECT_EQ(a0, f0);
    EXPECT_EQ(a2, f2);
    EXPECT_EQ(var, fv);

    a0 = a1 = a2 = var = kUntouched;
    auto three = make_vector({1, 2, 4});
    EXPECT_EQ(CalcQuadraticDrift(three.data(), 1.0, &a0, &a1, &a2, &var), -1);
    EXPECT_EQ(a0, 0.0);
    EXPECT_EQ(var, 0.0);
    a0 = a1 = a2 = var = kUntouched;
    auto two = make_vector({1, 2});
    EXPECT_EQ(CalcQuadraticDrift(two.data(), 1.0, &a0, &a1, &a2, &var), -1);
    EXPECT_EQ(CalcQuadraticDrift(v.data(), 0.0, &a0, &a1, &a2, &var), -1);
    EXPECT_EQ(a0, kUntouched);
    EXPECT_EQ(var, kUntouched);
}

// Least squares by the normal equations on centred abscissae t = u - c, solved by
// Cramer's rule in extended precision, then expanded to powers of u.
void independent_quadratic(const std::vector<double>& x, long double coef[3],
                           long double& variance) {
    const long m = static_cast<long>(x.size());
    const long double c = (m + 1) / 2.0L;
    long double s[5] = {0, 0, 0, 0, 0}, r[3] = {0, 0, 0};
    for (long u = 1; u <= m; ++u) {
        const long double t = u - c;
        long double p = 1;
        for (int i = 0; i < 5; ++i, p *= t) {
            s[i] += p;
            if (i < 3) r[i] += p * x[static_cast<std::size_t>(u - 1)];
        }
    }
    auto det3 = [](long double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
               a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    long double n[3][3] = {{s[0], s[1], s[2]}, {s[1], s[2], s[3]}, {s[2], s[3], s[4]}};
    const long double d = det3(n);
    long double b[3];
    for (int j = 0; j < 3; ++j) {
        long double a[3][3];
        for (int i = 0; i < 3; ++i)
            for (int l = 0; l < 3; ++l) a[i][l] = l == j ? r[i] : n[i][l];
        b[j] = det3(a) / d;
    }
    coef[2] = b[2];
    coef[1] = b[1] - 2 * c * b[2];
    coef[0] = b[0] - b[1] * c + b[2] * c * c;
    long double sum = 0;
    for (long u = 1; u <= m; ++u) {
        const long double t = u - c;
        const long double e = x[static_cast<std::size_t>(u - 1)] - (b[0] + b[1] * t + b[2] * t * t);
        sum += e * e;
    }
    variance = sum / (m - 3);
}

TEST(QuadraticFit, AgreesWithIndependentFitOnALongNoisyRecord) {
    const long m = 100000;
    auto noise = testing_support::power_law_phase(m, 0.0, 9, 1e-12);
    std::vector<double> x(m);
    for (long u = 1; u <= m; ++u) {
        const double t = static_cast<double>(u);
        x[static_cast<std::size_t>(u - 1)] = 1e-3 + 2e-9 * t + 3e-16 * t * t + noise[u - 1];
    }
    auto v = make_vector(x);
    double a0 = 0, a1 = 0, a2 = 0, var = 0;
    ASSERT_EQ(CalcQuadraticDrift(v.data(), 1.0, &a0, &a1, &a2, &var), m);
    long double coef[3], expect_var;
    independent_quadratic(x, coef, expect_var);
    EXPECT_NEAR(a0 / static_cast<double>(coef[0]), 1.0, 1e-9);
    EXPECT_NEAR(a1 / static_cast<double>(coef[1]), 1.0, 1e-9);
    EXPECT_NEAR(a2 / static_cast<double>(coef[2]), 1.0, 1e-9);
    EXPECT_NEAR(var / static_cast<double>(expect_var), 1.0, 1e-9);
    EXPECT_NEAR(std::sqrt(var) / 1e-12, 1.0, 0.02);
}

TEST(DriftEstimates, BisectionAndThreePoint) {
    std::vector<double> y;
    for (int k = 1; k <= 10; ++k) y.push_back(k);
    auto even = make_vector(y);
    EXPECT_FLOAT_EQ(CalcBisectionDrift(even.data()), 1.0f);
    EXPECT_EQ(even, make_vector(y));
    // Window 2..10: halves 2..5 and 6..10, means 3.5 and 8, half length 4.5.
    auto odd = make_vector(y, 2, 10);
    EXPECT_FLOAT_EQ(CalcBisectionDrift(odd.data()), static_cast<float>(4.5 / 4.5));
    EXPECT_EQ(odd[1], 2.0);
    EXPECT_EQ(odd[2], 10.0);
    auto empty_half = make_vector({0, 0, 3, 4});
    const auto before = empty_half;
    EXPECT_EQ(CalcBisectionDrift(empty_half.data()), -1.0f);
    EXPECT_EQ(empty_half, before);

    std::vector<double> sq;
    for (int k = 1; k <= 11; ++k) sq.push_back(k * k);
    auto squares = make_vector(sq);
    EXPECT_FLOAT_EQ(CalcThreePointDrift(squares.data()), 2.0f);
    // Gaps are filled in the caller's record first.
    auto gappy = make_vector({1, 4, 0, 16, 25});
    EXPECT_FLOAT_EQ(CalcThreePointDrift(gappy.data()), static_cast<float>(((25 - 10) / 2.0 - (10 - 1) / 2.0) / 2.0));
    EXPECT_EQ(gappy[5], 10.0);
    EXPECT_EQ(CalcThreePointDrift(make_vector({1, 2}).data()), -1.0f);
}

TEST(Removals, AbscissaeAndInclusionRules) {
    auto offset = make_vector({0, 7, 9, 0, 13, 0});  // window 1..6: sample 6 counts
    EXPECT_EQ(RemoveFreqOffset(offset.data(), 100.0, 2.0, 0), 5);
    EXPECT_EQ(samples_of(offset), (std::vector<double>{-2, 3, 3, 0, 3, -12}));
    auto with_intercept = make_vector({5, 7, 9});
    EXPECT_EQ(RemoveFreqOffset(with_intercept.data(), 5.0, 2.0, 1), 3);
    EXPECT_EQ(samples_of(with_intercept), (std::vector<double>{0, 0, 0}));

    auto quad = make_vector({1, 0, 5, 0, 2}, 2, 4);  // window ends 2 and 4 are readings
    EXPECT_EQ(RemoveQuadraticDrift(quad.data(), 1.0, 1.0, 1.0), 3);
    // u = k + 2: 1 + u + u^2 at k = 2, 3, 4 is 21, 31, 43.
    EXPECT_EQ(samples_of(quad), (std::vector<double>{1, -21, -26, -43, 2}));

    auto freq = make_vector({0, 2, 0, 4});
    EXPECT_EQ(RemoveLinFreqDrift(freq.data(), 0.0, 1.0), 2);
    EXPECT_EQ(samples_of(freq), (std::vector<double>{0, 0, 0, 0}));
}

TEST(DriftRefusals, BadHeaders) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::vector<double>> bad = {
        {4, 0, 4, 1, 2, 3, 4}, {4, 1, 5, 1, 2, 3, 4}, {nan, 1, 4, 1, 2, 3, 4}};
    for (auto v : bad) {
        const auto before = v;
        double a = kUntouched, b = kUntouched, c = kUntouched, d = kUntouched;
        EXPECT_EQ(CalcLinFreqDrift(v.data(), &a, &b, &c), -1);
        EXPECT_EQ(CalcFreqOffset(v.data(), &a, &b, &c), -1);
        EXPECT_EQ(CalcLogFreqDrift(v.data(), &a, &b, &c, &d), -1);
        EXPECT_EQ(CalcDiffusionFreqDrift(v.data(), &a, &b, &c, &d), -1);
        EXPECT_EQ(CalcQuadraticDrift(v.data(), 1.0, &a, &b, &c, &d), -1);
        EXPECT_EQ(CalcBisectionDrift(v.data()), -1.0f);
        EXPECT_EQ(CalcThreePointDrift(v.data()), -1.0f);
        EXPECT_EQ(RemoveLinFreqDrift(v.data(), 1, 1), -1);
        EXPECT_EQ(RemoveFreqOffset(v.data(), 1, 1, 1), -1);
        EXPECT_EQ(RemoveLogFreqDrift(v.data(), 1, 1, 1), -1);
        EXPECT_EQ(RemoveDiffusionFreqDrift(v.data(), 1, 1, 1), -1);
        EXPECT_EQ(RemoveQuadraticDrift(v.data(), 1, 1, 1), -1);
        EXPECT_EQ(a, kUntouched);
        EXPECT_EQ(d, kUntouched);
        EXPECT_EQ(samples_of(v), samples_of(before));
    }
}

}  // namespace
