// Phase and frequency conversion and averaging: integration of frequency into phase,
// differencing of phase into frequency (fixed interval or time tags), averaging and
// decimation by a factor, mean first and second differences, and the elementwise
// offset and scale of the valid samples.
#include "core/data_vector.h"
#include "varnis.h"

namespace varnis {
namespace {

// Written in place of a frequency that comes out exactly 0.0, so that later routines
// do not take a true zero for a gap.
constexpr double kZeroFrequencyMarker = 1e-99;

// A new record of `count` samples in `out`, whose window is the whole record.
VectorView<double> new_record(double* out, long count) {
    VectorView<double> v;
    v.base = out;
    v.count = count;
    v.first = 1;
    v.last = count;
    v.set_header(count, 1, count);
    return v;
}

// Copies the window of `in` into samples 1 .. M of `out`, lowest first, so that the
// copy is also sound when both name the same vector.
void copy_window(const VectorView<const double>& in, const VectorView<double>& out) {
    for (long i = 1; i <= in.size(); ++i) out[i] = in[in.first + i - 1];
}

// The pair (x[k], x[k+1]) at position k of a copied phase window: both readings
// present, or the window's first reading at the phase origin 0.0.
bool phase_pair_usable(const VectorView<double>& copy, long k) {
    if (is_gap(copy[k + 1])) return false;
    return !is_gap(copy[k]) || k == 1;
}

double frequency_value(double y, int keep_zeros) {
    return (y == 0.0 && keep_zeros != 0) ? kZeroFrequencyMarker : y;
}

// The common ending of the difference means: no usable term leaves the result alone.
int finish_mean(double sum, long count, double* result) {
    if (count == 0) return -1;
    *result = sum / static_cast<double>(count);
    return static_cast<int>(count);
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int AverageFreqData(double* data, int factor) {
    const auto y = read_window(data);
    if (!y) return -1;
    const long n = y->size();
    if (factor < 1 || factor > n) return -1;
    const long averages = n / factor;
    for (long i = 1; i <= averages; ++i) {
        // Group i starts at or after sample i, so writing sample i overwrites only
        // samples already read.
        const long start = y->first + (i - 1) * factor;
        double sum = 0.0;
        long valid = 0;
        for (long k = start; k < start + factor; ++k) {
            if (is_gap((*y)[k])) continue;
            sum += (*y)[k];
            ++valid;
        }
        (*y)[i] = valid > 0 ? sum / static_cast<double>(valid) : 0.0;
    }
    y->set_header(averages, 1, averages);
    return static_cast<int>(averages);
}

extern "C" int AveragePhaseData(double* data, int factor) {
    const auto x = read_window(data);
    if (!x) return -1;
    const long n = x->size();
    if (factor < 1 || factor > n) return -1;
    const long kept = (n - 1) / factor + 1;
    for (long i = 1; i <= kept; ++i) (*x)[i] = (*x)[x->first + (i - 1) * factor];
    x->set_header(kept, 1, kept);
    return static_cast<int>(kept);
}

extern "C" int CalcFirstDiff(const double* data, double* result) {
    const auto x = read_window(data);
    if (!x || result == nullptr) return -1;
    double sum = 0.0;
    long count = 0;
    for (long k = x->first; k < x->last; ++k) {
        const double a = (*x)[k], b = (*x)[k + 1];
        // Sample 1 of a record may be its origin 0.0, and so may sample N.
        const bool used = (!is_gap(a) && !is_gap(b)) || (k == 1 && !is_gap(b)) ||
                          (k + 1 == x->count && !is_gap(a));
        if (!used) continue;
        const double d = b - a;
        if (d == 0.0) {
            *result = 0.0;
            return -1;
        }
        sum += d;
        ++count;
    }
    return finish_mean(sum, count, result);
}

extern "C" int CalcSecondDiff(const double* data, double* result) {
    const auto x = read_window(data);
    if (!x || result == nullptr) return -1;
    double sum = 0.0;
    long count = 0;
    for (long k = x->first; k + 2 <= x->last; ++k) {
        const double a = (*x)[k], b = (*x)[k + 1], c = (*x)[k + 2];
        const bool used = (!is_gap(a) && !is_gap(b) && !is_gap(c)) ||
                          (k == 1 && !is_gap(b) && !is_gap(c)) ||
                          (k + 2 == x->last && !is_gap(a) && !is_gap(b));
        if (!used) continue;
        sum += (c - b) - (b - a);
        ++count;
    }
    return finish_mean(sum, count, result);
}

extern "C" int ConvFreqToPhase(const double* frequency, double* phase, double tau,
                               int remove_mean) {
    const auto y = read_window(frequency);
    if (!y || phase == nullptr || !positive(tau)) return -1;
    const long n = y->size();
    auto out = new_record(phase, n);
    copy_window(*y, out);

    // The mean that bridges gaps, taken before any mean removal; a window without
    // any valid frequency bridges with 0.0.
    double bridge = 0.0;
    if (CalcMean(phase, &bridge, 1) < 0) bridge = 0.0;
    if (remove_mean != 0) {
        double mean = 0.0;
        if (CalcMean(phase, &mean, 1) < 0) return -1;
        if (NormalizeData(phase, mean, 1) <= 0) return -1;
    }

    // Shift up by one place: sample 1 becomes the phase origin.
    out = new_record(phase, n + 1);
    for (long k = n + 1; k >= 2; --k) out[k] = out[k - 1];
    out[1] = 0.0;

    // Integrate. Each point is computed from the previous point's value before a gap
    // resets it, so a run of frequency gaps keeps integrating.
    long gaps = 0;
    double previous = 0.0;
    for (long k = 2; k <= n + 1; ++k) {
        const double f = out[k];
        if (!is_gap(f)) {
            out[k] = f * tau + previous;
        } else {
            out[k] = bridge * tau + previous;
            out[k - 1] = 0.0;  // the phase point before a frequency gap is a gap
            ++gaps;
        }
        previous = out[k];
    }
    return static_cast<int>(gaps);
}

extern "C" int ConvPhaseToFreq(const double* phase, double* frequency, double tau,
                               int keep_zeros) {
    const auto x = read_window(phase);
    if (!x || frequency == nullptr || !positive(tau)) return -1;
    const long n = x->size();
    // The copy holds all n phase values; the record's count says n - 1 frequencies,
    // and the last phase value stays in place behind them.
    auto out = new_record(frequency, n);
    copy_window(*x, out);
    out = new_record(frequency, n - 1);
    long gaps = 0;
    for (long k = 1; k <= n - 1; ++k) {
        if (phase_pair_usable(out, k)) {
            out[k] = frequency_value((out[k + 1] - out[k]) / tau, keep_zeros);
        } else {
            out[k] = 0.0;
            ++gaps;
        }
    }
    return static_cast<int>(gaps);
}

extern "C" int ConvPhaseToFreqUsingTimetags(const double* phase, double* frequency,
                                            const double* time_tags, double time_scale,
                                            double* mean_tau, int keep_zeros) {
    const auto x = read_window(phase);
    if (!x || frequency == nullptr || time_tags == nullptr || mean_tau == nullptr ||
        !positive(time_scale)) {
        return -1;
    }
    const long n = x->size();
    auto out = new_record(frequency, n);
    *mean_tau = 0.0;
    copy_window(*x, out);
    out = new_record(frequency, n - 1);
    // Tag k belongs to the k-th sample of the copied window; the tag vector's own
    // header is not consulted.
    VectorView<const double> tags;
    tags.base = time_tags;
    long gaps = 0, used = 0;
    double tau_sum = 0.0;
    for (long k = 1; k <= n - 1; ++k) {
        if (!phase_pair_usable(out, k)) {
            out[k] = 0.0;
            ++gaps;
            continue;
        }
        const double dt = tags[k + 1] - tags[k];
        if (dt == 0.0) return -1;
        const double interval = dt * time_scale;
        out[k] = frequency_value((out[k + 1] - out[k]) / interval, keep_zeros);
        tau_sum += interval;
        ++used;
    }
    // Without a used pair there is no interval to average: mean tau stays 0.0.
    if (used > 0) *mean_tau = tau_sum / static_cast<double>(used);
    return static_cast<int>(gaps);
}

namespace {

// Applies `change` to every sample of the window that is valid for the data type
// (0 phase: a 0.0 at sample 1 or N is a value; otherwise frequency) and counts them.
template <class Change>
int change_valid_samples(double* data, int data_type, Change change) {
    const auto v = read_window(data, WindowRule::MayBeEmpty);
    if (!v) return -1;
    const bool phase = (data_type == 0);
    long changed = 0;
    for (long k = v->first; k <= v->last; ++k) {
        if (!is_value(*v, k, phase)) continue;
        (*v)[k] = change((*v)[k]);
        ++changed;
    }
    return static_cast<int>(changed);
}

}  // namespace

extern "C" int NormalizeData(double* data, double value, int data_type) {
    return change_valid_samples(data, data_type, [value](double x) { return x - value; });
}

extern "C" int ScaleData(double* data, double offset, double factor, int data_type) {
    return change_valid_samples(data, data_type,
                                [offset, factor](double x) {
        const double scaled = x * factor;
        return scaled + offset;
    });
}
