// Modified Allan deviation at averaging factor m: from phase data with gaps, progress
// and stop (CalcPhaseModSigma), from gap-free phase data (CalcFastModSigma, and
// CalcGreenhallModSigma, whose differenced cumulative sums are the same inner terms),
// and from frequency data with gaps (CalcFreqModSigma).
//
// The inner term of outer term s is S(s) = sum over i = s .. s+m-1 of the second
// difference x[i+2m] - 2 x[i+m] + x[i]. Each S slides from the previous one by one
// move (core/sliding_sum.h), so a call costs about M operations for every m.
#include <algorithm>
#include <cmath>

#include "core/data_vector.h"
#include "core/nested_window_sum.h"
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

// The inner terms S(s) of phase data, s = first .. last - 3m + 1: windows of m
// second differences at lag m.
WindowSpec phase_inner_terms(const VectorView<const double>& x, long m, GapRule rule) {
    return {&x[0], x.first, x.last, m, 2, rule, false, x.first, x.last - 3 * m + 1};
}


// The outer terms of the modified Allan deviation from frequency data in two stages,
// for any outer starts s0 .. s1: the pair windows leave the means A(t) of t = s0 ..
// s1 + m - 1 in scratch (a[t - s0 + 1]; a[0] is never read as a term), and the outer
// windows then slide over them. Both sum a window without a nonzero term to exactly
// 0.0, and an outer term of exactly 0.0 is left out and not counted.
class TwoStageTerms {
public:
    // Scratch for up to `longest` outer starts at a time.
    TwoStageTerms(const VectorView<const double>& y, long m, long longest)
        : y_(y), m_(m), a_(static_cast<std::size_t>(longest + m), WrittenBeforeRead{}) {}
    bool ok() const { return a_.ok(); }

    void add_squares(long s0, long s1) {
        if (s1 < s0) return;
        const long means = s1 - s0 + m_;
        a_[0] = 0.0;
        window_values({&y_[0], y_.first, y_.last, m_, 1, GapRule::kGaps, true, s0, s1 + m_ - 1},
                      Store::kMean, a_.data() + 1);
        const WindowSquares part = window_squares(
            {a_.data(), 1, means, m_, 0, GapRule::kNone, true, 1, s1 - s0 + 1}, Count::kNonzero);
        for (long j = 0; j < kLanes; ++j) squares_.lanes.lane[j] += part.lanes.lane[j];
        squares_.n += part.n;
    }
    const WindowSquares& squares() const { return squares_; }

private:
    const VectorView<const double>& y_;
    long m_;
    ScratchArray<double> a_;
    WindowSquares squares_;
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
    // Term j is the window at start first + j - 1. The run is summed unit by unit; the
    // reports and stop-flag readings of a unit's terms follow it in order. A stop raised
    // at term j inside a unit sums that unit again up to term j alone.
    const long first = x->first;
    SlidingRun run(phase_inner_terms(*x, mm, GapRule::kPhaseGaps));
    WindowSquares squares;
    long done = 0;  // terms summed
    for (long u = 0; u < run.units(); ++u) {
        const WindowSquares before = squares;
        const long last_j = run.unit_last_start(u) - first + 1;
        if (stop_requested(stop)) {
            // Raised before this unit: the stop is read after its first term.
            run.add_squares_until(u, first + done, Count::kUsed, squares);
            report.advance(done + 1);
            break;
        }
        run.add_squares(u, Count::kUsed, squares);
        bool stopped = false;
        for (long j = report.next_report(done + 1); j <= last_j; j = report.next_report(j + 1)) {
            report.advance(j);
            if (stop_requested(stop)) {
                squares = before;
                run.add_squares_until(u, first + j - 1, Count::kUsed, squares);
                stopped = true;
                break;
            }
        }
        if (stopped) break;
        done = last_j;
    }
    report.close(/*always=*/true);
    if (squares.n < 1) return -1;
    *sigma = mod_sigma(squares.total(), mm, tau, squares.n);
    return static_cast<int>(squares.n);
}

extern "C" int CalcFastModSigma(const double* data, double* sigma, double tau, int m) {
    const auto x = read_window(data);
    if (!x || sigma == nullptr || m <= 0 || !positive(tau)) return -1;
    const long mm = m;
    const long M = x->size();
    if (M < 3 * mm) return -1;

    // Every sample is a value, 0.0 included.
    const WindowSquares squares =
        window_squares(phase_inner_terms(*x, mm, GapRule::kNone), Count::kEvery);
    *sigma = mod_sigma(squares.total(), mm, tau, squares.n);
    return static_cast<int>(squares.n);
}

extern "C" int CalcGreenhallModSigma(const double* data, double* sigma, double tau, int m) {
    const auto x = read_window(data);
    if (!x || sigma == nullptr || m < 1 || !positive(tau)) return -1;
    const long mm = m;
    const long M = x->size();
    if (M < 3 * mm) return -1;

    // The running sums of the window's samples differenced three times at lag m are the
    // inner terms S(first + k). They are reached here as CalcFastModSigma reaches them,
    // as window sums of second differences: differencing first keeps a large offset in
    // the record from cancelling in running sums, and no scratch is needed for them.
    const WindowSquares squares =
        window_squares(phase_inner_terms(*x, mm, GapRule::kNone), Count::kEvery);
    *sigma = mod_sigma(squares.total(), mm, tau, squares.n);
    return static_cast<int>(squares.n);
}

extern "C" int CalcFreqModSigma(const double* data, double* sigma, int m) {
    const auto y = read_window(data);
    if (!y || sigma == nullptr || m < 1) return -1;
    const long mm = m;
    const long M = y->size();
    // The frequency window stands for M + 1 phase samples.
    if (M + 1 < 3 * mm) return -1;

    // Outer term u (u = first .. last - 3m + 2) sums A(t) over t = u .. u+m-1, where
    // A(t) is the mean of the used pairs y[l+m] - y[l], l = t .. t+m-1 (0.0 without
    // one); an outer term of exactly 0.0 is left out and not counted. Where the samples
    // hold no gap and the pairs no 0.0, A(t) is the pairs' sum over m, and the groups
    // of outer terms slide two running sums deep (core/nested_window_sum.h); the
    // terms of the other groups and of the starts after them are summed in two stages.
    const double* const x = &(*y)[0];
    const long first_outer = y->first, last_outer = y->last - 3 * mm + 2;
    NestedRun nested(x, mm, first_outer, last_outer - 2);
    const long rest = last_outer - nested.group_start(nested.groups()) + 1;
    const long group = nested.group_start(1) - nested.group_start(0);
    const long longest = nested.groups() > 0 ? std::max(group, rest) : rest;
    TwoStageTerms staged(*y, mm, longest);
    if (!staged.ok()) return -1;
    NestedSquares nested_squares;
    for (long g = 0; g < nested.groups(); ++g)
        if (!nested.add_squares(g, nested_squares))
            staged.add_squares(nested.group_start(g), nested.group_start(g + 1) - 1);
    staged.add_squares(nested.group_start(nested.groups()), last_outer);

    const long n = nested_squares.n + staged.squares().n;
    if (n == 0) return -1;
    const double total = nested_squares.lanes.total() / (static_cast<double>(mm) * mm) +
                         staged.squares().total();
    *sigma = mod_sigma(total, mm, 1.0, n);
    return static_cast<int>(n);
}
