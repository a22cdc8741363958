// Gaps, outliers and robust statistics: trimming and filling, counting, outliers,
// the two median paths and the median absolute deviation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "test_support.h"
#include "varnis.h"

using testing_support::make_vector;
using testing_support::samples_of;

namespace {

// The record a vector holds according to its own count.
std::vector<double> record_of(const std::vector<double>& v) {
    return std::vector<double>(v.begin() + 3, v.begin() + 3 + static_cast<long>(v[0]));
}

std::vector<float> to_float(const std::vector<double>& v) {
    return std::vector<float>(v.begin(), v.end());
}

TEST(FillGaps, FrequencyRecordIsTrimmedAtBothEndsAndFilledInside) {
    auto v = make_vector({0, 0, 3, 4, 0, 6, 0});
    EXPECT_EQ(FillGaps(v.data(), 1), 2);
    EXPECT_EQ(v[0], 4.0);
    EXPECT_EQ(v[1], 1.0);
    EXPECT_EQ(v[2], 4.0);
    EXPECT_EQ(record_of(v), (std::vector<double>{3, 4, 5, 6}));

    auto run = make_vector({1, 0, 0, 4});
    EXPECT_EQ(FillGaps(run.data(), 1), 0);
    EXPECT_EQ(record_of(run), (std::vector<double>{1, 2, 3, 4}));
}

TEST(FillGaps, PhaseRecordKeepsItsOriginAndItsFinalSample) {
    // Leading run 2..3 and the run 6..7 before the final reading are cut out.
    auto v = make_vector({0, 0, 0, 3, 4, 0, 0, 9});
    EXPECT_EQ(FillGaps(v.data(), 0), 2);
    EXPECT_EQ(record_of(v), (std::vector<double>{0, 3, 4, 9}));
    EXPECT_EQ(v[2], 4.0);

    // A final 0.0 is a reading; the gaps before it go, it stays the last sample.
    auto last_zero = make_vector({0, 1, 2, 0, 0, 0});
    EXPECT_EQ(FillGaps(last_zero.data(), 0), 0);
    EXPECT_EQ(record_of(last_zero), (std::vector<double>{0, 1, 2, 0}));

    // An interior phase gap is bridged from its neighbours, the origin included.
    auto inner = make_vector({0, 2, 0, 6, 8});
    EXPECT_EQ(FillGaps(inner.data(), 0), 0);
    EXPECT_EQ(record_of(inner), (std::vector<double>{0, 2, 4, 6, 8}));
}

TEST(FillGaps, RecordWithoutValidSampleKeepsItsLength) {
    for (int mode : {0, 1}) {
        auto v = make_vector({0, 0, 0, 0, 0});
        const auto before = v;
        EXPECT_EQ(FillGaps(v.data(), mode), 0);
        EXPECT_EQ(v, before);
        auto f = to_float(before);
        EXPECT_EQ(FillFloatGaps(f.data(), mode), 0);
        EXPECT_EQ(f, to_float(before));
    }
    auto empty = make_vector({});
    EXPECT_EQ(FillGaps(empty.data(), 1), 0);
    EXPECT_EQ(empty[0], 0.0);
}

TEST(FillGaps, WindowLimitsFollowTheSamplesTheyName) {
    // Window 3..6 holds 1, 2, 3, 4. After the two leading gaps go and the trailing
    // gap is cut, the window still holds exactly those four samples.
    auto v = make_vector({0, 0, 1, 2, 3, 4, 5, 0}, 3, 6);
    EXPECT_EQ(FillGaps(v.data(), 1), 2);
    EXPECT_EQ(v[0], 5.0);
    EXPECT_EQ(v[1], 1.0);
    EXPECT_EQ(v[2], 4.0);

    // A window that ends inside the trailing run ends at the last remaining sample.
    auto tail = make_vector({1, 2, 3, 0, 0}, 1, 4);
    EXPECT_EQ(FillGaps(tail.data(), 1), 0);
    EXPECT_EQ(tail[0], 3.0);
    EXPECT_EQ(tail[2], 3.0);

    // Interior gaps outside the window stay; inside it they are filled, bridging
    // from the sample just before the window.
    auto w = make_vector({1, 0, 3, 0, 0, 9, 0, 11}, 4, 6);
    EXPECT_EQ(FillGaps(w.data(), 1), 0);
    EXPECT_EQ(record_of(w), (std::vector<double>{1, 0, 3, 5, 7, 9, 0, 11}));

    // A gap just before a frequency window belongs to the run that the window
    // starts with: the line runs from the last valid sample, the outer gap stays.
    auto outer = make_vector({1, 0, 0, 4, 5}, 3, 5);
    EXPECT_EQ(FillGaps(outer.data(), 1), 0);
    EXPECT_EQ(record_of(outer), (std::vector<double>{1, 0, 3, 4, 5}));

    // The first and last samples of a phase window are readings even at 0.0 and
    // are not scanned: a gap just before the window's last sample stays open.
    auto p = make_vector({5, 6, 0, 0, 8, 0, 9, 7}, 3, 7);
    EXPECT_EQ(FillGaps(p.data(), 0), 0);
    EXPECT_EQ(record_of(p), (std::vector<double>{5, 6, 0, 4, 8, 0, 9, 7}));
}

TEST(FillGaps, FloatTwinFillsInSinglePrecision) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> value(-3.0, 3.0);
    std::bernoulli_distribution gap(0.2);
    for (int mode : {0, 1}) {
        std::vector<double> samples(500);
        for (auto& s : samples) s = gap(rng) ? 0.0 : value(rng);
        auto d = make_vector(samples);
        auto f = to_float(d);
        EXPECT_EQ(FillGaps(d.data(), mode), FillFloatGaps(f.data(), mode));
        ASSERT_EQ(static_cast<double>(f[0]), d[0]);
        EXPECT_EQ(static_cast<double>(f[2]), d[2]);
        for (long k = 3; k < static_cast<long>(d[0]) + 3; ++k) {
            EXPECT_NEAR(f[k], d[k], 1e-5) << k;
        }
    }
    // One third of the way from 1 to 2, in float arithmetic.
    std::vector<float> third = {4, 1, 4, 1.0f, 0, 0, 2.0f};
    EXPECT_EQ(FillFloatGaps(third.data(), 1), 0);
    EXPECT_EQ(third[4], 1.0f + 1.0f * (2.0f - 1.0f) / 3.0f);
    EXPECT_EQ(third[5], 1.0f + 2.0f * (2.0f - 1.0f) / 3.0f);
}

