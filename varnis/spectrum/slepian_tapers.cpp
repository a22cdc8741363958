// Slepian tapers from the tridiagonal matrix that commutes with the time-and-band
// limiting operator: bisection for the eigenvalues, inverse iteration for the vectors.
// Each step keeps its working values (bounds, tolerances, factors) in the call.
#include "spectrum/slepian_tapers.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "core/scratch.h"

namespace varnis {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMachinePrecision = 1.25e-15;  // relative precision the bisection aims at
constexpr double kAbsoluteTolerance = 1e-13;    // eigenvalue tolerance added to it

// Number of eigenvalues below x: the negative pivots of the LDL^T factorisation of
// the matrix minus x (Sturm sequence count); a pivot no larger than pivot_minimum in
// magnitude counts as negative.
long count_below(long n, const double* diagonal, const double* off_squared, double x,
                 double pivot_minimum) {
    long below = 0;
    double q = 0.0;
    for (long i = 0; i < n; ++i) {
        q = i == 0 ? diagonal[0] - x : diagonal[i] - x - off_squared[i] / q;
        if (std::fabs(q) <= pivot_minimum) q = -pivot_minimum;
        if (q < 0.0) ++below;
    }
    return below;
}

// Where bisection starts: the Gershgorin interval of the whole spectrum, widened by
// the tolerance, and the smallest pivot magnitude of a Sturm sequence.
struct BisectionStart {
    double lower = std::numeric_limits<double>::infinity();
    double upper = -std::numeric_limits<double>::infinity();
    double pivot_minimum = 0.0;
};

BisectionStart bisection_start(long n, const double* diagonal, const double* off_squared) {
    BisectionStart s;
    double largest_square = 1.0;
    for (long i = 0; i < n; ++i) {
        const double below = i > 0 ? std::sqrt(off_squared[i]) : 0.0;
        const double above = i + 1 < n ? std::sqrt(off_squared[i + 1]) : 0.0;
        s.lower = std::min(s.lower, diagonal[i] - below - above);
        s.upper = std::max(s.upper, diagonal[i] + below + above);
        if (i > 0) largest_square = std::max(largest_square, off_squared[i]);
    }
    const double margin =
        kMachinePrecision * std::max(std::fabs(s.lower), std::fabs(s.upper)) + kAbsoluteTolerance;
    s.lower -= margin;
    s.upper += margin;
    s.pivot_minimum = std::numeric_limits<double>::min() * largest_square;
    return s;
}

// The scales of inverse iteration, from the matrix norm (largest absolute row sum).
struct InverseIterationScales {
    double cluster_width = 0.0;  // eigenvalues closer than this form a cluster
    double separation = 0.0;     // least distance kept between shifts of a cluster
    double start_value = 0.0;    // elements of the starting vector, zero pivots
};

InverseIterationScales inverse_iteration_scales(long n, const double* diagonal, const double* off) {
    double norm = 0.0;
    for (long i = 0; i < n; ++i) {
        const double row = std::fabs(diagonal[i]) + (i > 0 ? std::fabs(off[i]) : 0.0) +
                           (i + 1 < n ? std::fabs(off[i + 1]) : 0.0);
        norm = std::max(norm, row);
    }
    InverseIterationScales s;
    s.cluster_width = 1e-3 * norm;
    s.separation = kMachinePrecision * norm;
    s.start_value = std::sqrt(static_cast<double>(n)) * s.separation;
    if (s.start_value == 0.0) s.start_value = 1.0;  // the zero matrix of order 1
    return s;
}

// The factorisation of the matrix minus a shift with row interchanges: U has the
// diagonal u0 and two superdiagonals u1, u2; multiplier[i] eliminates row i;
// swapped[i] says whether rows i - 1 and i were interchanged. Arrays of n elements,
// owned by the caller.
struct ShiftedFactors {
    double* u0;
    double* u1;
    double* u2;
    double* multiplier;
    unsigned char* swapped;
};

void factorise_shifted(long n, const double* diagonal, const double* off, double shift,
                       double start_value, const ShiftedFactors& f) {
    double u = diagonal[0] - shift;
    double v = n > 1 ? off[1] : 0.0;
    for (long i = 1; i < n; ++i) {
        const double e = off[i];
        const double next = i + 1 < n ? off[i + 1] : 0.0;
        if (std::fabs(e) >= std::fabs(u)) {
            const double m = u / e;
            f.multiplier[i] = m;
            f.swapped[i] = 1;
            f.u0[i - 1] = e;
            f.u1[i - 1] = diagonal[i] - shift;
            f.u2[i - 1] = next;
            u = v - m * f.u1[i - 1];
            v = -m * f.u2[i - 1];
        } else {
            const double m = e / u;
            f.multiplier[i] = m;
            f.swapped[i] = 0;
            f.u0[i - 1] = u;
            f.u1[i - 1] = v;
            f.u2[i - 1] = 0.0;
            u = diagonal[i] - shift - m * v;
            v = next;
        }
    }
    // The off-diagonal is nonzero, so only the last pivot can vanish.
    const auto last = static_cast<std::size_t>(n) - 1;
    f.u0[last] = u == 0.0 ? start_value : u;
    f.u1[last] = 0.0;
    f.u2[last] = 0.0;
}

// Inverse iteration with the factors of one shift, into x (n elements): each solve is
// orthogonalised against the vectors `others` (`count` of them, n elements each) of
// the same cluster found before.
void inverse_iteration(long n, const ShiftedFactors& f, double start_value, const double* others,
                       int count, double* x) {
    const auto size = static_cast<std::size_t>(n);
    // The first right-hand side is taken as already eliminated.
    for (long i = 0; i < n; ++i) x[i] = start_value;
    long restart = 0;
    for (int iteration = 1;; ++iteration) {
        double a = 0.0, b = 0.0;
        for (long i = n - 1; i >= 0; --i) {
            x[i] = (x[i] - a * f.u1[i] - b * f.u2[i]) / f.u0[i];
            b = a;
            a = x[i];
        }
        for (int j = 0; j < count; ++j) {
            const double* y = others + static_cast<std::size_t>(j) * size;
            double dot = 0.0;
            for (long i = 0; i < n; ++i) dot += x[i] * y[i];
            for (long i = 0; i < n; ++i) x[i] -= dot * y[i];
        }
        double sum = 0.0;
        for (long i = 0; i < n; ++i) sum += std::fabs(x[i]);
        // Growth to a sum of 1 from a start of start_value means the shift is
        // resolved. The first solve starts from an arbitrary vector, so at least a
        // second one follows: the eigenvalues lie close together relative to the
        // matrix norm, and only the second solve brings the vector down to the
        // rounding level. After five iterations the last vector is kept.
        if ((sum >= 1.0 && iteration >= 2) || iteration == 5) break;
        if (sum == 0.0) {
            for (long i = 0; i < n; ++i) x[i] = 0.0;
            x[restart] = start_value;
            restart = (restart + 1) % n;
        } else {
            const double scale = start_value / sum;
            for (long i = 0; i < n; ++i) x[i] *= scale;
        }
        for (long i = 1; i < n; ++i) {
            double t = x[i];
            if (f.swapped[i]) {
                t = x[i - 1];
                x[i - 1] = x[i];
            }
            x[i] = t - f.multiplier[i] * x[i - 1];
        }
    }
}

}  // namespace

