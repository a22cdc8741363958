// Modified Allan deviation: term and gap rules, counts, progress and stop, and the
// sliding sums of CalcPhaseModSigma and CalcFreqModSigma against a term-by-term
// evaluation of the same rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"
#include "varnis.h"

using testing_support::gappy_record;
using testing_support::make_vector;

namespace {

constexpr double kUntouched = -12345.0;
constexpr const char* kTitle = "Calculating Mod/Time Sigma (with gaps)";
constexpr std::size_t kNever = std::numeric_limits<std::size_t>::max();

struct Call {
    int percent;
    std::string text;
    bool operator==(const Call&) const = default;
};

// The callback records every call and raises the stop flag at call number g_stop_at.
std::vector<Call> g_calls;
int g_stop = 0;
std::size_t g_stop_at = kNever;

void record_call(int percent, const char* text) {
    g_calls.push_back({percent, text});
    if (g_calls.size() == g_stop_at) g_stop = 1;
}

void reset_recorder(std::size_t stop_at = kNever, int stop = 0) {
    g_calls.clear();
    g_stop = stop;
    g_stop_at = stop_at;
}

struct Outcome {
    int n = -1;
    double sigma = 0.0;
    std::vector<Call> calls;
};

// CalcPhaseModSigma term by term in extended precision: every outer term sums its m
// triples afresh. Reports progress and honours a stop raised at call `stop_at`.
Outcome phase_mod_direct(const std::vector<double>& x, long first, long last, double tau, long m,
                         bool progress, std::size_t stop_at = kNever, bool stop_before = false) {
    Outcome out;
    const long M = last - first + 1;
    if (m < 1 || M < 3 * m || !(tau > 0)) return out;
    const long step = M / 100, span = M - 3 * m;
    if (progress) out.calls.push_back({0, kTitle});
    long double total = 0;
    long n = 0, reported = 0;
    const testing_support::RelativeSamples at(x);
    for (long j = 1; j <= M - 3 * m + 1; ++j) {
        const long s = first + j - 1;
        long double S = 0;
        bool any = false;
        for (long i = s; i < s + m; ++i) {
            const bool a = at.gap(i), b = at.gap(i + m), c = at.gap(i + 2 * m);
            const bool ok = (!a && !b && !c) || (i == first && a && !b && !c) ||
                            (i + 2 * m == last && !a && !b && c);
            if (!ok) continue;
            S += at(i + 2 * m) - 2 * at(i + m) + at(i);
            any = true;
        }
        if (any) {
            total += S * S;
            ++n;
        }
        if (progress && j - reported >= step) {
            const int percent = span > 0 ? static_cast<int>(j * 100.0 / span + 0.5) : 100;
            out.calls.push_back({percent, kTitle});
            reported = j;
        }
        if (stop_before || out.calls.size() >= stop_at) break;
    }
    out.calls.push_back({0, ""});
    if (n < 1) return out;
    out.n = static_cast<int>(n);
    out.sigma = std::sqrt(static_cast<double>(total / (2.0L * m * m * tau * tau * n)));
    return out;
}

// CalcFreqModSigma term by term in extended precision: every A(i) from its pairs.
Outcome freq_mod_direct(const std::vector<double>& y, long first, long last, long m) {
    Outcome out;
    const long M = last - first + 1;
    if (m < 1 || M + 1 < 3 * m) return out;
    long double total = 0;
    long n = 0;
    const testing_support::RelativeSamples at(y);
    for (long s = first; s <= first + M - 3 * m + 1; ++s) {
        long double T = 0;
        for (long i = s; i < s + m; ++i) {
            long double sum = 0;
            long used = 0;
            for (long l = i; l < i + m; ++l) {
                if (at.gap(l) || at.gap(l + m)) continue;
                sum += at(l + m) - at(l);
                ++used;
            }
            if (used > 0) T += sum / used;
        }
        if (T == 0.0L) continue;
        total += T * T;
        ++n;
    }
    if (n == 0) return out;
    out.n = static_cast<int>(n);
    out.sigma = std::sqrt(static_cast<double>(total / (2.0L * m * m * n)));
    return out;
}

int phase_mod(const std::vector<double>& v, double* sigma, double tau, int m) {
    return CalcPhaseModSigma(v.data(), sigma, tau, m, nullptr, 0, record_call);
}

// First differences divided by tau0: the frequency record of a phase record.
std::vector<double> frequency_of(const std::vector<double>& x, double tau0) {
    std::vector<double> y;
    for (std::size_t k = 1; k < x.size(); ++k) y.push_back((x[k] - x[k - 1]) / tau0);
    return y;
}

TEST(ModSigmaLengths, RefusalsAndTheShortestWindows) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int m : {1, 2, 7}) {
        std::vector<double> x;
        for (int k = 1; k <= 3 * m; ++k) x.push_back(5.0 + k * k);
        auto v = make_vector(x);
        double a = kUntouched, b = kUntouched, c = kUntouched;
        reset_recorder();
        EXPECT_EQ(phase_mod(v, &a, m, m), 1);
        EXPECT_EQ(CalcFastModSigma(v.data(), &b, m, m), 1);
        EXPECT_EQ(CalcGreenhallModSigma(v.data(), &c, m, m), 1);
        EXPECT_NEAR(a, std::sqrt(2.0) * m, 1e-9 * m);  // every S is 2 m^3
        EXPECT_NEAR(b, a, 1e-12 * a);
        EXPECT_NEAR(c, a, 1e-12 * a);

        auto shorter = make_vector(std::vector<double>(x.begin(), x.end() - 1));
        a = b = c = kUntouched;
        reset_recorder();
        EXPECT_EQ(CalcPhaseModSigma(shorter.data(), &a, 1.0, m, nullptr, 1, record_call), -1);
        EXPECT_TRUE(g_calls.empty());  // refused before any callback
        EXPECT_EQ(CalcFastModSigma(shorter.data(), &b, 1.0, m), -1);
        EXPECT_EQ(CalcGreenhallModSigma(shorter.data(), &c, 1.0, m), -1);
        EXPECT_EQ(a, kUntouched);
        EXPECT_EQ(b, kUntouched);
        EXPECT_EQ(c, kUntouched);

        // Frequency: 3m - 1 samples stand for 3m phase samples and give one term.
        std::vector<double> y(3 * m - 1);
        for (int k = 0; k < 3 * m - 1; ++k) y[k] = 2.0 * k + 3.0;
        auto f = make_vector(y);
        EXPECT_EQ(CalcFreqModSigma(f.data(), &a, m), 1);
        EXPECT_NEAR(a, std::sqrt(2.0) * m, 1e-9 * m);
        if (m > 1) {
            auto g = make_vector(std::vector<double>(y.begin(), y.end() - 1));
            b = kUntouched;
            EXPECT_EQ(CalcFreqModSigma(g.data(), &b, m), -1);
            EXPECT_EQ(b, kUntouched);
        }
    }
    auto ok = make_vector({1, 2, 4, 7, 11, 16});
    double s = kUntouched;
    reset_recorder();
    for (double tau : {0.0, -2.0, nan}) {
        EXPECT_EQ(CalcPhaseModSigma(ok.data(), &s, tau, 1, nullptr, 1, record_call), -1);
        EXPECT_EQ(CalcFastModSigma(ok.data(), &s, tau, 1), -1);
        EXPECT_EQ(CalcGreenhallModSigma(ok.data(), &s, tau, 1), -1);
    }
    for (int m : {0, -1}) {
        EXPECT_EQ(CalcPhaseModSigma(ok.data(), &s, 1.0, m, nullptr, 1, record_call), -1);
        EXPECT_EQ(CalcFastModSigma(ok.data(), &s, 1.0, m), -1);
        EXPECT_EQ(CalcGreenhallModSigma(ok.data(), &s, 1.0, m), -1);
        EXPECT_EQ(CalcFreqModSigma(ok.data(), &s, m), -1);
    }
    EXPECT_TRUE(g_calls.empty());
    std::vector<double> bad = {6, 2, 7, 1, 2, 4, 7, 11, 16};  // last beyond the count
    EXPECT_EQ(CalcPhaseModSigma(bad.data(), &s, 1.0, 1, nullptr, 1, record_call), -1);
    EXPECT_EQ(CalcFastModSigma(bad.data(), &s, 1.0, 1), -1);
    EXPECT_EQ(CalcGreenhallModSigma(bad.data(), &s, 1.0, 1), -1);
    EXPECT_EQ(CalcFreqModSigma(bad.data(), &s, 1), -1);
    EXPECT_EQ(CalcPhaseModSigma(ok.data(), nullptr, 1.0, 1, nullptr, 1, record_call), -1);
    EXPECT_EQ(CalcFreqModSigma(nullptr, &s, 1), -1);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(s, kUntouched);
}

