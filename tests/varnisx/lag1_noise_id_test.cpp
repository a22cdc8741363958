// Noise identification by the lag-1 autocorrelation: each power-law noise named at
// short and long averaging times, and the estimate against its definition.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"
#include "varnisx.h"

using testing_support::make_vector;
using testing_support::power_law_phase;

namespace {

std::vector<double> frequency_of(const std::vector<double>& x) {
    std::vector<double> y(x.size() - 1);
    for (std::size_t k = 0; k + 1 < x.size(); ++k) y[k] = x[k + 1] - x[k] + 1e-6;  // no 0.0
    return y;
}

// A record whose noise at factor m is of type alpha: power-law noise generated at
// tau = m tau0, the samples between two of its points on the straight line between them.
std::vector<double> record_at_factor(int alpha, long points, long m, unsigned seed) {
    const auto coarse = power_law_phase(static_cast<std::size_t>(points), alpha - 2.0, seed, 1e-9);
    std::vector<double> x(static_cast<std::size_t>((points - 1) * m + 1));
    for (long j = 0; j + 1 < points; ++j)
        for (long t = 0; t < m; ++t)
            x[static_cast<std::size_t>(j * m + t)] =
                coarse[j] + (coarse[j + 1] - coarse[j]) * static_cast<double>(t) / static_cast<double>(m);
    x.back() = coarse.back();
    return x;
}

TEST(Lag1NoiseID, NamesEachNoiseAtShortAndLongAveragingTimes) {
    // Short: 2^14 samples at factor 1. Long: factor 256 of a record whose noise is of
    // the type at that averaging time (decimating noise generated at the sampling rate
    // would fold flicker phase noise above the new Nyquist frequency into white phase
    // noise, which the data then really hold).
    for (int alpha = 2; alpha >= -2; --alpha) {
        for (unsigned seed : {1u, 2u}) {
            for (int m : {1, 256}) {
                SCOPED_TRACE("alpha " + std::to_string(alpha) + " seed " + std::to_string(seed) +
                             " m " + std::to_string(m));
                const unsigned s = 40 + seed + 10 * (alpha + 2);
                const auto x = m == 1 ? power_law_phase(16384, alpha - 2.0, s, 1e-9)
                                      : record_at_factor(alpha, 256, m, s);
                const auto phase = make_vector(x);
                const auto freq = make_vector(frequency_of(x));
                int found = 99;
                double estimate = 0.0;
                EXPECT_GE(CalcLag1NoiseID(phase.data(), 0, m, &found, &estimate), 255);
                EXPECT_EQ(found, alpha) << "phase, estimate " << estimate;
                EXPECT_GE(CalcLag1NoiseID(freq.data(), 1, m, &found, &estimate), 255);
                EXPECT_EQ(found, alpha) << "frequency, estimate " << estimate;
            }
        }
    }
}

// r1 about the mean, as the definition has it.
double lag1(const std::vector<double>& z) {
    double mean = 0.0;
    for (double v : z) mean += v;
    mean /= static_cast<double>(z.size());
    double num = 0.0, den = 0.0;
    for (std::size_t j = 0; j < z.size(); ++j) {
        den += (z[j] - mean) * (z[j] - mean);
        if (j + 1 < z.size()) num += (z[j] - mean) * (z[j + 1] - mean);
    }
    return num / den;
}

// The estimate by the definition: the series at factor m (phase decimated, frequency
// averaged), differenced while delta = r1 / (1 + r1) >= 0.25 (at most twice), then
// alpha = 2 - 2 (delta + d) for phase, -2 (delta + d) for frequency.
double estimate_by_definition(const std::vector<double>& data, bool phase, std::size_t m) {
    std::vector<double> z;
    if (phase) {
        for (std::size_t k = 0; k < data.size(); k += m) z.push_back(data[k]);
    } else {
        for (std::size_t k = 0; k + m <= data.size(); k += m) {
            double sum = 0.0;
            for (std::size_t j = k; j < k + m; ++j) sum += data[j];
            z.push_back(sum / static_cast<double>(m));
        }
    }
    int d = 0;
    double delta = 0.0;
    for (;;) {
        const double r1 = lag1(z);
        delta = r1 / (1.0 + r1);
        if (delta < 0.25 || d == 2) break;
        for (std::size_t j = 0; j + 1 < z.size(); ++j) z[j] = z[j + 1] - z[j];
        z.pop_back();
        ++d;
    }
    return phase ? 2.0 - 2.0 * (delta + d) : -2.0 * (delta + d);
}

TEST(Lag1NoiseID, EstimateFollowsTheDefinition) {
    // An autoregressive series with r1 near 0.4 (delta near 0.29, just above the limit)
    // besides power-law noise of each kind.
    std::vector<double> ar(3000);
    std::mt19937_64 rng(5);
    std::normal_distribution<double> normal;
    ar[0] = 1.0;
    for (std::size_t k = 1; k < ar.size(); ++k) ar[k] = 0.4 * (ar[k - 1] - 1.0) + 1.0 + 0.1 * normal(rng);
    struct Case {
        std::vector<double> data;
        bool phase;
        int m;
    };
    const std::vector<Case> cases = {{ar, false, 1},
                                     {power_law_phase(3000, -3.0, 17, 1e-9), true, 3},
                                     {power_law_phase(3000, -1.0, 18, 1e-9), true, 1},
                                     {frequency_of(power_law_phase(3000, -4.0, 19, 1e-9)), false, 5}};
    for (const auto& c : cases) {
        const auto v = make_vector(c.data);
        int alpha = 99;
        double estimate = 0.0;
        ASSERT_GT(CalcLag1NoiseID(v.data(), c.phase ? 0 : 1, c.m, &alpha, &estimate), 0);
        const double expected = estimate_by_definition(c.data, c.phase, static_cast<std::size_t>(c.m));
        EXPECT_NEAR(estimate, expected, 1e-9) << "phase " << c.phase << " m " << c.m;
        EXPECT_EQ(alpha, static_cast<int>(std::floor(std::min(2.0, std::max(-4.0, expected)) + 0.5)));
    }
}

// Phase data read as the frequency averaged over blocks (the differences of the phase
// at the block ends) names the noise as the averaged frequency does, and a gap at a
// block end takes out the two blocks it ends and begins.
TEST(Lag1NoiseID, PhaseBlocksAreTheAveragedFrequency) {
    for (int alpha = 2; alpha >= -4; --alpha) {
        for (long m : {1L, 7L}) {
            SCOPED_TRACE("alpha " + std::to_string(alpha) + " m " + std::to_string(m));
            auto x = power_law_phase(4096, alpha - 2.0, 60 + static_cast<unsigned>(alpha + 4), 1e-9);
            auto y = frequency_of(x);
            const long g = 100;  // the end of block g - 1, the start of block g
            x[static_cast<std::size_t>(g * m)] = 0.0;
            for (long k = (g - 1) * m; k < (g + 1) * m; ++k) y[static_cast<std::size_t>(k)] = 0.0;
            const auto phase = make_vector(x), freq = make_vector(y);
            int from_phase = 99, from_freq = 98;
            double phase_estimate = 0.0, freq_estimate = 1.0;
            ASSERT_EQ(CalcLag1NoiseID(phase.data(), 2, static_cast<int>(m), &from_phase, &phase_estimate),
                      4095 / m);
            ASSERT_EQ(CalcLag1NoiseID(freq.data(), 1, static_cast<int>(m), &from_freq, &freq_estimate),
                      4095 / m);
            EXPECT_NEAR(phase_estimate, freq_estimate, 1e-9);
            EXPECT_EQ(from_phase, from_freq);
        }
    }
}

TEST(Lag1NoiseID, GapsAreLeftOutAndShortSeriesRefused) {
    auto x = power_law_phase(4096, -2.0, 3, 1e-9);
    x[0] = 0.0;  // sample 1: a reading
    for (int k = 1000; k < 1100; ++k) x[k] = 0.0;
    const auto v = make_vector(x);
    int alpha = 99;
    EXPECT_EQ(CalcLag1NoiseID(v.data(), 0, 4, &alpha, nullptr), 1024);
    EXPECT_EQ(alpha, 0);
    EXPECT_EQ(CalcLag1NoiseID(v.data(), 0, 129, &alpha, nullptr), -1);  // 32 points, 1 a gap
    EXPECT_EQ(CalcLag1NoiseID(v.data(), 3, 4, &alpha, nullptr), -1);
    EXPECT_EQ(CalcLag1NoiseID(v.data(), 0, 0, &alpha, nullptr), -1);
    const auto flat = make_vector(std::vector<double>(100, 1.0));
    EXPECT_EQ(CalcLag1NoiseID(flat.data(), 1, 1, &alpha, nullptr), -1);
}

}  // namespace
