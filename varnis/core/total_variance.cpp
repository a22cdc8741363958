// Total variance family: the total, modified total and Hadamard total deviations,
// which extend the data by reflection so that long averaging times use the whole
// record, and the bias factors and degrees of freedom of the three estimates.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "core/data_vector.h"
#include "core/difference_sums.h"
#include "core/differences.h"
#include "core/lanes.h"
#include "core/progress.h"
#include "core/scratch.h"
#include "core/vector4.h"
#include "core/vector_clones.h"
#include "varnis.h"

namespace varnis {
namespace {

// Point w of the window's phase series extended at both ends by reflection through
// the end points (w = 1 .. M are the window's samples x[first + w - 1]):
// x*(1 - j) = 2 x*(1) - x*(1 + j) and x*(M + j) = 2 x*(M) - x*(M - j).
// A window sample of 0.0 is a gap, and so is the image of one: a missing measurement
// never enters a term through its image. An image that comes out as 0.0 from a
// measured sample (x*(1 + j) = 2 x*(1)) is a value like any other.
struct ExtendedPoint {
    double value;
    bool gap;
};

ExtendedPoint extended_phase(const VectorView<const double>& x, long M, long w) {
    if (w >= 1 && w <= M) {
        const double value = x[x.first + w - 1];
        return {value, is_gap(value)};
    }
    const bool left = w < 1;
    const double pivot = left ? x[x.first] : x[x.last];
    const double source = left ? x[x.first + 1 - w] : x[x.first + 2 * M - w - 1];
    if (is_gap(source)) return {0.0, true};
    return {2.0 * pivot - source, false};
}

// The term d = x*(w - m) - 2 x*(w) + x*(w + m) from b = x*(w) and, for each outer point,
// the sample itself or, where the point is reflected (kLeft: the left one, kRight:
// the right one), the sample it is reflected from. Returns whether the term is used:
// none of its points is a gap, where a reflected point is one when its source is. The
// differences are taken between samples only (a reflected point is never formed), so
// an offset in the record costs no precision. T is double or Double4 (four
// neighbouring terms).
template <bool kLeft, bool kRight, class T>
[[gnu::always_inline]] inline auto extended_term(T a, T b, T c, T first, T last, T& d) {
    const auto used = both(both(nonzero(a), nonzero(b)), nonzero(c));
    T ba, cb;
    if constexpr (kLeft) {
        ba = (b - first) - (first - a);  // b - (2 first - a)
    } else {
        ba = b - a;
    }
    if constexpr (kRight) {
        cb = (last - b) + (last - c);  // (2 last - c) - b
    } else {
        cb = c - b;
    }
    d = cb - ba;
    return used;
}

[[gnu::always_inline]] inline Double4 reversed(Double4 v) {
    return __builtin_shufflevector(v, v, 3, 2, 1, 0);
}

// Adds d^2 of the used terms w = w0 .. w1 of the extended series X (X[w] = x*(w) for
// w = 1 .. M) to the lanes, term w to lane (w - w0) mod 8; returns how many were used.
// The outer points of all these terms lie on the sides given by kLeft and kRight: a
// mirrored index reads each reflected point's source, four at a time.
template <bool kLeft, bool kRight>
[[gnu::always_inline]] inline long add_extended_squares(const double* X, long M, long m, long w0,
                                                        long w1, Lanes& lanes) {
    const double first = X[1], last = X[M];
    const Double4 first4 = broadcast4(first), last4 = broadcast4(last);
    // The outer points of term w: x*(w - m) or the source x*(m - w + 2); x*(w + m) or
    // the source x*(2M - w - m).
    auto four = [&](long w, Double4& sum, Mask4& count) __attribute__((always_inline)) {
        const Double4 a = kLeft ? reversed(load4(X + m - w - 1)) : load4(X + w - m);
        const Double4 c = kRight ? reversed(load4(X + 2 * M - w - m - 3)) : load4(X + w + m);
        Double4 d;
        const Mask4 used = extended_term<kLeft, kRight>(a, load4(X + w), c, first4, last4, d);
        sum += select(used, d * d);
        count += used;
    };
    Double4 low{}, high{};
    Mask4 count_low{}, count_high{};
    long w = w0;
    for (; w + kLanes - 1 <= w1; w += kLanes) {
        four(w, low, count_low);
        four(w + 4, high, count_high);
    }
    Lanes partial;
    store4(partial.lane, low);
    store4(partial.lane + 4, high);
    long used = selected(count_low) + selected(count_high);
    for (; w <= w1; ++w) {
        const double a = kLeft ? X[m - w + 2] : X[w - m];
        const double c = kRight ? X[2 * M - w - m] : X[w + m];
        double d;
        if (!extended_term<kLeft, kRight>(a, X[w], c, first, last, d)) continue;
        partial.add(w - w0, d * d);
        ++used;
    }
    for (long j = 0; j < kLanes; ++j) lanes.lane[j] += partial.lane[j];
    return used;
}

VARNIS_VECTOR_CLONES long add_left_reflected_squares(const double* X, long M, long m, long w0,
                                                     long w1, Lanes& lanes) {
    return add_extended_squares<true, false>(X, M, m, w0, w1, lanes);
}
VARNIS_VECTOR_CLONES long add_right_reflected_squares(const double* X, long M, long m, long w0,
                                                      long w1, Lanes& lanes) {
    return add_extended_squares<false, true>(X, M, m, w0, w1, lanes);
}
VARNIS_VECTOR_CLONES long add_both_reflected_squares(const double* X, long M, long m, long w0,
                                                     long w1, Lanes& lanes) {
    return add_extended_squares<true, true>(X, M, m, w0, w1, lanes);
}

// The terms w = m + 1 and w = M - m whose outer point is the window's first or last
// sample, when both lie among the reflected terms (M - m < m + 1): if the end
// exception of phase data lets one in that a 0.0 kept out, its square is added to
// lane 0.
void add_end_exceptions(const VectorView<const double>& x, long M, long m, TermSum& squares,
                        Lanes& lanes) {
    for (const long w : {m + 1, M - m}) {
        if (w < 2 || w > M - 1) continue;
        const ExtendedPoint a = extended_phase(x, M, w - m);
        const ExtendedPoint b = extended_phase(x, M, w);
        const ExtendedPoint c = extended_phase(x, M, w + m);
        if (!a.gap && !b.gap && !c.gap) continue;  // already added
        auto mark = [](const ExtendedPoint& p) { return p.gap ? 0.0 : 1.0; };
        if (!phase_term_usable({mark(a), mark(b), mark(c)}, w == m + 1, w == M - m)) continue;
        const double d = second_difference(a.value, b.value, c.value);
        lanes.add(0, d * d);
        ++squares.n;
    }
}

// The sum of the squared terms of TotvarCalc and their number: the terms whose points
// all lie inside the window are the overlapping Allan deviation's (with its end
// exceptions); those reaching beyond an end are summed with mirrored indices.
TermSum extended_second_difference_squares(const VectorView<const double>& x, long m) {
    const long M = x.size();
    const double* X = &x[x.first - 1];  // X[w] = x*(w), w = 1 .. M
    TermSum inner;
    if (M - m >= m + 1) inner = sum_of_squares(x, {m, 2, true});
    Lanes lanes;
    TermSum squares;
    // Left outer point reflected, right one inside: w = 2 .. min(m, M - m).
    if (std::min(m, M - m) >= 2)
        squares.n += add_left_reflected_squares(X, M, m, 2, std::min(m, M - m), lanes);
    // Both reflected: w = max(2, M - m + 1) .. min(m, M - 1).
    if (std::min(m, M - 1) >= std::max(2L, M - m + 1))
        squares.n += add_both_reflected_squares(X, M, m, std::max(2L, M - m + 1),
                                                std::min(m, M - 1), lanes);
    // Right reflected, left inside: w = max(2, m + 1, M - m + 1) .. M - 1.
    const long right_from = std::max({2L, m + 1, M - m + 1});
    if (M - 1 >= right_from)
        squares.n += add_right_reflected_squares(X, M, m, right_from, M - 1, lanes);
    if (M - m < m + 1) add_end_exceptions(x, M, m, squares, lanes);
    squares.total = inner.total + lanes.total();
    squares.n += inner.n;
    return squares;
}

// ---- The subsequences of the modified total and Hadamard total deviations ----------
//
// Each subsequence z of 3m samples has its half-average slope removed, is extended by
// reflection to 9m values B (z reversed, z, z reversed) and contributes the sum over
// l = 0 .. 6m - 1 of T(l)^2, where T(l) is the sum of the m second differences
// B[i] - 2 B[i+m] + B[i+2m], i = l .. l + m - 1, slid from l to l + 1 by one second
// difference in and one out. Eight consecutive subsequences are worked side by side,
// one in each lane of two vectors: their samples are stored interleaved (row t holds
// sample t of each), so the same row loads serve all eight, and each lane does exactly
// the operations, in the same order, that one subsequence alone would.

constexpr long kSide = 8;  // subsequences side by side

// Row t of the interleaved block.
[[gnu::always_inline]] inline double* row(double* z, long t) { return z + kSide * t; }

// Removes the half-average slope from the eight subsequences: the difference of the
// means of their first and last h = floor(3m / 2) samples, over the distance
// g = ceil(3m / 2) between the halves. Each subsequence's first value is taken out
// first; a constant changes neither the slope nor any second difference, and without
// it the record's offset would cost precision in the slope.
[[gnu::always_inline]] inline void remove_half_average_slopes(double* z, long m) {
    const long length = 3 * m;
    const long h = length / 2, g = (length + 1) / 2;
    const Double4 origin_low = load4(row(z, 0)), origin_high = load4(row(z, 0) + 4);
    for (long t = 0; t < length; ++t) {
        store4(row(z, t), load4(row(z, t)) - origin_low);
        store4(row(z, t) + 4, load4(row(z, t) + 4) - origin_high);
    }
    Double4 first_low{}, first_high{}, second_low{}, second_high{};
    for (long t = 0; t < h; ++t) {
        first_low += load4(row(z, t));
        first_high += load4(row(z, t) + 4);
        second_low += load4(row(z, g + t));
        second_high += load4(row(z, g + t) + 4);
    }
    const double hd = static_cast<double>(h), gd = static_cast<double>(g);
    const Double4 slope_low = (second_low / hd - first_low / hd) / gd;
    const Double4 slope_high = (second_high / hd - first_high / hd) / gd;
    for (long t = 0; t < length; ++t) {
        const double td = static_cast<double>(t);
        store4(row(z, t), load4(row(z, t)) - td * slope_low);
        store4(row(z, t) + 4, load4(row(z, t) + 4) - td * slope_high);
    }
}

// Row p of the reflected extension B: z[3m - 1 - p], z[p - 3m] or z[9m - 1 - p] for
// the three thirds of B.
[[gnu::always_inline]] inline const double* reflected_row(const double* z, long third, long p) {
    return z + kSide * (p < third ? third - 1 - p : p < 2 * third ? p - third : 3 * third - 1 - p);
}

// The second difference at lag m from B[i] of the eight subsequences, as two vectors.
[[gnu::always_inline]] inline void lag_difference(const double* z, long third, long m, long i,
                                                  Double4& low, Double4& high) {
    const double* p = reflected_row(z, third, i);
    const double* q = reflected_row(z, third, i + m);
    const double* r = reflected_row(z, third, i + 2 * m);
    low = second_difference(load4(p), load4(q), load4(r));
    high = second_difference(load4(p + 4), load4(q + 4), load4(r + 4));
}

// The move of the eight windows from l to l + 1: the second difference at lag m from
// B[l + m] less the one from B[l], from the four rows they read.
[[gnu::always_inline]] inline Double4 move(const double* p, const double* q, const double* r,
                                           const double* t) {
    const Double4 a = load4(p), b = load4(q), c = load4(r), d = load4(t);
    return second_difference(b, c, d) - second_difference(a, b, c);
}

// The eight subsequences' terms: (sum over l of T(l)^2) / m^2 / (6m), into term[8].
[[gnu::always_inline]] inline void reflected_terms(const double* z, long m, double* term) {
    const long third = 3 * m;
    Double4 window_low{}, window_high{}, d_low, d_high;
    for (long i = 0; i < m; ++i) {
        lag_difference(z, third, m, i, d_low, d_high);
        window_low += d_low;
        window_high += d_high;
    }
    Double4 sum_low{}, sum_high{};
    const long steps = 2 * third;
    for (long l = 0; l < steps; ++l) {
        sum_low += window_low * window_low;
        sum_high += window_high * window_high;
        if (l + 1 == steps) break;
        const double* p = reflected_row(z, third, l);
        const double* q = reflected_row(z, third, l + m);
        const double* r = reflected_row(z, third, l + 2 * m);
        const double* t = reflected_row(z, third, l + 3 * m);
        window_low += move(p, q, r, t);
        window_high += move(p + 4, q + 4, r + 4, t + 4);
    }
    const double md = static_cast<double>(m);
    store4(term, sum_low / (md * md) / (6.0 * md));
    store4(term + 4, sum_high / (md * md) / (6.0 * md));
}

VARNIS_VECTOR_CLONES void subsequence_terms(double* z, long m, double* term) {
    remove_half_average_slopes(z, m);
    reflected_terms(z, m, term);
}

struct SubsequenceTotals {
    double accumulator = 0.0;
    long count = 0;
    bool out_of_memory = false;
};

// Runs over the subsequences s = first .. last - 3m + 1 of the window, eight at a time,
// and adds their terms in order. `samples` gives each subsequence's 3m samples:
// samples.as_read(from, to) says whether the samples from .. to may be taken as they
// are (and then takes them), samples.take(s, z, stride) writes those of subsequence s
// to z[0], z[stride], ... Progress is reported by the position of s in the window, and
// the stop flag read, after each subsequence's term is added. No block is taken when
// the window holds no subsequence.
template <class Samples>
SubsequenceTotals run_subsequences(const VectorView<const double>& v, long m,
                                   ProgressReporter& progress, const int* stop,
                                   Samples&& samples) {
    SubsequenceTotals totals;
    if (v.size() < 3 * m) return totals;
    ScratchArray<double> block(static_cast<std::size_t>(kSide * 3 * m));
    if (!block.ok()) {
        totals.out_of_memory = true;
        return totals;
    }
    double* const z = block.data();
    const long final_s = v.last - 3 * m + 1;
    for (long s0 = v.first; s0 <= final_s; s0 += kSide) {
        const long lanes = std::min(kSide, final_s - s0 + 1);
        if (lanes == kSide && samples.as_read(s0, s0 + kSide - 1 + 3 * m - 1)) {
            for (long t = 0; t < 3 * m; ++t) std::memcpy(row(z, t), &v[s0 + t], sizeof(double) * kSide);
        } else {
            for (long j = 0; j < kSide; ++j) {
                if (j < lanes) {
                    samples.take(s0 + j, z + j, kSide);
                } else {
                    for (long t = 0; t < 3 * m; ++t) row(z, t)[j] = 0.0;
                }
            }
        }
        double term[kSide];
        subsequence_terms(z, m, term);
        for (long j = 0; j < lanes; ++j) {
            totals.accumulator += term[j];
            ++totals.count;
            progress.advance(s0 + j - v.first);
            if (stop_requested(stop)) return totals;
        }
    }
    return totals;
}

// Writes the deviation for a variance, or 0.0 with -2 when there is no positive
// estimate.
int finish_deviation(double* deviation, double variance, long count) {
    if (count == 0 || !(variance > 0.0)) {
        *deviation = 0.0;
        return -2;
    }
    *deviation = std::sqrt(variance);
    return static_cast<int>(count);
}

// The samples of HadTotvarCalc's subsequences, gaps filled as they are copied: a
// nonzero sample is copied and becomes the fill value; a 0.0 whose two neighbours
// (inside the window) are nonzero becomes their mean; any other 0.0 becomes the fill
// value, which carries from one subsequence to the next.
struct FilledSamples {
    const VectorView<const double>& v;
    long m;
    double fill;

