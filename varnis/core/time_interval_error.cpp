// Time interval error of phase data: MTIE for one window span, MTIE for the spans
// 2^i - 1 in one doubling pass that fills a stability table, and TIE rms at one lag.
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "core/data_vector.h"
#include "core/difference_sums.h"
#include "core/progress.h"
#include "core/scratch.h"
#include "core/window_extremes.h"
#include "varnis.h"

namespace varnis {
namespace {

constexpr const char* kTitle = "Calculating MTIE";

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
        const VectorView<const double> samples{x->base, x->count, first, last};
        const long w = static_cast<long>(m) + 1;  // samples per window
        const long final_s = last - m;
        // The windows from .. to one at a time, with their reports and stop-flag
        // readings when `reports` is set; without memory for the queues each window is
        // rescanned, which gives the same result at m times the cost. False when
        // stopped.
        auto one_at_a_time = [&](long from, long to, bool reports) {
            SlidingExtremes extremes(samples, static_cast<std::size_t>(w), from);
            for (long s = from; s <= to; ++s) {
                set_window(data, s, s + m);
                const double excursion =
                    extremes.ok() ? extremes.range(s, s + m) : rescan_range(data);
                if (excursion >= *mtie) *mtie = excursion;
                if (!reports) continue;
                reporter.advance(s);
                if (stop_requested(stop)) return false;
            }
            return true;
        };
        // Four blocks of w windows at a time (core/window_extremes.h), or groups of 4096
        // short windows each taken from its samples. The reports of a group's windows
        // follow it in order, each with the header showing its window; a stop raised
        // in one takes the group again one window at a time up to there.
        const bool direct = w <= kDirectWindow;
        const long group = direct ? 4096 : 4 * w;
        ScratchArray<double> rows(static_cast<std::size_t>(direct ? 1 : 8 * w), WrittenBeforeRead{});
        if (!rows.ok()) {
            one_at_a_time(first, final_s, true);
        } else {
            for (long A = first; A <= final_s; A += group) {
                const long group_last = std::min(A + group - 1, final_s);
                if (stop_requested(stop)) {  // raised before: read after the first window
                    one_at_a_time(A, A, true);
                    break;
                }
                const double before = *mtie;
                const double excursion =
                    direct ? largest_excursion_direct(samples, w, A, group_last - A + 1)
                           : largest_excursion(samples, w, A, rows.data());
                if (excursion >= *mtie) *mtie = excursion;
                bool stopped = false;
                for (long s = reporter.next_report(A); s <= group_last;
                     s = reporter.next_report(s + 1)) {
                    set_window(data, s, s + m);
                    reporter.advance(s);
                    if (stop_requested(stop)) {
                        *mtie = before;
                        one_at_a_time(A, s, false);
                        stopped = true;
                        break;
                    }
                }
                if (stopped) break;
            }
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
    // Pairs at lag m with the phase gap rule of first differences.
    const TermSum squares = sum_of_squares(*x, {m, 1, true});
    if (squares.n == 0) return -1;
    *tie = std::sqrt(squares.total / static_cast<double>(squares.n));
    return static_cast<int>(squares.n);
}
