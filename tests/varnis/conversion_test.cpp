// Phase and frequency conversion and averaging: new headers and counts, the gap and
// end rules, the zero-frequency marker, and round trips on long gappy records.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "test_support.h"
#include "varnis.h"

using testing_support::make_vector;
using testing_support::samples_of;

namespace {

constexpr double kUntouched = -12345.0;

std::vector<double> record_of(const std::vector<double>& v) {
    return std::vector<double>(v.begin() + 3, v.begin() + 3 + static_cast<long>(v[0]));
}

std::vector<double> header_of(const std::vector<double>& v) { return {v[0], v[1], v[2]}; }

TEST(AverageFreqData, GroupsOfTheWindowMoveToTheFront) {
    auto one = make_vector({9, 9, 1, 2, 3, 4, 9, 9}, 3, 6);
    EXPECT_EQ(AverageFreqData(one.data(), 1), 4);
    EXPECT_EQ(header_of(one), (std::vector<double>{4, 1, 4}));
    EXPECT_EQ(record_of(one), (std::vector<double>{1, 2, 3, 4}));

    auto ten = make_vector({1, 2, 3, 0, 0, 0, 4, 0, 8, 100});
    EXPECT_EQ(AverageFreqData(ten.data(), 3), 3);
    EXPECT_EQ(record_of(ten), (std::vector<double>{2, 0, 6}));  // sample 10 dropped

    auto v = make_vector({1, 2, 3});
    const auto before = v;
    EXPECT_EQ(AverageFreqData(v.data(), 0), -1);
    EXPECT_EQ(AverageFreqData(v.data(), 4), -1);
    EXPECT_EQ(AveragePhaseData(v.data(), 0), -1);
    EXPECT_EQ(AveragePhaseData(v.data(), 4), -1);
    EXPECT_EQ(v, before);
}

TEST(AveragePhaseData, KeepsEveryFactorthSampleGapsIncluded) {
    std::vector<double> x = {1, 2, 3, 0, 5, 6, 7, 8, 9, 10};
    auto three = make_vector(x);
    EXPECT_EQ(AveragePhaseData(three.data(), 3), 4);
    EXPECT_EQ(record_of(three), (std::vector<double>{1, 0, 7, 10}));
    EXPECT_EQ(header_of(three), (std::vector<double>{4, 1, 4}));
    auto four = make_vector(x);
    EXPECT_EQ(AveragePhaseData(four.data(), 4), 3);
    EXPECT_EQ(record_of(four), (std::vector<double>{1, 5, 9}));
    auto window = make_vector(x, 2, 9);
    EXPECT_EQ(AveragePhaseData(window.data(), 3), 3);
    EXPECT_EQ(record_of(window), (std::vector<double>{2, 5, 8}));
}

TEST(Differences, EndRulesAndZeroDifference) {
    double r = kUntouched;
    auto start = make_vector({0, 2, 5, 9});
    EXPECT_EQ(CalcFirstDiff(start.data(), &r), 3);
    EXPECT_DOUBLE_EQ(r, 3.0);
    auto end = make_vector({1, 3, 0, 7, 0});  // the final 0.0 closes a pair
    EXPECT_EQ(CalcFirstDiff(end.data(), &r), 2);
    EXPECT_DOUBLE_EQ(r, (2.0 - 7.0) / 2.0);
    r = kUntouched;
    auto equal = make_vector({1, 4, 4, 6});
    EXPECT_EQ(CalcFirstDiff(equal.data(), &r), -1);
    EXPECT_EQ(r, 0.0);
    r = kUntouched;
    auto none = make_vector({1, 0, 2, 0, 3}, 2, 4);
    EXPECT_EQ(CalcFirstDiff(none.data(), &r), -1);
    EXPECT_EQ(r, kUntouched);

    auto quad = make_vector({0, 1, 4, 9, 16, 0});  // the last triple ends at 0.0
    EXPECT_EQ(CalcSecondDiff(quad.data(), &r), 4);
    EXPECT_DOUBLE_EQ(r, (2.0 + 2.0 + 2.0 - 23.0) / 4.0);
    r = kUntouched;
    auto gappy = make_vector({1, 0, 4, 0, 9});
    EXPECT_EQ(CalcSecondDiff(gappy.data(), &r), -1);
    EXPECT_EQ(r, kUntouched);
}

TEST(ConvFreqToPhase, IntegratesAndBridgesGaps) {
    std::vector<double> out(8, kUntouched);
    auto y = make_vector({0.5, 0.25, 2.0});
    EXPECT_EQ(ConvFreqToPhase(y.data(), out.data(), 1.0, 0), 0);
    EXPECT_EQ(header_of(out), (std::vector<double>{4, 1, 4}));
    EXPECT_EQ(record_of(out), (std::vector<double>{0, 0.5, 0.75, 2.75}));

    auto g = make_vector({0.5, 0, 2.0});
    EXPECT_EQ(ConvFreqToPhase(g.data(), out.data(), 2.0, 0), 1);
    const double m = 1.25;
    EXPECT_EQ(record_of(out), (std::vector<double>{0, 0, 1 + 2 * m, 1 + 2 * m + 4}));

    // A run of gaps keeps integrating and leaves a run of phase gaps.
    auto run = make_vector({1, 0, 0, 3});
    EXPECT_EQ(ConvFreqToPhase(run.data(), out.data(), 1.0, 0), 2);
    EXPECT_EQ(record_of(out), (std::vector<double>{0, 0, 0, 5, 8}));

    auto centred = make_vector({1, 0, 3});
    EXPECT_EQ(ConvFreqToPhase(centred.data(), out.data(), 1.0, 1), 1);
    // y becomes -1, gap, 1; the gap is bridged with the mean taken before removal.
    EXPECT_EQ(record_of(out), (std::vector<double>{0, 0, 1, 2}));

    auto gaps = make_vector({0, 0});
    EXPECT_EQ(ConvFreqToPhase(gaps.data(), out.data(), 1.0, 0), 2);
    EXPECT_EQ(record_of(out), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(ConvFreqToPhase(gaps.data(), out.data(), 1.0, 1), -1);

    std::vector<double> fresh(8, kUntouched);
    for (double tau : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(ConvFreqToPhase(y.data(), fresh.data(), tau, 0), -1);
    }
    EXPECT_EQ(fresh, std::vector<double>(8, kUntouched));
}

TEST(ConvPhaseToFreq, PairRulesAndZeroFrequencyMarker) {
    std::vector<double> out(8, kUntouched);
    auto x = make_vector({0, 2, 2, 0, 8});
    EXPECT_EQ(ConvPhaseToFreq(x.data(), out.data(), 2.0, 1), 2);
    EXPECT_EQ(header_of(out), (std::vector<double>{4, 1, 4}));
    EXPECT_EQ(record_of(out), (std::vector<double>{1, 1e-99, 0, 0}));
    EXPECT_EQ(out[7], 8.0);  // the last phase value stays behind the record
    EXPECT_EQ(ConvPhaseToFreq(x.data(), out.data(), 2.0, 0), 2);
    EXPECT_EQ(record_of(out), (std::vector<double>{1, 0, 0, 0}));

    // The exception at the origin belongs to the window's first sample.
    auto w = make_vector({5, 0, 3, 4}, 2, 4);
    EXPECT_EQ(ConvPhaseToFreq(w.data(), out.data(), 1.0, 0), 0);
    EXPECT_EQ(record_of(out), (std::vector<double>{3, 1}));

    std::vector<double> fresh(8, kUntouched);
    EXPECT_EQ(ConvPhaseToFreq(x.data(), fresh.data(), 0.0, 0), -1);
    EXPECT_EQ(fresh, std::vector<double>(8, kUntouched));
}

TEST(ConvPhaseToFreqUsingTimetags, IntervalsFromTags) {
    std::vector<double> out(8, kUntouched);
    auto x = make_vector({1e-6, 2e-6, 4e-6, 7e-6});
    auto days = make_vector({0, 1, 2, 3});
    double mean_tau = kUntouched;
    EXPECT_EQ(ConvPhaseToFreqUsingTimetags(x.data(), out.data(), days.data(), 86400.0,
                                           &mean_tau, 0),
              0);
    EXPECT_DOUBLE_EQ(mean_tau, 86400.0);
    ASSERT_EQ(out[0], 3.0);
    EXPECT_DOUBLE_EQ(out[3], 1e-6 / 86400.0);
    EXPECT_DOUBLE_EQ(out[4], 2e-6 / 86400.0);
    EXPECT_DOUBLE_EQ(out[5], 3e-6 / 86400.0);

    // Tag k belongs to the k-th sample of the window, whatever the window.
    auto window = make_vector({9, 1, 3, 9}, 2, 3);
    auto tags = make_vector({10, 12});
    EXPECT_EQ(ConvPhaseToFreqUsingTimetags(window.data(), out.data(), tags.data(), 0.5,
                                           &mean_tau, 0),
              0);
    EXPECT_DOUBLE_EQ(out[3], 2.0);
    EXPECT_DOUBLE_EQ(mean_tau, 1.0);

    auto repeated = make_vector({0, 1, 1, 3});
    EXPECT_EQ(ConvPhaseToFreqUsingTimetags(x.data(), out.data(), repeated.data(), 1.0,
                                           &mean_tau, 0),
              -1);
    EXPECT_DOUBLE_EQ(out[3], 1e-6);  // the first frequency stays written

    auto gaps = make_vector({1, 0, 0, 2});
    EXPECT_EQ(ConvPhaseToFreqUsingTimetags(gaps.data(), out.data(), repeated.data(), 1.0,
                                           &mean_tau, 1),
              3);
    EXPECT_EQ(mean_tau, 0.0);
    EXPECT_EQ(ConvPhaseToFreqUsingTimetags(x.data(), out.data(), days.data(), 0.0,
                                           &mean_tau, 0),
              -1);
}

TEST(NormalizeAndScale, GapRuleOfTheDataType) {
    auto f = make_vector({0, 2, 0, 4});
    EXPECT_EQ(ScaleData(f.data(), 1.0, 10.0, 1), 2);
    EXPECT_EQ(samples_of(f), (std::vector<double>{0, 21, 0, 41}));
    auto p = make_vector({0, 2, 0, 0});
    EXPECT_EQ(ScaleData(p.data(), 1.0, 10.0, 0), 3);  // samples 1 and N count
    EXPECT_EQ(samples_of(p), (std::vector<double>{1, 21, 0, 1}));
    auto n = make_vector({0, 2, 0, 4, 0}, 2, 4);
    EXPECT_EQ(NormalizeData(n.data(), 1.0, 0), 2);  // sample 1 lies outside the window
    EXPECT_EQ(samples_of(n), (std::vector<double>{0, 1, 0, 3, 0}));
    auto gaps = make_vector({0, 0, 0}, 2, 2);
    EXPECT_EQ(NormalizeData(gaps.data(), 1.0, 1), 0);
}

TEST(ConversionRefusals, BadHeaders) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::vector<double>> bad = {
        {4, 0, 4, 1, 2, 3, 4}, {4, 1, 5, 1, 2, 3, 4}, {4, 3, 2, 1, 2, 3, 4},
        {nan, 1, 4, 1, 2, 3, 4}, {1e300, 1, 4, 1, 2, 3, 4}};
    for (auto v : bad) {
        const auto before = v;
        std::vector<double> out(8, kUntouched);
        double r = kUntouched;
        EXPECT_EQ(AverageFreqData(v.data(), 1), -1);
        EXPECT_EQ(AveragePhaseData(v.data(), 1), -1);
        EXPECT_EQ(CalcFirstDiff(v.data(), &r), -1);
        EXPECT_EQ(CalcSecondDiff(v.data(), &r), -1);
        EXPECT_EQ(ConvFreqToPhase(v.data(), out.data(), 1.0, 0), -1);
        EXPECT_EQ(ConvPhaseToFreq(v.data(), out.data(), 1.0, 0), -1);
        EXPECT_EQ(ConvPhaseToFreqUsingTimetags(v.data(), out.data(), v.data(), 1.0, &r, 0),
                  -1);
        // An empty window (first > last) is no error for the elementwise routines.
        const int none = v[1] > v[2] ? 0 : -1;
        EXPECT_EQ(NormalizeData(v.data(), 1.0, 1), none);
        EXPECT_EQ(ScaleData(v.data(), 1.0, 2.0, 1), none);
        EXPECT_EQ(r, kUntouched);
        EXPECT_EQ(out, std::vector<double>(8, kUntouched));
        EXPECT_EQ(samples_of(v), samples_of(before));
    }
}

TEST(RoundTrips, PhaseToFrequencyToPhaseKeepsEveryDifference) {
    const long count = 20000;
    auto x = testing_support::power_law_phase(count, -2.0, 21, 1e-9);
    for (auto& s : x) s += 1e-3;  // a large offset, as real records carry
    for (long k = 50; k < count - 1; k += 173) x[static_cast<std::size_t>(k)] = 0.0;
    auto phase = make_vector(x);
    std::vector<double> freq(count + 3), back(count + 4);
    const double tau = 0.5;
    const int freq_gaps = ConvPhaseToFreq(phase.data(), freq.data(), tau, 1);
    const int phase_gaps = ConvFreqToPhase(freq.data(), back.data(), tau, 0);
    EXPECT_EQ(freq_gaps, phase_gaps);
    ASSERT_EQ(back[0], static_cast<double>(count));
    // The restored record starts at the origin; wherever two neighbours survive,
    // their difference is the original one, and each phase gap at sample g leaves
    // gaps at g - 1 and g.
    EXPECT_EQ(back[3], 0.0);
    EXPECT_NEAR(back[4], x[1] - x[0], 1e-18);
    long checked = 0;
    for (long k = 1; k < count; ++k) {
        const double a = back[k + 2], b = back[k + 3];
        const bool gap_next = x[static_cast<std::size_t>(k)] == 0.0;  // sample k + 1
        const bool gap_here = k + 1 < count && x[static_cast<std::size_t>(k + 1)] == 0.0;
        EXPECT_EQ(b == 0.0, gap_next || gap_here) << k;
        if (k > 1 && a != 0.0 && b != 0.0) {
            const double expect = x[static_cast<std::size_t>(k)] - x[static_cast<std::size_t>(k - 1)];
            ASSERT_NEAR(b - a, expect, 1e-17) << k;
            ++checked;
        }
    }
    EXPECT_GT(checked, count * 9 / 10);
}

TEST(RoundTrips, DecimatedPhaseAndAveragedFrequencyGiveTheSameAllanDeviation) {
    const double tau0 = 2.0;
    for (int m : {1, 4, 25}) {
        const long blocks = 400;
        auto x = testing_support::power_law_phase(blocks * m + 1, -1.0, 8, 1e-9);
        auto phase = make_vector(x);
        std::vector<double> freq(x.size() + 3);
        ASSERT_EQ(ConvPhaseToFreq(phase.data(), freq.data(), tau0, 1), 0);
        ASSERT_EQ(AverageFreqData(freq.data(), m), blocks);
        ASSERT_EQ(AveragePhaseData(phase.data(), m), blocks + 1);
        double from_phase = 0, from_freq = 0;
        const int np = CalcPhaseSigma(phase.data(), &from_phase, m * tau0);
        const int nf = CalcFreqSigma(freq.data(), &from_freq);
        EXPECT_EQ(np, blocks - 1);
        EXPECT_EQ(np, nf);
        EXPECT_NEAR(from_phase / from_freq, 1.0, 1e-9) << "m=" << m;
    }
}

}  // namespace
