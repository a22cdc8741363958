// Periodogram spectrum: sizes and frequencies, Parseval, a sine's peak, the windows'
// corrections, the slopes of power-law noise, gap handling, refusals and AddPSD.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "test_support.h"
#include "varnis.h"

using testing_support::make_vector;

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Spectrum {
    int count = 0;
    std::vector<float> level, frequency;
};

Spectrum spectrum(const std::vector<double>& samples, float tau, int passes, int window,
                  int segments, int units = 1, float scale = 1.0f, int gap_mode = 1) {
    auto v = make_vector(samples);
    const int n = static_cast<int>(samples.size());
    long p = 1;
    while (p < n) p <<= 1;
    Spectrum s;
    s.level.assign(std::max<long>(n + 3, p), -999.0f);
    s.frequency.assign(p, -999.0f);
    s.count = SpectrumCalc(v.data(), s.level.data(), s.frequency.data(), tau, n, passes, window,
                           units, scale, segments, gap_mode);
    return s;
}

std::vector<double> white(int n, int seed, float q = 1.0f) {
    std::vector<double> x(n);
    EXPECT_EQ(GenNoise(n, x.data(), q, 0.0f, &seed, 0), n);
    return x;
}

double mean_level(const Spectrum& s) {
    double sum = 0.0;
    for (int i = 0; i < s.count; ++i) sum += s.level[i];
    return sum / s.count;
}

TEST(SpectrumCalc, SizesAndFrequencies) {
    const auto x = white(1024, -1);
    const std::vector<double> thousand(x.begin(), x.begin() + 1000);
    const auto s = spectrum(thousand, 0.5f, 0, 0, 4);
    ASSERT_EQ(s.count, 127);  // P = 1024, L = 256
    for (int i = 0; i < s.count; ++i) EXPECT_FLOAT_EQ(s.frequency[i], (i + 1) / (256 * 0.5f));
    EXPECT_EQ(spectrum(thousand, 1.0f, 0, 0, 1).count, 511);
    EXPECT_EQ(spectrum(thousand, 1.0f, 1, 2, 512).count, 0);  // segments of two samples
    EXPECT_EQ(spectrum(std::vector<double>(x.begin(), x.begin() + 3), 1.0f, 0, 0, 1).count, 1);
}

TEST(SpectrumCalc, ParsevalForTheRectangularWindowAndOneSegment) {
    const float tau = 0.25f;
    for (int n : {4096, 1000}) {
        auto x = white(4096, -2);
        x.resize(n);
        for (int i = 0; i < n; ++i) x[i] += 3.0;  // an offset, removed with the mean
        const auto s = spectrum(x, tau, 0, 0, 1);
        long p = 1;
        while (p < n) p <<= 1;
        ASSERT_EQ(s.count, p / 2 - 1);
        double mean = 0.0;
        for (double v : x) mean += v;
        mean /= n;
        double energy = 0.0, nyquist = 0.0;
        for (int i = 0; i < n; ++i) {
            energy += (x[i] - mean) * (x[i] - mean);
            nyquist += (i % 2 ? -1 : 1) * (x[i] - mean);
        }
        // Every bin's power, spread over its width 1 / (P tau), scaled by P^2 / n^2.
        const double ratio = static_cast<double>(p) * p / (static_cast<double>(n) * n);
        double total = ratio * nyquist * nyquist / (static_cast<double>(p) * p);
        for (int i = 0; i < s.count; ++i) total += std::pow(10.0, s.level[i]) / (p * tau);
        EXPECT_NEAR(total / (ratio * energy / p), 1.0, 1e-4) << "n " << n;
    }
}

