// Bias functions B1, B2, B3, the frequency-as-phase B1 and R(n): closed forms,
// refusals, and the general formulas checked against the closed forms they meet.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "varnis.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// |a / b - 1| within tol.
void expect_relative(double a, double b, double tol, const char* what) {
    EXPECT_NEAR(a / b, 1.0, tol) << what << ": " << a << " vs " << b;
}

TEST(CalcBias, ClosedFormsAndRefusals) {
    EXPECT_EQ(CalcBias(1, 0), -1.0f);
    EXPECT_EQ(CalcBias(0, -1), -1.0f);
    EXPECT_EQ(CalcBias(-4, 1), -1.0f);
    EXPECT_EQ(CalcBias(10, 3), -1.0f);
    EXPECT_EQ(CalcBias(10, -3), -1.0f);
    for (int n : {2, 3, 17, 1000, 2000000000}) EXPECT_EQ(CalcBias(n, -1), 1.0f) << n;
    EXPECT_FLOAT_EQ(CalcBias(4, -2), 15.0f / 18.0f);
    EXPECT_FLOAT_EQ(CalcBias(4, 0), 4.0f / 3.0f);  // 4 ln 4 / (6 ln 2)
    EXPECT_FLOAT_EQ(CalcBias(4, 1), 2.0f);
    EXPECT_FLOAT_EQ(CalcBias(4, 2), 20.0f / 6.0f);
    EXPECT_FLOAT_EQ(CalcBias(5, 1), 2.5f);
}

TEST(CalcBias1, AgreesWithCalcBiasWithoutDeadTime) {
    for (int n = 2; n <= 300; ++n) {
        for (int mu = -2; mu <= 2; ++mu) {
            const float plain = CalcBias(n, mu);
            const float general = CalcBias1(n, 1.0f, static_cast<float>(mu));
            if (mu == 0 || mu == -2) {
                // Evaluated at mu + 0.000001: agrees to the effect of that offset.
                expect_relative(general, plain, 2e-5, "offset mu");
            } else {
                EXPECT_EQ(general, plain) << "N=" << n << " mu=" << mu;
            }
        }
    }
    for (int n : {1000, 4096}) {
        expect_relative(CalcBias1(n, 1.0f, 0.0f), CalcBias(n, 0), 2e-5, "large N, mu 0");
        expect_relative(CalcBias1(n, 1.0f, -2.0f), CalcBias(n, -2), 2e-5, "large N, mu -2");
    }
}

TEST(CalcBias1, ClosedFormsAndRefusals) {
    EXPECT_EQ(CalcBias1(5, 1.0f, 1.0f), 2.5f);
    EXPECT_EQ(CalcBias1(1, 1.0f, 0.0f), -1.0f);
    EXPECT_EQ(CalcBias1(-3, 1.0f, 0.0f), -1.0f);
    EXPECT_EQ(CalcBias1(10, 1.0f, 2.5f), -1.0f);
    EXPECT_EQ(CalcBias1(10, 1.0f, -2.01f), -1.0f);
    EXPECT_EQ(CalcBias1(10, 1.0f, kNaN), -1.0f);
    EXPECT_EQ(CalcBias1(10, kNaN, 0.5f), -1.0f);
    for (float r : {0.0f, 0.3f, 7.0f}) {
        for (float mu : {-1.5f, 0.0f, 1.7f}) EXPECT_EQ(CalcBias1(2, r, mu), 1.0f);
    }
    // A real quotient, also where N (N + 1) leaves the range of an int.
    EXPECT_FLOAT_EQ(CalcBias1(4, 0.5f, 2.0f), 20.0f / 6.0f);
    EXPECT_FLOAT_EQ(CalcBias1(100000, 3.0f, 2.0f), 100000.0f * 100001.0f / 6.0f);
    EXPECT_EQ(CalcBias1(10, 2.0f, -1.0f), 1.0f);
    EXPECT_EQ(CalcBias1(10, 0.5f, -2.0f), 1.0f);
    // The sign of r is dropped; r is clamped to 0.0001 .. 1e6.
    EXPECT_EQ(CalcBias1(12, -0.25f, 0.5f), CalcBias1(12, 0.25f, 0.5f));
    EXPECT_EQ(CalcBias1(12, 1e9f, 0.5f), CalcBias1(12, 1e6f, 0.5f));
    EXPECT_EQ(CalcBias1(12, 1e-9f, 0.5f), CalcBias1(12, 1e-4f, 0.5f));
}

