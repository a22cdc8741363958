// Multitaper spectrum: the Slepian tapers against a dense eigen-solution, their
// concentrations, and the spectrum's sizes, levels, estimators and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "conditioning/slepian_tapers.h"
#include "test_support.h"
#include "varnis.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Eigenvalues (ascending) and eigenvectors (columns of vectors, n x n) of a dense
// symmetric matrix by cyclic Jacobi rotations.
void jacobi_eigen(std::vector<double> a, int n, std::vector<double>& values,
                  std::vector<std::vector<double>>& vectors) {
    std::vector<double> v(static_cast<std::size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i) v[i * n + i] = 1.0;
    double scale = 0.0;
    for (double x : a) scale = std::max(scale, std::fabs(x));
    for (int sweep = 0; sweep < 100; ++sweep) {
        double off = 0.0;
        for (int p = 0; p < n; ++p)
            for (int q = p + 1; q < n; ++q) off = std::max(off, std::fabs(a[p * n + q]));
        if (off <= 1e-15 * scale) break;
        for (int p = 0; p < n; ++p) {
            for (int q = p + 1; q < n; ++q) {
                const double apq = a[p * n + q];
                if (std::fabs(apq) <= 1e-300) continue;
                const double theta = (a[q * n + q] - a[p * n + p]) / (2.0 * apq);
                const double t = (theta >= 0 ? 1.0 : -1.0) /
                                 (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
                for (int k = 0; k < n; ++k) {
                    const double akp = a[k * n + p], akq = a[k * n + q];
                    a[k * n + p] = c * akp - s * akq;
                    a[k * n + q] = s * akp + c * akq;
                }
                for (int k = 0; k < n; ++k) {
                    const double apk = a[p * n + k], aqk = a[q * n + k];
                    a[p * n + k] = c * apk - s * aqk;
                    a[q * n + k] = s * apk + c * aqk;
                }
                for (int k = 0; k < n; ++k) {
                    const double vkp = v[k * n + p], vkq = v[k * n + q];
                    v[k * n + p] = c * vkp - s * vkq;
                    v[k * n + q] = s * vkp + c * vkq;
                }
            }
        }
    }
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int x, int y) { return a[x * n + x] < a[y * n + y]; });
    values.clear();
    vectors.clear();
    for (int j : order) {
        values.push_back(a[j * n + j]);
        std::vector<double> col(n);
        for (int k = 0; k < n; ++k) col[k] = v[k * n + j];
        vectors.push_back(col);
    }
}

// The (negated) tridiagonal taper matrix written out densely from its definition.
std::vector<double> dense_taper_matrix(int n, double nw) {
    std::vector<double> a(static_cast<std::size_t>(n) * n, 0.0);
    const double w = nw / n;
    for (int i = 0; i < n; ++i) {
        const double t = (n - 1) / 2.0 - i;
        a[i * n + i] = -std::cos(2 * kPi * w) * t * t;
        if (i > 0) a[i * n + i - 1] = a[(i - 1) * n + i] = -i * (n - i) / 2.0;
    }
    return a;
}

std::vector<double> tapers_of(int n, double nw, int k, std::vector<double>* lambda = nullptr) {
    std::vector<double> t(static_cast<std::size_t>(n) * k), l(k);
    EXPECT_TRUE(varnis::slepian_tapers(n, nw, k, t.data(), l.data()));
    if (lambda) *lambda = l;
    return t;
}

