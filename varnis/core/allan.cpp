// Allan deviation family: plain and overlapping Allan deviations from phase and
// frequency data, the standard deviations, the mean of a window, and AddSigma.
#include <cmath>

#include "core/data_vector.h"
#include "core/difference_sums.h"
#include "core/lanes.h"
#include "core/sliding_sum.h"
#include "core/vector_clones.h"
#include "varnis.h"

namespace varnis {
namespace {

// Second differences of phase at lag m, with the phase gap rule.
constexpr LagDifferences phase_second_differences(long m) { return {m, 2, true}; }

// The sum of the n values from y in eight lanes, and the number of gaps among them.
// A gap adds 0.0, which leaves its lane as it was.
struct NonzeroSum {
    double total = 0.0;
    long zeros = 0;
};

VARNIS_VECTOR_CLONES NonzeroSum sum_of_nonzero(const double* y, long n) {
    Lanes sum, zeros;
    add_each(sum, n, [=](long i) { return y[i]; });
    add_each(zeros, n, [=](long i) { return is_gap(y[i]) ? 1.0 : 0.0; });
    return NonzeroSum{sum.total(), static_cast<long>(zeros.total())};
}

// The sum of (y - mean)^2 over the nonzero values of the n from y, in eight lanes.
VARNIS_VECTOR_CLONES double sum_of_nonzero_squared_deviations(const double* y, long n,
                                                              double mean) {
    Lanes sum;
    add_each(sum, n, [=](long i) {
        const double d = y[i] - mean;
        return is_gap(y[i]) ? 0.0 : d * d;
    });
    return sum.total();
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int CalcPhaseSigma(const double* data, double* sigma, double tau) {
    const auto x = read_window(data);
    if (!x || sigma == nullptr || !positive(tau)) return -1;
    const TermSum squares = sum_of_squares(*x, phase_second_differences(1));
    if (squares.n == 0) return -1;
    *sigma = std::sqrt(squares.total / (2.0 * static_cast<double>(squares.n) * tau * tau));
    return static_cast<int>(squares.n);
}

extern "C" int CalcFreqSigma(const double* data, double* sigma) {
    const auto y = read_window(data);
    if (!y || sigma == nullptr) return -1;
    const TermSum squares = sum_of_squares(*y, {1, 1, false});
    if (squares.n == 0) return -1;
    *sigma = std::sqrt(squares.total / (2.0 * static_cast<double>(squares.n)));
    return static_cast<int>(squares.n);
}

extern "C" int CalcPhaseOverlapSigma(const double* data, double* sigma, double tau0, int m) {
    const auto x = read_window(data);
    if (!x || sigma == nullptr || m < 1 || !positive(tau0)) return -1;
    if (x->size() < 2L * m) return -1;
    const TermSum squares = sum_of_squares(*x, phase_second_differences(m));
    if (squares.n == 0) return -1;
    const double mt = static_cast<double>(m) * tau0;
    *sigma = std::sqrt(squares.total / (2.0 * mt * mt * static_cast<double>(squares.n)));
    return static_cast<int>(squares.n);
}

extern "C" int CalcFreqOverlapSigma(const double* data, double* sigma, int m) {
    const auto y = read_window(data);
    if (!y || sigma == nullptr || m < 1) return -1;
    const long M = y->size();
    if (M + 1 < 2L * m) return -1;
    const long n = M - 2L * m + 1;
    if (n <= 0) return -1;

    // The inner sum of outer term s, over the pairs y[j+m] - y[j] of j = s .. s+m-1
    // without a gap, slides by one pair per start. Every outer term counts.
    const WindowSquares squares = window_squares(
        {&(*y)[0], y->first, y->last, m, 1, GapRule::kGaps, false, y->first, y->last - 2L * m + 1},
        Count::kEvery);
    *sigma = std::sqrt(squares.total() / (2.0 * static_cast<double>(m) * static_cast<double>(m) *
                                          static_cast<double>(n)));
    return static_cast<int>(n);
}

extern "C" int CalcPhaseStdDev(const double* data, double* deviation, double tau) {
    const auto x = read_window(data);
    if (!x || deviation == nullptr || !positive(tau)) return -1;
    // The first differences with the phase gap rule: n starts at last - first and
    // loses each pair left out, so it is the number of pairs used.
    const LagDifferences differences{1, 1, true};
    const long all_pairs = x->last - x->first;
    auto finish = [&](const TermSum& deviations) {
        const long n = deviations.n;
        *deviation = std::sqrt(deviations.total / (static_cast<double>(n - 1) * tau * tau));
        return static_cast<int>(n);
    };
    if (all_pairs > 2) {
        // When every pair is used, their sum is the difference of the window's end
        // samples, and one pass gives the result; a pass that finds a pair left out
        // falls back to summing the pairs first.
        const double mean = ((*x)[x->last] - (*x)[x->first]) / static_cast<double>(all_pairs);
        const TermSum deviations = sum_of_squared_deviations(*x, differences, mean);
        if (deviations.n == all_pairs) return finish(deviations);
    }
    const TermSum sum = sum_of_terms(*x, differences);
    if (sum.n <= 2) return -1;
    return finish(sum_of_squared_deviations(*x, differences,
                                            sum.total / static_cast<double>(sum.n)));
}

extern "C" int CalcFreqStdDev(const double* data, double* deviation) {
    const auto y = read_window(data);
    if (!y || deviation == nullptr) return -1;
    const double* const sample = &(*y)[y->first];
    const long M = y->size();
    const NonzeroSum sum = sum_of_nonzero(sample, M);
    const long n = M - sum.zeros;
    if (n <= 1) return -1;
    const double mean = sum.total / static_cast<double>(n);
    const double total = sum_of_nonzero_squared_deviations(sample, M, mean);
    *deviation = std::sqrt(total / static_cast<double>(n - 1));
    return static_cast<int>(n);
}

extern "C" int CalcMean(const double* data, double* mean, int mode) {
    const auto v = read_window(data);
    if (!v || mean == nullptr) return -1;
    const bool phase = (mode == 0);
    double sum = 0.0;
    long count = 0;
    for (long k = v->first; k <= v->last; ++k) {
        if (!is_value(*v, k, phase)) continue;
        sum += (*v)[k];
        ++count;
    }
    if (count == 0) return -1;
    // The divisor is the count as a single-precision value. It is counted as an
    // integer and converted once, so that it cannot stall at 2^24 on long records.
    *mean = sum / static_cast<double>(static_cast<float>(count));
    return static_cast<int>(count);
}

extern "C" float AddSigma(const float* deviations) {
    if (deviations == nullptr) return -1.0f;
    double sum = 0.0;
    for (int i = 0; i < 5; ++i) {
        const double d = deviations[i];
        sum += d * d;
    }
    return static_cast<float>(std::sqrt(sum));
}
