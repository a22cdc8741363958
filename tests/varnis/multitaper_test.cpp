// Multitaper spectrum: the Slepian tapers against a dense eigen-solution, their
// concentrations, and the spectrum's sizes, levels, estimators and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "spectrum/slepian_tapers.h"
#include "test_support.h"
#include "varnis.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Eigenvalues (ascending) and eigenvectors (columns of vectors, n x n) of a dense
// symmetric matrix by cyclic Jacobi rotations.
void jacobi_eigen(std::vector<double> a, int n, std::vector<double>& values,
                  std::vector<std::vector<double>>& vectors) {
    std::vector<double> v(static_cast<std::size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i) v[i * n + i] = 1.0;
    double scale = 0.0;
    for (double x : a) scale = std::max(scale, std::fabs(x));
    for (int sweep = 0; sweep < 100; ++sweep) {
        double off = 0.0;
        for (int p = 0; p < n; ++p)
            for (int q = p + 1; q < n; ++q) off = std::max(off, std::fabs(a[p * n + q]));
        if (off <= 1e-15 * scale) break;
        for (int p = 0; p < n; ++p) {
            for (int q = p + 1; q < n; ++q) {
                const double apq = a[p * n + q];
                if (std::fabs(apq) <= 1e-300) continue;
                const double theta = (a[q * n + q] - a[p * n + p]) / (2.0 * apq);
                const double t = (theta >= 0 ? 1.0 : -1.0) /
                                 (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
                for (int k = 0; k < n; ++k) {
                    const double akp = a[k * n + p], akq = a[k * n + q];
                    a[k * n + p] = c * akp - s * akq;
                    a[k * n + q] = s * akp + c * akq;
                }
                for (int k = 0; k < n; ++k) {
                    const double apk = a[p * n + k], aqk = a[q * n + k];
                    a[p * n + k] = c * apk - s * aqk;
                    a[q * n + k] = s * apk + c * aqk;
                }
                for (int k = 0; k < n; ++k) {
                    const double vkp = v[k * n + p], vkq = v[k * n + q];
                    v[k * n + p] = c * vkp - s * vkq;
                    v[k * n + q] = s * vkp + c * vkq;
                }
            }
        }
    }
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int x, int y) { return a[x * n + x] < a[y * n + y]; });
    values.clear();
    vectors.clear();
    for (int j : order) {
        values.push_back(a[j * n + j]);
        std::vector<double> col(n);
        for (int k = 0; k < n; ++k) col[k] = v[k * n + j];
        vectors.push_back(col);
    }
}

// The (negated) tridiagonal taper matrix written out densely from its definition.
std::vector<double> dense_taper_matrix(int n, double nw) {
    std::vector<double> a(static_cast<std::size_t>(n) * n, 0.0);
    const double w = nw / n;
    for (int i = 0; i < n; ++i) {
        const double t = (n - 1) / 2.0 - i;
        a[i * n + i] = -std::cos(2 * kPi * w) * t * t;
        if (i > 0) a[i * n + i - 1] = a[(i - 1) * n + i] = -i * (n - i) / 2.0;
    }
    return a;
}

std::vector<double> tapers_of(int n, double nw, int k, std::vector<double>* lambda = nullptr) {
    std::vector<double> t(static_cast<std::size_t>(n) * k), l(k);
    EXPECT_TRUE(varnis::slepian_tapers(n, nw, k, t.data(), l.data()));
    if (lambda) *lambda = l;
    return t;
}