TEST(SlepianTapers, AgreeWithADenseEigenSolution) {
    struct Case {
        int n;
        double nw;
        int k;
    };
    for (const Case c : {Case{2, 0.5, 2}, Case{5, 1.5, 5}, Case{64, 2.5, 4}, Case{256, 4.0, 7}}) {
        std::vector<double> values;
        std::vector<std::vector<double>> vectors;
        jacobi_eigen(dense_taper_matrix(c.n, c.nw), c.n, values, vectors);

        std::vector<double> d(c.n), e(c.n), e2(c.n), ev(c.k), z(static_cast<std::size_t>(c.n) * c.k);
        varnis::slepian_matrix(c.n, c.nw / c.n, d.data(), e.data());
        for (int i = 0; i < c.n; ++i) e2[i] = e[i] * e[i];
        varnis::smallest_eigenvalues(c.n, d.data(), e2.data(), c.k, ev.data());
        ASSERT_TRUE(varnis::eigenvectors_by_inverse_iteration(c.n, d.data(), e.data(), c.k,
                                                              ev.data(), z.data()));
        const double span = std::fabs(values.back() - values.front()) + 1.0;
        for (int k = 0; k < c.k; ++k) {
            EXPECT_NEAR(ev[k], values[k], 1e-12 * span) << "n " << c.n << " k " << k;
            const double* mine = z.data() + static_cast<std::size_t>(k) * c.n;
            const double sign = std::inner_product(mine, mine + c.n, vectors[k].begin(), 0.0) < 0 ? -1 : 1;
            double worst = 0.0;
            for (int i = 0; i < c.n; ++i) worst = std::max(worst, std::fabs(mine[i] - sign * vectors[k][i]));
            EXPECT_LT(worst, 1e-9) << "n " << c.n << " k " << k;
        }
    }
}

TEST(SlepianTapers, OrthonormalAndAlternatelySymmetric) {
    for (int n : {7, 300, 20000}) {
        const int k_count = 7;
        const auto t = tapers_of(n, 4.0 * std::min(1.0, n / 16.0), k_count);
        for (int a = 0; a < k_count; ++a) {
            const double* ta = t.data() + static_cast<std::size_t>(a) * n;
            const double mean_square = std::inner_product(ta, ta + n, ta, 0.0) / n;
            EXPECT_NEAR(mean_square, 1.0, 1e-12);
            for (int b = 0; b < a; ++b) {
                const double* tb = t.data() + static_cast<std::size_t>(b) * n;
                EXPECT_NEAR(std::inner_product(ta, ta + n, tb, 0.0) / n, 0.0, 1e-10)
                    << "n " << n << " tapers " << a << " " << b;
            }
            // Taper k is symmetric for even k, antisymmetric for odd k.
            const double parity = a % 2 == 0 ? 1.0 : -1.0;
            double worst = 0.0;
            for (int i = 0; i < n; ++i) worst = std::max(worst, std::fabs(ta[i] - parity * ta[n - 1 - i]));
            EXPECT_LT(worst, 1e-8) << "n " << n << " taper " << a;
        }
    }
}

TEST(SlepianTapers, ConcentrateTheirEnergyInTheBand) {
    // The energy fraction inside |f| < W, v' A v / v' v with A the sinc kernel of the
    // time-and-band limiting operator, is near 1 for the first tapers and falls with k.
    const int n = 200;
    const double nw = 4.0, w = nw / n;
    const auto t = tapers_of(n, nw, 6);
    double previous = 1.0;
    for (int k = 0; k < 6; ++k) {
        const double* v = t.data() + static_cast<std::size_t>(k) * n;
        double quad = 0.0, energy = 0.0;
        for (int i = 0; i < n; ++i) {
            energy += v[i] * v[i];
            for (int j = 0; j < n; ++j) {
                const double kernel = i == j ? 2 * w : std::sin(2 * kPi * w * (i - j)) / (kPi * (i - j));
                quad += v[i] * kernel * v[j];
            }
        }
        const double concentration = quad / energy;
        EXPECT_LE(concentration, previous + 1e-12);
        EXPECT_GT(concentration, k < 4 ? 0.999 : 0.9) << k;
        previous = concentration;
    }
}

TEST(SlepianTapers, AsymptoticConcentrationsForN1000NW4) {
    std::vector<double> l(8);
    varnis::asymptotic_concentrations(1000, 4.0, 8, l.data());
    EXPECT_NEAR(l[0], 0.99999999969, 5e-12);
    EXPECT_NEAR(l[4], 0.99869918, 5e-9);
    EXPECT_NEAR(l[5], 0.98516389, 5e-9);
    EXPECT_NEAR(l[6], 0.92535587, 5e-9);
    EXPECT_NEAR(l[7], 0.69828592, 5e-9);
    for (int k = 1; k < 8; ++k) EXPECT_LT(l[k], l[k - 1]);
}

}  // namespace