TEST(CalcBias1, GeneralSumMeetsTheClosedFormsNearby) {
    for (int n : {3, 10, 64}) {
        expect_relative(CalcBias1(n, 1.0001f, 1.0f), n / 2.0, 1e-3, "mu 1 near r 1");
        expect_relative(CalcBias1(n, 1.0f, 1.0001f), n / 2.0, 1e-3, "mu near 1");
        expect_relative(CalcBias1(n, 0.9999f, -1.0f), 1.0, 1e-3, "mu -1 just below r 1");
        expect_relative(CalcBias1(n, 1.0f, -0.9999f), 1.0, 1e-3, "mu near -1");
        expect_relative(CalcBias1(n, 1.0f, 1.9999f), n * (n + 1) / 6.0, 1e-3, "mu near 2");
        expect_relative(CalcBias1(n, 0.0f, -2.0f), 1.0, 1e-3, "mu -2 at r 0");
    }
}

TEST(CalcBias2, ClosedFormsAndRefusals) {
    for (float mu : {-2.0f, -1.3f, -1.0f, 0.0f, 0.5f, 1.0f, 2.0f}) {
        EXPECT_EQ(CalcBias2(0.0f, mu), 0.0f) << mu;
        EXPECT_EQ(CalcBias2(1.0f, mu), 1.0f) << mu;
        EXPECT_EQ(CalcBias2(-1.0f, mu), 1.0f) << mu;
    }
    EXPECT_EQ(CalcBias2(0.0f, 2.5f), -1.0f);
    EXPECT_EQ(CalcBias2(1.0f, -2.5f), -1.0f);
    EXPECT_EQ(CalcBias2(2.0f, kNaN), -1.0f);
    EXPECT_EQ(CalcBias2(kNaN, 0.5f), -1.0f);
    EXPECT_EQ(CalcBias2(2.0f, -1.0f), 1.0f);
    EXPECT_EQ(CalcBias2(0.25f, -1.0f), 0.25f);
    EXPECT_EQ(CalcBias2(3.0f, 2.0f), 9.0f);
    EXPECT_EQ(CalcBias2(3.0f, 1.0f), 4.0f);
    EXPECT_EQ(CalcBias2(5.0f, -2.0f), 0.6666667f);
}

TEST(CalcBias2, GeneralFormulaMeetsTheClosedFormsNearby) {
    expect_relative(CalcBias2(3.0f, 1.9999f), 9.0, 1e-3, "mu near 2");
    expect_relative(CalcBias2(3.0f, 0.9999f), 4.0, 1e-3, "mu near 1");
    expect_relative(CalcBias2(0.5f, -0.9999f), 0.5, 1e-3, "mu near -1, r < 1");
    expect_relative(CalcBias2(2.0f, -0.9999f), 1.0, 1e-3, "mu near -1, r > 1");
    expect_relative(CalcBias2(2.0f, -1.9999f), 2.0 / 3.0, 1e-3, "mu near -2");
    expect_relative(CalcBias2(0.9999f, 0.4f), 1.0, 1e-3, "r near 1");
    // mu = 0 is evaluated at 0.000001, between its neighbours on either side.
    expect_relative(CalcBias2(2.0f, 0.0f), CalcBias2(2.0f, 0.001f), 1e-2, "mu 0 from above");
    expect_relative(CalcBias2(2.0f, 0.0f), CalcBias2(2.0f, -0.001f), 1e-2, "mu 0 from below");
}