TEST(ModSigmaGapFree, FourRoutinesAgreeOnEveryNoise) {
    const double tau0 = 0.25;
    for (double beta : testing_support::noise_betas()) {
        const auto x = testing_support::power_law_phase(3000, beta, 31, 1e-9);
        auto v = make_vector(x);
        auto f = make_vector(frequency_of(x, tau0));
        for (int m : {1, 2, 5, 33, 400, 1000}) {
            const double tau = m * tau0;
            double a = 0, b = 0, c = 0, d = 0;
            const int n = phase_mod(v, &a, tau, m);
            ASSERT_EQ(n, 3000 - 3 * m + 1);
            EXPECT_EQ(CalcFastModSigma(v.data(), &b, tau, m), n);
            EXPECT_EQ(CalcGreenhallModSigma(v.data(), &c, tau, m), n);
            EXPECT_EQ(CalcFreqModSigma(f.data(), &d, m), n);
            EXPECT_NEAR(b / a, 1.0, 1e-12) << "beta=" << beta << " m=" << m;
            EXPECT_EQ(c, b) << "beta=" << beta << " m=" << m;  // the same inner terms
            EXPECT_NEAR(d / a, 1.0, 1e-9) << "beta=" << beta << " m=" << m;
        }
        // With m = 1 the inner term is the plain second difference.
        double mod = 0, allan = 0;
        ASSERT_EQ(phase_mod(v, &mod, tau0, 1), CalcPhaseOverlapSigma(v.data(), &allan, tau0, 1));
        EXPECT_NEAR(mod / allan, 1.0, 1e-12);
    }
}

