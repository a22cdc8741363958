// Allan deviation family: term rules, gap rules, counts and return codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "test_support.h"
#include "varnis.h"

using testing_support::make_vector;

namespace {

constexpr double kUntouched = -12345.0;

TEST(Library, CheckVarnisAnswers200) { EXPECT_EQ(CheckVarnis(), 200); }

TEST(AllanExamples, WorkedValues) {
    double s = kUntouched;
    auto f = make_vector({1, 3, 2, 4});
    EXPECT_EQ(CalcFreqSigma(f.data(), &s), 3);
    EXPECT_NEAR(s, std::sqrt(9.0 / 6.0), 1e-12);

    auto p = make_vector({0, 1, 4, 9});
    EXPECT_EQ(CalcPhaseSigma(p.data(), &s, 1.0), 2);  // first triple kept despite its 0.0
    EXPECT_NEAR(s, std::sqrt(2.0), 1e-12);

    auto g = make_vector({1, 2, 3, 0, 4});
    EXPECT_EQ(CalcFreqStdDev(g.data(), &s), 4);
    EXPECT_NEAR(s, std::sqrt(5.0 / 3.0), 1e-12);

    const float five[5] = {3, 4, 0, 0, 0};
    EXPECT_FLOAT_EQ(AddSigma(five), 5.0f);
}

TEST(AllanPhase, InteriorGapLosesEveryTermThatTouchesIt) {
    std::vector<double> x = {1, 2, 4, 7, 11, 16, 22, 29};
    double s = 0;
    auto full = make_vector(x);
    EXPECT_EQ(CalcPhaseSigma(full.data(), &s, 1.0), 6);
    x[4] = 0.0;  // sample 5
    auto gap = make_vector(x);
    EXPECT_EQ(CalcPhaseSigma(gap.data(), &s, 1.0), 3);
    EXPECT_EQ(CalcPhaseOverlapSigma(gap.data(), &s, 1.0, 1), 3);
    EXPECT_EQ(CalcPhaseOverlapSigma(gap.data(), &s, 1.0, 2), 2);  // k = 1 and 3 touch sample 5
}

TEST(AllanPhase, EndExceptionsApplyToTheWindowNotTheVector) {
    // Window 3..7 of a 9-sample record: a 0.0 at sample 3 (window start) or sample 7
    // (window end) is accepted; the same 0.0 one sample further in is a gap.
    const std::vector<double> base = {5, 6, 8, 11, 15, 20, 26, 33, 41};
    double s = 0;
    auto plain = make_vector(base, 3, 7);
    ASSERT_EQ(CalcPhaseSigma(plain.data(), &s, 1.0), 3);

    auto at_first = base;
    at_first[2] = 0.0;
    auto v1 = make_vector(at_first, 3, 7);
    EXPECT_EQ(CalcPhaseSigma(v1.data(), &s, 1.0), 3);
    EXPECT_EQ(CalcPhaseStdDev(v1.data(), &s, 1.0), 4);

    auto at_last = base;
    at_last[6] = 0.0;
    auto v2 = make_vector(at_last, 3, 7);
    EXPECT_EQ(CalcPhaseSigma(v2.data(), &s, 1.0), 3);
    EXPECT_EQ(CalcPhaseOverlapSigma(v2.data(), &s, 1.0, 2), 1);

    auto second = base;
    second[3] = 0.0;  // sample 4: interior, touches the triples starting at 3 and 4
    auto v3 = make_vector(second, 3, 7);
    EXPECT_EQ(CalcPhaseSigma(v3.data(), &s, 1.0), 1);

    // A record that begins with 0.0 in a window starting at sample 2 treats
    // that sample as outside; the window's own first sample decides.
    auto v4 = make_vector({0, 1, 4, 9, 16}, 2, 5);
    EXPECT_EQ(CalcPhaseSigma(v4.data(), &s, 1.0), 2);
}

TEST(AllanPhase, OverlapWithMOneEqualsPlain) {
    const auto x = testing_support::power_law_phase(500, -2.0, 7, 1e-9);
    auto v = make_vector(x, 11, 480);
    double a = 0, b = 0;
    const int na = CalcPhaseSigma(v.data(), &a, 2.5);
    const int nb = CalcPhaseOverlapSigma(v.data(), &b, 2.5, 1);
    EXPECT_EQ(na, nb);
    EXPECT_DOUBLE_EQ(a, b);
}

TEST(AllanFreq, OverlapCountsEveryOuterTermDespiteGaps) {
    std::vector<double> y = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    double s = kUntouched;
    auto v = make_vector(y);
    ASSERT_EQ(CalcFreqOverlapSigma(v.data(), &s, 2), 7);
    // Each inner sum is (y[j+2]-y[j]) twice = 4, so sigma^2 = 7*16 / (2*4*7) = 2.
    EXPECT_NEAR(s, std::sqrt(2.0), 1e-12);
    y[4] = 0.0;
    auto g = make_vector(y);
    double sg = 0;
    EXPECT_EQ(CalcFreqOverlapSigma(g.data(), &sg, 2), 7);
    EXPECT_LT(sg, s);
    EXPECT_EQ(CalcFreqSigma(g.data(), &sg), 7);  // pairs (4,5) and (5,6) dropped

    auto gaps = make_vector(std::vector<double>(6, 0.0));
    EXPECT_EQ(CalcFreqOverlapSigma(gaps.data(), &sg, 2), 3);
    EXPECT_EQ(sg, 0.0);
}

TEST(AllanFreq, LengthLimitsOfOverlap) {
    double s = kUntouched;
    auto odd = make_vector({1, 2, 3, 4, 5});  // M = 2m - 1 for m = 3
    EXPECT_EQ(CalcFreqOverlapSigma(odd.data(), &s, 3), -1);
    EXPECT_EQ(s, kUntouched);
    auto even = make_vector({1, 2, 3, 4, 5, 6});  // M = 2m
    EXPECT_EQ(CalcFreqOverlapSigma(even.data(), &s, 3), 1);
    EXPECT_NEAR(s, std::sqrt(81.0 / 18.0), 1e-12);
    auto shorter = make_vector({1, 2, 3, 4});
    EXPECT_EQ(CalcFreqOverlapSigma(shorter.data(), &s, 3), -1);
}

TEST(AllanFreq, SlidingInnerSumMatchesDirectSumOnLongGappyRecord) {
    auto y = testing_support::power_law_phase(20000, 0.0, 3, 1e-11);
    for (std::size_t i = 0; i < y.size(); i += 37) y[i] = 0.0;
    auto v = make_vector(y, 5, 19990);
    for (int m : {1, 3, 50, 700, 5000}) {
        double s = 0;
        const int n = CalcFreqOverlapSigma(v.data(), &s, m);
        long double sum = 0;
        long count = 0;
        for (long st = 5; st <= 19990 - 2 * m + 1; ++st, ++count) {
            long double e = 0;
            for (long j = st; j < st + m; ++j) {
                const double a = y[j - 1], b = y[j + m - 1];
                if (a != 0.0 && b != 0.0) e += static_cast<long double>(b) - a;
            }
            sum += e * e;
        }
        ASSERT_EQ(n, count);
        const double expect = std::sqrt(static_cast<double>(sum / (2.0L * m * m * count)));
        EXPECT_NEAR(s / expect, 1.0, 1e-12) << "m=" << m;
    }
}

TEST(AllanStdDev, MinimumTermsAndEndRules) {
    double s = kUntouched;
    auto three = make_vector({0, 1, 3, 6});  // 3 differences, the first via the 0.0 rule
    EXPECT_EQ(CalcPhaseStdDev(three.data(), &s, 1.0), 3);
    EXPECT_NEAR(s, 1.0, 1e-12);  // differences 1,2,3
    auto two = make_vector({1, 3, 6});
    s = kUntouched;
    EXPECT_EQ(CalcPhaseStdDev(two.data(), &s, 1.0), -1);
    EXPECT_EQ(s, kUntouched);
    auto last_zero = make_vector({1, 2, 4, 7, 0});
    EXPECT_EQ(CalcPhaseStdDev(last_zero.data(), &s, 1.0), 4);
    auto one = make_vector({1, 0, 0, 0});
    EXPECT_EQ(CalcFreqStdDev(one.data(), &s), -1);
    auto pair = make_vector({1, 0, 3});
    EXPECT_EQ(CalcFreqStdDev(pair.data(), &s), 2);
    EXPECT_NEAR(s, std::sqrt(2.0), 1e-12);
}

TEST(AllanMean, PhaseEndsCountAsValues) {
    double mean = kUntouched;
    auto v = make_vector({0, 2, 4, 6});
    EXPECT_EQ(CalcMean(v.data(), &mean, 0), 4);
    EXPECT_DOUBLE_EQ(mean, 3.0);
    EXPECT_EQ(CalcMean(v.data(), &mean, 1), 3);
    EXPECT_DOUBLE_EQ(mean, 4.0);
    auto last = make_vector({2, 0, 4, 0});  // sample N is a value, sample 2 a gap
    EXPECT_EQ(CalcMean(last.data(), &mean, 0), 3);
    EXPECT_DOUBLE_EQ(mean, 2.0);
    auto inner = make_vector({0, 0, 0, 0}, 2, 3);  // the window holds only gaps
    mean = kUntouched;
    EXPECT_EQ(CalcMean(inner.data(), &mean, 0), -1);
    EXPECT_EQ(mean, kUntouched);
}

TEST(AllanRefusals, BadHeadersArgumentsAndGapOnlyWindows) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::vector<double>> bad = {
        {4, 0, 4, 1, 2, 3, 4},   {4, 1, 5, 1, 2, 3, 4},   {4, 3, 2, 1, 2, 3, 4},
        {nan, 1, 4, 1, 2, 3, 4}, {4, nan, 4, 1, 2, 3, 4}, {4, 1, inf, 1, 2, 3, 4},
        {-4, 1, 4, 1, 2, 3, 4},  {4, -1, 4, 1, 2, 3, 4},  {1e300, 1, 4, 1, 2, 3, 4},
    };
    for (auto v : bad) {
        double s = kUntouched;
        EXPECT_EQ(CalcPhaseSigma(v.data(), &s, 1.0), -1);
        EXPECT_EQ(CalcFreqSigma(v.data(), &s), -1);
        EXPECT_EQ(CalcPhaseOverlapSigma(v.data(), &s, 1.0, 1), -1);
        EXPECT_EQ(CalcFreqOverlapSigma(v.data(), &s, 1), -1);
        EXPECT_EQ(CalcPhaseStdDev(v.data(), &s, 1.0), -1);
        EXPECT_EQ(CalcFreqStdDev(v.data(), &s), -1);
        EXPECT_EQ(CalcMean(v.data(), &s, 0), -1);
        EXPECT_EQ(s, kUntouched);
    }
    auto ok = make_vector({1, 2, 4, 7, 11});
    double s = kUntouched;
    for (double tau : {0.0, -1.0, nan, inf}) {
        EXPECT_EQ(CalcPhaseSigma(ok.data(), &s, tau), -1);
        EXPECT_EQ(CalcPhaseOverlapSigma(ok.data(), &s, tau, 1), -1);
        EXPECT_EQ(CalcPhaseStdDev(ok.data(), &s, tau), -1);
    }
    EXPECT_EQ(CalcPhaseOverlapSigma(ok.data(), &s, 1.0, 0), -1);
    EXPECT_EQ(CalcPhaseOverlapSigma(ok.data(), &s, 1.0, 3), -1);  // M < 2m
    EXPECT_EQ(CalcFreqOverlapSigma(ok.data(), &s, -2), -1);
    EXPECT_EQ(s, kUntouched);
    EXPECT_EQ(CalcPhaseSigma(nullptr, &s, 1.0), -1);
    EXPECT_EQ(CalcPhaseSigma(ok.data(), nullptr, 1.0), -1);
    EXPECT_EQ(CalcMean(ok.data(), nullptr, 0), -1);
    EXPECT_EQ(AddSigma(nullptr), -1.0f);

