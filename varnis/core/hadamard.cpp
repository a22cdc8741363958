// Hadamard deviation family: plain and overlapping Hadamard deviations from phase and
// frequency data. Third differences of phase (second differences of frequency) with a
// normalisation of 6; every routine honours gaps.
#include <cmath>

#include "core/data_vector.h"
#include "core/differences.h"
#include "core/sliding_sum.h"
#include "varnis.h"

namespace varnis {
namespace {

// Sum of squared third differences of x[k], x[k+m], x[k+2m], x[k+3m] over
// k = first .. last - 3m with the phase gap rule; n receives the number used.
double phase_third_difference_sum(const VectorView<const double>& x, long m, long& n) {
    double sum = 0.0;
    n = 0;
    const long final_k = x.last - 3 * m;
    for (long k = x.first; k <= final_k; ++k) {
        const double a = x[k], b = x[k + m], c = x[k + 2 * m], d = x[k + 3 * m];
        const bool whole = !is_gap(a) && !is_gap(b) && !is_gap(c) && !is_gap(d);
        if (!whole && !phase_term_usable({a, b, c, d}, k == x.first, k == final_k)) continue;
        const double t = third_difference(a, b, c, d);
        sum += t * t;
        ++n;
    }
    return sum;
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int CalcPhaseHadamardDev(const double* data, double* sigma, double tau) {
    const auto x = read_window(data);
    if (!x || sigma == nullptr || !positive(tau)) return -1;
    long n = 0;
    const double sum = phase_third_difference_sum(*x, 1, n);
    if (n == 0) return -1;
    *sigma = std::sqrt(sum / (6.0 * static_cast<double>(n) * tau * tau));
    return static_cast<int>(n);
}

extern "C" int CalcHadamardDev(const double* data, double* sigma, double tau) {
    return CalcPhaseHadamardDev(data, sigma, tau);
}

extern "C" int CalcFreqHadamardDev(const double* data, double* sigma) {
    const auto y = read_window(data);
    if (!y || sigma == nullptr) return -1;
    double sum = 0.0;
    long n = 0;
    for (long k = y->first; k <= y->last - 2; ++k) {
        const double a = (*y)[k], b = (*y)[k + 1], c = (*y)[k + 2];
        if (is_gap(a) || is_gap(b) || is_gap(c)) continue;
        const double d = second_difference(a, b, c);
        sum += d * d;
        ++n;
    }
    if (n == 0) return -1;
    *sigma = std::sqrt(sum / (6.0 * static_cast<double>(n)));
    return static_cast<int>(n);
}

extern "C" int CalcPhaseOverlapHadamardDev(const double* data, double* sigma, double tau0,
                                           int m) {
    const auto x = read_window(data);
    if (!x || sigma == nullptr || !positive(tau0) || m < 1) return -1;
    long n = 0;
    const double sum = phase_third_difference_sum(*x, m, n);
    if (n == 0) return -1;
    const double mt = static_cast<double>(m) * tau0;
    *sigma = std::sqrt(sum / (6.0 * mt * mt * static_cast<double>(n)));
    return static_cast<int>(n);
}

extern "C" int CalcFreqOverlapHadamardDev(const double* data, double* sigma, int m) {
    const auto y = read_window(data);
    if (!y || sigma == nullptr || m <= 0) return -1;
    const long mm = m;
    const long terms = y->size() + 1 - 3 * mm;
    if (terms <= 0) return -1;

    // Outer term s sums the second differences y[i] - 2 y[i+m] + y[i+2m] of
    // i = s .. s+m-1 that have no gap; the sum slides by one i per term.
    const GapMap gaps(*y, /*reading_ends=*/false);
    SlidingWindow window(LagTriples(*y, mm, /*reading_ends=*/false, gaps), mm, y->first);
    SquareSum squares;
    window.run(squares, [](long, const WindowSum& w, SquareSum& sq) {
        // A term that sums to exactly 0.0 (no usable i, or only zero differences)
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
    *sigma = std::sqrt(total / (6.0 * static_cast<double>(mm) * static_cast<double>(mm) *
                                static_cast<double>(n)));
    return static_cast<int>(n);
}
