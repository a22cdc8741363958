// Modified Allan deviation at averaging factor m: from phase data with gaps, progress
// and stop (CalcPhaseModSigma), from gap-free phase data by a sliding sum
// (CalcFastModSigma) and by differencing a cumulative sum (CalcGreenhallModSigma), and
// from frequency data with gaps (CalcFreqModSigma).
//
// The inner term of outer term s is S(s) = sum over i = s .. s+m-1 of the second
// difference x[i+2m] - 2 x[i+m] + x[i]. Each S slides from the previous one by one
// second difference, so a call costs about M operations for every m.
#include <cmath>
#include <cstdio>

#include "core/data_vector.h"
#include "core/differences.h"
#include "core/progress.h"
#include "core/scratch.h"
#include "core/sliding_sum.h"
#include "varnis.h"

namespace varnis {
namespace {

constexpr const char* kModSigmaTitle = "Calculating Mod/Time Sigma (with gaps)";

// sqrt(total / (2 m^2 tau^2 n)): the modified Allan deviation of n inner terms.
double mod_sigma(double total, long m, double tau, long n) {
    const double mt = static_cast<double>(m) * tau;
    return std::sqrt(total / (2.0 * mt * mt * static_cast<double>(n)));
}

// The second difference of every phase triple at lag m, every sample a value.
class AllTriples {
public:
    AllTriples(const VectorView<const double>& x, long m) : sample_(&x[0]), m_(m) {}