    auto gaps = make_vector({5, 0, 0, 0, 0, 0, 6}, 2, 6);
    EXPECT_EQ(CalcPhaseSigma(gaps.data(), &s, 1.0), -1);
    EXPECT_EQ(CalcFreqSigma(gaps.data(), &s), -1);
    EXPECT_EQ(CalcPhaseOverlapSigma(gaps.data(), &s, 1.0, 2), -1);
    EXPECT_EQ(CalcPhaseStdDev(gaps.data(), &s, 1.0), -1);
    EXPECT_EQ(CalcFreqStdDev(gaps.data(), &s), -1);
    EXPECT_EQ(s, kUntouched);
}

// Overlapping Allan deviation by its definition: averaged frequencies over m
// intervals, then half the mean square of their differences, in extended precision.
double overlapping_adev_by_definition(const std::vector<double>& x, double tau0, long m) {
    const long N = static_cast<long>(x.size());
    long double sum = 0;
    long n = 0;
    for (long k = 0; k + 2 * m < N; ++k, ++n) {
        const long double y1 = (static_cast<long double>(x[k + m]) - x[k]) / (m * tau0);
        const long double y2 = (static_cast<long double>(x[k + 2 * m]) - x[k + m]) / (m * tau0);
        sum += (y2 - y1) * (y2 - y1);
    }
    return std::sqrt(static_cast<double>(sum / (2.0L * n)));
}

