// Total variance family: the total, modified total and Hadamard total deviations,
// which extend the data by reflection so that long averaging times use the whole
// record, and the bias factors and degrees of freedom of the three estimates.
#include <cmath>
#include <cstddef>

#include "core/data_vector.h"
#include "core/differences.h"
#include "core/progress.h"
#include "core/scratch.h"
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

// The working block of the two subsequence forms: 9m values holding a subsequence of
// 3m samples z (at [3m, 6m)) between two reversed copies of it.
struct SubsequenceBlock {
    double* b;
    long m;
    double* z() const { return b + 3 * m; }
};

// Removes the half-average slope from z: the difference of the means of its first
// and last h = floor(3m / 2) samples, over the distance g = ceil(3m / 2) between the
// halves. The subsequence's first value is taken out first; a constant changes
// neither the slope nor any second difference, and without it the record's offset
// would cost precision in the slope.
void remove_half_average_slope(const SubsequenceBlock& block) {
    double* z = block.z();
    const long length = 3 * block.m;
    const long h = length / 2, g = (length + 1) / 2;
    const double origin = z[0];
    for (long t = 0; t < length; ++t) z[t] -= origin;
    double first_half = 0.0, second_half = 0.0;
    for (long t = 0; t < h; ++t) {
        first_half += z[t];
        second_half += z[g + t];
    }
    const double slope = (second_half / static_cast<double>(h) -
                          first_half / static_cast<double>(h)) / static_cast<double>(g);
    for (long t = 0; t < length; ++t) z[t] -= static_cast<double>(t) * slope;
}

// Surrounds z with its reversed copies: b[t] = b[6m + t] = z[3m - 1 - t].
void reflect_subsequence(const SubsequenceBlock& block) {
    const long length = 3 * block.m;
    const double* z = block.z();
    for (long t = 0; t < length; ++t) {
        block.b[t] = z[length - 1 - t];
        block.b[2 * length + t] = z[length - 1 - t];
    }
}

// The subsequence's term: the mean over l = 0 .. 6m - 1 of d(l)^2 / (6m) summed, with
// d(l) = (S1 - 2 S2 + S3) / m for the three adjacent m-sample sums starting at l.
// S1 - 2 S2 + S3 is the sum of the m second differences at lags l .. l + m - 1; that
// sum slides by one second difference in and one out per step, so offsets in the
// data never enter it.
double subsequence_term(const SubsequenceBlock& block) {
    remove_half_average_slope(block);
    reflect_subsequence(block);
    const double* b = block.b;
    const long m = block.m;
    auto lag_difference = [&](long i) { return second_difference(b[i], b[i + m], b[i + 2 * m]); };
    double window = 0.0;
    for (long i = 0; i < m; ++i) window += lag_difference(i);
    double sum = 0.0;
    const long steps = 6 * m;
    for (long l = 0; l < steps; ++l) {
        sum += window * window;
        if (l + 1 < steps) window += lag_difference(l + m) - lag_difference(l);
    }
    const double md = static_cast<double>(m);
    return sum / (md * md) / (6.0 * md);
}

struct SubsequenceTotals {
    double accumulator = 0.0;
    long count = 0;
    bool out_of_memory = false;
};

// Runs over the subsequences s = first .. last - 3m + 1 of the window: `load(s, z)`
// fills z with the 3m samples from s, then the subsequence's term is added. Progress
// is reported by the position of s in the window, and the stop flag read, after each
// subsequence. No block is taken when the window holds no subsequence.
template <class Load>
SubsequenceTotals run_subsequences(const VectorView<const double>& v, long m,
                                   ProgressReporter& progress, const int* stop, Load&& load) {
    SubsequenceTotals totals;
    if (v.size() < 3 * m) return totals;
    ScratchArray<double> scratch(static_cast<std::size_t>(9 * m));
    if (!scratch.ok()) {
        totals.out_of_memory = true;
        return totals;
    }
    const SubsequenceBlock block{scratch.data(), m};
    const long final_s = v.last - 3 * m + 1;
    for (long s = v.first; s <= final_s; ++s) {
        load(s, block.z());
        totals.accumulator += subsequence_term(block);
        ++totals.count;
        progress.advance(s - v.first);
        if (stop_requested(stop)) break;
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
    double sum = 0.0;
    long n = 0;
    for (long w = 2; w <= M - 1; ++w) {
        const ExtendedPoint a = extended_phase(*x, M, w - m);
        const ExtendedPoint b = extended_phase(*x, M, w);
        const ExtendedPoint c = extended_phase(*x, M, w + m);
        // The gap rule of every phase routine, on the points' gap marks: the terms whose
        // outer point is the window's first or last sample keep a 0.0 there.
        auto mark = [](const ExtendedPoint& p) { return p.gap ? 0.0 : 1.0; };
        if (!phase_term_usable({mark(a), mark(b), mark(c)}, w == m + 1, w == M - m)) continue;
        const double d = second_difference(a.value, b.value, c.value);
        sum += d * d;
        ++n;
    }
    const double mt = static_cast<double>(m) * tau0;
    const double variance = n > 0 ? sum / (2.0 * mt * mt * static_cast<double>(n)) : 0.0;
    return finish_deviation(deviation, variance, n);
}

extern "C" int ModTotvarCalc(const double* data, double* deviation, double tau0, int m,
                             int* stop, int progress, VarnisProgressCallback callback) {
    const auto x = read_window(data);
    if (!x || deviation == nullptr || m < 1 || !positive(tau0)) return -1;
    const long M = x->size();
    const long md = m;
    ProgressReporter reporter(callback, progress != 0, kModTotdevTitle, M / 100, M - 3 * md);
    reporter.open();
    // Phase samples are copied as they are: 0.0 is a value here.
    const auto totals = run_subsequences(*x, md, reporter, stop, [&](long s, double* z) {
        for (long t = 0; t < 3 * md; ++t) z[t] = (*x)[s + t];
    });
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
    const VectorView<const double>& v = *y;
    const auto totals = run_subsequences(v, md, reporter, stop, [&](long s, double* z) {
        for (long t = 0; t < 3 * md; ++t) {
            const long k = s + t;
            if (!is_gap(v[k])) {
                z[t] = v[k];
                fill = v[k];
            } else if (k > v.first && k < v.last && !is_gap(v[k - 1]) && !is_gap(v[k + 1])) {
                z[t] = (v[k - 1] + v[k + 1]) / 2.0;
            } else {
                z[t] = fill;
            }
        }
    });
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
