// Noise generation: the generator's sequence, the filter, the convolution, add mode,
// refusals and the statistics of the white noise.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <thread>
#include <vector>

#include "noise/noise_generator.h"
#include "varnis.h"

namespace {

using varnis::NoiseGeneratorState;

// The described uniform generator evaluated independently in 64-bit arithmetic,
// for seeds up to 54773 where the 32-bit remainders are never negative.
std::vector<float> reference_uniforms(int seed, int draws) {
    auto mod = [](std::int64_t a, std::int64_t m) { return a % m; };
    std::int64_t ix1 = mod(54773 - seed, 259200);
    ix1 = mod(7141 * ix1 + 54773, 259200);
    std::int64_t ix2 = mod(ix1, 134456);
    ix1 = mod(7141 * ix1 + 54773, 259200);
    std::int64_t ix3 = mod(ix1, 243000);
    std::vector<float> table(98);
    auto entry = [&] { return static_cast<float>((ix1 + ix2 * (1.0 / 134456)) * (1.0 / 259200)); };
    for (int j = 1; j <= 97; ++j) {
        ix1 = mod(7141 * ix1 + 54773, 259200);
        ix2 = mod(812 * ix2 + 28411, 134456);
        table[j] = entry();
    }
    std::vector<float> out;
    for (int d = 0; d < draws; ++d) {
        ix1 = mod(7141 * ix1 + 54773, 259200);
        ix2 = mod(812 * ix2 + 28411, 134456);
        ix3 = mod(4561 * ix3 + 51349, 243000);
        const auto j = static_cast<std::size_t>(1 + (97 * ix3) / 243000);
        out.push_back(table[j]);
        table[j] = entry();
    }
    return out;
}

NoiseGeneratorState seeded(int seed) {
    NoiseGeneratorState s;
    varnis::seed_if_needed(s, &seed);
    return s;
}

TEST(NoiseGenerator, UniformSequenceFollowsTheDescribedRecurrences) {
    for (int seed : {-1, -12345, 0, 54773}) {
        auto state = seeded(seed);
        const auto expect = reference_uniforms(seed, 500);
        for (std::size_t d = 0; d < expect.size(); ++d)
            ASSERT_EQ(varnis::next_uniform(state), expect[d]) << "seed " << seed << " draw " << d;
    }
}

TEST(NoiseGenerator, SeedingRulesAndWriteBack) {
    NoiseGeneratorState s;
    int seed = 7;  // first use: seeded whatever the value
    varnis::seed_if_needed(s, &seed);
    EXPECT_EQ(seed, 1);
    const float after_first = varnis::next_uniform(s);
    seed = 5;  // positive, already seeded: continues
    varnis::seed_if_needed(s, &seed);
    EXPECT_EQ(seed, 5);
    EXPECT_NE(varnis::next_uniform(s), after_first);
    auto again = seeded(7);
    EXPECT_EQ(varnis::next_uniform(again), after_first);
}

TEST(NoiseGenerator, LargeSeedsStayInsideTheStateRanges) {
    // A seed above 54773 acts as its congruent value modulo 259200 below 54773.
    for (int seed : {54774, 100000, 259200 + 54773, INT_MAX}) {
        auto big = seeded(seed);
        auto congruent = seeded(static_cast<int>(seed - 259200LL * ((seed - 54774LL) / 259200 + 1)));
        for (int d = 0; d < 1000; ++d) {
            EXPECT_GE(big.ix1, 0);
            EXPECT_GE(big.ix2, 0);
            EXPECT_GE(big.ix3, 0);
            const float u = varnis::next_uniform(big);
            ASSERT_EQ(u, varnis::next_uniform(congruent)) << seed;
            ASSERT_TRUE(u >= 0.0f && u <= 1.0f);
        }
    }
    auto lowest = seeded(INT_MIN);  // 54773 - seed does not fit in 32 bits
    for (int d = 0; d < 1000; ++d) {
        const float u = varnis::next_uniform(lowest);
        ASSERT_TRUE(u >= 0.0f && u <= 1.0f);
    }
}

std::vector<double> generate(int count, float q, float beta, int seed, int add = 0,
                             std::vector<double> start = {}) {
    std::vector<double> v = start.empty() ? std::vector<double>(count, -7.0) : start;
    EXPECT_EQ(GenNoise(count, v.data(), q, beta, &seed, add), count);
    return v;
}

TEST(GenNoise, WhiteNoiseIsTheScaledGaussianDraws) {
    const float q = 2.5f;
    const auto v = generate(256, q, 0.0f, -41);
    auto state = seeded(-41);
    const float sd = std::sqrt(q);
    for (std::size_t i = 0; i < v.size(); ++i) {
        const double draw = sd * varnis::next_gaussian(state);
        ASSERT_NEAR(v[i], draw, 1e-12 * std::fabs(draw) + 1e-14) << i;
    }
}

TEST(GenNoise, RandomWalkIsTheRunningSumOfTheWhiteNoise) {
    const auto white = generate(1024, 1.0f, 0.0f, -9);
    const auto walk = generate(1024, 1.0f, -2.0f, -9);
    double sum = 0.0;
    for (std::size_t i = 0; i < white.size(); ++i) {
        sum += white[i];
        ASSERT_NEAR(walk[i], sum, 1e-10 * (1.0 + std::fabs(sum))) << i;
    }
}

TEST(GenNoise, ConvolutionAgreesWithTheDirectSum) {
    for (int count : {2, 8, 512, 4096}) {
        const auto white = generate(count, 1.0f, 0.0f, -3);
        for (float beta : {-0.5f, -1.0f, -3.0f, -3.7f, -4.0f}) {
            const auto v = generate(count, 1.0f, beta, -3);
            std::vector<double> h(count);
            h[0] = 1.0;
            for (int i = 1; i < count; ++i) h[i] = h[i - 1] * ((i - 1) - beta / 2.0) / i;
            double largest = 0.0, worst = 0.0;
            for (int i = 0; i < count; ++i) {
                long double direct = 0.0L;
                for (int j = 0; j <= i; ++j) direct += static_cast<long double>(h[j]) * white[i - j];
                largest = std::max(largest, std::fabs(static_cast<double>(direct)));
                worst = std::max(worst, std::fabs(v[i] - static_cast<double>(direct)));
            }
            EXPECT_LE(worst, 1e-9 * largest) << "count " << count << " beta " << beta;
        }
    }
}

TEST(GenNoise, SameNegativeSeedRepeatsAndSeedOneContinues) {
    int seed = -77;
    std::vector<double> whole(2048);
    ASSERT_EQ(GenNoise(2048, whole.data(), 1.0f, 0.0f, &seed, 0), 2048);
    EXPECT_EQ(seed, 1);
    EXPECT_EQ(generate(2048, 1.0f, 0.0f, -77), whole);

    seed = -77;
    std::vector<double> first(1024), second(1024);
    ASSERT_EQ(GenNoise(1024, first.data(), 1.0f, 0.0f, &seed, 0), 1024);
    ASSERT_EQ(GenNoise(1024, second.data(), 1.0f, 0.0f, &seed, 0), 1024);
    for (int i = 0; i < 1024; ++i) {
        ASSERT_NEAR(first[i], whole[i], 1e-12);
        ASSERT_NEAR(second[i], whole[1024 + i], 1e-12);
    }
}

TEST(GenNoise, AddModeKeepsEarlierContents) {
    const auto a = generate(64, 1.0f, -1.0f, -5);
    const auto b = generate(64, 4.0f, -2.0f, -6);
    std::vector<double> sum = generate(64, 1.0f, -1.0f, -5);
    sum = generate(64, 4.0f, -2.0f, -6, 1, sum);
    for (int i = 0; i < 64; ++i) EXPECT_NEAR(sum[i], a[i] + b[i], 1e-12 * (1 + std::fabs(b[i])));
}

TEST(GenNoise, RefusalsWriteNothingAndLeaveTheGeneratorAlone) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        int count;
        float q, beta;
    };
    const Case bad[] = {{3, 1, 0},  {0, 1, 0},     {-4, 1, 0},   {6, 1, 0},
                        {1, 1, 0},  {8, 0, 0},     {8, -1, 0},   {8, float(nan), 0},
                        {8, 1, 0.1f}, {8, 1, -4.01f}, {8, 1, float(nan)},
                        {8, std::numeric_limits<float>::infinity(), 0}};
    int seed = -123;
    std::vector<double> reference(16);
    ASSERT_EQ(GenNoise(16, reference.data(), 1.0f, 0.0f, &seed, 0), 16);
    seed = -123;
    std::vector<double> head(8), tail(8);
    ASSERT_EQ(GenNoise(8, head.data(), 1.0f, 0.0f, &seed, 0), 8);
    for (const auto& c : bad) {
        std::vector<double> v(16, 42.0);
        int s = -5;
        EXPECT_EQ(GenNoise(c.count, v.data(), c.q, c.beta, &s, 0), -1) << c.count << " " << c.q;
        EXPECT_EQ(s, -5);
        EXPECT_EQ(v, std::vector<double>(16, 42.0));
    }
    EXPECT_EQ(GenNoise(8, nullptr, 1.0f, 0.0f, &seed, 0), -1);
    EXPECT_EQ(GenNoise(8, tail.data(), 1.0f, 0.0f, nullptr, 0), -1);
    ASSERT_EQ(GenNoise(8, tail.data(), 1.0f, 0.0f, &seed, 0), 8);
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(tail[i], reference[8 + i], 1e-12);
}