TEST(AllanOverlap, AgreesWithDefinitionOnEveryPowerLawNoise) {
    const std::size_t N = 100000;
    for (double beta : testing_support::noise_betas()) {
        auto x = testing_support::power_law_phase(N, beta, 11 + static_cast<int>(-beta), 1e-12);
        for (double offset : {0.0, 1e-3}) {
            std::vector<double> rec = x;
            for (auto& xi : rec) xi += offset;
            auto v = make_vector(rec);
            for (long m : {1L, 4L, 64L, 1024L, 20000L}) {
                double s = 0;
                const int n = CalcPhaseOverlapSigma(v.data(), &s, 1.0, static_cast<int>(m));
                ASSERT_EQ(n, static_cast<int>(N - 2 * m));
                const double expect = overlapping_adev_by_definition(rec, 1.0, m);
                EXPECT_NEAR(s / expect, 1.0, 1e-12) << "beta=" << beta << " offset=" << offset
                                                    << " m=" << m;
            }
        }
    }
}

// The vectorised sums against direct sums in extended precision, on records without
// gaps, with gaps and on a large offset, long enough for the side-by-side loops and
// short enough for their shorter last groups: the same counts and 1e-12 agreement.
TEST(AllanKernels, MatchDirectSumsOnEveryKindOfRecord) {
    testing_support::for_each_kernel_case(7, {1, 3, 17}, {2, 33, 250, 999}, [](const auto& c) {
        SCOPED_TRACE(c.name());
        const testing_support::RelativeSamples x(c.record.samples);
        const long first = c.first, last = c.last, m = c.m;
        // Second differences of phase with the end exceptions.
        long double sum = 0;
        long n = 0;
        for (long k = first; k <= last - 2 * m; ++k) {
            const bool a = x.gap(k), b = x.gap(k + m), d = x.gap(k + 2 * m);
            if (b || !((!a && !d) || (k == first && !d) || (k == last - 2 * m && !a))) continue;
            const long double e = x(k) - 2 * x(k + m) + x(k + 2 * m);
            sum += e * e;
            ++n;
        }
        double s = 0.0;
        ASSERT_EQ(CalcPhaseOverlapSigma(c.v.data(), &s, 1.0, static_cast<int>(m)), n);
        EXPECT_NEAR(s / std::sqrt(static_cast<double>(sum / (2.0L * m * m * n))), 1.0, 1e-12);
        // Inner sums of frequency pairs without a gap; every outer term counts.
        sum = 0;
        n = 0;
        for (long st = first; st <= last - 2 * m + 1; ++st, ++n) {
            long double e = 0;
            for (long j = st; j < st + m; ++j)
                if (!x.gap(j) && !x.gap(j + m)) e += x(j + m) - x(j);
            sum += e * e;
        }
        ASSERT_EQ(CalcFreqOverlapSigma(c.v.data(), &s, static_cast<int>(m)), n);
        EXPECT_NEAR(s / std::sqrt(static_cast<double>(sum / (2.0L * m * m * n))), 1.0, 1e-12);
    });
}

