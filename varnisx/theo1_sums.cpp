// Theo1 numerators, by the direct double sum or by sums of squared differences per lag.
//
// Per-lag form. With a = z[i], b = z[i+k], c = z[i+m-k], d = z[i+m],
//   (a - b - c + d)^2 = (a-b)^2 + (a-c)^2 + (d-b)^2 + (d-c)^2 - (a-d)^2 - (b-c)^2,
// so T(m) is a weighted sum, over lags L = 1 .. m, of window sums of D_L(j)^2 with
// D_L(j) = z[j+L] - z[j]. With Z_L(p) = sum_{j<p} D_L(j)^2, E = M - L, n = M - m,
// h = m / 2 and H_h = 1 + 1/2 + ... + 1/h, lag L adds to T(m):
//   kappa_m(L) (Z_L(n) + Z_L(E) - Z_L(m - L))         for 1 <= L <= m - 1, where
//       kappa_m(L) = [L <= h] / L + [L >= h] / (m - L)  (pairs a-b, d-c and a-c, d-b);
//   - H_h Z_L(n)                                      for L = m (pairs a-d);
//   - (Z_L(M - h - L/2) - Z_L(k)) / k, k = (m - L)/2  for even L <= m - 2 (pairs b-c).
// One pass over the record per lag gives Z_L at every point that any factor needs, so
// a sweep costs about M * (largest factor) operations in all, and every factor adds a
// few lookups per lag. The pass keeps prefix sums at the ends of blocks of 16 terms;
// a lookup adds at most 15 terms to one of them.
#include "theo1_sums.h"

#include <algorithm>
#include <cmath>