TEST(GenNoise, ConcurrentCallsEachTakeAWholeStretchOfTheSequence) {
    // Each call draws its values under the generator's lock, so the calls of several
    // threads cut the one sequence into whole, non-overlapping stretches.
    const int threads = 4, calls = 20, count = 4096;
    int seed = -99;
    std::vector<double> first(count);
    ASSERT_EQ(GenNoise(count, first.data(), 1.0f, 0.0f, &seed, 0), count);  // reseeds
    std::vector<std::vector<std::vector<double>>> got(threads);
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            for (int c = 0; c < calls; ++c) {
                std::vector<double> v(count);
                int s = 1;
                if (GenNoise(count, v.data(), 1.0f, 0.0f, &s, 0) == count) got[t].push_back(v);
            }
        });
    }
    for (auto& th : pool) th.join();
    // The same sequence drawn again on one thread, stretch by stretch.
    std::vector<double> whole(static_cast<std::size_t>(count) * (1 + threads * calls));
    seed = -99;
    for (int k = 0; k <= threads * calls; ++k)
        ASSERT_EQ(GenNoise(count, whole.data() + k * count, 1.0f, 0.0f, &seed, 0), count);
    std::map<double, int> stretch_of;  // first value of each stretch -> its index
    for (int k = 1; k <= threads * calls; ++k) stretch_of[whole[k * count]] = k;
    std::vector<bool> seen(threads * calls + 1, false);
    for (const auto& list : got) {
        ASSERT_EQ(list.size(), static_cast<std::size_t>(calls));
        for (const auto& v : list) {
            const auto it = stretch_of.find(v[0]);
            ASSERT_NE(it, stretch_of.end());
            ASSERT_FALSE(seen[it->second]);
            seen[it->second] = true;
            for (int i = 0; i < count; ++i) ASSERT_NEAR(v[i], whole[it->second * count + i], 1e-12);
        }
    }
}

TEST(GenNoise, WhiteNoiseHasMeanZeroAndVarianceQ) {
    const int n = 1 << 20;
    const float q = 3.0f;
    const auto v = generate(n, q, 0.0f, -2024);
    double sum = 0.0, sq = 0.0;
    long within_one_sd = 0;
    for (double x : v) {
        sum += x;
        sq += x * x;
        if (std::fabs(x) < std::sqrt(q)) ++within_one_sd;
    }
    const double mean = sum / n;
    const double variance = sq / n - mean * mean;
    // Five standard errors of each estimate.
    EXPECT_LT(std::fabs(mean), 5.0 * std::sqrt(q / n));
    EXPECT_LT(std::fabs(variance - q), 5.0 * q * std::sqrt(2.0 / n));
    const double p = 0.6826894921, share = static_cast<double>(within_one_sd) / n;
    EXPECT_LT(std::fabs(share - p), 5.0 * std::sqrt(p * (1 - p) / n));
    // Neighbouring values are uncorrelated.
    double lag = 0.0;
    for (int i = 1; i < n; ++i) lag += v[i] * v[i - 1];
    EXPECT_LT(std::fabs(lag / (n - 1)) / q, 5.0 / std::sqrt(static_cast<double>(n)));
}

}  // namespace