void slepian_matrix(long n, double w, double* diagonal, double* off) {
    const double c = std::cos(2.0 * kPi * w);
    const double centre = (static_cast<double>(n) - 1.0) / 2.0;
    for (long i = 0; i < n; ++i) {
        const double t = centre - static_cast<double>(i);
        diagonal[i] = -c * t * t;
        off[i] = -static_cast<double>(i) * static_cast<double>(n - i) / 2.0;
    }
}

bool smallest_eigenvalues(long n, const double* diagonal, const double* off_squared, int count,
                          double* eigenvalues) {
    ScratchArray<double> upper(static_cast<std::size_t>(count));
    if (!upper.ok()) return false;
    const BisectionStart start = bisection_start(n, diagonal, off_squared);

    // eigenvalues[j] serves as the lower bound of eigenvalue j until it is found; every
    // Sturm count also narrows the bounds of the eigenvalues still to be found.
    for (int j = 0; j < count; ++j) {
        eigenvalues[j] = start.lower;
        upper[j] = start.upper;
    }
    for (int k = 0; k < count; ++k) {
        double lo = eigenvalues[k];
        double hi = upper[k];
        for (;;) {
            const double tolerance =
                2.0 * kMachinePrecision * (std::fabs(lo) + std::fabs(hi)) + kAbsoluteTolerance;
            if (hi - lo <= tolerance) break;
            const double mid = lo + (hi - lo) / 2.0;
            if (mid <= lo || mid >= hi) break;
            const long below = count_below(n, diagonal, off_squared, mid, start.pivot_minimum);
            if (below > k) {
                hi = mid;
                for (long j = k + 1; j < std::min<long>(below, count); ++j)
                    upper[j] = std::min(upper[j], mid);
            } else {
                lo = mid;
                for (long j = std::max<long>(below, k + 1); j < count; ++j)
                    eigenvalues[j] = std::max(eigenvalues[j], mid);
            }
        }
        eigenvalues[k] = lo + (hi - lo) / 2.0;
        for (int j = k + 1; j < count; ++j) eigenvalues[j] = std::max(eigenvalues[j], lo);
    }
    return true;
}

