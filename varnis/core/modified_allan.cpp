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
    AllTriples(const VectorView<const double>& x, long m)
        : sample_(&x[0]), m_(m), last_(x.last) {}

    Term at(long i) const {
        return Term{second_difference(sample_[i], sample_[i + m_], sample_[i + 2 * m_]), true};
    }
    Move move_to(long s) const { return Move{at(s + m_ - 1), at(s - 1)}; }
    long final_start() const { return last_ - 3 * m_ + 1; }
    bool moves_clear(long, long) const { return true; }
    Move clear_move_to(long s) const { return move_to(s); }

private:
    const double* sample_;  // sample_[k] is x[k]
    long m_;
    long last_;
};

// A(i), the mean of the usable pair differences of the pair window at i; an i without
// a usable pair adds nothing. A window without gaps has m pairs: its mean is taken
// with the reciprocal of m, computed once, since a division per term would cost more
// than all the rest of the slide.
Term pair_mean(const WindowSum& w, long m, double reciprocal_m) {
    if (w.used() == m) return Term{w.sum() * reciprocal_m, true};
    if (w.used() == 0) return Term{0.0, false};
    return Term{w.sum() / static_cast<double>(w.used()), true};
}

// The outer terms of the frequency form: A(i) for i = first .. first + count - 1,
// kept in an array; an A without a usable pair is 0.0 and adds nothing. A window of
// them is recomputed in the order of a ring of m slots (slot (i - first) mod m),
// the order earlier releases summed them in, so that results stay bit-identical.
class PairMeans {
public:
    PairMeans(const double* mean, long m, long first, long count)
        : mean_(mean), m_(m), first_(first), count_(count) {}

    Term at(long i) const { return Term{mean_[i - first_], true}; }
    long final_start() const { return first_ + count_ - m_; }
    Move move_to(long s) const { return Move{at(s + m_ - 1), at(s - 1)}; }
    bool moves_clear(long, long) const { return true; }
    Move clear_move_to(long s) const { return move_to(s); }

    void add_window(WindowSum& sums, long s) const {
        // Slot 0 holds the i of the window with (i - first) mod m = 0.
        const long slot0 = s + (m_ - (s - first_) % m_) % m_;
        for (long i = slot0; i < s + m_; ++i) sums.add(at(i));
        for (long i = s; i < slot0; ++i) sums.add(at(i));
    }

private:
    const double* mean_;
    long m_;
    long first_;
    long count_;
};

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

    ProgressReporter report(callback, progress != 0, kModSigmaTitle, M / 100, M - 3 * mm);
    report.open();
    const GapMap gaps(*x, /*reading_ends=*/true);
    SlidingWindow window(LagTriples(*x, mm, /*reading_ends=*/true, gaps), mm, x->first);
    const long final_start = x->last - 3 * mm + 1;
    SquareSum squares;
    // Term j is the window at start first + j - 1. The runs end where a progress
    // report is due, so the terms between reports are summed without a call.
    for (long j = 1;; ++j) {
        const long first = x->first, report_at = report.next_report(j);
        const long s = window.run(squares, [=](long start, const WindowSum& w, SquareSum& sq) {
            // A term without a usable triple is left out and not counted.
            if (w.used() > 0) {
                sq.total += w.sum() * w.sum();
                ++sq.n;
            }
            return start - first + 1 != report_at && !stop_requested(stop);
        });
        j = s - first + 1;
        report.advance(j);
        if (stop_requested(stop) || s == final_start) break;
    }
    report.close(/*always=*/true);
    if (squares.n < 1) return -1;
    *sigma = mod_sigma(squares.total, mm, tau, squares.n);
    return static_cast<int>(squares.n);
}

extern "C" int CalcFastModSigma(const double* data, double* sigma, double tau, int m) {
    const auto x = read_window(data);
    if (!x || sigma == nullptr || m <= 0 || !positive(tau)) return -1;
    const long mm = m;
    const long M = x->size();
    if (M < 3 * mm) return -1;

    const long n = M - 3 * mm + 1;
    SlidingWindow window(AllTriples(*x, mm), mm, x->first);
    double total = 0.0;
    window.run(total, [](long, const WindowSum& w, double& sum) {
        sum += w.sum() * w.sum();
        return true;
    });
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
    // window at i. The pair window slides over the record once and leaves every A in
    // an array; the outer sum then slides over the A.
    const long means = M - 2 * mm + 1;
    ScratchArray<double> mean(static_cast<std::size_t>(means));
    if (!mean.ok()) return -1;
    const GapMap gaps(*y, /*reading_ends=*/false);
    SlidingWindow pairs(LagPairs(*y, mm, gaps), mm, y->first);
    const double reciprocal_m = 1.0 / static_cast<double>(mm);
    double* const mean_of = mean.data();  // mean_of[i - first] is A(i)
    const long first = y->first;
    int no_state = 0;
    pairs.run(no_state, [=](long i, const WindowSum& w, int&) {
        mean_of[i - first] = pair_mean(w, mm, reciprocal_m).value;
        return true;
    });
    SlidingWindow outer(PairMeans(mean.data(), mm, y->first, means), mm, y->first);
    SquareSum squares;
    outer.run(squares, [](long, const WindowSum& w, SquareSum& sq) {
        // A term whose sum is exactly 0.0 (no usable pair, or only zero differences)
        // is left out and not counted; adding its 0.0 leaves the total as it is. (A
        // window without a nonzero term sums to exactly 0.0.)
        const double t = w.sum();
        sq.total += t * t;
        sq.n += t != 0.0;
        return true;
    });
    const double total = squares.total;
    const long n = squares.n;
    if (n == 0) return -1;
    *sigma = mod_sigma(total, mm, 1.0, n);
    return static_cast<int>(n);
}
