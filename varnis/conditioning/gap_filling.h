// Gap filling of a data vector, double or float: one algorithm for both element
// types. Leading and trailing gaps are cut off the record, interior gaps of the
// window are bridged by straight lines between their neighbours.
#pragma once

#include <optional>

#include "core/data_vector.h"

namespace varnis {

// The data-type argument of the gap routines: 0 phase, 1 frequency. The value takes
// part in index arithmetic, so any other value is refused.
inline std::optional<bool> phase_mode(int mode) {
    if (mode == 0) return true;
    if (mode == 1) return false;
    return std::nullopt;
}

// Removes samples s .. s + len - 1 from the record: later samples move down by len
// and the count shrinks by len. A window limit behind the run moves with its sample;
// a limit inside the run moves to the run's edge, so the window keeps exactly the
// samples it held that remain.
template <class T>
void remove_run(VectorView<T>& v, long s, long len) {
    const long run_end = s + len - 1;
    for (long k = run_end + 1; k <= v.count; ++k) v[k - len] = v[k];
    if (v.first > run_end) {
        v.first -= len;
    } else if (v.first > s) {
        v.first = s;
    }
    if (v.last > run_end) {
        v.last -= len;
    } else if (v.last >= s) {
        v.last = s - 1;
    }
    v.count -= len;
    v.set_header(v.count, v.first, v.last);
}

// Fills the gaps of the record v (see FillGaps) and returns the number of leading
// gaps removed. Interpolation is carried out in T, so a float record is filled in
// single precision.
template <class T>
long fill_gaps(VectorView<T>& v, bool phase) {
    // Sample 1 of a phase record is its origin and may be 0.0; the leading scan
    // starts after it. A run that reaches the end of the record means there is no
    // valid sample to close it: the record is left as it is.
    const long start = phase ? 2 : 1;
    long lead = 0;
    while (start + lead <= v.count && is_gap(static_cast<double>(v[start + lead]))) ++lead;
    if (start + lead > v.count) return 0;
    if (lead > 0) remove_run(v, start, lead);

    // Trailing gaps. Frequency data lose the run that ends at sample N; phase data
    // keep their final sample (which may be 0.0) and lose the run that ends at N - 1.
    const long tail_end = phase ? v.count - 1 : v.count;
    long tail = 0;
    while (tail_end - tail >= start && is_gap(static_cast<double>(v[tail_end - tail]))) ++tail;
    if (tail > 0) remove_run(v, tail_end - tail + 1, tail);

    // Interior gaps of the window; the phase window's end samples may be 0.0.
    const long from = phase ? v.first + 1 : v.first;
    const long to = phase ? v.last - 1 : v.last;
    long run = 0;
    for (long k = from; k <= to; ++k) {
        if (is_gap(static_cast<double>(v[k]))) {
            ++run;
            continue;
        }
        if (run == 0) continue;
        // The run is bridged from the sample just before it. A frequency window may
        // start right after a gap that lies outside it; that gap belongs to the run
        // too, so the line starts at the last valid sample before them.
        long before_k = k - run - 1;
        while (!phase && before_k > 1 && is_gap(static_cast<double>(v[before_k]))) --before_k;
        if (before_k >= 1) {
            const T before = v[before_k];
            const T after = v[k];
            const long span = k - before_k;
            for (long p = k - run; p < k; ++p) {
                v[p] = before + static_cast<T>(p - before_k) * (after - before) /
                                    static_cast<T>(span);
            }
        }
        run = 0;
    }
    return lead;
}

}  // namespace varnis