TEST(ModSigmaSliding, MatchesDirectEvaluationForEveryM) {
    // Records with random gaps, in windows that do not start at sample 1, with the
    // window's own first and last samples at 0.0; phase also with a 1e-3 s offset.
    for (double offset : {0.0, 1e-3}) {
        const auto x = gappy_record(250, 5 + static_cast<int>(offset * 1e3), offset);
        const long first = 4, last = 246;
        std::vector<double> w = x;
        w[first - 1] = 0.0;
        w[last - 1] = 0.0;
        auto v = make_vector(w, first, last);
        for (long m = 1; m <= (last - first + 1) / 3; ++m) {
            double s = 0;
            const Outcome want = phase_mod_direct(w, first, last, 1.0, m, false);
            ASSERT_EQ(phase_mod(v, &s, 1.0, static_cast<int>(m)), want.n) << "m=" << m;
            EXPECT_NEAR(s / want.sigma, 1.0, 1e-10) << "m=" << m << " offset=" << offset;
        }
    }
    const auto y = gappy_record(250, 8, 2e-6);
    auto f = make_vector(y, 3, 247);
    for (long m = 1; m <= 245 / 3 + 1; ++m) {
        double s = 0;
        const Outcome want = freq_mod_direct(y, 3, 247, m);
        ASSERT_EQ(CalcFreqModSigma(f.data(), &s, static_cast<int>(m)), want.n) << "m=" << m;
        if (want.n > 0) {
            EXPECT_NEAR(s / want.sigma, 1.0, 1e-10) << "m=" << m;
        }
    }
}