TEST(SlepianTapers, AgreeWithADenseEigenSolution) {
    struct Case {
        int n;
        double nw;
        int k;
    };
    for (const Case c : {Case{2, 0.5, 2}, Case{5, 1.5, 5}, Case{64, 2.5, 4}, Case{256, 4.0, 7}}) {
        std::vector<double> values;
        std::vector<std::vector<double>> vectors;
        jacobi_eigen(dense_taper_matrix(c.n, c.nw), c.n, values, vectors);

        std::vector<double> d(c.n), e(c.n), e2(c.n), ev(c.k), z(static_cast<std::size_t>(c.n) * c.k);
        varnis::slepian_matrix(c.n, c.nw / c.n, d.data(), e.data());
        for (int i = 0; i < c.n; ++i) e2[i] = e[i] * e[i];
        ASSERT_TRUE(varnis::smallest_eigenvalues(c.n, d.data(), e2.data(), c.k, ev.data()));
        ASSERT_TRUE(varnis::eigenvectors_by_inverse_iteration(c.n, d.data(), e.data(), c.k,
                                                              ev.data(), z.data()));
        const double span = std::fabs(values.back() - values.front()) + 1.0;
        for (int k = 0; k < c.k; ++k) {
            EXPECT_NEAR(ev[k], values[k], 1e-12 * span) << "n " << c.n << " k " << k;
            const double* mine = z.data() + static_cast<std::size_t>(k) * c.n;
            const double sign = std::inner_product(mine, mine + c.n, vectors[k].begin(), 0.0) < 0 ? -1 : 1;
            double worst = 0.0;
            for (int i = 0; i < c.n; ++i) worst = std::max(worst, std::fabs(mine[i] - sign * vectors[k][i]));
            EXPECT_LT(worst, 1e-9) << "n " << c.n << " k " << k;
        }
    }
}

TEST(SlepianTapers, OrthonormalAndAlternatelySymmetric) {
    for (int n : {7, 300, 20000}) {
        const int k_count = 7;
        const auto t = tapers_of(n, 4.0 * std::min(1.0, n / 16.0), k_count);
        for (int a = 0; a < k_count; ++a) {
            const double* ta = t.data() + static_cast<std::size_t>(a) * n;
            const double mean_square = std::inner_product(ta, ta + n, ta, 0.0) / n;
            EXPECT_NEAR(mean_square, 1.0, 1e-12);
            for (int b = 0; b < a; ++b) {
                const double* tb = t.data() + static_cast<std::size_t>(b) * n;
                EXPECT_NEAR(std::inner_product(ta, ta + n, tb, 0.0) / n, 0.0, 1e-10)
                    << "n " << n << " tapers " << a << " " << b;
            }
            // Taper k is symmetric for even k, antisymmetric for odd k.
            const double parity = a % 2 == 0 ? 1.0 : -1.0;
            double worst = 0.0;
            for (int i = 0; i < n; ++i) worst = std::max(worst, std::fabs(ta[i] - parity * ta[n - 1 - i]));
            EXPECT_LT(worst, 1e-8) << "n " << n << " taper " << a;
        }
    }
}

TEST(SlepianTapers, ConcentrateTheirEnergyInTheBand) {
    // The energy fraction inside |f| < W, v' A v / v' v with A the sinc kernel of the
    // time-and-band limiting operator, is near 1 for the first tapers and falls with k.
    const int n = 200;
    const double nw = 4.0, w = nw / n;
    const auto t = tapers_of(n, nw, 6);
    double previous = 1.0;
    for (int k = 0; k < 6; ++k) {
        const double* v = t.data() + static_cast<std::size_t>(k) * n;
        double quad = 0.0, energy = 0.0;
        for (int i = 0; i < n; ++i) {
            energy += v[i] * v[i];
            for (int j = 0; j < n; ++j) {
                const double kernel = i == j ? 2 * w : std::sin(2 * kPi * w * (i - j)) / (kPi * (i - j));
                quad += v[i] * kernel * v[j];
            }
        }
        const double concentration = quad / energy;
        EXPECT_LE(concentration, previous + 1e-12);
        EXPECT_GT(concentration, k < 4 ? 0.999 : 0.9) << k;
        previous = concentration;
    }
}

TEST(SlepianTapers, AsymptoticConcentrationsForN1000NW4) {
    std::vector<double> l(8);
    varnis::asymptotic_concentrations(1000, 4.0, 8, l.data());
    EXPECT_NEAR(l[0], 0.99999999969, 5e-12);
    EXPECT_NEAR(l[4], 0.99869918, 5e-9);
    EXPECT_NEAR(l[5], 0.98516389, 5e-9);
    EXPECT_NEAR(l[6], 0.92535587, 5e-9);
    EXPECT_NEAR(l[7], 0.69828592, 5e-9);
    for (int k = 1; k < 8; ++k) EXPECT_LT(l[k], l[k - 1]);
}

struct Multitaper {
    int result = 0;
    std::vector<float> level, frequency;
};

