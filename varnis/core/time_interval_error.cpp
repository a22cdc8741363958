// Time interval error of phase data: MTIE for one window span, MTIE for the spans
// 2^i - 1 in one doubling pass that fills a stability table, and TIE rms at one lag.
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "core/data_vector.h"
#include "core/progress.h"
#include "core/scratch.h"
#include "varnis.h"

namespace varnis {
namespace {

constexpr const char* kTitle = "Calculating MTIE";

// A double-ended queue of sample indices in a fixed ring.
class IndexRing {
public:
    explicit IndexRing(std::size_t capacity) : slots_(capacity), capacity_(capacity) {}
    bool ok() const { return slots_.ok(); }
    bool empty() const { return size_ == 0; }
    long front() const { return slots_[head_]; }
    long back() const { return slots_[slot(size_ - 1)]; }
    void push_back(long k) {
        slots_[slot(size_)] = k;
        ++size_;
    }
    void pop_back() { --size_; }
    void pop_front() {
        head_ = slot(1);
        --size_;
    }

private:
    std::size_t slot(std::size_t offset) const {
        const std::size_t i = head_ + offset;
        return i >= capacity_ ? i - capacity_ : i;
    }
    ScratchArray<long> slots_;
    std::size_t capacity_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

// Extremes of a window that slides forward one sample at a time, over the samples
// that count under the phase gap rule of FindMinMax (a 0.0 is a gap except at sample
// 1 and at sample N of the vector). The max queue holds indices of decreasing values
// and the min queue of increasing ones, so each front is its window's extreme; every
// sample enters and leaves each queue once, so a whole scan costs about M steps.
class SlidingExtremes {
public:
    // capacity: the most samples a window holds.
    SlidingExtremes(const VectorView<double>& x, std::size_t capacity)
        : x_(x), max_(capacity), min_(capacity), next_(x.first) {}
    bool ok() const { return max_.ok() && min_.ok(); }