TEST(CalcBias3, ClosedFormsAndRefusals) {
    EXPECT_EQ(CalcBias3(0, 0.5f, 0.0f), -1.0f);
    EXPECT_EQ(CalcBias3(4, 0.5f, 2.1f), -1.0f);
    EXPECT_EQ(CalcBias3(4, kNaN, 0.5f), -1.0f);
    EXPECT_EQ(CalcBias3(7, 0.5f, -2.0f), 7.0f);
    EXPECT_EQ(CalcBias3(-7, 0.5f, -2.0f), 7.0f);
    EXPECT_EQ(CalcBias3(1, 0.5f, 0.7f), 1.0f);
    EXPECT_EQ(CalcBias3(-1, 0.5f, 0.7f), 1.0f);
    EXPECT_EQ(CalcBias3(9, 1.0f, 0.7f), 1.0f);
    EXPECT_EQ(CalcBias3(9, -1.0f, 0.7f), 1.0f);
    EXPECT_EQ(CalcBias3(9, 3.0f, 2.0f), 1.0f);
    EXPECT_EQ(CalcBias3(9, 1e8f, 0.5f), CalcBias3(9, 1e6f, 0.5f));
    // The sign of N is dropped without overflow for the most negative int.
    EXPECT_EQ(CalcBias3(std::numeric_limits<int>::min(), 0.5f, -2.0f), 2147483648.0f);
}

TEST(CalcBias3, GeneralFormulaMeetsTheClosedFormsNearby) {
    for (int n : {2, 5, 20}) {
        // (Below mu = -1, |r - 1|^(mu + 2) has a cusp at r = 1: slower to meet.)
        for (float mu : {-1.0f, 0.0f, 0.5f, 1.0f, 1.5f}) {
            expect_relative(CalcBias3(n, 1.0001f, mu), 1.0, 1e-3, "r near 1");
            expect_relative(CalcBias3(n, 0.9999f, mu), 1.0, 1e-3, "r near 1");
        }
        expect_relative(CalcBias3(n, 0.3f, -1.9999f), n, 1e-3, "mu near -2");
    }
}

// The general form of the frequency-as-phase B1, for a real exponent.
double hadamard_general(double n, double mu) {
    const double p = 1.0 - 1.0 / n, q = 1.0 + 1.0 / n;
    const double num = std::pow(2.0, mu + 3) - 8.0 + 4.0 / (n * n) +
                       (4.0 - 2.0 * std::pow(q, mu + 2) - 2.0 * std::pow(p, mu + 2)) *
                           std::pow(n, mu);
    const double den = 24.0 * std::pow(2.0, mu) - 15.0 - 9.0 * std::pow(3.0, mu);
    return n * num / ((n - 1.0) * den);
}

TEST(CalcHadamardB1, LogarithmicFormsAreLimitsOfTheGeneralForm) {
    for (int n : {2, 3, 10, 100, 1000}) {
        for (int mu : {0, 2}) {
            const double below = hadamard_general(n, mu - 1e-5);
            const double above = hadamard_general(n, mu + 1e-5);
            expect_relative(CalcHadamardB1(n, mu), (below + above) / 2.0, 1e-5, "limit");
        }
        // White noise read as phase: 2 (N + 1) / (3 N), the B1 of white phase noise.
        expect_relative(CalcHadamardB1(n, -1), 2.0 * (n + 1) / (3.0 * n), 1e-6, "mu -1");
        expect_relative(CalcHadamardB1(n, -1), CalcBias(n, -2), 1e-6, "mu -1 vs B1");
    }
}

