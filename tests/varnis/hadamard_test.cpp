// Hadamard deviation family: term rules, gap rules, counts, drift insensitivity and
// the sliding sum of the overlapping frequency form against its plain evaluation.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <limits>
#include <random>
#include <vector>

#include "test_support.h"
#include "varnis.h"

using testing_support::make_vector;

namespace {

constexpr double kUntouched = -12345.0;

struct Result {
    int n;
    double sigma;
};

// Overlapping Hadamard deviation of frequency data evaluated term by term in
// extended precision: every outer term sums its m inner second differences afresh.
Result freq_overlap_hadamard_direct(const std::vector<double>& y, long first, long last, long m) {
    long double total = 0;
    int n = 0;
    const long terms = last - first + 2 - 3 * m;
    for (long s = first; s < first + terms; ++s) {
        long double t = 0;
        for (long i = s; i < s + m; ++i) {
            const double a = y[i - 1], b = y[i + m - 1], c = y[i + 2 * m - 1];
            if (a == 0.0 || b == 0.0 || c == 0.0) continue;
            t += static_cast<long double>(a) - 2.0L * b + c;
        }
        if (t == 0.0L) continue;
        total += t * t;
        ++n;
    }
    if (n == 0) return {-1, 0.0};
    return {n, std::sqrt(static_cast<double>(total / (6.0L * m * m * n)))};
}

// CalcFreqOverlapHadamardDev of v, the vector of y[first .. last], at m against the
// direct sums: the same count, and sigma within `tolerance` of theirs, relative.
void expect_freq_overlap_as_direct(const std::vector<double>& v, const std::vector<double>& y,
                                   long first, long last, long m, double tolerance) {
    double s = 0;
    const int n = CalcFreqOverlapHadamardDev(v.data(), &s, static_cast<int>(m));
    const Result want = freq_overlap_hadamard_direct(y, first, last, m);
    ASSERT_EQ(n, want.n) << "m=" << m << " first=" << first;
    EXPECT_NEAR(s / want.sigma, 1.0, tolerance) << "m=" << m << " first=" << first;
}

// Overlapping Hadamard deviation of phase data by its definition in extended
// precision, with the window's end exceptions.
Result phase_overlap_hadamard_direct(const std::vector<double>& x, long first, long last,
                                     long m, double tau0) {
    long double total = 0;
    int n = 0;
    for (long k = first; k <= last - 3 * m; ++k) {
        const long double a = x[k - 1], b = x[k + m - 1], c = x[k + 2 * m - 1],
                          d = x[k + 3 * m - 1];
        const bool inner = b != 0 && c != 0;
        const bool ok = inner && ((a != 0 && d != 0) || (k == first && d != 0) ||
                                  (k == last - 3 * m && a != 0));
        if (!ok) continue;
        const long double t = d - 3 * c + 3 * b - a;
        total += t * t;
        ++n;
    }
    if (n == 0) return {-1, 0.0};
    return {n, std::sqrt(static_cast<double>(total / (6.0L * m * m * tau0 * tau0 * n)))};
}

TEST(HadamardPhase, WorkedValueAndSecondEntry) {
    auto v = make_vector({0, 1, 8, 27, 64});
    double a = kUntouched, b = kUntouched;
    EXPECT_EQ(CalcPhaseHadamardDev(v.data(), &a, 1.0), 2);  // first term despite its 0.0
    EXPECT_NEAR(a, std::sqrt(72.0 / 12.0), 1e-12);
    EXPECT_EQ(CalcHadamardDev(v.data(), &b, 1.0), 2);
    EXPECT_EQ(a, b);

    const auto x = testing_support::power_law_phase(300, -1.0, 5, 1e-9);
    auto w = make_vector(x, 4, 290);
    EXPECT_EQ(CalcPhaseHadamardDev(w.data(), &a, 0.5), CalcHadamardDev(w.data(), &b, 0.5));
    EXPECT_EQ(a, b);
    // m = 1 of the overlapping form is the plain form.
    double c = 0;
    EXPECT_EQ(CalcPhaseOverlapHadamardDev(w.data(), &c, 0.5, 1), 284);
    EXPECT_DOUBLE_EQ(a, c);
}

TEST(HadamardPhase, LinearFrequencyDriftCancels) {
    // Quadratic phase: a constant frequency drift. The Allan deviation sees it, the
    // Hadamard deviation does not.
    std::vector<double> x;
    for (int k = 1; k <= 200; ++k) x.push_back(1e-3 + 2e-9 * k + 3e-12 * k * k);
    auto v = make_vector(x);
    double h = kUntouched, allan = 0;
    EXPECT_EQ(CalcPhaseHadamardDev(v.data(), &h, 1.0), 197);
    EXPECT_LT(h, 1e-18);
    EXPECT_EQ(CalcPhaseOverlapHadamardDev(v.data(), &h, 1.0, 10), 170);
    EXPECT_LT(h, 1e-18);
    ASSERT_EQ(CalcPhaseSigma(v.data(), &allan, 1.0), 198);
    EXPECT_NEAR(allan, std::sqrt(2.0) * 3e-12, 1e-16);

    std::vector<double> y;  // the same drift as frequency: linear in k
    for (int k = 1; k <= 200; ++k) y.push_back(1e-6 + 4e-12 * k);
    auto f = make_vector(y);
    EXPECT_EQ(CalcFreqHadamardDev(f.data(), &h), 198);
    EXPECT_LT(h, 1e-18);
}

TEST(HadamardPhase, GapsAtTheWindowEndsAndInside) {
    // Window 3..12 of a 14-sample record.
    std::vector<double> x;
    for (int k = 1; k <= 14; ++k) x.push_back(100.0 + k * k * k);
    double s = 0;
    auto plain = make_vector(x, 3, 12);
    ASSERT_EQ(CalcPhaseHadamardDev(plain.data(), &s, 1.0), 7);
    EXPECT_NEAR(s, std::sqrt(6.0), 1e-12);  // every third difference of k^3 is 6

    auto at_first = x;
    at_first[2] = 0.0;  // sample 3, the window's first: only the first term may use it
    auto v1 = make_vector(at_first, 3, 12);
    EXPECT_EQ(CalcPhaseHadamardDev(v1.data(), &s, 1.0), 7);
    EXPECT_EQ(CalcPhaseOverlapHadamardDev(v1.data(), &s, 1.0, 2), 4);
    EXPECT_EQ(CalcFreqHadamardDev(v1.data(), &s), 7);  // frequency: the 0.0 is a gap

    auto at_last = x;
    at_last[11] = 0.0;  // sample 12, the window's last
    auto v2 = make_vector(at_last, 3, 12);
    EXPECT_EQ(CalcPhaseHadamardDev(v2.data(), &s, 1.0), 7);
    EXPECT_EQ(CalcPhaseOverlapHadamardDev(v2.data(), &s, 1.0, 3), 1);
    EXPECT_EQ(CalcFreqHadamardDev(v2.data(), &s), 7);

    auto inner = x;
    inner[6] = 0.0;  // sample 7 lies in the terms starting at 4, 5, 6 and 7
    auto v3 = make_vector(inner, 3, 12);
    EXPECT_EQ(CalcPhaseHadamardDev(v3.data(), &s, 1.0), 3);
    EXPECT_NEAR(s, std::sqrt(6.0), 1e-12);
    EXPECT_EQ(CalcFreqHadamardDev(v3.data(), &s), 5);  // triples from 5, 6 and 7 lost

    // Samples 1 and 2 are outside the window: a 0.0 at sample 2 changes nothing, and a
    // 0.0 at sample 4 (the window's second) is a gap.
    auto outside = x;
    outside[1] = 0.0;
    auto v4 = make_vector(outside, 3, 12);
    EXPECT_EQ(CalcPhaseHadamardDev(v4.data(), &s, 1.0), 7);
    auto second = x;
    second[3] = 0.0;
    auto v5 = make_vector(second, 3, 12);
    EXPECT_EQ(CalcPhaseHadamardDev(v5.data(), &s, 1.0), 5);
}

TEST(HadamardPhase, OverlapLengthLimits) {
    for (int m : {1, 2, 5}) {
        std::vector<double> x;
        for (int k = 1; k <= 3 * m + 1; ++k) x.push_back(k * k * k);
        double s = kUntouched;
        auto enough = make_vector(x);
        EXPECT_EQ(CalcPhaseOverlapHadamardDev(enough.data(), &s, 1.0, m), 1) << m;
        EXPECT_NEAR(s, std::sqrt(6.0) * m * m, 1e-9) << m;  // d = 6 m^3
        x.pop_back();
        s = kUntouched;
        auto shorter = make_vector(x);
        EXPECT_EQ(CalcPhaseOverlapHadamardDev(shorter.data(), &s, 1.0, m), -1) << m;
        EXPECT_EQ(s, kUntouched);
    }
}

TEST(HadamardPhase, OverlapMatchesDefinitionWithOffsetAndGaps) {
    auto x = testing_support::power_law_phase(5000, -2.0, 17, 1e-12);
    for (auto& xi : x) xi += 1e-3;
    x[0] = 0.0;
    x[2400] = 0.0;
    x[4999] = 0.0;
    for (long first : {1L, 7L}) {
        const long last = first == 1 ? 5000 : 4990;
        auto v = make_vector(x, first, last);
        for (long m : {1L, 3L, 40L, 1000L}) {
            double s = 0;
            const int n = CalcPhaseOverlapHadamardDev(v.data(), &s, 2.0, static_cast<int>(m));
            const Result want = phase_overlap_hadamard_direct(x, first, last, m, 2.0);
            ASSERT_EQ(n, want.n) << "m=" << m;
            EXPECT_NEAR(s / want.sigma, 1.0, 1e-9) << "m=" << m << " first=" << first;
        }
    }
}

TEST(HadamardFreq, OverlapOuterTermRules) {
    double s = kUntouched;
    auto three_m = make_vector({1, 4, 2, 8, 5, 7});  // M = 3m for m = 2: one outer term
    EXPECT_EQ(CalcFreqOverlapHadamardDev(three_m.data(), &s, 2), 1);
    // T = (1 - 4 + 5) + (4 - 16 + 7) = -3
    EXPECT_NEAR(s, std::sqrt(9.0 / 24.0), 1e-12);
    auto short_by_one = make_vector({1, 4, 2, 8, 5});
    s = kUntouched;
    EXPECT_EQ(CalcFreqOverlapHadamardDev(short_by_one.data(), &s, 2), -1);
    EXPECT_EQ(s, kUntouched);

    // Constant frequency: every T is exactly 0.0 and no term counts.
    auto constant = make_vector(std::vector<double>(12, 3e-7));
    EXPECT_EQ(CalcFreqOverlapHadamardDev(constant.data(), &s, 2), -1);
    EXPECT_EQ(s, kUntouched);

    // An outer term whose every i meets a gap is left out; the others count.
    std::vector<double> y = {5, 1, 4, 2, 8, 0, 0, 3, 9, 6, 2, 7};
    auto g = make_vector(y);
    const Result want = freq_overlap_hadamard_direct(y, 1, 12, 2);
    EXPECT_EQ(CalcFreqOverlapHadamardDev(g.data(), &s, 2), want.n);
    EXPECT_NEAR(s, want.sigma, 1e-12);
    EXPECT_LT(want.n, 12 + 1 - 6);
}

TEST(HadamardFreq, SlidingSumMatchesDirectSumWithGapsOffsetsAndStretches) {
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto y = testing_support::power_law_phase(6000, 0.0, 21, 1e-11);
    for (auto& v : y) {
        v += 2e-6;
        if (unit(rng) < 0.05) v = 0.0;
    }
    // A stretch of gaps and a stretch of constant frequency: the outer terms inside
    // them sum to exactly 0.0 and must not count, however the sums slid into them.
    for (int k = 3000; k < 3300; ++k) y[k] = 0.0;
    for (int k = 4500; k < 4800; ++k) y[k] = 2.5e-6;
    y[0] = 0.0;
    y.back() = 0.0;
    for (long first : {1L, 13L}) {
        const long last = first == 1 ? 6000 : 5980;
        auto v = make_vector(y, first, last);
        for (long m = 1; m <= 2000; m += (m < 10 ? 1 : m / 2)) {
            expect_freq_overlap_as_direct(v, y, first, last, m, 1e-10);
        }
    }
}

TEST(HadamardFreq, SlidingSumMatchesDirectSumAroundIsolatedGaps) {
    // Long gap-free stretches, where the sums slide without testing each sample,
    // broken by single gaps: next to each other, at both sides of a multiple of 256
    // samples from the window start, and near the window ends.
    auto y = testing_support::power_law_phase(5000, -1.0, 23, 1e-11);
    for (auto& v : y) v += 3e-6;
    const long first = 7, last = 4990;
    for (long k : testing_support::isolated_gap_samples(first, last)) y[k - 1] = 0.0;
    auto v = make_vector(y, first, last);
    for (long m : testing_support::stretch_edge_factors()) {
        expect_freq_overlap_as_direct(v, y, first, last, m, 1e-10);
    }
}

// At large factors the sums slide eight adjoining segments side by side, their first
// windows summed in the same pass; a group that meets a gap or a zero term is summed
// segment by segment. Gap-free groups beside one with a gap and one with a stretch of
// constant frequency longer than 3m (windows of zero terms only).
TEST(HadamardFreq, AdjoiningSegmentsMatchDirectSumAroundGapsAndZeroTerms) {
    auto y = testing_support::power_law_phase(80000, -1.0, 29, 1e-11);
    for (auto& v : y) v += 3e-6;
    for (long k : {30000L, 70000L, 79000L}) y[static_cast<std::size_t>(k)] = 0.0;
    for (long k = 40000; k < 46500; ++k) y[static_cast<std::size_t>(k)] = 3e-6;
    const long first = 5, last = 79990;
    auto v = make_vector(y, first, last);
    for (long m : {256L, 700L, 2048L, 2100L}) {
        expect_freq_overlap_as_direct(v, y, first, last, m, 1e-12);
    }
}

// Groups of long records test their terms before they slide. Runs of zero terms
// (stretches of constant frequency) of m - 1, m, m + 1 and 2m terms, in every group and
// at many places in them: windows of zero terms only sum to
// exactly 0.0 and do not count, the others count as the direct sums count them.
TEST(HadamardFreq, RunsOfZeroTermsInLongRecordsCountAsDirectSums) {
    // No offset: the terms then differ in exponent, so that a slide leaves rounding
    // where a window's terms cancel exactly.
    const auto y = testing_support::power_law_phase(80000, 0.0, 31, 1e-11);
    const long first = 3, last = 79995;
    for (long m : {32L, 45L, 64L, 128L, 200L, 300L, 2048L}) {
        auto z = y;
        const long spacing = std::max(4813L, 4 * m + 1013);
        for (long j = 0; 1000 + spacing * (j + 1) < 78000; ++j) {
            const long at = 1000 + spacing * j, run = j % 4 == 3 ? 2 * m : m - 1 + j % 3;
            for (long k = at; k < at + run + 2 * m; ++k) z[static_cast<std::size_t>(k)] = 5e-12;
        }
        auto vz = make_vector(z, first, last);
        expect_freq_overlap_as_direct(vz, z, first, last, m, 1e-12);
    }
}

// Up to m = 8 each outer term is summed afresh from its terms, in chunks of starts that
// are summed again, every term tested, when one of their points is a gap or one of
// their sums is 0.0. A long gap-free record on an offset with gaps just after the
// second chunk starts (among the older points of its first terms for some m, its
// newest for others), a stretch of constant frequency (zero terms) in the first chunk
// and one whose terms cancel in pairs (a repeating pattern q, q, -q, -q) in the third,
// and a last chunk that ends inside a block of eight starts.
TEST(HadamardFreq, ShortWindowsCountExactZeroSumsAndGapsAtChunkEdges) {
    auto y = testing_support::power_law_phase(13003, 0.0, 37, 1e-11);
    for (auto& v : y) v += 3e-6;
    const long first = 3, last = 13001;
    for (long k : {first + 4096 + 1, first + 4096 + 5, first + 4096 + 9})
        y[static_cast<std::size_t>(k - 1)] = 0.0;
    for (long k = 2000; k < 2100; ++k) y[static_cast<std::size_t>(k)] = 3e-6;
    for (long k = 9000; k < 9400; ++k)
        y[static_cast<std::size_t>(k)] = 3e-6 + (k % 4 < 2 ? 1e-12 : -1e-12);
    auto v = make_vector(y, first, last);
    for (long m = 1; m <= 9; ++m) {
        expect_freq_overlap_as_direct(v, y, first, last, m, 1e-12);
    }
}

// From m = 16 each window is the end of one block of m terms plus the beginning of the
// next, eight blocks side by side: groups whose points hold no gap are summed without
// testing each term, one with a gap is summed again tested (and the running sums of the
// group before it with it), and the starts after the last whole group are summed as a
// group that ends with the last start. Gaps early in a middle group and at the record's
// end, a stretch of constant frequency (windows of zero terms) and one whose terms cancel
// in pairs; m with and without a rest of places (m mod 8), at every record offset mod 8
// (where the blocks of places begin differs).
TEST(HadamardFreq, SplitWindowsMatchDirectSumsAcrossGroupsAndPlaces) {
    auto y = testing_support::power_law_phase(7000, 0.0, 41, 1e-11);
    for (auto& v : y) v += 3e-6;
    for (long k = 6200; k < 6260; ++k)
        y[static_cast<std::size_t>(k)] = 3e-6 + (k % 4 < 2 ? 1e-12 : -1e-12);
    for (long k = 800; k < 1300; ++k) y[static_cast<std::size_t>(k)] = 3e-6;
    for (long m : {16L, 21L, 128L, 136L}) {
        auto z = y;
        z[static_cast<std::size_t>(2 * 8 * m + 3 * m)] = 0.0;  // row 3 of group 2
        z[6990] = 0.0;
        for (long first = 1; first <= 8; ++first) {
            const long last = 6998;
            auto v = make_vector(z, first, last);
            expect_freq_overlap_as_direct(v, z, first, last, m, 1e-12);
        }
    }
}

TEST(HadamardRefusals, ArgumentsHeadersAndGapOnlyWindows) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto ok = make_vector({1, 2, 4, 7, 11, 16, 22, 29});
    double s = kUntouched;
    for (double tau : {0.0, -1.0, nan}) {
        EXPECT_EQ(CalcPhaseHadamardDev(ok.data(), &s, tau), -1);
        EXPECT_EQ(CalcHadamardDev(ok.data(), &s, tau), -1);
        EXPECT_EQ(CalcPhaseOverlapHadamardDev(ok.data(), &s, tau, 1), -1);
    }
    EXPECT_EQ(CalcPhaseOverlapHadamardDev(ok.data(), &s, 1.0, 0), -1);
    EXPECT_EQ(CalcFreqOverlapHadamardDev(ok.data(), &s, 0), -1);
    EXPECT_EQ(CalcFreqOverlapHadamardDev(ok.data(), &s, -3), -1);
    EXPECT_EQ(CalcPhaseHadamardDev(ok.data(), nullptr, 1.0), -1);
    EXPECT_EQ(CalcFreqHadamardDev(nullptr, &s), -1);
    const std::vector<std::vector<double>> bad = {
        {4, 0, 4, 1, 2, 3, 4}, {4, 1, 5, 1, 2, 3, 4}, {nan, 1, 4, 1, 2, 3, 4}};
    for (auto v : bad) {
        EXPECT_EQ(CalcPhaseHadamardDev(v.data(), &s, 1.0), -1);
        EXPECT_EQ(CalcFreqHadamardDev(v.data(), &s), -1);
        EXPECT_EQ(CalcPhaseOverlapHadamardDev(v.data(), &s, 1.0, 1), -1);
        EXPECT_EQ(CalcFreqOverlapHadamardDev(v.data(), &s, 1), -1);
    }
    auto gaps = make_vector({5, 0, 0, 0, 0, 0, 0, 6}, 2, 7);
    EXPECT_EQ(CalcPhaseHadamardDev(gaps.data(), &s, 1.0), -1);
    EXPECT_EQ(CalcFreqHadamardDev(gaps.data(), &s), -1);
    EXPECT_EQ(CalcPhaseOverlapHadamardDev(gaps.data(), &s, 1.0, 1), -1);
    EXPECT_EQ(CalcFreqOverlapHadamardDev(gaps.data(), &s, 1), -1);
    EXPECT_EQ(s, kUntouched);
}