Multitaper multitaper(const std::vector<double>& samples, int K, int estimator, int log_form = 1,
                      float NW = 4.0f, float tau = 1.0f, int normalisation = 1, int gap_mode = 1,
                      float scale = 1.0f) {
    auto v = testing_support::make_vector(samples);
    const int n = static_cast<int>(samples.size());
    long p = 2;
    while (p < n) p <<= 1;
    Multitaper m;
    m.level.assign(std::max<long>(n + 3, p), -999.0f);
    m.frequency.assign(p, -999.0f);
    m.result = MultiTaperSpectrumCalc(v.data(), m.level.data(), m.frequency.data(), tau, n, NW, K,
                                      estimator, normalisation, 0, log_form, scale, gap_mode);
    return m;
}

std::vector<double> noise(int n, double beta, int seed, float q = 1.0f) {
    std::vector<double> x(n);
    EXPECT_EQ(GenNoise(n, x.data(), q, static_cast<float>(beta), &seed, 0), n);
    return x;
}

TEST(MultiTaperSpectrumCalc, SizesAndFrequencies) {
    auto x = noise(1024, 0.0, -1);
    x.resize(1000);
    testing::internal::CaptureStderr();
    const auto m = multitaper(x, 7, 2);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(m.result, 1025);
    for (int j = 1; j <= 1023; ++j) ASSERT_FLOAT_EQ(m.frequency[j - 1], j / 2048.0f);
    EXPECT_EQ(m.frequency[1023], -999.0f);  // nothing beyond the 1023 values

    const auto three = multitaper({1.0, 3.0, 2.0}, 2, 1, 1, 1.0f, 0.5f);
    ASSERT_EQ(three.result, 5);  // P = 4, Nfft = 8
    for (int j = 1; j <= 3; ++j) EXPECT_FLOAT_EQ(three.frequency[j - 1], j / (8 * 0.5f));
    EXPECT_EQ(three.frequency[3], -999.0f);
    EXPECT_EQ(multitaper({1.0, 2.0}, 1, 1, 1, 0.5f).result, 3);  // P = 2, Nfft = 4
}

TEST(MultiTaperSpectrumCalc, WhiteNoiseLevelsAndLogForms) {
    // Unit white noise, normalisation 1: every taper's power is about 1 / N per bin;
    // estimator 2 gives that power, estimator 1 its square root, both per unit
    // frequency of a bin 1 / Nfft wide.
    const int n = 4096;
    const auto x = noise(n, 0.0, -8, 2.0f);
    testing::internal::CaptureStderr();
    const auto power = multitaper(x, 5, 2);
    const auto power_db = multitaper(x, 5, 2, 2);
    testing::internal::GetCapturedStderr();
    const auto amplitude = multitaper(x, 5, 1);
    const auto amplitude_db = multitaper(x, 5, 1, 2, 4.0f, 1.0f, 1, 1, 1.0f);
    double mean_power = 0, mean_amplitude = 0;
    const int bins = power.result - 2;
    for (int j = 0; j < bins; ++j) {
        mean_power += power.level[j] / bins;
        mean_amplitude += amplitude.level[j] / bins;
        ASSERT_NEAR(power_db.level[j], 10 * power.level[j], 1e-4 * (1 + std::fabs(power_db.level[j])));
        ASSERT_NEAR(amplitude_db.level[j], 10 * amplitude.level[j], 1e-4 * (1 + std::fabs(amplitude_db.level[j])));
    }
    const double log_width = std::log10(2.0 * 4096);
    // The mean of the log of a 10-degree-of-freedom estimate lies about 0.045 below
    // the log of its mean.
    EXPECT_NEAR(mean_power, std::log10(2.0 / n) + log_width, 0.08);
    EXPECT_NEAR(mean_amplitude, 0.5 * std::log10(2.0 / n) + log_width, 0.05);
}