TEST(ModSigmaSliding, MatchesDirectEvaluationOnNoiseAndLongRecords) {
    for (double beta : testing_support::noise_betas()) {
        auto x = testing_support::power_law_phase(1200, beta, 41, 1e-12);
        for (auto& xi : x) xi += 1e-3;
        x[0] = 0.0;
        x[600] = 0.0;
        auto v = make_vector(x, 2, 1200);
        for (long m : {1L, 2L, 9L, 100L, 399L}) {
            double s = 0;
            const Outcome want = phase_mod_direct(x, 2, 1200, 3.0, m, false);
            ASSERT_EQ(phase_mod(v, &s, 3.0, static_cast<int>(m)), want.n);
            EXPECT_NEAR(s / want.sigma, 1.0, 1e-10) << "beta=" << beta << " m=" << m;
        }
        const auto y = frequency_of(testing_support::power_law_phase(600, beta, 43, 1e-9), 1.0);
        auto f = make_vector(y, 2, 599);
        for (long m : {1L, 4L, 50L, 199L}) {
            double s = 0;
            const Outcome want = freq_mod_direct(y, 2, 599, m);
            ASSERT_EQ(CalcFreqModSigma(f.data(), &s, static_cast<int>(m)), want.n);
            EXPECT_NEAR(s / want.sigma, 1.0, 1e-10) << "beta=" << beta << " m=" << m;
        }
    }
    // Long enough that the sliding sums are recomputed many times on the way.
    const auto x = gappy_record(30000, 12, 1e-3);
    auto v = make_vector(x, 10, 29990);
    for (long m : {1L, 5L, 1500L, 9000L}) {
        double s = 0;
        const Outcome want = phase_mod_direct(x, 10, 29990, 1.0, m, false);
        ASSERT_EQ(phase_mod(v, &s, 1.0, static_cast<int>(m)), want.n);
        EXPECT_NEAR(s / want.sigma, 1.0, 1e-10) << "m=" << m;
    }
    const auto y = gappy_record(12000, 13, 1e-6);
    auto f = make_vector(y, 10, 11990);
    for (long m : {1L, 3L, 25L}) {
        double s = 0;
        const Outcome want = freq_mod_direct(y, 10, 11990, m);
        ASSERT_EQ(CalcFreqModSigma(f.data(), &s, static_cast<int>(m)), want.n);
        EXPECT_NEAR(s / want.sigma, 1.0, 1e-10) << "m=" << m;
    }
}

TEST(ModSigmaSliding, MatchesDirectEvaluationAroundIsolatedGaps) {
    // Long gap-free stretches, where the sums slide without testing each sample,
    // broken by single gaps: next to each other, at both sides of a multiple of 256
    // samples from the window start, and at the window ends (readings there for
    // phase, gaps for frequency).
    auto x = testing_support::power_law_phase(5000, -2.0, 61, 1e-12);
    for (auto& xi : x) xi += 1e-3;
    const long first = 7, last = 4990;
    for (long k : testing_support::isolated_gap_samples(first, last)) x[k - 1] = 0.0;
    auto v = make_vector(x, first, last);
    for (long m : testing_support::stretch_edge_factors()) {
        double s = 0;
        const Outcome want = phase_mod_direct(x, first, last, 1.0, m, false);
        ASSERT_EQ(phase_mod(v, &s, 1.0, static_cast<int>(m)), want.n) << "m=" << m;
        EXPECT_NEAR(s / want.sigma, 1.0, 1e-10) << "m=" << m;
    }
    auto y = frequency_of(testing_support::power_law_phase(1600, -1.0, 62, 1e-9), 1.0);
    const long yfirst = 5, ylast = 1590;
    for (long k : {yfirst, 8L, 260L, 261L, 517L, 1200L, ylast}) y[k - 1] = 0.0;
    auto f = make_vector(y, yfirst, ylast);
    for (long m : {1L, 2L, 40L, 129L, 257L}) {
        double s = 0;
        const Outcome want = freq_mod_direct(y, yfirst, ylast, m);
        ASSERT_EQ(CalcFreqModSigma(f.data(), &s, static_cast<int>(m)), want.n) << "m=" << m;
        EXPECT_NEAR(s / want.sigma, 1.0, 1e-10) << "m=" << m;
    }
}