// The vectorised sums against direct sums in extended precision, on records without
// gaps, with gaps and on a large offset, long enough for the side-by-side loops and
// short enough for their shorter last groups: the same counts and 1e-12 agreement.
TEST(HadamardKernels, MatchDirectSumsOnEveryKindOfRecord) {
    testing_support::for_each_kernel_case(17, {1, 3, 17, 2100}, {2, 33, 250, 666}, [](const auto& c) {
        SCOPED_TRACE(c.name());
        const testing_support::RelativeSamples x(c.record.samples);
        const long first = c.first, last = c.last, m = c.m;
        // Third differences of phase with the end exceptions.
        long double total = 0;
        long n = 0;
        const long final_k = last - 3 * m;
        for (long k = first; k <= final_k; ++k) {
            const bool a = x.gap(k), d = x.gap(k + 3 * m);
            if (x.gap(k + m) || x.gap(k + 2 * m) ||
                !((!a && !d) || (k == first && !d) || (k == final_k && !a)))
                continue;
            const long double t = x(k + 3 * m) - 3 * x(k + 2 * m) + 3 * x(k + m) - x(k);
            total += t * t;
            ++n;
        }
        double s = 0.0;
        ASSERT_EQ(CalcPhaseOverlapHadamardDev(c.v.data(), &s, 1.0, static_cast<int>(m)), n);
        EXPECT_NEAR(s / std::sqrt(static_cast<double>(total / (6.0L * m * m * n))), 1.0, 1e-12);
        // Outer terms of frequency second differences without a gap; a term without a
        // nonzero one sums to exactly 0.0 and is left out.
        total = 0;
        n = 0;
        for (long st = first; st <= last - 3 * m + 1; ++st) {
            long double t = 0;
            bool nonzero = false;
            for (long i = st; i < st + m; ++i) {
                if (x.gap(i) || x.gap(i + m) || x.gap(i + 2 * m)) continue;
                const long double e = x(i) - 2 * x(i + m) + x(i + 2 * m);
                t += e;
                nonzero = nonzero || e != 0;
            }
            if (!nonzero) continue;
            total += t * t;
            ++n;
        }
        ASSERT_EQ(CalcFreqOverlapHadamardDev(c.v.data(), &s, static_cast<int>(m)), n);
        EXPECT_NEAR(s / std::sqrt(static_cast<double>(total / (6.0L * m * m * n))), 1.0, 1e-12);
    });
}

}  // namespace