    // max - min of the samples first .. last, 0 when none counts. Successive calls
    // must move both ends forward.
    double range(long first, long last) {
        while (!max_.empty() && max_.front() < first) max_.pop_front();
        while (!min_.empty() && min_.front() < first) min_.pop_front();
        for (; next_ <= last; ++next_) {
            if (!is_value(x_, next_, true)) continue;
            const double value = x_[next_];
            while (!max_.empty() && x_[max_.back()] <= value) max_.pop_back();
            max_.push_back(next_);
            while (!min_.empty() && x_[min_.back()] >= value) min_.pop_back();
            min_.push_back(next_);
        }
        if (max_.empty()) return 0.0;
        return x_[max_.front()] - x_[min_.front()];
    }

private:
    VectorView<double> x_;
    IndexRing max_;
    IndexRing min_;
    long next_;  // the next sample to take in
};

// Writes the analysis window into the header: callers of CalcMTIE see the window
// being scanned, and FindMinMax reads it.
void set_window(double* data, long first, long last) {
    data[1] = static_cast<double>(first);
    data[2] = static_cast<double>(last);
}

// max - min of the window now in the header, by a full rescan.
double rescan_range(double* data) {
    double lo = 0.0, hi = 0.0;
    FindMinMax(data, &lo, &hi, 0);
    return hi - lo;
}

// One level of the doubling scheme over positions begin .. end - 1: the window of
// 2 half samples at r is the union of the halves at r and r + half, whose extremes the
// previous level left in hi and lo (every sample between lies in one of them, so one
// comparison per position gives the same extremes as comparing each offset). Returns
// the largest hi - lo of these positions, in single precision.
float merge_halves(float* hi, float* lo, long begin, long end, long half) {
    float value = 0.0f;
    for (long r = begin; r < end; ++r) {
        // Unconditional selects: on noise each comparison is a coin toss, which a
        // branch would mispredict half the time.
        const float h = hi[r + half] > hi[r] ? hi[r + half] : hi[r];
        const float l = lo[r + half] < lo[r] ? lo[r + half] : lo[r];
        hi[r] = h;
        lo[r] = l;
        const float excursion = h - l;
        value = excursion > value ? excursion : value;
    }
    return value;
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int CalcMTIE(double* data, double* mtie, int m, int* stop, int progress,
                        VarnisProgressCallback callback) {
    if (mtie != nullptr) *mtie = 0.0;
    const auto x = read_window(data);
    if (!x || mtie == nullptr) return -1;
    const long first = x->first, last = x->last;
    const long span = last - first - m;  // the final window start, relative to first
    ProgressReporter reporter(callback, progress != 0, kTitle, span / 100, span);
    reporter.open();

    // A negative span leaves every window empty, with nothing to scan.
    if (m >= 0 && span >= 0) {
        // Windows of m + 1 samples; without memory for the queues each window is
        // rescanned, which gives the same result at m times the cost.
        SlidingExtremes extremes(*x, static_cast<std::size_t>(m) + 1);
        for (long s = first; s <= last - m; ++s) {
            set_window(data, s, s + m);
            const double excursion = extremes.ok() ? extremes.range(s, s + m) : rescan_range(data);
            if (excursion >= *mtie) *mtie = excursion;
            reporter.advance(s);
            if (stop_requested(stop)) break;
        }
    }

    set_window(data, first, last);
    reporter.close();
    return static_cast<int>(x->size());
}

extern "C" int CalcFastMTIE(const double* data, VarnisStabilityTable* table, int firstRowOnly,
                            VarnisProgressCallback callback) {
    const auto x = read_window(data, WindowRule::MayBeEmpty);
    if (!x || table == nullptr) return -1;
    const long M = x->size();
    if (M >= 2 && (table->value == nullptr || table->numPoints == nullptr ||
                   table->avgFactor == nullptr))
        return -1;
    ProgressReporter reporter(callback, true, kTitle, 0, 0, PercentRule::Truncated);
    reporter.open();
    if (M < 2) {
        reporter.close();
        return 0;
    }

    // hi[r] and lo[r]: extremes of the `width` samples starting at position r, held in
    // single precision. Gaps are not recognised: 0.0 is a value here.
    const auto size = static_cast<std::size_t>(M);
    ScratchArray<float> hi(size), lo(size);
    if (!hi.ok() || !lo.ok()) return -1;
    for (std::size_t r = 0; r < size; ++r) {
        hi[r] = lo[r] = static_cast<float>((*x)[x->first + static_cast<long>(r)]);
    }

    int rows = 0;
    // Counting by halves keeps every width within M, also where long has 32 bits.
    for (long half = 1; half <= M / 2; half *= 2) {
        const long span = 2 * half - 1;
        const long positions = M - span;
        const long step = positions / 100;
        reporter.restart(step, positions);
        // The positions between two reports are merged in one tight run; the reporter
        // sees exactly the indices at which it reports (r - last report >= step).
        float value = 0.0f;
        long next_report = step;
        for (long r = 0; r < positions;) {
            const long end = std::min(positions, std::max(next_report, r) + 1);
            value = std::max(value, merge_halves(hi.data(), lo.data(), r, end, half));
            r = end;
            if (end - 1 >= next_report) {
                reporter.advance(end - 1);
                next_report = end - 1 + step;
            }
        }
        table->value[rows] = value;
        table->numPoints[rows] = static_cast<float>(positions);
        table->avgFactor[rows] = static_cast<int>(span);
        ++rows;
        table->count = rows;
        if (firstRowOnly != 0) break;
    }

    reporter.close();
    return rows;
}

extern "C" int TIErms(const double* data, double* tie, int m) {
    if (tie != nullptr) *tie = 0.0;
    const auto x = read_window(data);
    if (!x || tie == nullptr || m < 0) return -1;
    const long final_k = x->last - m;
    double sum = 0.0;
    long n = 0;
    for (long k = x->first; k <= final_k; ++k) {
        const double a = (*x)[k], b = (*x)[k + m];
        if (!phase_term_usable({a, b}, k == x->first, k == final_k)) continue;
        const double d = b - a;
        sum += d * d;
        ++n;
    }
    if (n == 0) return -1;
    *tie = std::sqrt(sum / static_cast<double>(n));
    return static_cast<int>(n);
}