TEST(CountGaps, RangeDependsOnMode) {
    auto v = make_vector({0, 0, 3, 0, 5, 0});
    EXPECT_EQ(CountGaps(v.data(), 1), 4);
    EXPECT_EQ(CountGaps(v.data(), 0), 2);  // samples 2..5
    auto w = make_vector({1, 0, 0, 4, 0}, 2, 4);
    EXPECT_EQ(CountGaps(w.data(), 0), 1);
    EXPECT_EQ(CountGaps(w.data(), 1), 2);
}

TEST(GapRefusals, BadHeadersAndModes) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::vector<double>> bad = {
        {4, 0, 4, 1, 0, 3, 4}, {4, 1, 5, 1, 0, 3, 4}, {nan, 1, 4, 1, 0, 3, 4}, {-1, 1, 1, 0}};
    for (auto v : bad) {
        const auto before = v;
        EXPECT_EQ(CountGaps(v.data(), 1), -1);
        EXPECT_EQ(FillGaps(v.data(), 1), -1);
        auto f = to_float(v);
        EXPECT_EQ(FillFloatGaps(f.data(), 1), -1);
        EXPECT_EQ(FindFreqOutliers(v.data(), 3.0f, 1), -1);
        double median = 7.0;
        float dev = 7.0f;
        EXPECT_EQ(FindMedian(v.data(), 1, &median), -1);
        EXPECT_EQ(MedDev(v.data(), &dev), -1);
        EXPECT_EQ(median, 7.0);
        EXPECT_EQ(dev, 7.0f);
        EXPECT_EQ(v.size(), before.size());
    }
    auto ok = make_vector({1, 0, 3});
    double median = 0;
    for (int mode : {-1, 2}) {
        EXPECT_EQ(CountGaps(ok.data(), mode), -1);
        EXPECT_EQ(FillGaps(ok.data(), mode), -1);
        EXPECT_EQ(FindMedian(ok.data(), mode, &median), -1);
    }
    EXPECT_EQ(samples_of(ok), (std::vector<double>{1, 0, 3}));
    EXPECT_EQ(FillGaps(nullptr, 1), -1);
    EXPECT_EQ(FillFloatGaps(nullptr, 1), -1);
    EXPECT_EQ(FindMedian(ok.data(), 1, nullptr), -1);
}