TEST(ModSigmaProgress, SameCallsAndStopPointAsDirectEvaluation) {
    const auto x = gappy_record(450, 21, 0.0);  // step 4
    auto v = make_vector(x, 1, 450);
    for (int m : {1, 3, 20, 150}) {
        for (std::size_t stop_at : {kNever, std::size_t{1}, std::size_t{2}, std::size_t{17}}) {
            reset_recorder(stop_at);
            double s = kUntouched;
            const int n = CalcPhaseModSigma(v.data(), &s, 1.0, m, &g_stop, 1, record_call);
            const Outcome want = phase_mod_direct(x, 1, 450, 1.0, m, true, stop_at);
            EXPECT_EQ(g_calls, want.calls) << "m=" << m << " stop_at=" << stop_at;
            ASSERT_EQ(n, want.n) << "m=" << m << " stop_at=" << stop_at;
            if (n > 0) {
                EXPECT_NEAR(s / want.sigma, 1.0, 1e-10);
            }
        }
    }
    // A count below 100: every term reports; the last report passes 100 %.
    const auto shortx = gappy_record(60, 22, 0.0);
    auto sv = make_vector(shortx, 5, 60);
    reset_recorder();
    double s = 0;
    CalcPhaseModSigma(sv.data(), &s, 1.0, 2, &g_stop, 1, record_call);
    EXPECT_EQ(g_calls, phase_mod_direct(shortx, 5, 60, 1.0, 2, true).calls);
    EXPECT_EQ(g_calls.size(), 1u + 51u + 1u);
}

TEST(ModSigmaProgress, ClosingCallAlwaysAndStopBeforeTheCall) {
    std::vector<double> x;
    for (int k = 1; k <= 40; ++k) x.push_back(3.0 + k * k);
    auto v = make_vector(x);
    double s = kUntouched;
    reset_recorder();
    EXPECT_EQ(CalcPhaseModSigma(v.data(), &s, 2.0, 2, nullptr, 0, record_call), 35);
    EXPECT_EQ(g_calls, (std::vector<Call>{{0, ""}}));  // progress off: only the close

    reset_recorder(kNever, 1);  // stop already raised: one term, then the close
    EXPECT_EQ(CalcPhaseModSigma(v.data(), &s, 2.0, 2, &g_stop, 0, record_call), 1);
    EXPECT_NEAR(s, std::sqrt(2.0) * 4 / 2.0, 1e-12);  // S = 2 m^3
    EXPECT_EQ(g_calls, (std::vector<Call>{{0, ""}}));

    // The first term of a gap at its middle sample has no usable triple: the stop
    // ends the run before any term counts.
    auto gap = x;
    gap[1] = 0.0;  // sample 2, the middle of the only triple of term 1 with m = 1
    auto g = make_vector(gap);
    reset_recorder(kNever, 1);
    s = kUntouched;
    EXPECT_EQ(CalcPhaseModSigma(g.data(), &s, 1.0, 1, &g_stop, 1, record_call), -1);
    EXPECT_EQ(s, kUntouched);
    EXPECT_EQ(g_calls.back(), (Call{0, ""}));

    // M = 3m: the single term reports 100 %.
    auto three = make_vector(std::vector<double>(x.begin(), x.begin() + 12));
    reset_recorder();
    EXPECT_EQ(CalcPhaseModSigma(three.data(), &s, 1.0, 4, &g_stop, 1, record_call), 1);
    EXPECT_EQ(g_calls, (std::vector<Call>{{0, kTitle}, {100, kTitle}, {0, ""}}));
}