TEST(SpectrumCalc, SineAtABinCentreHasItsPeakAndLevel) {
    const int n = 2048, bin = 100;
    const float tau = 0.25f;
    const double amplitude = 0.7;
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i) x[i] = 5.0 + amplitude * std::sin(2 * kPi * bin * i / n + 0.3);
    const auto s = spectrum(x, tau, 0, 0, 1);
    const auto peak = std::max_element(s.level.begin(), s.level.begin() + s.count) - s.level.begin();
    EXPECT_EQ(peak, bin - 1);
    EXPECT_FLOAT_EQ(s.frequency[peak], bin / (n * tau));
    // Power A^2 / 2 in one bin, per unit frequency of a bin 1 / (n tau) wide.
    EXPECT_NEAR(s.level[peak], std::log10(amplitude * amplitude / 2 * n * tau), 1e-4);
    const auto db = spectrum(x, tau, 0, 0, 1, 2, 3.0f);
    EXPECT_NEAR(db.level[peak], 10 * std::log10(3.0 * amplitude * amplitude / 2 * n * tau), 1e-3);
}

TEST(SpectrumCalc, WindowCorrectionsOnWhiteNoise) {
    // The correction restores the white-noise level of windows 2 and 4 for each number
    // of passes; windows 1, 3 and 5 take the rows of 0, 2 and 4, so their level moves by
    // their own mean square weight against that row's correction.
    const auto x = white(65536, -3);
    const double plain = mean_level(spectrum(x, 1.0f, 0, 0, 64));
    EXPECT_NEAR(mean_level(spectrum(x, 1.0f, 0, 4, 64)), plain, 1e-6);  // passes 0: no window
    for (int passes = 1; passes <= 3; ++passes) {
        EXPECT_NEAR(mean_level(spectrum(x, 1.0f, passes, 2, 64)), plain, 0.02) << passes;
        EXPECT_NEAR(mean_level(spectrum(x, 1.0f, passes, 4, 64)), plain, 0.02) << passes;
    }
    EXPECT_NEAR(mean_level(spectrum(x, 1.0f, 1, 1, 64)) - plain, std::log10(1.0 / 3.0), 0.02);
    EXPECT_NEAR(mean_level(spectrum(x, 1.0f, 1, 3, 64)) - plain, 0.426 + std::log10(8.0 / 15.0), 0.02);
    EXPECT_NEAR(mean_level(spectrum(x, 1.0f, 1, 5, 64)) - plain, 0.401 + std::log10(0.3046), 0.02);
}

// Least-squares slope of level against log10 frequency over [lo, hi] hertz.
double fitted_slope(const Spectrum& s, double lo, double hi) {
    std::vector<double> u, y;
    for (int i = 0; i < s.count; ++i) {
        if (s.frequency[i] < lo || s.frequency[i] > hi) continue;
        u.push_back(std::log10(s.frequency[i]));
        y.push_back(s.level[i]);
    }
    return testing_support::least_squares_slope(u, y);
}

TEST(SpectrumCalc, PowerLawNoiseHasItsSlope) {
    for (double beta : testing_support::noise_betas()) {
        int seed = -11;
        std::vector<double> x(1 << 16);
        ASSERT_EQ(GenNoise(1 << 16, x.data(), 1e-18f, static_cast<float>(beta), &seed, 0), 1 << 16);
        const auto s = spectrum(x, 1.0f, 1, 2, 16, 1, 1.0f, 0);
        ASSERT_EQ(s.count, 2047);
        EXPECT_NEAR(fitted_slope(s, 3e-3, 1e-1), beta, 0.15) << "beta " << beta;
    }
}

TEST(SpectrumCalc, OnlyTheSamplesThatRemainAfterGapFillingAreAnalysed) {
    auto y = white(1024, -4);
    y.resize(1000);
    for (double& v : y) v += 10.0;  // no sample is 0.0 by chance
    std::vector<double> gappy = {0.0, 0.0};
    gappy.insert(gappy.end(), y.begin(), y.end());
    gappy[500] = 0.0;  // interior gap, filled from its neighbours (in float)
    gappy.push_back(0.0);  // trailing gap, cut off
    std::vector<double> filled(gappy.begin() + 2, gappy.end() - 1);
    const float before = static_cast<float>(filled[497]), after = static_cast<float>(filled[499]);
    filled[498] = before + 1.0f * (after - before) / 2.0f;

    const auto a = spectrum(gappy, 1.0f, 1, 2, 2);  // n = 1003, P = 1024
    const auto b = spectrum(filled, 1.0f, 1, 2, 2);  // n = 1000, P = 1024
    ASSERT_EQ(a.count, 255);
    ASSERT_EQ(b.count, 255);
    for (int i = 0; i < a.count; ++i) {
        ASSERT_FLOAT_EQ(a.level[i], b.level[i]) << i;
        ASSERT_FLOAT_EQ(a.frequency[i], b.frequency[i]);
    }
}

