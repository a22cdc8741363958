// Allan deviation family: plain and overlapping Allan deviations from phase and
// frequency data, the standard deviations, the mean of a window, and AddSigma.
#include <algorithm>
#include <cmath>

#include "core/data_vector.h"
#include "core/difference_sums.h"
#include "core/lanes.h"
#include "core/sliding_sum.h"
#include "core/vector_clones.h"
#include "core/vector_width.h"
#include "varnis.h"

namespace varnis {
namespace {

// Second differences of phase at lag m, with the phase gap rule.
constexpr LagDifferences phase_second_differences(long m) { return {m, 2, true}; }

// The number of the nonzero values of a stretch of samples, their mean less a
// reference value of the record, and the sum of their squared deviations from the mean.
// Means are kept relative to the reference, which is one of the record's values, so
// that a large constant offset in the record costs them no precision: their
// differences, where blocks are combined, are as exact as the spread of the samples.
struct NonzeroMoments {
    long n = 0;
    double mean = 0.0;
    double squares = 0.0;
};

// The record is summed in blocks small enough to stay in the first-level cache, so
// that it is read from memory once: the moments of each block in eight lanes, then the
// blocks combined one after another.
constexpr long kMomentBlock = 2048;

// The squared deviations from `center` of the n values from y, gaps left out as asked.
template <bool kGaps>
[[gnu::always_inline]] inline double squared_deviations(const double* y, long n, double center) {
    Lanes squares;
    add_each(squares, n, [=](long i) {
        const double d = y[i] - center;
        return kGaps && is_gap(y[i]) ? 0.0 : d * d;
    });
    return squares.total();
}

// The moments of a block of n values, where gaps may be.
VARNIS_VECTOR_CLONES NonzeroMoments block_moments(const double* y, long n, double reference) {
    Lanes sum, zeros;
    add_each(sum, n, [=](long i) { return is_gap(y[i]) ? 0.0 : y[i] - reference; });
    add_each(zeros, n, [=](long i) { return is_gap(y[i]) ? 1.0 : 0.0; });
    NonzeroMoments out;
    out.n = n - static_cast<long>(zeros.total());
    if (out.n == 0) return out;
    out.mean = sum.total() / static_cast<double>(out.n);
    out.squares = squared_deviations<true>(y, n, reference + out.mean);
    return out;
}

// The same for a block without gaps, which most are: the sum and the test for gaps in
// one loop, then the squared deviations without a test. False, with `out` untouched,
// when the block holds a gap. Lanes 0-7 as one vector of eight where that is one
// register, as two of four elsewhere (core/vector_width.h).
template <int W>
[[gnu::always_inline]] inline bool gap_free_moments(const double* y, long n, double reference,
                                                    NonzeroMoments& out) {
    using Vector = typename VectorsOf<W>::Vector;
    using Bits = typename VectorsOf<W>::Bits;
    constexpr int kParts = kLanes / W;
    Vector sum[kParts] = {};
    Bits gaps{};
    long i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        for (int h = 0; h < kParts; ++h) {
            const Vector v = load_vector<Vector>(y + i + h * W);
            sum[h] += v - reference;
            gaps |= gap_bits(v);
        }
    }
    Lanes lanes;
    for (int h = 0; h < kParts; ++h) store_vector(lanes.lane + h * W, sum[h]);
    for (; i < n; ++i) {
        lanes.add(i, y[i] - reference);
        gaps[0] |= gap_bit(y[i]);
    }
    if (any_top_bit(gaps)) return false;
    const double mean = lanes.total() / static_cast<double>(n);
    out = {n, mean, squared_deviations<false>(y, n, reference + mean)};
    return true;
}

VARNIS_VECTOR_CLONES bool gap_free_block_moments(const double* y, long n, double reference,
                                                 NonzeroMoments& out) {
    return eight_double_registers() ? gap_free_moments<8>(y, n, reference, out)
                                    : gap_free_moments<4>(y, n, reference, out);
}

// The moments of two stretches together: the squared deviations of each about its own
// mean, plus what the distance between the means adds.
NonzeroMoments combined(const NonzeroMoments& a, const NonzeroMoments& b) {
    if (a.n == 0) return b;
    if (b.n == 0) return a;
    const double n = static_cast<double>(a.n + b.n);
    const double delta = b.mean - a.mean;
    const double b_share = static_cast<double>(b.n) / n;
    return {a.n + b.n, a.mean + delta * b_share,
            a.squares + b.squares + delta * delta * static_cast<double>(a.n) * b_share};
}

// The moments of the n values from y, a block at a time, relative to the first value
// that is not a gap.
NonzeroMoments nonzero_moments(const double* y, long n) {
    const double* first_value = std::find_if(y, y + n, [](double v) { return !is_gap(v); });
    const double reference = first_value == y + n ? 0.0 : *first_value;
    NonzeroMoments all;
    for (long k = 0; k < n; k += kMomentBlock) {
        const long length = std::min(kMomentBlock, n - k);
        NonzeroMoments block;
        if (!gap_free_block_moments(y + k, length, reference, block))
            block = block_moments(y + k, length, reference);
        all = combined(all, block);
    }
    return all;
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
    const NonzeroMoments moments = nonzero_moments(&(*y)[y->first], y->size());
    if (moments.n <= 1) return -1;
    *deviation = std::sqrt(moments.squares / static_cast<double>(moments.n - 1));
    return static_cast<int>(moments.n);
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