TEST(ModSigmaGaps, ZeroIsAReadingOnlyAtTheWindowEnds) {
    // Window 3..32 of a 34-sample record with a 1e-3 s offset.
    auto base = testing_support::power_law_phase(34, -2.0, 51, 1e-12);
    for (auto& xi : base) xi += 1e-3;
    const long first = 3, last = 32;
    double clean = 0, s = 0;
    auto v0 = make_vector(base, first, last);
    ASSERT_EQ(phase_mod(v0, &clean, 1.0, 1), 28);

    for (long gap : {first, 17L, last}) {
        auto x = base;
        x[gap - 1] = 0.0;
        auto v = make_vector(x, first, last);
        for (long m : {1L, 2L, 5L, 10L}) {
            const Outcome want = phase_mod_direct(x, first, last, 1.0, m, false);
            ASSERT_EQ(phase_mod(v, &s, 1.0, static_cast<int>(m)), want.n);
            EXPECT_NEAR(s / want.sigma, 1.0, 1e-10);
        }
        // m = 1: a 0.0 at the window's ends is a reading; inside it is a gap that
        // removes the three terms through it, as in the Allan deviation.
        const int n = phase_mod(v, &s, 1.0, 1);
        EXPECT_EQ(n, gap == 17 ? 25 : 28) << "gap at " << gap;
        double allan = 0;
        EXPECT_EQ(n, CalcPhaseSigma(v.data(), &allan, 1.0));
        if (gap == 17) {
            // The gap is never taken as a phase of 0 s: that would add terms of the
            // size of the offset, 1e-3 s against 1e-12 s of noise.
            EXPECT_LT(s, 2 * clean);
            EXPECT_NEAR(s / allan, 1.0, 1e-12);
        }
        // The gap-free routines take the 0.0 as a value and count every term.
        double fast = 0, cumulative = 0;
        EXPECT_EQ(CalcFastModSigma(v.data(), &fast, 1.0, 1), 28);
        EXPECT_EQ(CalcGreenhallModSigma(v.data(), &cumulative, 1.0, 1), 28);
        EXPECT_GT(fast, 1e3 * clean);
        EXPECT_EQ(cumulative, fast);
    }
    // A record that begins with 0.0 loses no term.
    auto origin = base;
    origin[0] = 0.0;
    auto o = make_vector(origin);
    EXPECT_EQ(phase_mod(o, &s, 1.0, 3), 34 - 9 + 1);
    const Outcome want = phase_mod_direct(origin, 1, 34, 1.0, 3, false);
    EXPECT_NEAR(s / want.sigma, 1.0, 1e-10);

    // Frequency: pairs with a 0.0 are left out of each mean; an outer term whose
    // every pair is a gap, or whose pairs are all equal, is not counted.
    std::vector<double> y = {4, 1, 3, 0, 0, 0, 0, 0, 2, 5, 5, 5, 5, 5, 5, 7, 1};
    auto f = make_vector(y, 2, 16);
    for (int m : {1, 2, 3}) {
        const Outcome fy = freq_mod_direct(y, 2, 16, m);
        EXPECT_EQ(CalcFreqModSigma(f.data(), &s, m), fy.n) << m;
        EXPECT_NEAR(s, fy.sigma, 1e-12) << m;
        EXPECT_LT(fy.n, 16 - 3 * m);
    }
    auto only_gaps = make_vector({1, 0, 0, 0, 0, 0, 1}, 2, 6);
    s = kUntouched;
    EXPECT_EQ(CalcFreqModSigma(only_gaps.data(), &s, 1), -1);
    EXPECT_EQ(phase_mod(only_gaps, &s, 1.0, 1), -1);
    EXPECT_EQ(s, kUntouched);
}