TEST(CalcHadamardB1, RefusalsAndPrecisionForLongRecords) {
    EXPECT_EQ(CalcHadamardB1(1, 0), -1.0f);
    EXPECT_EQ(CalcHadamardB1(-5, 0), -1.0f);
    EXPECT_EQ(CalcHadamardB1(10, 4), -1.0f);
    EXPECT_EQ(CalcHadamardB1(10, -2), -1.0f);
    // Reference in extended precision: the bracket 4 - 2 q^5 - 2 p^5 is of order 1/N^2
    // and is multiplied by N^3.
    const long double n = 1e6L, p = 1.0L - 1.0L / n, q = 1.0L + 1.0L / n;
    const long double num = 64.0L - 8.0L + 4.0L / (n * n) +
                            (4.0L - 2.0L * std::pow(q, 5.0L) - 2.0L * std::pow(p, 5.0L)) * n * n * n;
    const long double expect = n * num / ((n - 1.0L) * -66.0L);
    EXPECT_FLOAT_EQ(CalcHadamardB1(1000000, 3), static_cast<float>(expect));
}

TEST(CalcRatio, ClosedFormsAndRefusals) {
    for (int alpha : {-7, -2, -1, 0, 1, 2, 5}) {
        EXPECT_EQ(CalcRatio(alpha, 1, 1.0f), 1.0f) << alpha;
        EXPECT_EQ(CalcRatio(alpha, -1, 1.0f), 1.0f) << alpha;
        EXPECT_EQ(CalcRatio(alpha, 0, 1.0f), -1.0f) << alpha;
    }
    EXPECT_EQ(CalcRatio(3, 4, 1.0f), -1.0f);
    EXPECT_EQ(CalcRatio(-3, 4, 1.0f), -1.0f);
    EXPECT_EQ(CalcRatio(1, 4, 0.0f), -1.0f);
    EXPECT_EQ(CalcRatio(1, 4, -2.0f), -1.0f);
    EXPECT_EQ(CalcRatio(1, 4, kNaN), -1.0f);
    EXPECT_EQ(CalcRatio(2, 4, 0.0f), 0.25f);  // b is read for flicker phase only
    EXPECT_EQ(CalcRatio(0, 2, 0.0f), 0.625f);
    EXPECT_EQ(CalcRatio(-2, -4, 1.0f), CalcRatio(-2, 4, 1.0f));
    EXPECT_NE(CalcRatio(2, std::numeric_limits<int>::min(), 1.0f), -1.0f);
    // Large-n limits: 99.9 / 148 for flicker and 0.825 for random-walk frequency.
    EXPECT_NEAR(CalcRatio(-1, 10000, 1.0f), 99.9 / 148.0, 1e-6);
    EXPECT_NEAR(CalcRatio(-2, 10000, 1.0f), 0.825, 1e-6);
    EXPECT_NEAR(CalcRatio(0, 10000, 1.0f), 0.5, 1e-6);
}

TEST(CalcRatio, FlickerPhaseSumMeetsItsApproximation) {
    // n = 100 still sums; n = 101 uses 3.37 / (3 ln(n b) + 1.04). The two meet to
    // within the approximation's few percent.
    for (float b : {1.0f, 3.14159265f, 50.0f}) {
        const float summed = CalcRatio(1, 100, b);
        const float approx = CalcRatio(1, 101, b);
        EXPECT_NEAR(approx, 3.37 / (3.0 * std::log(101.0 * b) + 1.04), 1e-6);
        expect_relative(summed, approx, 0.1, "switch at n = 100");
    }
    // The ratio falls with n, between the white-phase and white-frequency values.
    float previous = 1.0f;
    for (int n = 2; n <= 100; ++n) {
        const float r = CalcRatio(1, n, 3.14159265f);
        EXPECT_LT(r, previous) << n;
        EXPECT_GT(r, CalcRatio(2, n, 1.0f)) << n;
        EXPECT_LT(r, CalcRatio(0, n, 1.0f)) << n;
        previous = r;
    }
}

}  // namespace