namespace varnisx {
namespace {

constexpr long kBlock = 16;

// Sum of (b[j] - a[j])^2 over j < count, with independent accumulators.
double square_difference_sum(const double* a, const double* b, long count) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    long j = 0;
    for (; j + 4 <= count; j += 4) {
        const double d0 = b[j] - a[j], d1 = b[j + 1] - a[j + 1];
        const double d2 = b[j + 2] - a[j + 2], d3 = b[j + 3] - a[j + 3];
        s0 += d0 * d0;
        s1 += d1 * d1;
        s2 += d2 * d2;
        s3 += d3 * d3;
    }
    for (; j < count; ++j) {
        const double d = b[j] - a[j];
        s0 += d * d;
    }
    return (s0 + s1) + (s2 + s3);
}

// Z_L(p) from the block prefix sums of lag L.
struct LagPrefix {
    const double* z;
    long lag;
    const double* block_prefix;  // [b] = Z_L(b * kBlock)
    double at(long p) const {
        const long b = p / kBlock;
        const long start = b * kBlock;
        return block_prefix[b] + square_difference_sum(z + start, z + start + lag, p - start);
    }
};

void fill_block_prefix(const double* z, long M, long lag, double* block_prefix) {
    const long terms = M - lag;
    const long blocks = terms / kBlock;
    double running = 0.0;
    block_prefix[0] = 0.0;
    for (long b = 0; b < blocks; ++b) {
        const double* a = z + b * kBlock;
        running += square_difference_sum(a, a + lag, kBlock);
        block_prefix[b + 1] = running;
    }
}

double harmonic_number(long h) {
    double s = 0.0;
    for (long k = h; k >= 1; --k) s += 1.0 / static_cast<double>(k);
    return s;
}

// What lag L adds to T(m).
double lag_contribution(const LagPrefix& Z, double full, long M, long m, double harmonic_h) {
    const long L = Z.lag, h = m / 2, n = M - m;
    double add = 0.0;
    if (L <= m - 1) {
        double kappa = 0.0;
        if (L <= h) kappa += 1.0 / static_cast<double>(L);
        if (L >= h) kappa += 1.0 / static_cast<double>(m - L);
        add += kappa * (Z.at(n) + full - Z.at(m - L));
    } else {
        add -= harmonic_h * Z.at(n);  // L == m
    }
    if (L % 2 == 0 && L <= m - 2) {
        const long k = (m - L) / 2;
        add -= (Z.at(M - h - L / 2) - Z.at(k)) / static_cast<double>(k);
    }
    return add;
}

// The record less a parabola c t (t - (M - 1)), c its least-squares curvature. A
// frequency drift adds the same c g_k, g_k = 2 k (m - k), to every term u_k(i), so
//   T(m) = T_rest(m) + sum_k (1/k) (2 c g_k S_k + n c^2 g_k^2),  S_k = sum_i u_k(i) of the rest,
// and the per-lag sums, which square differences over long lags, see no drift to cancel.
struct DriftSplit {
    double c = 0.0;
    varnis::ScratchArray<double> rest;
    varnis::ScratchArray<double> prefix;  // [t] = rest[0] + ... + rest[t - 1]
    DriftSplit(const double* z, long M)
        : rest(static_cast<std::size_t>(M)), prefix(static_cast<std::size_t>(M + 1)) {
        if (!ok()) return;
        // Against the discrete second-order polynomial orthogonal to 1 and t on 0 .. M - 1.
        const double Md = static_cast<double>(M), mid = 0.5 * (Md - 1.0);
        const double offset = (Md * Md - 1.0) / 12.0;
        double projection = 0.0;
        for (long t = 0; t < M; ++t) {
            const double d = static_cast<double>(t) - mid;
            projection += z[t] * (d * d - offset);
        }
        c = projection * 180.0 / (Md * (Md * Md - 1.0) * (Md * Md - 4.0));
        prefix[0] = 0.0;
        for (long t = 0; t < M; ++t) {
            rest[t] = z[t] - c * static_cast<double>(t) * static_cast<double>(t - (M - 1));
            prefix[t + 1] = prefix[t] + rest[t];
        }
    }
    bool ok() const { return rest.ok() && prefix.ok(); }
    // What the parabola adds to T(m).
    double term(long M, long m) const {
        const long n = M - m;
        auto window = [&](long a) { return prefix[a + n] - prefix[a]; };
        double add = 0.0;
        for (long k = 1; k <= m / 2; ++k) {
            const double g = 2.0 * static_cast<double>(k) * static_cast<double>(m - k);
            const double s = (window(m) - window(m - k)) - (window(k) - window(0));
            add += (2.0 * c * g * s + static_cast<double>(n) * c * c * g * g) / static_cast<double>(k);
        }
        return add;
    }
};

long sums_by_lag(const double* z, long M, const int* factors, long count, double* sums,
                 const int* stop, varnis::ProgressReporter& progress) {
    varnis::ScratchArray<double> block_prefix(static_cast<std::size_t>(M / kBlock + 2));
    varnis::ScratchArray<double> harmonic(static_cast<std::size_t>(count));
    const DriftSplit split(z, M);
    if (!block_prefix.ok() || !harmonic.ok() || !split.ok()) return -1;
    const double* rest = split.rest.data();
    for (long r = 0; r < count; ++r) {
        sums[r] = 0.0;
        harmonic[r] = harmonic_number(factors[r] / 2);
    }
    const long largest = factors[count - 1];
    long first_open = 0;  // factors below it need no more lags
    for (long L = 1; L <= largest; ++L) {
        fill_block_prefix(rest, M, L, block_prefix.data());
        const LagPrefix Z{rest, L, block_prefix.data()};
        const double full = Z.at(M - L);
        for (long r = first_open; r < count; ++r)
            sums[r] += lag_contribution(Z, full, M, factors[r], harmonic[r]);
        while (first_open < count && factors[first_open] <= L) {
            sums[first_open] += split.term(M, factors[first_open]);
            ++first_open;
        }
        progress.advance(L);
        if (varnis::stop_requested(stop)) return first_open;
    }
    return count;
}

}  // namespace

