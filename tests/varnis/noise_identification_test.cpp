// Noise identification: boundaries between the expected values, the choices for
// unknown kinds and n = 1, the measured frequency-as-phase B1, and trials on
// simulated power-law noise at short averaging times.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "test_support.h"
#include "varnis.h"

using testing_support::make_vector;
using testing_support::power_law_phase;

namespace {

constexpr float kPiF = 3.14159265f;  // the bandwidth factor 2 pi fh tau0 at fh = 1 / (2 tau0)

// alpha of the noise with Allan-variance exponent mu in the B1 and Hadamard tests.
int alpha_of_mu(int mu) { return -mu - 1; }

TEST(NoiseID, ExpectedValuesAreNamedAsTheirOwnNoise) {
    for (int n : {3, 10, 100, 1000, 10000}) {
        for (int kind : {0, 1, 6}) {
            for (int mu = -1; mu <= 2; ++mu) {
                EXPECT_EQ(NoiseID(n, kind, 4, kPiF, CalcBias(n, mu)), alpha_of_mu(mu))
                    << "N=" << n << " mu=" << mu;
            }
            EXPECT_EQ(NoiseID(n, kind, 4, kPiF, CalcBias(n, -2)), 1);  // both phase noises
        }
        for (int kind : {4, 5, 9}) {
            for (int mu = 0; mu <= 3; ++mu) {
                EXPECT_EQ(NoiseID(n, kind, 4, kPiF, CalcHadamardB1(n, mu)), alpha_of_mu(mu))
                    << "N=" << n << " mu=" << mu;
            }
            // White frequency read as phase has the B1 of white phase noise, so the
            // last boundary is that value itself: a little above it is white frequency.
            const float white = CalcHadamardB1(n, -1);
            EXPECT_EQ(NoiseID(n, kind, 4, kPiF, white * 1.01f), 0);
            EXPECT_EQ(NoiseID(n, kind, 4, kPiF, white * 0.99f), 1);
        }
    }
    for (int n : {2, 3, 4, 16, 100, 101, 128, 5000}) {
        for (int kind : {2, 3, 7, 8}) {
            for (int alpha = -2; alpha <= 2; ++alpha) {
                EXPECT_EQ(NoiseID(1000, kind, n, kPiF, CalcRatio(alpha, n, kPiF)), alpha)
                    << "n=" << n << " alpha=" << alpha;
            }
        }
    }
}

TEST(NoiseID, BoundariesLieBetweenNeighbours) {
    // Just inside the most divergent noise of each test, and far below the least.
    EXPECT_EQ(NoiseID(100, 0, 1, kPiF, 1e6f), -3);
    EXPECT_EQ(NoiseID(100, 0, 1, kPiF, 0.0f), 1);
    EXPECT_EQ(NoiseID(100, 4, 1, kPiF, 1e6f), -4);
    EXPECT_EQ(NoiseID(100, 4, 1, kPiF, 0.0f), 1);
    EXPECT_EQ(NoiseID(100, 2, 8, kPiF, 1.0f), -2);
    EXPECT_EQ(NoiseID(100, 2, 8, kPiF, 0.0f), 2);
    // The first B1 boundary is the arithmetic mean of N (N + 1) / 6 and N / 2.
    const double mean = (100.0 * 101.0 / 6.0 + 50.0) / 2.0;
    EXPECT_EQ(NoiseID(100, 1, 1, kPiF, static_cast<float>(mean * 1.0001)), -3);
    EXPECT_EQ(NoiseID(100, 1, 1, kPiF, static_cast<float>(mean * 0.9999)), -2);
}

TEST(NoiseID, UnknownKindsAndSingleFactorGiveWhiteFrequency) {
    for (float x : {0.0f, 0.3f, 1.0f, 50.0f, 1e6f}) {
        for (int kind : {-1, 10, 100}) EXPECT_EQ(NoiseID(1000, kind, 4, kPiF, x), 0) << kind;
        for (int kind : {2, 3, 7, 8}) EXPECT_EQ(NoiseID(1000, kind, 1, kPiF, x), 0) << kind;
    }
}

// A phase record of `count` samples of the noise with phase exponent beta.
std::vector<double> simulated_phase(double beta, std::uint64_t seed, std::size_t count = 10000) {
    return make_vector(power_law_phase(count, beta, seed, 1e-9));
}

TEST(CalcStarB1, PhaseAndFrequencyInputAgreeAndDataStayUnchanged) {
    const auto phase = simulated_phase(-2.0, 11, 2000);
    std::vector<double> freq(phase.size());  // the conversion copies all n values first
    ASSERT_GE(ConvPhaseToFreq(phase.data(), freq.data(), 1.0, 1), 0);
    for (int m : {1, 3, 10}) {
        const auto before = phase;
        const float from_phase = CalcStarB1(phase.data(), 0, 1.0, m);
        EXPECT_EQ(phase, before);
        EXPECT_GT(from_phase, 0.0f);
        EXPECT_EQ(CalcStarB1(freq.data(), 1, 1.0, m), from_phase) << m;
        // tau0 scales both deviations alike.
        EXPECT_FLOAT_EQ(CalcStarB1(phase.data(), 0, 2.5, m), from_phase) << m;
    }
}

TEST(CalcStarB1, WorkedValueAndRefusals) {
    // Frequencies 1, 2, 4, 8, 16 read as phase: differences 1, 2, 4, 8 (standard
    // deviation^2 = 28.75 / 3), second differences 1, 2, 4 (Allan^2 = 21 / 6).
    auto freq = make_vector({1, 2, 4, 8, 16});
    EXPECT_FLOAT_EQ(CalcStarB1(freq.data(), 1, 1.0, 1), static_cast<float>((28.75 / 3) / (21.0 / 6)));
    EXPECT_EQ(CalcStarB1(freq.data(), 1, 1.0, 0), -1.0f);   // m < 1
    EXPECT_EQ(CalcStarB1(freq.data(), 1, 1.0, 6), -1.0f);   // m above the window
    EXPECT_EQ(CalcStarB1(freq.data(), 1, 1.0, 2), -1.0f);   // two averages: too few
    EXPECT_EQ(CalcStarB1(freq.data(), 1, 0.0, 1), -1.0f);
    EXPECT_EQ(CalcStarB1(freq.data(), 0, -1.0, 1), -1.0f);
    // A linear drift has no second difference: no ratio to form.
    auto linear = make_vector({3, 4, 5, 6, 7, 8});
    EXPECT_EQ(CalcStarB1(linear.data(), 1, 1.0, 1), -1.0f);
    std::vector<double> bad = {5, 0, 5, 1, 2, 3, 4, 5};
    EXPECT_EQ(CalcStarB1(bad.data(), 0, 1.0, 1), -1.0f);
    bad = {5, 1, 6, 1, 2, 3, 4, 5};
    EXPECT_EQ(CalcStarB1(bad.data(), 1, 1.0, 1), -1.0f);
    EXPECT_EQ(CalcStarB1(nullptr, 1, 1.0, 1), -1.0f);
}

// --- Trials on simulated noise -------------------------------------------------

// Frequencies averaged over m intervals from a phase record (spacing 1 s), as a
// frequency data vector.
std::vector<double> averaged_frequency(const std::vector<double>& phase_vector, int m) {
    const auto x = testing_support::samples_of(phase_vector);
    std::vector<double> y;
    for (std::size_t k = 0; k + m < x.size(); k += m) y.push_back((x[k + m] - x[k]) / m);
    return make_vector(y);
}

// Modified Allan variance at factor n (spacing 1 s), evaluated directly.
double modified_allan_variance(const std::vector<double>& x, int n) {
    double sum = 0.0;
    const std::size_t terms = x.size() - 3 * n + 1;
    for (std::size_t j = 0; j < terms; ++j) {
        double inner = 0.0;
        for (std::size_t i = j; i < j + n; ++i) inner += (x[i + 2 * n] - x[i + n]) - (x[i + n] - x[i]);
        sum += inner * inner;
    }
    return sum / (2.0 * n * n * static_cast<double>(n) * n * static_cast<double>(terms));
}

struct Trials {
    int right = 0;
    int total = 0;
};

// alpha of the generating noise by its phase exponent beta.
int alpha_of_beta(double beta) { return static_cast<int>(beta) + 2; }

constexpr int kSeeds = 6;

TEST(NoiseIDTrials, B1TestNamesTheNoiseOfSimulatedRecords) {
    for (double beta : testing_support::noise_betas()) {
        // The B1 test does not separate the two phase noises: both are named 1.
        const int expect = std::min(alpha_of_beta(beta), 1);
        Trials t;
        for (int seed = 1; seed <= kSeeds; ++seed) {
            const auto phase = simulated_phase(beta, 100 + seed);
            for (int m : {1, 2, 4}) {
                auto y = averaged_frequency(phase, m);
                double sd = 0, allan = 0;
                ASSERT_GT(CalcFreqStdDev(y.data(), &sd), 0);
                ASSERT_GT(CalcFreqSigma(y.data(), &allan), 0);
                const int n = static_cast<int>(y[0]);
                const float x = static_cast<float>((sd * sd) / (allan * allan));
                t.right += NoiseID(n, 0, m, kPiF, x) == expect;
                ++t.total;
            }
        }
        EXPECT_GE(t.right, t.total * 4 / 5) << "beta " << beta << ": " << t.right << "/" << t.total;
    }
}

TEST(NoiseIDTrials, RatioTestNamesTheNoiseOfSimulatedRecords) {
    for (double beta : testing_support::noise_betas()) {
        Trials t;
        for (int seed = 1; seed <= kSeeds; ++seed) {
            const auto phase = simulated_phase(beta, 200 + seed);
            const auto x = testing_support::samples_of(phase);
            for (int n : {2, 4, 8}) {
                double allan = 0;
                ASSERT_GT(CalcPhaseOverlapSigma(phase.data(), &allan, 1.0, n), 0);
                const float ratio = static_cast<float>(modified_allan_variance(x, n) / (allan * allan));
                t.right += NoiseID(static_cast<int>(x.size()), 2, n, kPiF, ratio) == alpha_of_beta(beta);
                ++t.total;
            }
        }
        EXPECT_GE(t.right, t.total * 4 / 5) << "beta " << beta << ": " << t.right << "/" << t.total;
    }
}

TEST(NoiseIDTrials, HadamardTestNamesTheDivergentNoisesOfSimulatedRecords) {
    // White frequency down to random-run frequency noise (phase exponents -2 .. -6).
    // The generator's single interval is a discrete walk, not yet the continuous
    // noise (a random walk of frequency gives 1 there instead of 4/3); from a few
    // intervals on the averages behave as the continuous noises.
    for (double beta : {-2.0, -3.0, -4.0, -5.0, -6.0}) {
        Trials t;
        for (int seed = 1; seed <= kSeeds; ++seed) {
            const auto phase = simulated_phase(beta, 300 + seed);
            const int samples = static_cast<int>(phase[0]);
            for (int m : {4, 8, 16}) {
                const float x = CalcStarB1(phase.data(), 0, 1.0, m);
                ASSERT_GT(x, 0.0f);
                const int averages = (samples - 1) / m;
                const int got = NoiseID(averages, 4, m, kPiF, x);
                // White frequency and phase noise share the last boundary (see above).
                const bool right = beta == -2.0 ? got >= 0 : got == alpha_of_beta(beta);
                t.right += right;
                ++t.total;
            }
        }
        EXPECT_GE(t.right, t.total * 4 / 5) << "beta " << beta << ": " << t.right << "/" << t.total;
    }
}

}  // namespace
