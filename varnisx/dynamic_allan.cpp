// Dynamic Allan deviation: the overlapping Allan deviation in windows sliding along the
// record, a matrix of windows by averaging factors.
//
// For one factor the squared second differences of the whole record are summed once
// into running sums; the sum of any window is then the difference of two of them. The
// running sums are compensated (each carries the rounding it dropped), so a quiet
// stretch after a noisy one loses no digits to the subtraction.
#include <cmath>
#include <limits>

#include "core/data_vector.h"
#include "core/progress.h"
#include "core/scratch.h"
#include "varnisx.h"

using varnis::ScratchArray;

namespace {

// Running sums of the squared terms of one factor, index t = 0 .. T (sum of terms < t).
struct RunningSums {
    ScratchArray<double> high, low;
    ScratchArray<long> count;
    explicit RunningSums(long T)
        : high(static_cast<std::size_t>(T + 1)), low(static_cast<std::size_t>(T + 1)),
          count(static_cast<std::size_t>(T + 1)) {}
    bool ok() const { return high.ok() && low.ok() && count.ok(); }
    double sum(long a, long b) const { return (high[b] - high[a]) + (low[b] - low[a]); }
};

// Fills the running sums of the terms x[k] - 2 x[k+m] + x[k+2m], k = first + t.
void fill_running_sums(const varnis::VectorView<const double>& v, long m, RunningSums& s) {
    const long T = v.size() - 2 * m;
    double high = 0.0, low = 0.0;
    long count = 0;
    s.high[0] = s.low[0] = 0.0;
    s.count[0] = 0;
    for (long t = 0; t < T; ++t) {
        const long k = v.first + t;
        if (varnis::is_value(v, k, true) && varnis::is_value(v, k + m, true) &&
            varnis::is_value(v, k + 2 * m, true)) {
            const double d = v[k] - 2.0 * v[k + m] + v[k + 2 * m];
            const double term = d * d;
            const double next = high + term;  // Neumaier's compensated addition
            low += std::fabs(high) >= term ? (high - next) + term : (term - next) + high;
            high = next;
            ++count;
        }
        s.high[t + 1] = high;
        s.low[t + 1] = low;
        s.count[t + 1] = count;
    }
}

}  // namespace

extern "C" VARNISX_API int CalcDynamicAllanDev(const double* data, double tau0, int window,
                                               int step, const int* factors, int count,
                                               double* deviations, int* terms, int capacity,
                                               const int* stop, int progress,
                                               VarnisProgressCallback callback) {
    const auto v = varnis::read_window(data);
    if (!v || factors == nullptr || deviations == nullptr || count < 1 || step < 1 ||
        window < 1 || !varnis::positive(tau0))
        return -1;
    const long M = v->size();
    if (window > M) return -1;
    const long windows = (M - window) / step + 1;
    if (windows > capacity) return -1;
    for (long c = 0; c < count; ++c)
        if (factors[c] < 1 || 2L * factors[c] >= window) return -1;
    RunningSums sums(M - 2 * 1);  // sized for the smallest factor, reused for every one
    if (!sums.ok()) return -1;

    varnis::ProgressReporter reporter(callback, progress != 0,
                                      "Calculating Dynamic Allan Deviation", count / 100, count);
    reporter.open();
    for (long c = 0; c < count; ++c) {
        const long m = factors[c];
        fill_running_sums(*v, m, sums);
        const long per_window = window - 2 * m;  // terms of a window without gaps
        const double scale = 2.0 * static_cast<double>(m) * static_cast<double>(m) * tau0 * tau0;
        for (long r = 0; r < windows; ++r) {
            const long a = r * step, b = a + per_window;
            const long n = sums.count[b] - sums.count[a];
            const long cell = r * count + c;
            deviations[cell] = n > 0 ? std::sqrt(sums.sum(a, b) / (scale * static_cast<double>(n)))
                                     : std::numeric_limits<double>::quiet_NaN();
            if (terms != nullptr) terms[cell] = static_cast<int>(n);
        }
        reporter.advance(c + 1);
        if (varnis::stop_requested(stop) && c + 1 < count) {
            reporter.close();
            return 0;
        }
    }
    reporter.close();
    return static_cast<int>(windows);
}