TEST(FindFreqOutliers, FlagsOnlyValuesStrictlyOutsideTheBand) {
    std::vector<double> y(99, 1.0);
    y.push_back(100.0);
    auto v = make_vector(y);
    EXPECT_EQ(FindFreqOutliers(v.data(), 3.0f, 0), 1);
    EXPECT_EQ(v.back(), 100.0);
    EXPECT_EQ(FindFreqOutliers(v.data(), 3.0f, 1), 1);
    EXPECT_EQ(v.back(), 0.0);
    EXPECT_EQ(std::count(v.begin() + 3, v.end(), 1.0), 99);

    // Mean 2, deviation 1: with factor 1 the values 1 and 3 lie on the band's edges.
    auto edge = make_vector({1, 2, 0, 3});
    EXPECT_EQ(FindFreqOutliers(edge.data(), 1.0f, 1), 0);
    EXPECT_EQ(FindFreqOutliers(edge.data(), 0.5f, 0), 2);

    auto single = make_vector({0, 5, 0});
    EXPECT_EQ(FindFreqOutliers(single.data(), 0.1f, 1), -1);
    EXPECT_EQ(samples_of(single), (std::vector<double>{0, 5, 0}));
}

TEST(FindMedian, TwoPathsTwoParityRules) {
    double median = 0;
    auto small = make_vector({5, 1, 4, 2});
    EXPECT_EQ(FindMedian(small.data(), 1, &median), 0);
    EXPECT_EQ(median, 3.0);

    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i) hundred.push_back(i);
    auto large = make_vector(hundred);
    EXPECT_EQ(FindMedian(large.data(), 1, &median), 0);
    EXPECT_EQ(median, 50.0);

    // Phase selection: a 0.0 at either end of the window counts, one inside does not.
    std::vector<double> p(101, 5.0);
    p[0] = 0.0;
    p[100] = 0.0;
    for (int i = 1; i <= 50; ++i) p[i] = 0.0;  // 50 interior gaps
    auto pv = make_vector(p);
    EXPECT_EQ(FindMedian(pv.data(), 0, &median), 0);
    EXPECT_EQ(median, 5.0);  // values 0, 0 and 49 fives
    EXPECT_EQ(FindMedian(pv.data(), 1, &median), 0);
    EXPECT_EQ(median, 5.0);

    median = 7.0;
    auto none = make_vector(std::vector<double>(150, 0.0));
    EXPECT_EQ(FindMedian(none.data(), 1, &median), -1);
    auto few = make_vector(std::vector<double>(10, 0.0));
    EXPECT_EQ(FindMedian(few.data(), 1, &median), -1);
    EXPECT_EQ(median, 7.0);
}

TEST(FindMedian, SortingPathReadsOnlyTheWindowThatRemains) {
    // The two leading gaps of the record lie in the window 1..4: the remaining
    // window values are 7 and 9 (samples 3 and 4), not the samples behind them.
    auto v = make_vector({0, 0, 7, 9, 100, 200}, 1, 4);
    const auto before = v;
    double median = 0;
    EXPECT_EQ(FindMedian(v.data(), 1, &median), 0);
    EXPECT_EQ(median, 8.0);
    EXPECT_EQ(v, before);
}

