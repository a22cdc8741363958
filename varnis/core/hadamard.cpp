// Hadamard deviation family: plain and overlapping Hadamard deviations from phase and
// frequency data. Third differences of phase (second differences of frequency) with a
// normalisation of 6; every routine honours gaps.
#include <cmath>

#include "core/data_vector.h"
#include "core/difference_sums.h"
#include "core/short_window_sum.h"
#include "core/sliding_sum.h"
#include "core/split_window_sum.h"
#include "varnis.h"

namespace varnis {
namespace {

// Third differences of phase at lag m, with the phase gap rule.
constexpr LagDifferences phase_third_differences(long m) { return {m, 3, true}; }

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int CalcPhaseHadamardDev(const double* data, double* sigma, double tau) {
    const auto x = read_window(data);
    if (!x || sigma == nullptr || !positive(tau)) return -1;
    const TermSum squares = sum_of_squares(*x, phase_third_differences(1));
    if (squares.n == 0) return -1;
    *sigma = std::sqrt(squares.total / (6.0 * static_cast<double>(squares.n) * tau * tau));
    return static_cast<int>(squares.n);
}

extern "C" int CalcHadamardDev(const double* data, double* sigma, double tau) {
    return CalcPhaseHadamardDev(data, sigma, tau);
}

extern "C" int CalcFreqHadamardDev(const double* data, double* sigma) {
    const auto y = read_window(data);
    if (!y || sigma == nullptr) return -1;
    // Second differences of frequency, each used only when all three samples are.
    const TermSum squares = sum_of_squares(*y, {1, 2, false});
    if (squares.n == 0) return -1;
    *sigma = std::sqrt(squares.total / (6.0 * static_cast<double>(squares.n)));
    return static_cast<int>(squares.n);
}

extern "C" int CalcPhaseOverlapHadamardDev(const double* data, double* sigma, double tau0,
                                           int m) {
    const auto x = read_window(data);
    if (!x || sigma == nullptr || !positive(tau0) || m < 1) return -1;
    const TermSum squares = sum_of_squares(*x, phase_third_differences(m));
    if (squares.n == 0) return -1;
    const double mt = static_cast<double>(m) * tau0;
    *sigma = std::sqrt(squares.total / (6.0 * mt * mt * static_cast<double>(squares.n)));
    return static_cast<int>(squares.n);
}

extern "C" int CalcFreqOverlapHadamardDev(const double* data, double* sigma, int m) {
    const auto y = read_window(data);
    if (!y || sigma == nullptr || m <= 0) return -1;
    const long mm = m;
    const long terms = y->size() + 1 - 3 * mm;
    if (terms <= 0) return -1;

    // Outer term s sums the second differences y[i] - 2 y[i+m] + y[i+2m] of
    // i = s .. s+m-1 that have no gap: afresh for each term up to m = 8, as the end of
    // one block of m differences plus the beginning of the next up to
    // kSplitWindowMost, sliding by one i per term beyond. A term that sums to exactly
    // 0.0 (no usable i, or only zero differences) is left out and not counted.
    const WindowSpec outer{&(*y)[0], y->first, y->last, mm, 2, GapRule::kGaps, true, y->first,
                           y->last - 3 * mm + 1};
    const bool split = mm >= kSplitWindowLeast && mm <= kSplitWindowMost;
    const WindowSquares squares = mm <= kShortWindowMost ? short_window_squares(outer)
                                  : split                ? split_window_squares(outer)
                                                         : window_squares(outer, Count::kNonzero);
    if (squares.n == 0) return -1;
    *sigma = std::sqrt(squares.total() / (6.0 * static_cast<double>(mm) * static_cast<double>(mm) *
                                          static_cast<double>(squares.n)));
    return static_cast<int>(squares.n);
}