TEST(AllanKernels, StandardDeviationsMatchDirectSumsOnEveryKindOfRecord) {
    auto records = testing_support::kernel_records(40000, 9);
    // The offset record with a level that steps by 1e-3 after a stretch of gaps longer
    // than the blocks the frequency deviation is summed in.
    auto stepped = records.back().samples;
    for (std::size_t k = 15000; k < stepped.size(); ++k) stepped[k] = k < 21000 ? 0.0 : stepped[k] + 1e-3;
    records.push_back({"gap stretch and step", stepped});
    for (const auto& record : records) {
        SCOPED_TRACE(record.kind);
        const testing_support::RelativeSamples x(record.samples);
        const long first = 3, last = 39998;
        const auto v = make_vector(record.samples, first, last);
        // First differences of phase with the end exceptions, and frequency samples.
        std::vector<long double> d, y;
        for (long k = first; k < last; ++k) {
            const bool a = x.gap(k), b = x.gap(k + 1);
            if ((!a && !b) || (k == first && !b) || (k == last - 1 && !a))
                d.push_back(x(k + 1) - x(k));
        }
        for (long k = first; k <= last; ++k)
            if (!x.gap(k)) y.push_back(x(k));
        for (auto* values : {&d, &y}) {
            long double mean = 0, total = 0;
            for (long double e : *values) mean += e;
            mean /= static_cast<long double>(values->size());
            for (long double e : *values) total += (e - mean) * (e - mean);
            const double want = std::sqrt(static_cast<double>(total / (values->size() - 1)));
            double s = 0.0;
            const int got =
                values == &d ? CalcPhaseStdDev(v.data(), &s, 1.0) : CalcFreqStdDev(v.data(), &s);
            ASSERT_EQ(got, static_cast<int>(values->size()));
            EXPECT_NEAR(s / want, 1.0, 1e-12);
        }
    }
}

