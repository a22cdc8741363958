// Slepian tapers from the tridiagonal matrix that commutes with the time-and-band
// limiting operator: bisection for the eigenvalues, inverse iteration for the vectors.
#include "spectrum/slepian_tapers.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "core/scratch.h"

namespace varnis {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Working values of the eigen-solver, kept in library-wide storage.
struct EigenSolverValues {
    double machine_precision = 1.25e-15;  // relative precision the bisection aims at
    double absolute_tolerance = 1e-13;    // eigenvalue tolerance added to it
    double lower_bound = 0.0;             // Gershgorin interval of the whole spectrum
    double upper_bound = 0.0;
    double pivot_minimum = 0.0;           // smallest pivot magnitude of a Sturm sequence
    double norm = 0.0;                    // sum of the magnitudes of the matrix elements
    double cluster_width = 0.0;           // eigenvalues closer than this form a cluster
    double separation = 0.0;              // least distance kept between shifts of a cluster
    double start_value = 0.0;             // elements of the starting vector, zero pivots
};
EigenSolverValues g_solver;

// Number of eigenvalues below x: the negative pivots of the LDL^T factorisation of
// the matrix minus x (Sturm sequence count).
long count_below(long n, const double* diagonal, const double* off_squared, double x) {
    const double tiny = g_solver.pivot_minimum;
    long below = 0;
    double q = 0.0;
    for (long i = 0; i < n; ++i) {
        q = i == 0 ? diagonal[0] - x : diagonal[i] - x - off_squared[i] / q;
        if (std::fabs(q) <= tiny) q = -tiny;
        if (q < 0.0) ++below;
    }
    return below;
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
    EigenSolverValues& s = g_solver;
    s.lower_bound = std::numeric_limits<double>::infinity();
    s.upper_bound = -s.lower_bound;
    double largest_square = 1.0;
    for (long i = 0; i < n; ++i) {
        const double below = i > 0 ? std::sqrt(off_squared[i]) : 0.0;
        const double above = i + 1 < n ? std::sqrt(off_squared[i + 1]) : 0.0;
        s.lower_bound = std::min(s.lower_bound, diagonal[i] - below - above);
        s.upper_bound = std::max(s.upper_bound, diagonal[i] + below + above);
        if (i > 0) largest_square = std::max(largest_square, off_squared[i]);
    }
    const double margin =
        s.machine_precision * std::max(std::fabs(s.lower_bound), std::fabs(s.upper_bound)) +
        s.absolute_tolerance;
    s.lower_bound -= margin;
    s.upper_bound += margin;
    s.pivot_minimum = std::numeric_limits<double>::min() * largest_square;

    // eigenvalues[j] serves as the lower bound of eigenvalue j until it is found; every
    // Sturm count also narrows the bounds of the eigenvalues still to be found.
    for (int j = 0; j < count; ++j) {
        eigenvalues[j] = s.lower_bound;
        upper[j] = s.upper_bound;
    }
    for (int k = 0; k < count; ++k) {
        double lo = eigenvalues[k];
        double hi = upper[k];
        for (;;) {
            const double tolerance =
                2.0 * s.machine_precision * (std::fabs(lo) + std::fabs(hi)) + s.absolute_tolerance;
            if (hi - lo <= tolerance) break;
            const double mid = lo + (hi - lo) / 2.0;
            if (mid <= lo || mid >= hi) break;
            const long below = count_below(n, diagonal, off_squared, mid);
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
    // The factorisation of the shifted matrix with row interchanges: U has the diagonal
    // u0 and two superdiagonals u1, u2; multiplier[i] eliminates row i; swapped[i]
    // says whether rows i - 1 and i were interchanged.
    ScratchArray<double> u0(size), u1(size), u2(size), multiplier(size), x(size);
    ScratchArray<unsigned char> swapped(size);
    if (!u0.ok() || !u1.ok() || !u2.ok() || !multiplier.ok() || !x.ok() || !swapped.ok())
        return false;

    EigenSolverValues& s = g_solver;
    s.norm = 0.0;  // largest absolute row sum
    for (long i = 0; i < n; ++i) {
        const double row = std::fabs(diagonal[i]) + (i > 0 ? std::fabs(off[i]) : 0.0) +
                           (i + 1 < n ? std::fabs(off[i + 1]) : 0.0);
        s.norm = std::max(s.norm, row);
    }
    s.cluster_width = 1e-3 * s.norm;
    s.separation = s.machine_precision * s.norm;
    s.start_value = std::sqrt(static_cast<double>(n)) * s.separation;
    if (s.start_value == 0.0) s.start_value = 1.0;  // the zero matrix of order 1

    int cluster_start = 0;
    double shift = 0.0;
    for (int r = 0; r < count; ++r) {
        double* z = vectors + static_cast<std::size_t>(r) * size;
        const double previous = shift;
        shift = eigenvalues[r];
        if (r > 0 && shift - previous < s.cluster_width) {
            // Same cluster: keep shifts apart so that the factorisations differ.
            if (shift - previous < s.separation) shift = previous + s.separation;
        } else {
            cluster_start = r;
        }

        // Factorise the matrix minus the shift with partial pivoting.
        double u = diagonal[0] - shift;
        double v = n > 1 ? off[1] : 0.0;
        for (long i = 1; i < n; ++i) {
            const double e = off[i];
            const double next = i + 1 < n ? off[i + 1] : 0.0;
            if (std::fabs(e) >= std::fabs(u)) {
                const double m = u / e;
                multiplier[i] = m;
                swapped[i] = 1;
                u0[i - 1] = e;
                u1[i - 1] = diagonal[i] - shift;
                u2[i - 1] = next;
                u = v - m * u1[i - 1];
                v = -m * u2[i - 1];
            } else {
                const double m = e / u;
                multiplier[i] = m;
                swapped[i] = 0;
                u0[i - 1] = u;
                u1[i - 1] = v;
                u2[i - 1] = 0.0;
                u = diagonal[i] - shift - m * v;
                v = next;
            }
        }
        // The off-diagonal is nonzero, so only the last pivot can vanish.
        u0[size - 1] = u == 0.0 ? s.start_value : u;
        u1[size - 1] = 0.0;
        u2[size - 1] = 0.0;

        // The first right-hand side is taken as already eliminated.
        for (long i = 0; i < n; ++i) x[i] = s.start_value;
        long restart = 0;
        for (int iteration = 1;; ++iteration) {
            double a = 0.0, b = 0.0;
            for (long i = n - 1; i >= 0; --i) {
                x[i] = (x[i] - a * u1[i] - b * u2[i]) / u0[i];
                b = a;
                a = x[i];
            }
            for (int j = cluster_start; j < r; ++j) {
                const double* y = vectors + static_cast<std::size_t>(j) * size;
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
                x[restart] = s.start_value;
                restart = (restart + 1) % n;
            } else {
                const double scale = s.start_value / sum;
                for (long i = 0; i < n; ++i) x[i] *= scale;
            }
            for (long i = 1; i < n; ++i) {
                double t = x[i];
                if (swapped[i]) {
                    t = x[i - 1];
                    x[i - 1] = x[i];
                }
                x[i] = t - multiplier[i] * x[i - 1];
            }
        }
        double length = 0.0;
        for (long i = 0; i < n; ++i) length += x[i] * x[i];
        length = std::sqrt(length);
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
