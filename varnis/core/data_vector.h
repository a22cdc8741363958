// Reading a data vector's header and addressing its samples.
//
// Every routine of the library reads its window through read_window(), never through
// raw element arithmetic, so that a header which is not a usable window is refused
// in one place before any sample is read.
#pragma once

#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <type_traits>

namespace varnis {

// Largest sample count a header may name: counts are returned as int.
inline constexpr double kMaxSampleCount = 2147483647.0 - 3.0;

enum class WindowRule {
    NonEmpty,    // first <= last: the routine needs at least one sample
    MayBeEmpty,  // first may exceed last by any amount (the routine finds no term)
};

// A validated view of a data vector (double or float, const or mutable) with
// 1-based sample access. first and last are the header's values truncated toward
// zero; count is N, the number of samples the vector holds.
template <class T>
struct VectorView {
    T* base = nullptr;  // element [0]
    long count = 0;
    long first = 0;
    long last = 0;

    // M, the number of samples in the window (0 or less for an empty window).
    long size() const { return last - first + 1; }
    // Sample k, 1-based.
    T& operator[](long k) const { return base[k + 2]; }
    // Rewrites the header; used by routines that produce a new record.
    void set_header(long n, long new_first, long new_last) const {
        base[0] = static_cast<std::remove_const_t<T>>(n);
        base[1] = static_cast<std::remove_const_t<T>>(new_first);
        base[2] = static_cast<std::remove_const_t<T>>(new_last);
    }
};

// Reads and validates the header of v. Refuses (nullopt) a null vector; a count,
// first or last that is not finite; a count below 0 or above kMaxSampleCount;
// first < 1 or last > count; and, under WindowRule::NonEmpty, first > last.
template <class T>
std::optional<VectorView<T>> read_window(T* v, WindowRule rule = WindowRule::NonEmpty) {
    if (v == nullptr) return std::nullopt;
    const double n = static_cast<double>(v[0]);
    const double f = static_cast<double>(v[1]);
    const double l = static_cast<double>(v[2]);
    if (!std::isfinite(n) || !std::isfinite(f) || !std::isfinite(l)) return std::nullopt;
    if (n < 0.0 || n > kMaxSampleCount) return std::nullopt;
    // Truncation toward zero; the range checks above keep the values inside long.
    if (f < 1.0 || f > kMaxSampleCount || l < 0.0 || l > kMaxSampleCount) return std::nullopt;
    VectorView<T> view;
    view.base = v;
    view.count = static_cast<long>(n);
    view.first = static_cast<long>(f);
    view.last = static_cast<long>(l);
    if (view.first < 1 || view.last > view.count) return std::nullopt;
    if (rule == WindowRule::NonEmpty && view.first > view.last) return std::nullopt;
    return view;
}

// A sample of exactly 0.0 is a missing measurement.
inline bool is_gap(double x) { return x == 0.0; }

// The gap rule of the phase routines for one term made of several phase points
// (a triple x[k], x[k+m], x[k+2m], a pair, ...): the term is usable when none of its
// points is a gap. Phase records usually start (and may end) with 0.0, so the
// window's first term may also have its first point at 0.0 and the window's last
// term its last point at 0.0, as long as every other point is nonzero.
inline bool phase_term_usable(std::initializer_list<double> points, bool window_first_term,
                              bool window_last_term) {
    std::size_t zeros = 0, zero_pos = 0, pos = 0;
    for (double p : points) {
        if (is_gap(p)) {
            ++zeros;
            zero_pos = pos;
        }
        ++pos;
    }
    if (zeros == 0) return true;
    if (zeros > 1) return false;
    return (zero_pos == 0 && window_first_term) ||
           (zero_pos == points.size() - 1 && window_last_term);
}

// The gap rule of routines that take either kind of data: for frequency data every
// 0.0 is a gap; for phase data a 0.0 at sample 1 or at sample N of the vector is a
// value (the origin of the record, or its closing reading).
template <class T>
bool is_value(const VectorView<T>& v, long k, bool phase) {
    if (!is_gap(static_cast<double>(v[k]))) return true;
    return phase && (k == 1 || k == v.count);
}

// A tau or tau0 must be a positive number; NaN is refused like zero.
inline bool positive(double tau) { return tau > 0.0 && std::isfinite(tau); }

}  // namespace varnis