double theo1_direct_sum(const double* z, long M, long m) {
    const long h = m / 2, n = M - m;
    double total = 0.0;
    for (long k = 1; k <= h; ++k) {
        const double* a = z;
        const double* b = z + k;
        const double* c = z + m - k;
        const double* d = z + m;
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        long i = 0;
        for (; i + 4 <= n; i += 4) {
            const double u0 = (d[i] - c[i]) - (b[i] - a[i]);
            const double u1 = (d[i + 1] - c[i + 1]) - (b[i + 1] - a[i + 1]);
            const double u2 = (d[i + 2] - c[i + 2]) - (b[i + 2] - a[i + 2]);
            const double u3 = (d[i + 3] - c[i + 3]) - (b[i + 3] - a[i + 3]);
            s0 += u0 * u0;
            s1 += u1 * u1;
            s2 += u2 * u2;
            s3 += u3 * u3;
        }
        for (; i < n; ++i) {
            const double u = (d[i] - c[i]) - (b[i] - a[i]);
            s0 += u * u;
        }
        total += ((s0 + s1) + (s2 + s3)) / static_cast<double>(k);
    }
    return total;
}

double theo1_deviation(double sum, long M, long m, double tau0) {
    const double n = static_cast<double>(M - m);
    const double span = static_cast<double>(m) * tau0;
    return std::sqrt(std::max(sum, 0.0) / (0.75 * n * span * span));
}

bool valid_theo1_factors(const int* factors, long count, long M) {
    for (long r = 0; r < count; ++r) {
        const long m = factors[r];
        if (m < 10 || m % 2 != 0 || m > M - 1) return false;
        if (r > 0 && m <= factors[r - 1]) return false;
    }
    return true;
}

std::optional<varnis::VectorView<const double>> theo1_sweep_window(const double* data, double tau0,
                                                                   const int* factors, int count,
                                                                   const double* deviations) {
    const auto v = varnis::read_window(data);
    if (!v || factors == nullptr || deviations == nullptr || count < 1 || !varnis::positive(tau0) ||
        !valid_theo1_factors(factors, count, v->size()))
        return std::nullopt;
    return v;
}

varnis::ScratchArray<double> centred_phase(const varnis::VectorView<const double>& v) {
    const long M = v.size();
    varnis::ScratchArray<double> z(static_cast<std::size_t>(M));
    if (!z.ok()) return z;
    for (long p = 0; p < M; ++p) z[p] = v[v.first + p];
    // Bridge every run of interior 0.0 samples between its neighbouring readings.
    long reading = 0;
    for (long p = 1; p < M; ++p) {
        if (p < M - 1 && varnis::is_gap(z[p])) continue;
        if (p - reading > 1) {
            const double step = (z[p] - z[reading]) / static_cast<double>(p - reading);
            for (long q = reading + 1; q < p; ++q)
                z[q] = z[reading] + step * static_cast<double>(q - reading);
        }
        reading = p;
    }
    if (M < 2) {
        if (M == 1) z[0] = 0.0;
        return z;
    }
    // Rebuild from the first differences less their mean.
    const double mean_step = (z[M - 1] - z[0]) / static_cast<double>(M - 1);
    double previous = z[0];
    z[0] = 0.0;
    for (long p = 1; p < M; ++p) {
        const double current = z[p];
        z[p] = z[p - 1] + ((current - previous) - mean_step);
        previous = current;
    }
    return z;
}

long theo1_sums(const double* z, long M, const int* factors, long count, double* sums,
                const int* stop, varnis::ProgressReporter& progress) {
    // Cost in passes over pairs of samples: the direct sum reads four samples per term,
    // the per-lag sums two per term plus a few lookups per lag and factor.
    double direct = 0.0, by_lag = 0.0;
    const double largest = factors[count - 1];
    for (long r = 0; r < count; ++r) {
        const double m = factors[r];
        direct += 2.0 * (m / 2.0) * (static_cast<double>(M) - m);
        by_lag += 40.0 * m;
    }
    by_lag += largest * (static_cast<double>(M) - largest / 2.0);
    if (by_lag < direct) {
        progress.restart(largest / 100, static_cast<long>(largest));
        return sums_by_lag(z, M, factors, count, sums, stop, progress);
    }
    progress.restart(count / 100, count);
    for (long r = 0; r < count; ++r) {
        sums[r] = theo1_direct_sum(z, M, factors[r]);
        progress.advance(r + 1);
        if (varnis::stop_requested(stop)) return r + 1;
    }
    return count;
}

}  // namespace varnisx
