// Conversion between noise levels and the seven measures: worked values, the
// relations between the measures, refusals, and the two directions as inverses.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "varnis.h"

namespace {

constexpr float kUntouched = -12345.0f;
const double kPi = 3.14159265358979323846;
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// The arguments that follow the value, in the order both functions take them.
struct Setting {
    float tau, f, nu0, fh;
    int n;
};

float conv(float h, Setting s, int type, int alpha, int* rc = nullptr) {
    float out = kUntouched;
    const int r = ConvDomain(h, &out, s.tau, s.f, s.nu0, s.fh, type, alpha, s.n);
    if (rc) *rc = r;
    return out;
}

float calc(float x, Setting s, int type, int alpha, int* rc = nullptr) {
    float out = kUntouched;
    const int r = CalcDomain(&out, x, s.tau, s.f, s.nu0, s.fh, type, alpha, s.n);
    if (rc) *rc = r;
    return out;
}

const Setting kBase = {1.0f, 1.0f, 1e7f, 100.0f, 1};

TEST(DomainConversion, WorkedValues) {
    int rc = 0;
    EXPECT_FLOAT_EQ(conv(2e-20f, kBase, 5, 0, &rc), 1e-10f);
    EXPECT_EQ(rc, 1);
    EXPECT_FLOAT_EQ(calc(1e-10f, kBase, 5, 0, &rc), 2e-20f);
    EXPECT_EQ(rc, 1);
    const Setting phase_noise = {1.0f, 1000.0f, 1e7f, 100.0f, 1};
    EXPECT_NEAR(conv(1e-22f, phase_noise, 4, 2, &rc), -83.0103, 0.005);
    EXPECT_EQ(rc, 1);
    // Flicker frequency: sigma_y^2 = 2 ln 2 h, whatever tau.
    const Setting long_tau = {1000.0f, 1.0f, 1e7f, 100.0f, 1};
    EXPECT_FLOAT_EQ(conv(1e-24f, long_tau, 5, -1), static_cast<float>(std::sqrt(2 * std::log(2.0) * 1e-24)));
    // Random-walk frequency: sigma_y^2 = (2 pi^2 / 3) h tau.
    EXPECT_FLOAT_EQ(conv(1e-28f, long_tau, 5, -2),
                    static_cast<float>(std::sqrt(2 * kPi * kPi / 3 * 1e-28 * 1000)));
}

TEST(DomainConversion, MeasuresRelateAsDefined) {
    const Setting s = {100.0f, 0.25f, 5e6f, 50.0f, 10};
    for (int alpha = -2; alpha <= 2; ++alpha) {
        const float h = 3e-23f;
        const double sy = conv(h, s, 1, alpha);
        EXPECT_NEAR(sy / (h * std::pow(0.25, alpha)), 1.0, 1e-6);
        EXPECT_NEAR(conv(h, s, 2, alpha) / (sy / (4 * kPi * kPi * 0.0625)), 1.0, 1e-6);
        const double sphi = conv(h, s, 3, alpha);
        EXPECT_NEAR(sphi / (25e12 * sy / 0.0625), 1.0, 1e-6);
        EXPECT_NEAR(conv(h, s, 4, alpha), 10 * std::log10(sphi / 2), 1e-4);
        const double sigma = conv(h, s, 5, alpha);
        const double r = CalcRatio(alpha, 10, static_cast<float>(2 * kPi * 50 * 100 / 10));
        const double mod = conv(h, s, 6, alpha);
        EXPECT_NEAR(mod / (std::sqrt(r) * sigma), 1.0, 1e-6) << alpha;
        EXPECT_NEAR(conv(h, s, 7, alpha) / (100 * mod / std::sqrt(3.0)), 1.0, 1e-6) << alpha;
    }
    // R(1) = 1: with n = 1 the Allan and modified Allan deviations agree both ways.
    EXPECT_FLOAT_EQ(conv(2e-20f, kBase, 6, 0), conv(2e-20f, kBase, 5, 0));
    EXPECT_FLOAT_EQ(calc(1e-10f, kBase, 6, 0), calc(1e-10f, kBase, 5, 0));
}

TEST(DomainConversion, Refusals) {
    struct Case {
        float value, tau, f, nu0, fh;
        int type, alpha, n;
    };
    const Case cases[] = {
        {0.0f, 1, 1, 1e7f, 100, 5, 0, 1},  {-0.0f, 1, 1, 1e7f, 100, 1, 0, 1},
        {1e-20f, 0, 1, 1e7f, 100, 1, 0, 1}, {1e-20f, -1, 1, 1e7f, 100, 1, 0, 1},
        {1e-20f, 1, 0, 1e7f, 100, 5, 0, 1}, {1e-20f, 1, 1, 0, 100, 5, 0, 1},
        {1e-20f, 1, 1, 1e7f, 0, 5, 0, 1},  {1e-20f, kNaN, 1, 1e7f, 100, 1, 0, 1},
        {1e-20f, 1, kNaN, 1e7f, 100, 1, 0, 1}, {1e-20f, 1, 1, 1e7f, kNaN, 1, 0, 1},
        {1e-20f, 1, 1, 1e7f, 100, 0, 0, 1}, {1e-20f, 1, 1, 1e7f, 100, 8, 0, 1},
        {1e-20f, 1, 1, 1e7f, 100, 5, 3, 1}, {1e-20f, 1, 1, 1e7f, 100, 5, -3, 1},
        {1e-20f, 1, 1, 1e7f, 100, 5, 0, 0}, {1e-20f, 1, 1, 1e7f, 100, 6, 0, -2},
    };
    for (const Case& c : cases) {
        const Setting s = {c.tau, c.f, c.nu0, c.fh, c.n};
        int rc = 0;
        EXPECT_EQ(conv(c.value, s, c.type, c.alpha, &rc), kUntouched);
        EXPECT_EQ(rc, -1);
        EXPECT_EQ(calc(c.value, s, c.type, c.alpha, &rc), kUntouched);
        EXPECT_EQ(rc, -1);
    }
    EXPECT_EQ(ConvDomain(1e-20f, nullptr, 1, 1, 1e7f, 100, 5, 0, 1), -1);
    EXPECT_EQ(CalcDomain(nullptr, 1e-10f, 1, 1, 1e7f, 100, 5, 0, 1), -1);
}

TEST(DomainConversion, ModifiedDeviationsNeedTauOverNAtLeastOneOnlyFromTheLevel) {
    const Setting s = {10.0f, 1.0f, 1e7f, 100.0f, 20};  // tau / n = 0.5
    int rc = 0;
    for (int type : {6, 7}) {
        EXPECT_EQ(conv(2e-20f, s, type, 0, &rc), kUntouched);
        EXPECT_EQ(rc, -1);
        EXPECT_GT(calc(1e-10f, s, type, 0, &rc), 0.0f);
        EXPECT_EQ(rc, 1);
    }
    EXPECT_GT(conv(2e-20f, s, 5, 0, &rc), 0.0f);
    EXPECT_EQ(rc, 1);
}

TEST(DomainConversion, NoSuccessWithoutAUsableResult) {
    int rc = 0;
    // A negative level has no deviation and no phase-noise level in dB.
    EXPECT_EQ(conv(-2e-20f, kBase, 5, 0, &rc), kUntouched);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(conv(-1e-22f, kBase, 4, 2, &rc), kUntouched);
    EXPECT_EQ(rc, -1);
    EXPECT_LT(conv(-1e-22f, kBase, 1, 2, &rc), 0.0f);  // the spectrum itself is linear
    EXPECT_EQ(rc, 1);
    // A negative dB level is ordinary and gives a positive level.
    EXPECT_GT(calc(-120.0f, kBase, 4, 0, &rc), 0.0f);
    EXPECT_EQ(rc, 1);
    // Flicker phase noise with 2 pi fh tau below about 0.7 has no positive Allan
    // variance per unit level: refused in the time domain, fine in the spectral one.
    const Setting narrow = {1.0f, 1.0f, 1e7f, 0.01f, 1};
    for (int type : {5, 6, 7}) {
        EXPECT_EQ(conv(1e-22f, narrow, type, 1, &rc), kUntouched) << type;
        EXPECT_EQ(rc, -1);
        EXPECT_EQ(calc(1e-10f, narrow, type, 1, &rc), kUntouched) << type;
        EXPECT_EQ(rc, -1);
    }
    EXPECT_GT(conv(1e-22f, narrow, 3, 1, &rc), 0.0f);
    EXPECT_EQ(rc, 1);
    // Beyond the range of a float.
    const Setting far = {1.0f, 1e-30f, 1e30f, 100.0f, 1};
    EXPECT_EQ(conv(1e30f, far, 3, 0, &rc), kUntouched);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(calc(1e38f, kBase, 2, 0, &rc), kUntouched);
    EXPECT_EQ(rc, -1);
    const Setting high = {1.0f, 1e20f, 1e7f, 100.0f, 1};
    EXPECT_EQ(conv(1e-30f, high, 2, 0, &rc), kUntouched);  // vanishes in a float
    EXPECT_EQ(rc, -1);
}

// Each direction undoes the other to single-precision rounding, for values in the
// range of normal floats. A level in dB carries an absolute rounding, which grows the
// relative one of the level behind it.
TEST(DomainConversion, ConversionsInvertEachOther) {
    const Setting settings[] = {
        {1.0f, 1.0f, 1e7f, 100.0f, 1},     {10.0f, 0.01f, 5e6f, 0.5f, 4},
        {1000.0f, 100.0f, 1e10f, 1e3f, 100}, {64.0f, 3.0f, 1e5f, 8.0f, 64},
        {300.0f, 0.2f, 1e7f, 20.0f, 150},
    };
    const float levels[] = {1e-22f, 1e-23f, 2e-20f, 1e-24f, 1e-28f};  // by alpha 2 .. -2
    for (const Setting& s : settings) {
        for (int alpha = -2; alpha <= 2; ++alpha) {
            const float h = levels[2 - alpha];
            for (int type = 1; type <= 7; ++type) {
                int rc1 = 0, rc2 = 0;
                const float x = conv(h, s, type, alpha, &rc1);
                ASSERT_EQ(rc1, 1) << "type " << type << " alpha " << alpha;
                const float back = calc(x, s, type, alpha, &rc2);
                ASSERT_EQ(rc2, 1);
                const double db_scale = type == 4 ? std::fabs(x) * std::log(10.0) / 10 : 1.0;
                const double tol = 8 * FLT_EPSILON * std::fmax(1.0, db_scale);
                EXPECT_NEAR(back / h, 1.0, tol) << "type " << type << " alpha " << alpha;

                const float again = conv(back, s, type, alpha, &rc1);
                ASSERT_EQ(rc1, 1);
                const double x_tol = type == 4 ? 8 * FLT_EPSILON : tol;
                EXPECT_NEAR(again / x, 1.0, x_tol) << "type " << type << " alpha " << alpha;
            }
        }
    }
}

}  // namespace