// The vectorised sums against direct sums in extended precision, on records without
// gaps, with gaps and on a large offset, long enough for the side-by-side loops and
// short enough for their shorter last groups: the same counts, progress calls and stop
// points, and 1e-12 agreement.
TEST(ModSigmaKernels, MatchDirectSumsOnEveryKindOfRecord) {
    testing_support::for_each_kernel_case(27, {1, 3, 17}, {2, 33, 120, 998}, [](const auto& c) {
        SCOPED_TRACE(c.name());
        const auto& x = c.record.samples;
        const testing_support::RelativeSamples at(x);
        const long first = c.first, last = c.last, m = c.m;
        const int mi = static_cast<int>(m);
        for (std::size_t stop_at : {kNever, std::size_t{37}}) {
            reset_recorder(stop_at);
            double s = 0.0;
            const int n = CalcPhaseModSigma(c.v.data(), &s, 2.0, mi, &g_stop, 1, record_call);
            const Outcome want = phase_mod_direct(x, first, last, 2.0, m, true, stop_at);
            ASSERT_EQ(g_calls, want.calls);
            ASSERT_EQ(n, want.n);
            EXPECT_NEAR(s / want.sigma, 1.0, 1e-12);
        }
        // Every sample a value, 0.0 included.
        long double total = 0;
        long n = 0;
        for (long st = first; st <= last - 3 * m + 1; ++st, ++n) {
            long double S = 0;
            for (long i = st; i < st + m; ++i) S += at(i + 2 * m) - 2 * at(i + m) + at(i);
            total += S * S;
        }
        const double want = std::sqrt(static_cast<double>(total / (2.0L * m * m * n)));
        double fast = 0.0, greenhall = 0.0;
        ASSERT_EQ(CalcFastModSigma(c.v.data(), &fast, 1.0, mi), n);
        ASSERT_EQ(CalcGreenhallModSigma(c.v.data(), &greenhall, 1.0, mi), n);
        EXPECT_NEAR(fast / want, 1.0, 1e-12);
        EXPECT_NEAR(greenhall / want, 1.0, 1e-12);
        if (m == 998) return;  // the frequency form's direct sum costs M m^2
        const Outcome freq = freq_mod_direct(x, first, last, m);
        double f = 0.0;
        ASSERT_EQ(CalcFreqModSigma(c.v.data(), &f, mi), freq.n);
        EXPECT_NEAR(f / freq.sigma, 1.0, 1e-12);
    });
}

}  // namespace

namespace {

// A gap-free frequency record slides two running sums deep wherever its pairs hold no
// 0.0; a stretch of one value (whose outer terms are exactly 0.0 and left out) and a
// single gap send their groups to the two-stage sums, the other groups stay.
TEST(ModSigmaKernels, FrequencyStretchOfOneValueAndSingleGapLeaveTheirGroupsOnly) {
    auto y = testing_support::power_law_phase(40000, 0.0, 31, 1e-12);
    for (double& s : y) s += 1e-3;
    for (std::size_t k = 25000; k < 25040; ++k) y[k] = y[25000];
    y[9000] = 0.0;
    const auto v = make_vector(y, 2, 39999);
    for (const long m : {1L, 3L, 9L}) {
        const Outcome want = freq_mod_direct(y, 2, 39999, m);
        double s = 0.0;
        ASSERT_EQ(CalcFreqModSigma(v.data(), &s, static_cast<int>(m)), want.n) << "m=" << m;
        EXPECT_NEAR(s / want.sigma, 1.0, 1e-12) << "m=" << m;
    }
}

}  // namespace
