// Equivalent degrees of freedom of stability-variance estimates: closed forms for
// the Allan variance, a two-coefficient table, and the Hadamard variance by a sum
// over its third-difference kernel.
#include <cmath>

#include "varnis.h"

namespace varnis {
namespace {

// Table coefficients by beta (row 0 = beta 0 ... row 4 = beta -4) and averaging
// factor (column 0 = m 1, 1 = m 2, 2 = m 3 or more).
const float kEdfA[5][3] = {{0.51429f, 0.93506f, 1.2245f},
                           {0.5764f, 0.97339f, 1.003f},
                           {0.66667f, 1.0101f, 0.96774f},
                           {0.81057f, 1.0266f, 0.94663f},
                           {1.0f, 0.8658f, 0.76791f}};
const float kEdfB[5][3] = {{0.0f, 0.0f, 0.58929f},
                           {0.0f, 0.0f, 0.60163f},
                           {0.0f, 0.0f, 0.57124f},
                           {0.0f, 0.0f, 0.41643f},
                           {0.0f, 0.0f, 0.41115f}};

// The Hadamard kernel of one noise type: its phase structure function sw(t), the
// kernel's value at 0, and the coefficients of the large-factor shortcut.
struct HadamardNoise {
    double (*sw)(double t);
    double sz0;
    double b0;
    double b1;
};

// Natural logarithm, with L(0) = 0 as the kernels need.
double log_or_zero(double x) { return x == 0.0 ? 0.0 : std::log(x); }

double sw_white_frequency(double t) { return -std::fabs(t); }
double sw_flicker_frequency(double t) { return t * t * log_or_zero(std::fabs(t)); }
double sw_random_walk_frequency(double t) { return std::pow(std::fabs(t), 3); }
double sw_flicker_walk_frequency(double t) {
    return -std::pow(t, 4) * log_or_zero(std::fabs(t));
}
double sw_random_run_frequency(double t) { return -std::pow(std::fabs(t), 5); }

// Indexed by -2 - beta (beta -2 ... -6).
const HadamardNoise kHadamardNoises[5] = {
    {sw_white_frequency, 12.0, 0.777778, 0.5},
    {sw_flicker_frequency, 13.49604, 1.0, 0.62},
    {sw_random_walk_frequency, 12.0, 1.033334, 0.607143},
    {sw_flicker_walk_frequency, 44.89093, 1.06, 0.53},
    {sw_random_run_frequency, 132.0, 1.3, 0.54},
};

// Third-difference combination of sw at t > 0.
double hadamard_kernel(const HadamardNoise& noise, double t) {
    auto sw = noise.sw;
    return 20.0 * sw(t) - 15.0 * (sw(t + 1.0) + sw(std::fabs(t - 1.0))) +
           6.0 * (sw(t + 2.0) + sw(std::fabs(t - 2.0))) -
           (sw(t + 3.0) + sw(std::fabs(t - 3.0)));
}

// (sz(0)^2 + 2 sum_{i=1..terms} sz(i / scale)^2 (1 - i / length)) / (length sz(0)^2).
double hadamard_kernel_sum(const HadamardNoise& noise, long terms, double scale, double length) {
    double sum = 0.0;
    for (long i = 1; i <= terms; ++i) {
        const double sz = hadamard_kernel(noise, static_cast<double>(i) / scale);
        sum += sz * sz * (1.0 - static_cast<double>(i) / length);
    }
    const double sz0_sq = noise.sz0 * noise.sz0;
    return (sz0_sq + 2.0 * sum) / (length * sz0_sq);
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" float CalcDegFree(int alpha, int n, int m) {
    if (n == 0 || m == 0) return -1.0f;
    // Converted before taking the magnitude, so that the most negative int is safe.
    const double N = std::fabs(static_cast<double>(n));
    const double md = std::fabs(static_cast<double>(m));
    double edf = 0.0;
    switch (alpha) {
        case 2:
            if (N == md) return -1.0f;
            edf = (N + 1.0) * (N - 2.0 * md) / (2.0 * (N - md));
            break;
        case 1: {
            if (N == 1.0) return -1.0f;
            const double p =
                std::log((N - 1.0) * (2.0 * md + 1.0) / 4.0) * std::log((N - 1.0) / (2.0 * md));
            if (p < 0.0) return -1.0f;
            edf = std::exp(std::sqrt(p));
            break;
        }
        case 0: {
            const double m2 = 4.0 * md * md;
            edf = (3.0 * (N - 1.0) / (2.0 * md) - 2.0 * (N - 2.0) / N) * m2 / (m2 + 5.0);
            break;
        }
        case -1:
            if (md == 1.0) {
                edf = 2.0 * (N - 2.0) * (N - 2.0) / (2.3 * N - 4.9);
            } else {
                edf = 5.0 * N * N / (4.0 * md * (N + 3.0 * md));
            }
            break;
        case -2:
            if (N == 3.0) return -1.0f;
            edf = ((N - 1.0) * (N - 1.0) - 3.0 * md * (N - 1.0) + 4.0 * md * md) * (N - 2.0) /
                  (md * (N - 3.0) * (N - 3.0));
            break;
        default:
            return -1.0f;
    }
    return static_cast<float>(edf);
}

extern "C" float EDF(int beta, int m, int n) {
    // The table covers beta 0 .. -4 and averaging factors from 1 on.
    if (beta > 0 || beta < -4 || m < 1) return -1.0f;
    const float r = static_cast<float>(n) / static_cast<float>(m);
    const int row = -beta;
    const int column = (m < 3 ? m : 3) - 1;
    const float a = kEdfA[row][column];
    const float b = kEdfB[row][column];
    return static_cast<float>(static_cast<double>(a) * r / (1.0 - static_cast<double>(b) / r));
}

extern "C" float HadamardEDF(int n, int m, int beta) {
    if (beta > -2 || beta < -6 || m < 1) return -1.0f;
    // Wide arithmetic: 3m may exceed an int.
    const long long md = m;
    const long long M = static_cast<long long>(n) - 3 * md;
    if (M <= 0) return -1.0f;
    const HadamardNoise& noise = kHadamardNoises[-2 - beta];
    const long long J = M < 3 * md ? M : 3 * md;
    double v = 0.0;
    if (J < 100) {
        v = hadamard_kernel_sum(noise, static_cast<long>(J), static_cast<double>(md),
                                static_cast<double>(M));
    } else if (M >= 3 * md) {
        const double r = static_cast<double>(M) / static_cast<double>(md);
        v = (1.0 / r) * (noise.b0 - noise.b1 / r);
    } else {
        // Long averaging factors: the kernel is resampled onto 100 points.
        const double r = static_cast<double>(M) / static_cast<double>(md);
        const long p = static_cast<long>(100.0 / r + 0.5);
        const long k = 3 * p < 100 ? 3 * p : 100;
        v = hadamard_kernel_sum(noise, k, static_cast<double>(p), 100.0);
    }
    return static_cast<float>(1.0 / v);
}