bool eigenvectors_by_inverse_iteration(long n, const double* diagonal, const double* off,
                                       int count, const double* eigenvalues, double* vectors) {
    const auto size = static_cast<std::size_t>(n);
    ScratchArray<double> u0(size), u1(size), u2(size), multiplier(size), x(size);
    ScratchArray<unsigned char> swapped(size);
    if (!u0.ok() || !u1.ok() || !u2.ok() || !multiplier.ok() || !x.ok() || !swapped.ok())
        return false;
    const ShiftedFactors factors{u0.data(), u1.data(), u2.data(), multiplier.data(), swapped.data()};
    const InverseIterationScales scales = inverse_iteration_scales(n, diagonal, off);

    int cluster_start = 0;
    double shift = 0.0;
    for (int r = 0; r < count; ++r) {
        const double previous = shift;
        shift = eigenvalues[r];
        if (r > 0 && shift - previous < scales.cluster_width) {
            // Same cluster: keep shifts apart so that the factorisations differ.
            if (shift - previous < scales.separation) shift = previous + scales.separation;
        } else {
            cluster_start = r;
        }
        factorise_shifted(n, diagonal, off, shift, scales.start_value, factors);
        inverse_iteration(n, factors, scales.start_value,
                          vectors + static_cast<std::size_t>(cluster_start) * size, r - cluster_start,
                          x.data());
        double length = 0.0;
        for (long i = 0; i < n; ++i) length += x[i] * x[i];
        length = std::sqrt(length);
        double* z = vectors + static_cast<std::size_t>(r) * size;
        for (long i = 0; i < n; ++i) z[i] = length > 0.0 ? x[i] / length : 0.0;
    }
    return true;
}

void asymptotic_concentrations(long n, double nw, int count, double* concentrations) {
    const double c = kPi * nw;
    const double w = nw / static_cast<double>(n);
    const double log_term =
        std::log(8.0 * static_cast<double>(n) * std::sin(2.0 * kPi * w)) + 0.5772156649;
    double q = 4.0 * std::sqrt(kPi * c) * std::exp(-2.0 * c);
    for (int k = 0; k < count; ++k) {
        const double first = 1.0 - q;
        const double m = -2.0 * kPi * (nw - k / 2.0 - 0.25) / log_term;
        const double second = 1.0 / (1.0 + std::exp(kPi * m));
        concentrations[k] = std::max(first, second);
        q = q * 8.0 * c / (k + 1);
    }
}

bool slepian_tapers(long n, double nw, int count, double* tapers, double* concentrations) {
    const auto size = static_cast<std::size_t>(n);
    ScratchArray<double> diagonal(size), off(size), off_squared(size), eigenvalues(count);
    if (!diagonal.ok() || !off.ok() || !off_squared.ok() || !eigenvalues.ok()) return false;
    slepian_matrix(n, nw / static_cast<double>(n), diagonal.data(), off.data());
    for (long i = 0; i < n; ++i) off_squared[i] = off[i] * off[i];
    if (!smallest_eigenvalues(n, diagonal.data(), off_squared.data(), count, eigenvalues.data()))
        return false;
    if (!eigenvectors_by_inverse_iteration(n, diagonal.data(), off.data(), count,
                                           eigenvalues.data(), tapers))
        return false;
    asymptotic_concentrations(n, nw, count, concentrations);
    for (int k = 0; k < count; ++k) {
        double* t = tapers + static_cast<std::size_t>(k) * size;
        double sum = 0.0;
        for (long i = 0; i < n; ++i) sum += t[i] * t[i];
        const double rms = std::sqrt(sum / static_cast<double>(n));
        if (rms > 0.0)
            for (long i = 0; i < n; ++i) t[i] /= rms;
    }
    return true;
}

}  // namespace varnis