TEST(SpectrumCalc, BinsWithoutPowerHaveTheLevelMinusInfinity) {
    const auto s = spectrum(std::vector<double>(256, 4.0), 2.0f, 0, 0, 1);
    ASSERT_EQ(s.count, 127);  // mean removed: no power anywhere
    for (int i = 0; i < s.count; ++i) {
        EXPECT_TRUE(std::isinf(s.level[i]) && s.level[i] < 0) << i;
        EXPECT_FLOAT_EQ(s.frequency[i], (i + 1) / (256 * 2.0f));
    }
}

TEST(SpectrumCalc, RefusedArgumentsWriteNothing) {
    const auto x = white(1024, -5);
    auto v = make_vector(std::vector<double>(x.begin(), x.begin() + 1000));
    std::vector<float> re(1100, -7.0f), im(1100, -7.0f);
    auto refused = [&](float tau, int n, int passes, int window, float scale, int segments, int gap) {
        const int r = SpectrumCalc(v.data(), re.data(), im.data(), tau, n, passes, window, 1, scale,
                                   segments, gap);
        const bool untouched = std::all_of(re.begin(), re.end(), [](float f) { return f == -7.0f; }) &&
                               std::all_of(im.begin(), im.end(), [](float f) { return f == -7.0f; });
        return r == -1 && untouched;
    };
    for (int segments : {0, -4, 3, 12, 1024, 2048}) EXPECT_TRUE(refused(1, 1000, 0, 0, 1, segments, 1)) << segments;
    for (int window : {-1, 6}) EXPECT_TRUE(refused(1, 1000, 1, window, 1, 1, 1));
    for (int passes : {-1, 4}) EXPECT_TRUE(refused(1, 1000, passes, 2, 1, 1, 1));
    for (int n : {1, 0, -5, 1001}) EXPECT_TRUE(refused(1, n, 0, 0, 1, 1, 1)) << n;
    for (float tau : {0.0f, -1.0f, NAN}) EXPECT_TRUE(refused(tau, 1000, 0, 0, 1, 1, 1));
    EXPECT_TRUE(refused(1, 1000, 0, 0, 0.0f, 1, 1));
    EXPECT_TRUE(refused(1, 1000, 0, 0, 1, 1, 2));
    v[1] = 2.0;  // window starts at sample 2: 1000 samples run past the end
    EXPECT_TRUE(refused(1, 1000, 0, 0, 1, 1, 1));
    EXPECT_EQ(SpectrumCalc(v.data(), re.data(), im.data(), 1, 999, 0, 0, 1, 1, 1, 1), 511);
    EXPECT_EQ(SpectrumCalc(nullptr, re.data(), im.data(), 1, 999, 0, 0, 1, 1, 1, 1), -1);
}

TEST(AddPSD, DecibelAndRootSumSquareCombinations) {
    const float db[5] = {10, 10, 0, 0, 0};
    EXPECT_NEAR(AddPSD(db, 4), 10 * std::log10(20.0), 1e-5);
    const float one[5] = {0, 0, -30, 0, 0};
    EXPECT_NEAR(AddPSD(one, 4), -30.0, 1e-5);
    const float none[5] = {0, 0, 0, 0, 0};
    EXPECT_EQ(AddPSD(none, 4), 0.0f);
    const float plain[5] = {3, 4, 0, 0, 0};
    EXPECT_FLOAT_EQ(AddPSD(plain, 1), 5.0f);
    EXPECT_FLOAT_EQ(AddPSD(plain, 2), 5.0f);
    EXPECT_EQ(AddPSD(nullptr, 4), -1.0f);
}

}  // namespace
