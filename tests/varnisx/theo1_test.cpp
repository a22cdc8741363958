// Theo1: the per-factor call and the sweep against the definition evaluated term by term.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"
#include "varnisx.h"

using testing_support::make_vector;
using testing_support::power_law_phase;

namespace {

// Theo1 as defined: x[0] holds x_1; i = 1 .. N - m, d = 0 .. m/2 - 1.
double theo1_definition(const std::vector<double>& x, long m, double tau0) {
    const long N = static_cast<long>(x.size()), h = m / 2;
    auto X = [&](long k) { return x[static_cast<std::size_t>(k - 1)]; };
    double total = 0.0;
    for (long i = 1; i <= N - m; ++i)
        for (long d = 0; d <= h - 1; ++d) {
            const double t = (X(i) - X(i - d + h)) + (X(i + m) - X(i + d + h));
            total += t * t / static_cast<double>(h - d);
        }
    return std::sqrt(total / (0.75 * static_cast<double>(N - m) * (m * tau0) * (m * tau0)));
}

// Phase records of each noise type, on a time offset of 1 ms and a frequency offset of
// 1e-9, with noise of 1e-12 s: the offsets must not cost accuracy.
std::vector<double> offset_record(long count, double beta, unsigned seed) {
    auto x = power_law_phase(static_cast<std::size_t>(count), beta, seed, 1e-12);
    for (long k = 0; k < count; ++k) x[static_cast<std::size_t>(k)] += 1e-3 + 1e-9 * k;
    return x;
}

std::vector<int> even_factors(int from, int to) {
    std::vector<int> f;
    for (int m = from; m <= to; m += 2) f.push_back(m);
    return f;
}

TEST(Theo1, SweepAndSingleFactorsMatchTheDefinitionOnOffsetRecordsOfEveryNoise) {
    const long N = 400;
    const double tau0 = 0.5;
    // Every even factor makes the sweep take its per-lag sums; single factors take the
    // direct sum.
    const auto factors = even_factors(10, static_cast<int>(N - 2));
    for (double beta : testing_support::noise_betas()) {
        SCOPED_TRACE("beta " + std::to_string(beta));
        const auto x = offset_record(N, beta, 7);
        const auto v = make_vector(x);
        std::vector<double> devs(factors.size());
        std::vector<int> windows(factors.size());
        ASSERT_EQ(CalcTheo1Sweep(v.data(), tau0, factors.data(), static_cast<int>(factors.size()),
                                 devs.data(), windows.data(), nullptr, 0, nullptr),
                  static_cast<int>(factors.size()));
        for (std::size_t r = 0; r < factors.size(); r += 7) {
            const long m = factors[r];
            const double expected = theo1_definition(x, m, tau0);
            EXPECT_NEAR(devs[r], expected, 1e-9 * expected) << "m = " << m;
            EXPECT_EQ(windows[r], N - m);
            double single = 0.0;
            ASSERT_EQ(CalcTheo1Dev(v.data(), &single, tau0, static_cast<int>(m)), N - m);
            EXPECT_NEAR(single, expected, 1e-9 * expected) << "m = " << m;
        }
    }
}

TEST(Theo1, AFrequencyDriftFarAboveTheNoiseCostsTheSweepNoAccuracy) {
    // The drift's phase reaches 1e7 times the noise; the sweep squares differences over
    // lags up to the largest factor, where the drift would dominate and cancel.
    const long N = 2000;
    auto x = offset_record(N, -2.0, 13);
    for (long k = 0; k < N; ++k) x[static_cast<std::size_t>(k)] += 1e-11 * static_cast<double>(k * k);
    auto factors = even_factors(10, 60);
    factors.push_back(1000);
    factors.push_back(1998);
    const auto v = make_vector(x);
    std::vector<double> devs(factors.size());
    ASSERT_EQ(CalcTheo1Sweep(v.data(), 1.0, factors.data(), static_cast<int>(factors.size()),
                             devs.data(), nullptr, nullptr, 0, nullptr),
              static_cast<int>(factors.size()));
    for (std::size_t r : {std::size_t{0}, std::size_t{1}, factors.size() - 2}) {
        const double expected = theo1_definition(x, factors[r], 1.0);
        EXPECT_NEAR(devs[r], expected, 1e-12 * expected) << "m = " << factors[r];
    }
}

TEST(Theo1, InteriorGapsAreBridgedAndTheWindowIsHonoured) {
    // Samples 3 .. 302 of a longer vector; gaps inside the window are bridged by a
    // straight line; a 0.0 at the window's first sample is a reading.
    auto x = offset_record(320, -2.0, 11);
    auto bridged = std::vector<double>(x.begin() + 2, x.begin() + 302);
    bridged[0] = 0.0;
    x[2] = 0.0;
    for (long k : {40L, 41L, 42L, 150L}) {
        x[static_cast<std::size_t>(k + 2)] = 0.0;
        bridged[static_cast<std::size_t>(k)] = 0.0;
    }
    for (long k = 40; k <= 42; ++k)
        bridged[static_cast<std::size_t>(k)] = bridged[39] + (bridged[43] - bridged[39]) * (k - 39) / 4.0;
    bridged[150] = 0.5 * (bridged[149] + bridged[151]);
    const auto v = make_vector(x, 3, 302);
    for (int m : {10, 64, 298}) {
        double dev = 0.0;
        ASSERT_EQ(CalcTheo1Dev(v.data(), &dev, 1.0, m), 300 - m);
        const double expected = theo1_definition(bridged, m, 1.0);
        EXPECT_NEAR(dev, expected, 1e-9 * expected) << "m = " << m;
    }
}

TEST(Theo1, RefusesFactorsOutsideTheRulesAndBadArguments) {
    const auto v = make_vector(offset_record(100, 0.0, 3));
    double dev = -7.0;
    for (int m : {9, 11, 8, 100, 0, -10}) EXPECT_EQ(CalcTheo1Dev(v.data(), &dev, 1.0, m), -1) << m;
    EXPECT_EQ(CalcTheo1Dev(v.data(), &dev, 0.0, 10), -1);
    EXPECT_EQ(CalcTheo1Dev(v.data(), nullptr, 1.0, 10), -1);
    EXPECT_EQ(dev, -7.0);
    auto bad = v;
    bad[2] = 101.0;  // last beyond the count
    EXPECT_EQ(CalcTheo1Dev(bad.data(), &dev, 1.0, 10), -1);
    const int unsorted[] = {20, 10}, repeated[] = {10, 10}, fine[] = {10, 98};
    double devs[2] = {-7.0, -7.0};
    EXPECT_EQ(CalcTheo1Sweep(v.data(), 1.0, unsorted, 2, devs, nullptr, nullptr, 0, nullptr), -1);
    EXPECT_EQ(CalcTheo1Sweep(v.data(), 1.0, repeated, 2, devs, nullptr, nullptr, 0, nullptr), -1);
    EXPECT_EQ(CalcTheo1Sweep(v.data(), 1.0, fine, 0, devs, nullptr, nullptr, 0, nullptr), -1);
    EXPECT_EQ(CalcTheo1Sweep(v.data(), 1.0, fine, 2, nullptr, nullptr, nullptr, 0, nullptr), -1);
    EXPECT_EQ(devs[0], -7.0);
    EXPECT_EQ(CalcTheo1Sweep(v.data(), 1.0, fine, 2, devs, nullptr, nullptr, 0, nullptr), 2);
}

std::vector<std::pair<int, std::string>> g_calls;
void record_call(int percent, const char* text) { g_calls.emplace_back(percent, text); }

TEST(Theo1, AStoppedSweepWritesTheFactorsItFinishedAndProgressIsReported) {
    const auto v = make_vector(offset_record(400, -1.0, 5));
    const auto factors = even_factors(10, 390);
    std::vector<double> devs(factors.size(), -7.0);
    g_calls.clear();
    const int stop = 1;  // read after the first lag: no factor is finished yet
    EXPECT_EQ(CalcTheo1Sweep(v.data(), 1.0, factors.data(), static_cast<int>(factors.size()),
                             devs.data(), nullptr, &stop, 1, record_call),
              0);
    EXPECT_EQ(devs[0], -7.0);
    ASSERT_GE(g_calls.size(), 2u);
    EXPECT_EQ(g_calls.front(), std::make_pair(0, std::string("Calculating Theo1")));
    EXPECT_EQ(g_calls.back(), std::make_pair(0, std::string("")));

    g_calls.clear();
    ASSERT_EQ(CalcTheo1Sweep(v.data(), 1.0, factors.data(), static_cast<int>(factors.size()),
                             devs.data(), nullptr, nullptr, 1, record_call),
              static_cast<int>(factors.size()));
    EXPECT_GT(g_calls.size(), 50u);
    EXPECT_GE(g_calls[g_calls.size() - 2].first, 99);
}

TEST(Theo1, SweepsOnSeveralThreadsAgreeWithOneThread) {
    const auto v = make_vector(offset_record(2000, -2.0, 9));
    const auto factors = even_factors(10, 1998);
    std::vector<double> alone(factors.size());
    ASSERT_GT(CalcTheo1Sweep(v.data(), 1.0, factors.data(), static_cast<int>(factors.size()),
                             alone.data(), nullptr, nullptr, 0, nullptr),
              0);
    std::vector<std::vector<double>> results(3, std::vector<double>(factors.size()));
    std::vector<std::thread> threads;
    for (auto& r : results)
        threads.emplace_back([&] {
            CalcTheo1Sweep(v.data(), 1.0, factors.data(), static_cast<int>(factors.size()),
                           r.data(), nullptr, nullptr, 0, nullptr);
        });
    for (auto& t : threads) t.join();
    for (const auto& r : results) EXPECT_EQ(r, alone);
}

}  // namespace
