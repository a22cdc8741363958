// Allan deviation family: plain and overlapping Allan deviations from phase and
// frequency data, the standard deviations, the mean of a window, and AddSigma.
#include <cmath>

#include "core/data_vector.h"
#include "core/differences.h"
#include "varnis.h"

namespace varnis {
namespace {

// Sum of squared second differences over the terms k = first .. last - 2m with the
// phase gap rule; n receives the number of terms used. The window's first and last
// terms carry the end exceptions; every term between them needs three nonzero points.
double phase_second_difference_sum(const VectorView<const double>& x, long m, long& n) {
    double sum = 0.0;
    n = 0;
    const long first_k = x.first;
    const long final_k = x.last - 2 * m;
    if (final_k < first_k) return sum;
    auto add_term = [&](long k, bool usable) {
        if (!usable) return;
        const double d = second_difference(x[k], x[k + m], x[k + 2 * m]);
        sum += d * d;
        ++n;
    };
    add_term(first_k, phase_term_usable({x[first_k], x[first_k + m], x[first_k + 2 * m]}, true,
                                        first_k == final_k));
    const double* p = &x[0];
    for (long k = first_k + 1; k < final_k; ++k) {
        const double a = p[k], b = p[k + m], c = p[k + 2 * m];
        if (is_gap(a) || is_gap(b) || is_gap(c)) continue;
        const double d = second_difference(a, b, c);
        sum += d * d;
        ++n;
    }
    if (final_k > first_k)
        add_term(final_k, phase_term_usable({x[final_k], x[final_k + m], x[final_k + 2 * m]},
                                            false, true));
    return sum;
}

// Pair difference y[j+m] - y[j], or 0 when either sample is a gap.
inline double pair_difference(const VectorView<const double>& y, long j, long m) {
    const double a = y[j], b = y[j + m];
    return (is_gap(a) || is_gap(b)) ? 0.0 : b - a;
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int CalcPhaseSigma(const double* data, double* sigma, double tau) {
    const auto x = read_window(data);
    if (!x || sigma == nullptr || !positive(tau)) return -1;
    long n = 0;
    const double sum = phase_second_difference_sum(*x, 1, n);
    if (n == 0) return -1;
    *sigma = std::sqrt(sum / (2.0 * static_cast<double>(n) * tau * tau));
    return static_cast<int>(n);
}

extern "C" int CalcFreqSigma(const double* data, double* sigma) {
    const auto y = read_window(data);
    if (!y || sigma == nullptr) return -1;
    double sum = 0.0;
    long n = 0;
    for (long k = y->first; k < y->last; ++k) {
        const double a = (*y)[k], b = (*y)[k + 1];
        if (is_gap(a) || is_gap(b)) continue;
        sum += (b - a) * (b - a);
        ++n;
    }
    if (n == 0) return -1;
    *sigma = std::sqrt(sum / (2.0 * static_cast<double>(n)));
    return static_cast<int>(n);
}

extern "C" int CalcPhaseOverlapSigma(const double* data, double* sigma, double tau0, int m) {
    const auto x = read_window(data);
    if (!x || sigma == nullptr || m < 1 || !positive(tau0)) return -1;
    if (x->size() < 2L * m) return -1;
    long n = 0;
    const double sum = phase_second_difference_sum(*x, m, n);
    if (n == 0) return -1;
    const double mt = static_cast<double>(m) * tau0;
    *sigma = std::sqrt(sum / (2.0 * mt * mt * static_cast<double>(n)));
    return static_cast<int>(n);
}

extern "C" int CalcFreqOverlapSigma(const double* data, double* sigma, int m) {
    const auto y = read_window(data);
    if (!y || sigma == nullptr || m < 1) return -1;
    const long M = y->size();
    if (M + 1 < 2L * m) return -1;
    const long n = M - 2L * m + 1;
    if (n <= 0) return -1;

    // The inner sum of each outer term slides by one pair difference per start s.
    // It is recomputed from its pairs every `anchor` starts so that rounding cannot
    // accumulate over a long record; anchor >= m keeps the cost at about M.
    const long anchor = m > 4096 ? m : 4096;
    const long final_s = y->last - 2L * m + 1;
    double sum = 0.0, e = 0.0;
    for (long s = y->first; s <= final_s; ++s) {
        if ((s - y->first) % anchor == 0) {
            e = 0.0;
            for (long j = s; j < s + m; ++j) e += pair_difference(*y, j, m);
        } else {
            e += pair_difference(*y, s + m - 1, m) - pair_difference(*y, s - 1, m);
        }
        sum += e * e;
    }
    *sigma = std::sqrt(sum / (2.0 * static_cast<double>(m) * static_cast<double>(m) *
                              static_cast<double>(n)));
    return static_cast<int>(n);
}

extern "C" int CalcPhaseStdDev(const double* data, double* deviation, double tau) {
    const auto x = read_window(data);
    if (!x || deviation == nullptr || !positive(tau)) return -1;
    const long final_k = x->last - 1;
    auto usable = [&](long k) {
        return phase_term_usable({(*x)[k], (*x)[k + 1]}, k == x->first, k == final_k);
    };
    long n = x->last - x->first;
    double sum = 0.0;
    for (long k = x->first; k <= final_k; ++k) {
        if (usable(k)) {
            sum += (*x)[k + 1] - (*x)[k];
        } else {
            --n;
        }
    }
    if (n <= 2) return -1;
    const double mean = sum / static_cast<double>(n);
    double total = 0.0;
    for (long k = x->first; k <= final_k; ++k) {
        if (!usable(k)) continue;
        const double d = (*x)[k + 1] - (*x)[k] - mean;
        total += d * d;
    }
    *deviation = std::sqrt(total / (static_cast<double>(n - 1) * tau * tau));
    return static_cast<int>(n);
}

extern "C" int CalcFreqStdDev(const double* data, double* deviation) {
    const auto y = read_window(data);
    if (!y || deviation == nullptr) return -1;
    long n = y->size();
    double sum = 0.0;
    for (long k = y->first; k <= y->last; ++k) {
        if (is_gap((*y)[k])) {
            --n;
        } else {
            sum += (*y)[k];
        }
    }
    if (n <= 1) return -1;
    const double mean = sum / static_cast<double>(n);
    double total = 0.0;
    for (long k = y->first; k <= y->last; ++k) {
        if (is_gap((*y)[k])) continue;
        total += ((*y)[k] - mean) * ((*y)[k] - mean);
    }
    *deviation = std::sqrt(total / static_cast<double>(n - 1));
    return static_cast<int>(n);
}

extern "C" int CalcMean(const double* data, double* mean, int mode) {
    const auto v = read_window(data);
    if (!v || mean == nullptr) return -1;
    const bool phase = (mode == 0);
    double sum = 0.0;
    long count = 0;
    for (long k = v->first; k <= v->last; ++k) {
        if (!is_value(*v, k, phase)) continue;
        sum += (*v)[k];
        ++count;
    }
    if (count == 0) return -1;
    // The divisor is the count as a single-precision value. It is counted as an
    // integer and converted once, so that it cannot stall at 2^24 on long records.
    *mean = sum / static_cast<double>(static_cast<float>(count));
    return static_cast<int>(count);
}

extern "C" float AddSigma(const float* deviations) {
    if (deviations == nullptr) return -1.0f;
    double sum = 0.0;
    for (int i = 0; i < 5; ++i) {
        const double d = deviations[i];
        sum += d * d;
    }
    return static_cast<float>(std::sqrt(sum));
}