TEST(MultiTaperSpectrumCalc, NormalisationsAndScale) {
    const auto x = noise(512, -1.0, -6);
    const auto base = multitaper(x, 4, 1, 1, 3.0f, 0.25f, 1);
    const auto by_tau = multitaper(x, 4, 1, 1, 3.0f, 0.25f, 2);     // A = 1 / tau
    const auto by_root = multitaper(x, 4, 1, 1, 3.0f, 0.25f, 3);    // A = sqrt(N)
    const auto plain = multitaper(x, 4, 1, 1, 3.0f, 0.25f, 7);      // A = 1
    const auto scaled = multitaper(x, 4, 1, 1, 3.0f, 0.25f, 1, 1, 100.0f);
    // Estimator 1 returns an amplitude: a power factor f moves it by log10(f) / 2.
    for (int j = 0; j < base.result - 2; ++j) {
        ASSERT_NEAR(by_tau.level[j] - base.level[j], 0.5 * std::log10(0.0625 * 512 * 512), 1e-4);
        ASSERT_NEAR(by_root.level[j] - base.level[j], 0.5 * std::log10(512.0), 1e-4);
        ASSERT_NEAR(plain.level[j] - base.level[j], 0.5 * std::log10(512.0 * 512), 1e-4);
        ASSERT_NEAR(scaled.level[j] - base.level[j], 2.0, 1e-4);  // scale multiplies S itself
    }
}

// Slope of log power against log frequency over [2e-3, 2e-1] hertz: the power of four
// independent records averaged bin by bin and then over bands of an eighth of a
// decade, so that the fit sees mean powers (the log of a single estimate is biased by
// an amount that depends on its degrees of freedom, which the adaptive weights vary).
double averaged_slope(double beta, int K, int estimator) {
    const int n = 8192, records = 4;
    const double lo = 2e-3, hi = 2e-1;
    std::vector<double> power;
    std::vector<float> frequency;
    for (int seed = 1; seed <= records; ++seed) {
        const auto m = multitaper(noise(n, beta, -seed, 1e-18f), K, estimator, 1, 4.0f, 1.0f, 1, 0);
        if (power.empty()) power.assign(m.result - 2, 0.0);
        // Estimator 1 gives an amplitude: its square is the power.
        for (std::size_t j = 0; j < power.size(); ++j)
            power[j] += std::pow(10.0, (estimator == 1 ? 2 : 1) * m.level[j]) / records;
        frequency = m.frequency;
    }
    const int bands = 16;
    std::vector<double> band_sum(bands, 0.0), band_count(bands, 0.0);
    for (std::size_t j = 0; j < power.size(); ++j) {
        if (frequency[j] < lo || frequency[j] >= hi) continue;
        const int b = static_cast<int>(8 * std::log10(frequency[j] / lo));
        band_sum[b] += power[j];
        band_count[b] += 1;
    }
    std::vector<double> u, y;
    for (int b = 0; b < bands; ++b) {
        if (band_count[b] == 0) continue;
        u.push_back(std::log10(lo) + (b + 0.5) / 8);
        y.push_back(std::log10(band_sum[b] / band_count[b]));
    }
    return testing_support::least_squares_slope(u, y);
}

TEST(MultiTaperSpectrumCalc, PowerLawNoiseFollowsBeta) {
    // Three tapers: the broadband leakage of the higher tapers of NW = 4 would swamp
    // the steepest spectra. Fixed weights cannot hold back even the leakage of the
    // third taper from an f^-4 spectrum; the adaptive weights can.
    testing::internal::CaptureStderr();
    for (double beta : testing_support::noise_betas())
        EXPECT_NEAR(averaged_slope(beta, 3, 2), beta, 0.15) << "adaptive, beta " << beta;
    testing::internal::GetCapturedStderr();
    for (double beta : {0.0, -1.0, -2.0, -3.0})
        EXPECT_NEAR(averaged_slope(beta, 3, 1), beta, 0.15) << "fixed, beta " << beta;
    for (double beta : {0.0, -1.0, -2.0})
        EXPECT_NEAR(averaged_slope(beta, 7, 1), beta, 0.15) << "fixed, seven tapers, beta " << beta;
}

TEST(MultiTaperSpectrumCalc, ConstantRecordHasNoPowerAndSaysSo) {
    const std::vector<double> flat(16, 2.5);  // mean removed: all zeros
    testing::internal::CaptureStdout();
    const auto m = multitaper(flat, 2, 1, 1, 2.0f);
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(m.result, 17);
    std::string expect;
    for (int j = 0; j < 17; ++j) expect += "sqrt problem in hires pos=" + std::to_string(j) + " 0.000000\n";
    EXPECT_EQ(out, expect);
    for (int j = 0; j < 15; ++j) EXPECT_TRUE(std::isinf(m.level[j]) && m.level[j] < 0) << j;

    testing::internal::CaptureStderr();
    const auto adaptive = multitaper(flat, 2, 2, 1, 2.0f);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "0 failed iterations\n");
    for (int j = 0; j < 15; ++j) EXPECT_TRUE(std::isinf(adaptive.level[j]) && adaptive.level[j] < 0);
}

