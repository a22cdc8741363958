// Parabolic deviation (PDEV) of phase data.
//
// Term i is S_i = sum_{k<m} c_k d_{i+k} with d_j = x_j - x_{j+m} and the ramp
// c_k = (m-1)/2 - k. Doubled (c'_k = m - 1 - 2k, whole numbers), one term follows from
// the previous with the window sum W_i = sum_{k<m} d_{i+k}:
//   S'_{i+1} = S'_i - (m-1) d_i - (m+1) d_{i+m} + 2 W_{i+1},  W_{i+1} = W_i - d_i + d_{i+m}.
// Both sums are of differences, never of raw phase, and are recomputed from their terms
// at fixed starts, so neither an offset nor rounding accumulates along the record.
#include <algorithm>
#include <cmath>

#include "core/data_vector.h"
#include "varnisx.h"

namespace {

struct RampSums {
    double ramp = 0.0;    // S'_i
    double window = 0.0;  // W_i
};

// d_j = x_j - x_{j+m} + m b for window-relative j. The ramp sums ignore a straight line
// in the phase (the ramp weights sum to zero), so the slope b between the window's
// first and last readings is taken out: a frequency offset then cancels in no sum.
struct LagDifferences {
    const varnis::VectorView<const double>& v;
    long m;
    double line;  // m b
    double operator()(long j) const { return (v[v.first + j] - v[v.first + j + m]) + line; }
};

double line_through_readings(const varnis::VectorView<const double>& v, long m) {
    long a = v.first, b = v.last;
    while (a < b && !varnis::is_value(v, a, true)) ++a;
    while (b > a && !varnis::is_value(v, b, true)) --b;
    if (b == a) return 0.0;
    return static_cast<double>(m) * ((v[b] - v[a]) / static_cast<double>(b - a));
}

RampSums ramp_sums_at(const LagDifferences& d, long i) {
    RampSums s;
    const long m = d.m;
    for (long k = 0; k < m; ++k) {
        const double dk = d(i + k);
        s.ramp += static_cast<double>(m - 1 - 2 * k) * dk;
        s.window += dk;
    }
    return s;
}

// Sum of S'^2 over the terms a .. b, all usable.
double ramp_square_sum(const LagDifferences& d, long a, long b) {
    const long m = d.m;
    const long restart = std::max(1024L, 4 * m);
    double total = 0.0;
    RampSums s;
    for (long i = a; i <= b; ++i) {
        if ((i - a) % restart == 0) {
            s = ramp_sums_at(d, i);
        } else {
            const double leaving = d(i - 1), entering = d(i - 1 + m);
            s.window += entering - leaving;
            s.ramp += 2.0 * s.window - static_cast<double>(m - 1) * leaving -
                      static_cast<double>(m + 1) * entering;
        }
        total += s.ramp * s.ramp;
    }
    return total;
}

}  // namespace

extern "C" VARNISX_API int CalcParabolicDev(const double* data, double* deviation, double tau0,
                                            int m) {
    const auto v = varnis::read_window(data);
    if (!v || deviation == nullptr || !varnis::positive(tau0) || m < 1) return -1;
    if (m == 1) return CalcPhaseOverlapSigma(data, deviation, tau0, 1);
    const long M = v->size(), span = 2L * m;
    const long terms = M - span;
    if (terms < 1) return -1;

    // The first window-relative position >= p holding a gap (M if none); each search
    // starts past the gap found before, so the record is scanned once in all.
    auto next_gap = [&v, M](long p) {
        while (p < M && varnis::is_value(*v, v->first + p, true)) ++p;
        return p;
    };

    const LagDifferences d{*v, m, line_through_readings(*v, m)};
    double total = 0.0;
    long used = 0;
    long gap = next_gap(0);
    for (long i = 0; i < terms;) {
        if (gap < i) gap = next_gap(i);
        if (gap < i + span) {  // term i (samples i .. i + 2m - 1) touches a gap
            i = gap + 1;
            continue;
        }
        const long last = std::min(terms - 1, gap - span);  // the run of usable terms
        total += ramp_square_sum(d, i, last);
        used += last - i + 1;
        i = last + 1;
    }
    if (used == 0) return -1;
    const double mm = static_cast<double>(m);
    const double tau = mm * tau0;
    *deviation = std::sqrt(18.0 * total / (static_cast<double>(used) * mm * mm * mm * mm * tau * tau));
    return static_cast<int>(used);
}
