// Plot scaling: extremes and histogram counts of a data vector, and three ways of
// turning a value range into round axis limits and divisions.
#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "core/data_vector.h"
#include "core/numeric.h"
#include "varnis.h"

namespace varnis {
namespace {

// The zero rule of the plot routines: with zero_gaps every 0.0 is a gap; without it a
// 0.0 is still a gap except at sample 1 and sample N, where phase records hold one.
bool counts(const VectorView<const double>& v, long k, int zero_gaps) {
    return is_value(v, k, zero_gaps == 0);
}

// One step of an axis walk toward `bound`. A step too small to change the value (a
// range near the resolution of its own values) lands on the bound instead, so the walk
// ends and the axis still covers the range.
double step_toward(double value, double delta, double bound) {
    const double next = value + delta;
    return next == value ? bound : next;
}

constexpr int kNiceSteps[] = {10, 12, 15, 16, 20, 25, 30, 40, 50, 60, 75, 80, 100, 120, 150};
constexpr int kDivisionCounts[] = {2, 3, 4, 5, 6, 8};

// Tick factor of RoundAxes by the span of the rounded range in units of its unit.
int tick_factor(long span) {
    if (span < 10) return 1;
    if (span < 20) return 2;
    if (span < 40) return 5;
    if (span < 80) return 10;
    if (span <= 150) return 20;
    if (span < 200) return 50;
    return 100;
}

// Decimal exponent of |x|, with 0 taken as 1e-99.
int decimal_exponent(double x) {
    const double a = x == 0.0 ? 1e-99 : std::fabs(x);
    return static_cast<int>(std::floor(std::log10(a)));
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int FindMinMax(const double* data, double* min, double* max, int zeroGaps) {
    if (min) *min = 0.0;
    if (max) *max = 0.0;
    const auto v = read_window(data, WindowRule::MayBeEmpty);
    if (!v || min == nullptr || max == nullptr) return -1;
    int count = 0;
    for (long k = v->first; k <= v->last; ++k) {
        if (!counts(*v, k, zeroGaps)) continue;
        const double x = (*v)[k];
        if (count == 0) {
            *min = x;
            *max = x;
        } else if (x > *max) {
            *max = x;
        } else if (x < *min) {
            *min = x;
        }
        ++count;
    }
    return count;
}

extern "C" int HistoCalc(const double* data, const float* edges, float* counts, double* maxCount,
                         int nbins, int zeroGaps) {
    if (maxCount) *maxCount = 0.0;
    const auto v = read_window(data, WindowRule::MayBeEmpty);
    if (!v || maxCount == nullptr || (nbins > 0 && (edges == nullptr || counts == nullptr)))
        return -1;
    // The window is counted as floor(last - first + 1) samples from first, taken from
    // the header's own values; for a whole-number header that is first .. last.
    const long positions = static_cast<long>(data[2] - data[1] + 1.0);
    const long start = static_cast<long>(data[1] + 2.0);
    for (long k = v->first; k < v->first + positions; ++k) {
        if (!varnis::counts(*v, k, zeroGaps)) continue;
        const double x = (*v)[k];
        for (int j = 0; j < nbins; ++j) {
            if (x <= edges[j + 1]) {
                counts[j] += 1.0f;
                if (counts[j] > *maxCount) *maxCount = counts[j];
                break;
            }
        }
    }
    return static_cast<int>(positions + start);
}

extern "C" int FindPlotScale(double min, double max, double* lo, double* hi) {
    if (lo == nullptr || hi == nullptr) return -1;
    const double r = max - min;
    if (!(r > 0.0) || !std::isfinite(r)) {
        *lo = 0.0;
        *hi = 0.0;
        return -1;
    }
    const double L = std::log10(r) + 100.0;
    const double Lf = std::floor(L);
    const double f = L - Lf;
    int divisions = 10;
    for (int k : kDivisionCounts) {
        if (f < std::log10(static_cast<double>(k)) + 0.000001) {
            divisions = k;
            break;
        }
    }
    const double w = power_of_ten(static_cast<int>(Lf) - 100);
    const double span = w * divisions;
    // A range near the largest double rounds up to a span that overflows, and one of
    // subnormal width to a power of ten that underflows: neither has a usable axis.
    if (!(span > 0.0) || !std::isfinite(span)) {
        *lo = 0.0;
        *hi = 0.0;
        return -1;
    }
    const double ls = std::log10(span);
    const double p = ls >= 0.0 ? std::floor(ls) : std::ceil(ls) - 1.0;
    const double unit = power_of_ten(static_cast<int>(p));
    const double q = min / unit;
    double low = (q >= 0.0 ? std::floor(q) : std::floor(q) - 1.0) * unit;
    double high = low + span;
    long extra = 0;
    if (high < max) {
        while (high < max) {
            high = step_toward(high, w, max);
            low += w;
        }
        while (low > min) {
            low = step_toward(low, -w, min);
            ++extra;
        }
    } else if (low > min) {
        while (low > min) {
            low = step_toward(low, -w, min);
            high -= w;
        }
        while (high < max) {
            high = step_toward(high, w, max);
            ++extra;
        }
    }
    *lo = low;
    *hi = high;
    return divisions + static_cast<int>(extra);
}

extern "C" int BasScale(double a, double b, int n, double* start, double* step) {
    if (start == nullptr || step == nullptr) return 0;
    *start = 0.0;
    *step = 0.0;
    if (!std::isfinite(a) || !std::isfinite(b)) return 0;
    if (a > b) std::swap(a, b);
    if (a == b) b = a == 0.0 ? 1.0 : a + std::fabs(a) / 10.0;
    // A range entirely at or below zero is scaled as its mirror image.
    const bool mirrored = b <= 0.0;
    if (mirrored) {
        const double t = a;
        a = -b;
        b = -t;
    }
    const long long gaps = n < 2 ? 1 : static_cast<long long>(n) - 1;
    long long d = gaps;
    for (int pass = 0; pass < 3; ++pass, d *= 2) {
        const double divisions = static_cast<double>(d);
        const double raw = (b - a) / divisions;
        // A range below the resolution of its values, or beyond the largest double,
        // has no step: no search could end.
        if (!(raw > 0.0) || !std::isfinite(raw)) return 0;
        double mantissa = raw;
        while (mantissa < 10.0) mantissa *= 10.0;
        while (mantissa > 100.0) mantissa /= 10.0;
        const double unit = raw / mantissa;
        for (int entry : kNiceSteps) {
            if (entry < mantissa) continue;
            const double candidate = entry * unit;
            const double first = std::floor(a / candidate) * candidate;
            const double end = first + divisions * candidate;
            *start = first;
            *step = candidate;
            if (b <= end) {
                if (mirrored) *start = -end;
                *step = candidate * static_cast<double>(d / gaps);
                return 1;
            }
        }
    }
    return 0;
}

extern "C" void RoundAxes(double* lo, double* hi, double* tick) {
    if (lo == nullptr || hi == nullptr || tick == nullptr) return;
    const double in_lo = *lo, in_hi = *hi;
    *tick = 0.0;
    if (!std::isfinite(in_lo) || !std::isfinite(in_hi)) return;  // nothing to round
    const int neg_lo = in_lo < 0.0 ? 1 : 0;
    const int pos_hi = in_hi > 0.0 ? 1 : 0;
    const int e = std::max(decimal_exponent(in_hi), decimal_exponent(in_lo)) - 1;
    const double unit = power_of_ten(e);
    const double h = in_hi / unit;
    const double l = in_lo / unit;
    // Below the smallest double the unit vanishes; such a range cannot be rounded.
    if (!std::isfinite(h) || !std::isfinite(l)) return;
    const double margin = (h - l) * 0.05;

    long top = static_cast<long>(std::ceil(h + 0.000001 + margin));
    if (top > 0 && h <= 0.0) top = 0;
    long bottom = static_cast<long>(std::floor(l - 0.000001 - margin));
    if (bottom < 0 && l >= 0.0) bottom = 0;

    if (std::labs(top) < 10) {
        top += pos_hi;
    } else if (std::labs(top) < 60) {
        top = (top / 5 + pos_hi) * 5;
    } else {
        top = (top / 10 + pos_hi) * 10;
    }
    if (std::labs(bottom) < 60) {
        bottom = (bottom / 5 - neg_lo) * 5;
    } else {
        bottom = (bottom / 10 - neg_lo) * 10;
    }

    *lo = static_cast<double>(bottom) * unit;
    *hi = static_cast<double>(top) * unit;
    *tick = tick_factor(std::labs(top - bottom)) * unit / 10.0;
}