TEST(MultiTaperSpectrumCalc, AdaptiveEstimateWithOneTaper) {
    // With K = 1 the iteration starts from s_0 and the weight cancels: the result is
    // the single taper's power, the same as the square of estimator 1 times lambda_0.
    const auto x = noise(256, -2.0, -12);
    testing::internal::CaptureStderr();
    const auto adaptive = multitaper(x, 1, 2, 1, 2.0f);
    testing::internal::GetCapturedStderr();
    const auto fixed = multitaper(x, 1, 1, 1, 2.0f);
    std::vector<double> lambda(1);
    varnis::asymptotic_concentrations(256, 2.0, 1, lambda.data());
    ASSERT_EQ(adaptive.result, 257);
    const double log_df = std::log10(1.0 / 512);
    for (int j = 0; j < 255; ++j) {
        const double power = std::pow(10.0, 2 * (fixed.level[j] + log_df)) * lambda[0];
        ASSERT_NEAR(adaptive.level[j], std::log10(power) - log_df, 1e-3) << j;
    }
}

TEST(MultiTaperSpectrumCalc, OnlyTheSamplesThatRemainAfterGapFillingAreAnalysed) {
    auto y = noise(512, -1.0, -13);
    for (double& v : y) v += 20.0;
    std::vector<double> gappy = {0.0, 0.0, 0.0};
    gappy.insert(gappy.end(), y.begin(), y.end() - 20);  // 495 samples, P = 512 either way
    const std::vector<double> kept(gappy.begin() + 3, gappy.end());
    const auto a = multitaper(gappy, 3, 1, 1, 2.5f);
    const auto b = multitaper(kept, 3, 1, 1, 2.5f);
    ASSERT_EQ(a.result, 513);
    ASSERT_EQ(b.result, 513);
    for (int j = 0; j < 511; ++j) ASSERT_FLOAT_EQ(a.level[j], b.level[j]) << j;
}

TEST(MultiTaperSpectrumCalc, RefusedArguments) {
    auto v = testing_support::make_vector(noise(64, 0.0, -14));
    std::vector<float> spectrum(200, -7.0f), frequency(200, -7.0f);
    auto call = [&](int n, float nw, int k, int estimator, float tau = 1.0f, int gap = 1) {
        return MultiTaperSpectrumCalc(v.data(), spectrum.data(), frequency.data(), tau, n, nw, k,
                                      estimator, 1, 0, 1, 1.0f, gap);
    };
    EXPECT_EQ(call(1, 1, 1, 1), -1);
    EXPECT_EQ(call(0, 1, 1, 1), -1);
    EXPECT_EQ(call(64, 4, 0, 1), -1);
    EXPECT_EQ(call(8, 1, 9, 1), -1);
    EXPECT_EQ(call(64, 0, 1, 1), -1);
    EXPECT_EQ(call(64, -2, 1, 1), -1);
    EXPECT_EQ(call(64, 32, 1, 1), -1);  // half-bandwidth at the Nyquist frequency
    EXPECT_EQ(call(64, 4, 3, 0), -1);
    EXPECT_EQ(call(64, 4, 3, 3), -1);
    EXPECT_EQ(call(65, 4, 3, 1), -1);  // past the end of the record
    EXPECT_EQ(call(64, 4, 3, 1, 0.0f), -1);
    EXPECT_EQ(call(64, 4, 3, 1, 1.0f, 2), -1);
    EXPECT_TRUE(std::all_of(frequency.begin(), frequency.end(), [](float f) { return f == -7.0f; }));
    EXPECT_EQ(call(8, 1, 8, 1), 9);  // K = N is allowed
    v[1] = 10.0;  // the window starts at sample 10: 55 samples remain
    EXPECT_EQ(call(56, 4, 3, 1), -1);
    EXPECT_EQ(call(55, 4, 3, 1), 65);
    // A record of gaps with one value left after the leading gaps are cut off.
    auto lone = testing_support::make_vector({0, 0, 0, 5.0});
    EXPECT_EQ(MultiTaperSpectrumCalc(lone.data(), spectrum.data(), frequency.data(), 1, 4, 1, 1, 1,
                                     1, 0, 1, 1.0f, 1), -1);
}

}  // namespace
