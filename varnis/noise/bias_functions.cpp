// Bias functions of power-law noise: B1 (standard over Allan variance), B2 (dead time
// in the Allan variance), B3 (averaging with dead time), the expected B1 of frequency
// data treated as phase, R(n) (modified over plain Allan variance), and the
// measurement of the frequency-as-phase B1 on a data vector.
//
// The exponent mu of the B functions is a float and is compared exactly with the
// whole numbers where the general formula has a closed form or a removable
// singularity; results are floats. Steps that are single precision use float on
// purpose so that results agree to the last bit.
#include <algorithm>
#include <cmath>

#include "core/data_vector.h"
#include "core/scratch.h"
#include "varnis.h"

namespace varnis {
namespace {

constexpr float kRefused = -1.0f;

// F(x) = 2 x^e - (x + 1)^e - |x - 1|^e with e = mu + 2, the kernel shared by the
// B functions.
double bias_kernel(double x, double e) {
    return 2.0 * std::pow(x, e) - std::pow(x + 1.0, e) - std::pow(std::fabs(x - 1.0), e);
}

// mu + 2 in double precision from the single-precision mu.
double kernel_exponent(float mu) { return static_cast<double>(mu) + 2.0; }

// The dead-time ratio is kept inside 0.0001 .. 1e6 before the general formula, so
// that the powers neither vanish nor overflow.
float clamp_ratio(float r) { return std::clamp(r, 0.0001f, 1000000.0f); }

// mu inside -2 .. 2; NaN is refused like any value out of range.
bool mu_in_range(float mu) { return mu >= -2.0f && mu <= 2.0f; }

// 4 - 2 q^e - 2 p^e with q = 1 + 1/N and p = 1 - 1/N. The first-order terms of the
// two powers cancel, so they are taken as expm1 of logarithms: the difference keeps
// its precision for large N, where it is multiplied by N^mu.
double hadamard_bracket(double N, double e) {
    const double q_minus_one = std::expm1(e * std::log1p(1.0 / N));
    const double p_minus_one = std::expm1(e * std::log1p(-1.0 / N));
    return -2.0 * (q_minus_one + p_minus_one);
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" float CalcBias(int N, int mu) {
    const float n = static_cast<float>(N);
    if (n <= 1.0f) return kRefused;
    switch (mu) {
        case -2: return (n * n - 1.0f) / (1.5f * n * (n - 1.0f));
        case -1: return 1.0f;
        case 0: return n * std::log(n) / (2.0f * (n - 1.0f) * std::log(2.0f));
        case 1: return n / 2.0f;
        case 2: return n * (n + 1.0f) / 6.0f;
        default: return kRefused;
    }
}

extern "C" float CalcBias1(int N, float r, float mu) {
    if (N <= 1) return kRefused;
    r = std::fabs(r);
    if (!mu_in_range(mu) || std::isnan(r)) return kRefused;
    if (N == 2) return 1.0f;
    const float n = static_cast<float>(N);
    // In float, as CalcBias: an int product would overflow and divide as integers.
    if (mu == 2.0f) return n * (n + 1.0f) / 6.0f;
    if (r == 1.0f && mu == 1.0f) return n / 2.0f;
    if (mu == -1.0f && r >= 1.0f) return 1.0f;
    if (mu == -2.0f && r != 0.0f && r != 1.0f) return 1.0f;
    if (mu == 0.0f || mu == -2.0f) mu = mu + 0.000001f;
    r = clamp_ratio(r);

    const double e = kernel_exponent(mu);
    const double nd = static_cast<double>(N);
    double s = 0.0;
    for (long k = 1; k < N; ++k) {
        s += (nd - static_cast<double>(k)) * bias_kernel(static_cast<double>(k) * r, e);
    }
    s /= nd * (nd - 1.0);
    return static_cast<float>((1.0 + s) / (1.0 + bias_kernel(r, e) / 2.0));
}

extern "C" float CalcBias2(float r, float mu) {
    r = std::fabs(r);
    if (!mu_in_range(mu) || std::isnan(r)) return kRefused;
    if (r == 0.0f) return 0.0f;
    if (r == 1.0f) return 1.0f;
    if (mu == 2.0f) return r * r;
    if (mu == 1.0f && r >= 1.0f) return (3.0f * r - 1.0f) / 2.0f;
    if (mu == -1.0f) return r <= 1.0f ? r : 1.0f;
    if (mu == -2.0f) return 2.0f / 3.0f;
    if (mu == 0.0f) mu = 0.000001f;
    r = clamp_ratio(r);

    const double e = kernel_exponent(mu);
    return static_cast<float>((1.0 + bias_kernel(r, e) / 2.0) /
                              (2.0 * (1.0 - std::pow(2.0, static_cast<double>(mu)))));
}

extern "C" float CalcBias3(int N, float r, float mu) {
    if (N == 0) return kRefused;
    // Widened before the sign is dropped: -INT_MIN does not fit an int.
    const long long count = N < 0 ? -static_cast<long long>(N) : N;
    r = std::fabs(r);
    if (!mu_in_range(mu) || std::isnan(r)) return kRefused;
    if (r == 1.0f || count == 1 || mu == 2.0f) return 1.0f;
    if (mu == -2.0f) return static_cast<float>(count);
    if (mu == 0.0f) mu = 0.000001f;
    r = clamp_ratio(r);

    const double e = kernel_exponent(mu);
    const double nd = static_cast<double>(count);
    double s = 0.0;
    for (long long k = 1; k < count; ++k) {
        const double kd = static_cast<double>(k);
        s += (nd - kd) * (2.0 * bias_kernel(kd * r, e) - bias_kernel((nd + kd) * r, e) -
                          bias_kernel((nd - kd) * r, e));
    }
    const double numerator = 2.0 * nd + nd * bias_kernel(nd * r, e) - s;
    return static_cast<float>(numerator / (std::pow(nd, e) * (bias_kernel(r, e) + 2.0)));
}

extern "C" float CalcHadamardB1(int N, int mu) {
    if (N < 2) return kRefused;
    const double n = static_cast<double>(N);
    const double p = 1.0 - 1.0 / n;
    const double q = 1.0 + 1.0 / n;
    const double ln_n = std::log(n);
    const double ln2 = std::log(2.0), ln3 = std::log(3.0);
    double numerator = 0.0, denominator = 0.0;
    switch (mu) {
        case -1:
        case 1:
        case 3: {
            const double m = static_cast<double>(mu);
            numerator = std::pow(2.0, m + 3.0) - 8.0 + 4.0 / (n * n) +
                        hadamard_bracket(n, m + 2.0) * std::pow(n, m);
            denominator = 24.0 * std::pow(2.0, m) - 15.0 - 9.0 * std::pow(3.0, m);
            break;
        }
        // The general form's denominator vanishes at mu = 0 and 2; these are its limits.
        case 0:
            numerator = -2.0 * p * p * std::log(p) - 2.0 * q * q * std::log(q) -
                        4.0 * ln_n / (n * n) + 8.0 * ln2;
            denominator = 24.0 * ln2 - 9.0 * ln3;
            break;
        case 2: {
            const double p4 = p * p * p * p, q4 = q * q * q * q;
            numerator = -2.0 * n * n * (p4 * std::log(p) + q4 * std::log(q)) -
                        4.0 * ln_n / (n * n) - 24.0 * ln_n + 32.0 * ln2;
            denominator = 96.0 * ln2 - 81.0 * ln3;
            break;
        }
        default: return kRefused;
    }
    return static_cast<float>(n * numerator / ((n - 1.0) * denominator));
}

extern "C" float CalcRatio(int alpha, int n, float b) {
    // Widened before the sign is dropped: -INT_MIN does not fit an int.
    const float nf = static_cast<float>(n < 0 ? -static_cast<long long>(n) : n);
    if (nf == 0.0f) return kRefused;
    if (nf == 1.0f) return 1.0f;
    const double nd = static_cast<double>(nf);
    switch (alpha) {
        case 2: return static_cast<float>(1.0 / nd);
        case 1: {
            if (!(b > 0.0f)) return kRefused;
            if (nf > 100.0f) {
                return static_cast<float>(
                    3.37 / (3.0 * std::log(nd * static_cast<double>(b)) + 1.04));
            }
            // Single precision throughout, term by term.
            float s = 0.0f;
            const float n2 = nf * nf;
            for (float i = 1.0f; i <= nf - 1.0f; i += 1.0f) {
                const float i2 = i * i;
                s += (nf - i) * (4.0f * std::log(n2 / i2 - 1.0f) - std::log(4.0f * n2 / i2 - 1.0f));
            }
            return (nf + s / (3.0f * std::log(nf * b))) / n2;
        }
        case 0: return static_cast<float>((nd * nd + 1.0) / (2.0 * nd * nd));
        case -1: {
            const double p = std::pow(nd, 3.35);
            return static_cast<float>((99.9 * p + 148.0 - 99.9) / (148.0 * p));
        }
        case -2:
            return static_cast<float>(1.0 / (8.0 * nd * nd) + 0.825 + 1.0 / (20.0 * nd * nd * nd * nd));
        default: return kRefused;
    }
}

extern "C" float CalcStarB1(const double* data, int isFrequency, double tau0, int m) {
    const auto v = read_window(data);
    if (!v) return kRefused;
    // Room for the whole record: the conversion copies the window before differencing.
    ScratchArray<double> work(static_cast<std::size_t>(v->count) + 3);
    if (!work.ok()) return kRefused;
    if (isFrequency == 0) {
        if (ConvPhaseToFreq(data, work.data(), tau0, 1) < 0) return kRefused;
    } else {
        std::copy(data, data + v->count + 3, work.data());
    }
    if (AverageFreqData(work.data(), m) < 0) return kRefused;
    // The averaged frequencies are read as phase data.
    double allan = 0.0, standard = 0.0;
    if (CalcPhaseSigma(work.data(), &allan, tau0) < 0) return kRefused;
    if (CalcPhaseStdDev(work.data(), &standard, tau0) < 0) return kRefused;
    if (!(allan > 0.0)) return kRefused;  // no ratio without second differences
    const double ratio = standard / allan;
    return static_cast<float>(ratio * ratio);
}