    Term at(long i) const {
        return Term{second_difference(sample_[i], sample_[i + m_], sample_[i + 2 * m_]), true};
    }
    Move move_to(long s) const { return Move{at(s + m_ - 1), at(s - 1)}; }

private:
    const double* sample_;  // sample_[k] is x[k]
    long m_;
};

using PairWindow = SlidingWindow<LagPairs>;

// A(i), the mean of the usable pair differences of the pair window at i; an i without
// a usable pair adds nothing. A window without gaps has m pairs: its mean is taken
// with the reciprocal of m, computed once, since a division per term would cost more
// than all the rest of the slide.
Term pair_mean(const PairWindow& pairs, long m, double reciprocal_m) {
    const WindowSum& w = pairs.sums();
    if (w.used() == m) return Term{w.sum() * reciprocal_m, true};
    if (w.used() == 0) return Term{0.0, false};
    return Term{w.sum() / static_cast<double>(w.used()), true};
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int CalcPhaseModSigma(const double* data, double* sigma, double tau, int m,
                                 const int* stop, int progress, VarnisProgressCallback callback) {
    const auto x = read_window(data);
    if (!x || sigma == nullptr || m < 1 || !positive(tau)) return -1;
    const long mm = m;
    const long M = x->size();
    if (M < 3 * mm) return -1;

    const long terms = M - 3 * mm + 1;
    ProgressReporter report(callback, progress != 0, kModSigmaTitle, M / 100, M - 3 * mm);
    report.open();
    SlidingWindow window(LagTriples(*x, mm, /*reading_ends=*/true), mm, x->first, x->first);
    double total = 0.0;
    long n = 0;
    for (long j = 1; j <= terms; ++j) {
        if (j > 1) window.advance();
        // A term without a usable triple is left out and not counted.
        if (window.sums().used() > 0) {
            const double s = window.sums().sum();
            total += s * s;
            ++n;
        }
        report.advance(j);
        if (stop_requested(stop)) break;
    }
    report.close(/*always=*/true);
    if (n < 1) return -1;
    *sigma = mod_sigma(total, mm, tau, n);
    return static_cast<int>(n);
}

extern "C" int CalcFastModSigma(const double* data, double* sigma, double tau, int m) {
    const auto x = read_window(data);
    if (!x || sigma == nullptr || m <= 0 || !positive(tau)) return -1;
    const long mm = m;
    const long M = x->size();
    if (M < 3 * mm) return -1;

    const long n = M - 3 * mm + 1;
    SlidingWindow window(AllTriples(*x, mm), mm, x->first, x->first);
    double total = 0.0;
    for (long j = 1; j <= n; ++j) {
        if (j > 1) window.advance();
        const double s = window.sums().sum();
        total += s * s;
    }
    *sigma = mod_sigma(total, mm, tau, n);
    return static_cast<int>(n);
}

extern "C" int CalcGreenhallModSigma(const double* data, double* sigma, double tau, int m) {
    const auto x = read_window(data);
    if (!x || sigma == nullptr || m < 1 || !positive(tau)) return -1;
    const long mm = m;
    const long M = x->size();
    if (M < 3 * mm) return -1;

    ScratchArray<double> r(static_cast<std::size_t>(M) + 1);
    if (!r.ok()) {
        std::fputs("\nCan't Allocate Memory To Load Phase Data", stdout);
        std::fflush(stdout);
        return -1;
    }
    // Running sums of the window's samples, then three differences at lag m in
    // place: afterwards r[k] = S(first + k).
    r[0] = 0.0;
    for (long k = 0; k < M; ++k) r[k + 1] = r[k] + (*x)[x->first + k];
    for (long pass = 1; pass <= 3; ++pass)
        for (long k = 0; k <= M - pass * mm; ++k) r[k] = r[k + mm] - r[k];

    const long n = M - 3 * mm + 1;
    double total = 0.0;
    for (long k = 0; k < n; ++k) total += r[k] * r[k];
    *sigma = mod_sigma(total, mm, tau, n);
    return static_cast<int>(n);
}

extern "C" int CalcFreqModSigma(const double* data, double* sigma, int m) {
    const auto y = read_window(data);
    if (!y || sigma == nullptr || m < 1) return -1;
    const long mm = m;
    const long M = y->size();
    // The frequency window stands for M + 1 phase samples.
    if (M + 1 < 3 * mm) return -1;

    // Outer term s sums A(i) over i = s .. s+m-1, where A(i) is the mean of the pair
    // window at i. The sum slides by one A per term: the pair window gives the
    // entering A, and the last m of them are kept in a ring, where the leaving A is
    // found and whose contents the outer sum is recomputed from at fixed starts.
    const long terms = M - 3 * mm + 2;
    ScratchArray<Term> ring(static_cast<std::size_t>(mm));
    if (!ring.ok()) return -1;
    PairWindow pairs(LagPairs(*y, mm), mm, y->first, y->first);
    const double reciprocal_m = 1.0 / static_cast<double>(mm);
    const long interval = recompute_interval(mm);
    long since_recompute = 0;
    long slot = 0;  // ring slot of A(s - 1), which A(s + m - 1) replaces
    WindowSum outer;
    for (long i = 0; i < mm; ++i) {
        if (i > 0) pairs.advance();
        ring[i] = pair_mean(pairs, mm, reciprocal_m);
        outer.add(ring[i]);
    }
    double total = 0.0;
    long n = 0;
    for (long j = 1; j <= terms; ++j) {
        if (j > 1) {
            pairs.advance();  // to i = s + m - 1
            const Term entering = pair_mean(pairs, mm, reciprocal_m);
            outer.slide(entering, ring[slot]);
            ring[slot] = entering;
            if (++slot == mm) slot = 0;
            if (++since_recompute == interval) {
                since_recompute = 0;
                outer.clear();
                for (long k = 0; k < mm; ++k) outer.add(ring[k]);
            }
        }
        // A term whose sum is exactly 0.0 (no usable pair, or only zero differences)
        // is left out and not counted.
        const double t = outer.sum();
        if (outer.nonzero() == 0 || t == 0.0) continue;
        total += t * t;
        ++n;
    }
    if (n == 0) return -1;
    *sigma = mod_sigma(total, mm, 1.0, n);
    return static_cast<int>(n);
}