// The sliding loops take blocks of starts where the loads fall on cache lines, which
// depends on where the record lies; the arithmetic must not. The same gap-free record
// at eight places eight bytes apart gives the same bits everywhere.
TEST(SlidingKernels, ResultsDoNotDependOnWhereTheRecordLies) {
    auto y = testing_support::power_law_phase(40000, 0.0, 41, 1e-12);
    for (double& s : y) s += 1e-3;
    const auto v = make_vector(y);
    std::vector<double> memory(v.size() + 8);
    auto results_at = [&](std::size_t offset) {
        std::copy(v.begin(), v.end(), memory.begin() + static_cast<long>(offset));
        const double* data = memory.data() + offset;
        std::vector<double> out;
        for (int m : {1, 3, 8, 64, 256, 2048, 2100}) {
            double s = 0.0;
            CalcFreqOverlapSigma(data, &s, m);
            out.push_back(s);
            CalcFreqOverlapHadamardDev(data, &s, m);
            out.push_back(s);
            CalcFastModSigma(data, &s, 1.0, m);
            out.push_back(s);
            CalcFreqModSigma(data, &s, m);
            out.push_back(s);
        }
        return out;
    };
    const auto first = results_at(0);
    for (std::size_t offset = 1; offset < 8; ++offset) EXPECT_EQ(results_at(offset), first) << offset;
}

}  // namespace