    // Samples without a gap are copied as they are, and the last becomes the fill value.
    bool as_read(long from, long to) {
        for (long k = from; k <= to; ++k)
            if (is_gap(v[k])) return false;
        fill = v[to];
        return true;
    }

    void take(long s, double* z, long stride) {
        for (long t = 0; t < 3 * m; ++t) {
            const long k = s + t;
            if (!is_gap(v[k])) {
                z[t * stride] = v[k];
                fill = v[k];
            } else if (k > v.first && k < v.last && !is_gap(v[k - 1]) && !is_gap(v[k + 1])) {
                z[t * stride] = (v[k - 1] + v[k + 1]) / 2.0;
            } else {
                z[t * stride] = fill;
            }
        }
    }
};

constexpr const char* kModTotdevTitle = "Calculating Mod Totdev";
constexpr const char* kHadamardTotdevTitle = "Calculating Hadamard Totdev";

// Coefficients of the degrees-of-freedom fits, by noise type.
struct LinearFit {
    double slope;
    double intercept;
};

// The result of a double-precision formula, rounded to single precision.
inline float single(double value) { return static_cast<float>(value); }

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int TotvarCalc(const double* data, double* deviation, double tau0, int m,
                          int /*unused*/) {
    const auto x = read_window(data);
    if (!x || deviation == nullptr || !positive(tau0)) return -1;
    const long M = x->size();
    // The extended series reaches M - 2 points beyond each end: m up to M - 1.
    if (m < 1 || m > M - 1) return -1;
    const TermSum squares = extended_second_difference_squares(*x, m);
    const double mt = static_cast<double>(m) * tau0;
    const double variance =
        squares.n > 0 ? squares.total / (2.0 * mt * mt * static_cast<double>(squares.n)) : 0.0;
    return finish_deviation(deviation, variance, squares.n);
}

extern "C" int ModTotvarCalc(const double* data, double* deviation, double tau0, int m,
                             int* stop, int progress, VarnisProgressCallback callback) {
    const auto x = read_window(data);
    if (!x || deviation == nullptr || m < 1 || !positive(tau0)) return -1;
    const long M = x->size();
    const long md = m;
    ProgressReporter reporter(callback, progress != 0, kModTotdevTitle, M / 100, M - 3 * md);
    reporter.open();
    // Phase samples are taken as they are: 0.0 is a value here.
    struct {
        const VectorView<const double>& x;
        bool as_read(long, long) const { return true; }
        void take(long s, double* z, long stride) const {
            for (long t = 0; t < 3 * md_; ++t) z[t * stride] = x[s + t];
        }
        long md_;
    } samples{*x, md};
    const auto totals = run_subsequences(*x, md, reporter, stop, samples);
    if (totals.out_of_memory) return -1;
    const double mt = static_cast<double>(md) * tau0;
    const double variance =
        totals.count > 0
            ? totals.accumulator / (2.0 * mt * mt * static_cast<double>(totals.count))
            : 0.0;
    const int result = finish_deviation(deviation, variance, totals.count);
    reporter.close(true);
    return result;
}

extern "C" int HadTotvarCalc(const double* data, double* deviation, int m, int* stop,
                             int progress, VarnisProgressCallback callback) {
    const auto y = read_window(data);
    if (!y || deviation == nullptr || m < 1) return -1;
    const long M = y->size();
    const long md = m;
    // Gaps are filled with the last nonzero sample copied, which starts as the
    // window's mean; a window without any nonzero sample fills with 0.0 and so gives
    // no positive estimate.
    double fill = 0.0;
    if (CalcMean(data, &fill, 1) < 0) fill = 0.0;
    ProgressReporter reporter(callback, progress != 0, kHadamardTotdevTitle, M / 100,
                              M - 3 * md);
    reporter.open();
    const auto totals = run_subsequences(*y, md, reporter, stop, FilledSamples{*y, md, fill});
    if (totals.out_of_memory) return -1;
    const double variance =
        totals.count > 0 ? totals.accumulator / (6.0 * static_cast<double>(totals.count)) : 0.0;
    const int result = finish_deviation(deviation, variance, totals.count);
    reporter.close(true);
    return result;
}

extern "C" float TotvarBias(int alpha, float ratio) {
    if (!(ratio >= 2.0f) || alpha < -2 || alpha > 2) return -1.0f;
    const double r = ratio;
    if (alpha == -1) return single(1.0 - 0.4809 / r);
    if (alpha == -2) return single(1.0 - 0.75 / r);
    return 1.0f;
}

extern "C" float TotvarEDF(int alpha, float ratio) {
    if (!(ratio >= 2.0f) || alpha < -2 || alpha > 0) return -1.0f;
    static const LinearFit kFits[3] = {{1.5, 0.0}, {1.16832, 0.222}, {0.92715, 0.358}};
    const LinearFit& fit = kFits[-alpha];
    return single(fit.slope * static_cast<double>(ratio) - fit.intercept);
}

extern "C" float ModTotvarBias(int alpha) {
    static const float kBias[5] = {0.94f, 0.83f, 0.73f, 0.70f, 0.69f};  // alpha 2 .. -2
    if (alpha < -2 || alpha > 2) return -1.0f;
    return kBias[2 - alpha];
}

extern "C" float ModTotvarEDF(int alpha, float ratio) {
    if (!(ratio >= 3.0f) || alpha < -2 || alpha > 2) return -1.0f;
    static const LinearFit kFits[5] = {
        {2.16, 2.28}, {1.73, 2.99}, {1.33, 1.89}, {0.92, 0.76}, {0.79, 0.37}};  // alpha 2 .. -2
    const LinearFit& fit = kFits[2 - alpha];
    return single(fit.slope * static_cast<double>(ratio) - fit.intercept);
}

extern "C" float HadTotvarBias(int alpha) {
    static const float kBias[5] = {0.995f, 0.851f, 0.771f, 0.717f, 0.679f};  // alpha 0 .. -4
    if (alpha < -4 || alpha > 0) return -1.0f;
    return kBias[-alpha];
}

extern "C" float HadTotvarEDF(int alpha, float ratio) {
    if (alpha < -4 || alpha > 0) return -1.0f;
    // (a, b) of ratio / (a / ratio + b), alpha 0 .. -4.
    static const double kCoefficients[5][2] = {
        {1.004, 0.559}, {1.14, 0.868}, {1.696, 0.938}, {2.554, 0.974}, {3.149, 1.276}};
    const double r = ratio;
    return single(r / (kCoefficients[-alpha][0] / r + kCoefficients[-alpha][1]));
}