// The median by the book: fill a copy (sorting path only), gather the window's
// values, and take nth_element.
double median_oracle(std::vector<double> v, int mode) {
    const long n = static_cast<long>(v[2] - v[1] + 1);
    std::vector<double> values;
    if (n < 100) {
        FillGaps(v.data(), mode);
        for (long k = static_cast<long>(v[1]); k <= static_cast<long>(v[2]); ++k) {
            const bool end = k == static_cast<long>(v[1]) || k == static_cast<long>(v[2]);
            if (v[k + 2] != 0.0 || (mode == 0 && end)) values.push_back(v[k + 2]);
        }
        std::sort(values.begin(), values.end());
        const std::size_t m = values.size();
        return m % 2 ? values[m / 2] : (values[m / 2 - 1] + values[m / 2]) / 2.0;
    }
    std::vector<float> f;
    for (long k = static_cast<long>(v[1]); k <= static_cast<long>(v[2]); ++k) {
        const bool end = k == static_cast<long>(v[1]) || k == static_cast<long>(v[2]);
        if (v[k + 2] != 0.0 || (mode == 0 && end)) f.push_back(static_cast<float>(v[k + 2]));
    }
    const std::size_t kth = (f.size() + 1) / 2 - 1;
    std::nth_element(f.begin(), f.begin() + static_cast<long>(kth), f.end());
    return f[kth];
}

TEST(FindMedian, AgreesWithNthElementOnRandomGappyRecords) {
    std::mt19937_64 rng(5);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::bernoulli_distribution gap(0.1);
    for (long size : {1L, 2L, 3L, 4L, 17L, 98L, 99L, 100L, 101L, 1000L, 4097L, 100000L}) {
        std::vector<double> s(static_cast<std::size_t>(size));
        for (auto& x : s) x = gap(rng) ? 0.0 : noise(rng);
        s.front() = 0.0;
        auto v = make_vector(s);
        for (int mode : {0, 1}) {
            if (mode == 1 && size == 1) continue;  // no valid value at all
            const auto before = v;
            double median = 0;
            ASSERT_EQ(FindMedian(v.data(), mode, &median), 0) << size;
            EXPECT_EQ(median, median_oracle(v, mode)) << size << " mode " << mode;
            EXPECT_EQ(v, before);
        }
    }
}

TEST(MedDev, NormalisedMedianAbsoluteDeviation) {
    auto v = make_vector({1, 2, 3, 4, 100});
    float result = 0;
    EXPECT_EQ(MedDev(v.data(), &result), 5);
    EXPECT_NEAR(result, 1.4826f, 1e-4f);

    // Gaps are filled in a copy first: 0 between 2 and 4 becomes 3; even count
    // averages the middle values.
    auto g = make_vector({1, 2, 0, 4, 10, 20});
    const auto before = g;
    EXPECT_EQ(MedDev(g.data(), &result), 6);
    // Values 1 2 3 4 10 20: median 3.5, deviations 2.5 1.5 .5 .5 6.5 16.5, median 2.
    EXPECT_FLOAT_EQ(result, static_cast<float>(2.0 / 0.6745));
    EXPECT_EQ(g, before);

    // Long records against a full sort, odd and even counts.
    std::mt19937_64 rng(3);
    std::normal_distribution<double> noise(1.0, 2.0);
    for (std::size_t size : {1001u, 1000u}) {
        std::vector<double> s(size);
        for (auto& x : s) x = noise(rng);
        auto rv = make_vector(s);
        auto median = [](std::vector<double> x) {
            std::sort(x.begin(), x.end());
            const std::size_t m = x.size() / 2;
            return x.size() % 2 ? x[m] : (x[m - 1] + x[m]) / 2.0;
        };
        const double centre = median(s);
        for (auto& x : s) x = std::fabs(x - centre) / 0.6745;
        EXPECT_EQ(MedDev(rv.data(), &result), static_cast<int>(size));
        EXPECT_EQ(result, static_cast<float>(median(s))) << size;
    }

    result = 7.0f;
    auto none = make_vector({0, 0, 0});
    EXPECT_EQ(MedDev(none.data(), &result), -1);
    EXPECT_EQ(result, 7.0f);
}

}  // namespace
