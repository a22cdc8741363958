// Chi-square and normal distributions for confidence intervals: the standard normal
// cumulative probability, the chi-square upper tail and its inverse.
#include <cmath>

#include "varnis.h"

namespace varnis {
namespace {

// Upper bound on the iterations of the inverse chi-square search. Its fixed-slope
// steps converge slowly in the far tail (about 1700 steps at p = 0.001, df = 1, tens
// of thousands below p = 0.0001), and below p of about 0.0005 the single-precision
// tail may never meet the tolerance, so the bound ends the search with its last value,
// by then within about 0.1 % of the quantile. At most a few tens of milliseconds.
constexpr int kMaxSearchSteps = 100000;

// Upper bound on the terms of the chi-square finite sum that must be added one by
// one. Past it (both x and df above about 2e7) the tail is refused.
constexpr double kMaxSumTerms = 1e7;

// Terms of the incomplete gamma series and continued fraction.
constexpr int kMaxGammaTerms = 100;
constexpr float kGammaTolerance = 3e-7f;

// ln Gamma(a) for a > 0 by the six-term Lanczos series, in single precision.
float ln_gamma(float a) {
    static const float k[6] = {76.18009173f,   -86.50532033f,    24.01409822f,
                               -1.231739516f,  0.00120858003f,   -0.00000536382f};
    const float w = a - 1.0f;
    float t = w + 5.5f;
    t -= (w + 0.5f) * std::log(t);
    float ser = 1.0f;
    for (int j = 0; j < 6; ++j) ser += k[j] / (w + 1.0f + static_cast<float>(j));
    return std::log(2.50662827465f * ser) - t;
}

// Regularised lower incomplete gamma P(a, x) by its series (for x < a + 1). When the
// tolerance is not met within the term limit the last partial value is used.
float gamma_series(float a, float x) {
    if (x <= 0.0f) return 0.0f;
    float ap = a;
    float sum = 1.0f / a;
    float del = sum;
    for (int n = 1; n <= kMaxGammaTerms; ++n) {
        ap += 1.0f;
        del *= x / ap;
        sum += del;
        if (std::fabs(del) < std::fabs(sum) * kGammaTolerance) break;
    }
    return sum * std::exp(-x + a * std::log(x) - ln_gamma(a));
}

// Complement Q(a, x) = 1 - P(a, x) by its continued fraction (for x >= a + 1), with
// the same rule for an unmet tolerance.
float gamma_continued_fraction(float a, float x) {
    float g_old = 0.0f, g = 0.0f, fac = 1.0f;
    float b1 = 1.0f, b0 = 0.0f, a0 = 1.0f, a1 = x;
    for (int n = 1; n <= kMaxGammaTerms; ++n) {
        const float fn = static_cast<float>(n);
        const float ana = fn - a;
        a0 = (a1 + a0 * ana) * fac;
        b0 = (b1 + b0 * ana) * fac;
        const float anf = fn * fac;
        a1 = x * a0 + anf * a1;
        b1 = x * b0 + anf * b1;
        if (a1 != 0.0f) {
            fac = 1.0f / a1;
            g = b1 * fac;
            if (std::fabs((g - g_old) / g) < kGammaTolerance) break;
            g_old = g;
        }
    }
    return std::exp(-x + a * std::log(x) - ln_gamma(a)) * g;
}

// Regularised lower incomplete gamma P(a, x), a > 0.
float lower_gamma(float a, float x) {
    if (a + 1.0f > x) return gamma_series(a, x);
    return 1.0f - gamma_continued_fraction(a, x);
}

// Upper tail of the chi-square distribution with df degrees of freedom at x, from the
// incomplete gamma function.
float chi_square_upper(float df, float x) { return 1.0f - lower_gamma(df / 2.0f, x / 2.0f); }

// Upper quantile of the standard normal distribution for a tail q (0 < q <= 0.5), by
// a rational approximation.
double normal_upper_quantile(double q) {
    const double t = std::sqrt(-2.0 * std::log(q));
    return t - (2.30753 + 0.27601 * t) / (1.0 + 0.99229 * t + 0.04481 * t * t);
}

// Wilson-Hilferty approximation of the chi-square quantile with upper tail p.
float inverse_chi_square_large(float p, float df) {
    const float one_minus_p = 1.0f - p;
    const float q = p < one_minus_p ? p : one_minus_p;
    const double z = normal_upper_quantile(q);
    const double s = one_minus_p > 0.5f ? 1.0 : (one_minus_p < 0.5f ? -1.0 : 0.0);
    const double h = 2.0 / (9.0 * static_cast<double>(df));
    const double c = 1.0 - h + std::sqrt(h) * s * z;
    return static_cast<float>(static_cast<double>(df) * c * c * c);
}

// Search on the exact distribution for the chi-square value with upper tail p.
float inverse_chi_square_search(float p, float df) {
    const double dp = p, ddf = df;
    double x = ddf + ddf * (0.5 - dp) / 2.0;
    double q = chi_square_upper(df, static_cast<float>(x));
    double divisor = 0.1;
    for (int step = 0; step < kMaxSearchSteps && std::fabs((q - dp) / dp) > 0.0001; ++step) {
        const double sign = (q - dp > 0.0) ? 1.0 : -1.0;
        const double next = x + ddf * (q - dp) / divisor;
        if (next > 0.0) {
            x = next;
            q = chi_square_upper(df, static_cast<float>(x));
        } else {
            divisor *= 2.0;
        }
        // A change of sign of the error means the step overshot: take smaller steps.
        if ((q - dp) / sign < 0.0) divisor *= 2.0;
    }
    return static_cast<float>(x);
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" float CalcNormalProb(float z) {
    const double zd = z;
    double w = 0.0;
    if (zd != 0.0) {
        double y = std::fabs(zd) / 2.0;
        if (y >= 3.0) {
            w = 1.0;
        } else if (y < 1.0) {
            const double v = y * y;
            w = ((((((((0.000124818987 * v - 0.001075204047) * v + 0.005198775019) * v -
                      0.019198292004) * v + 0.059054035642) * v - 0.151968751364) * v +
                   0.319152932694) * v - 0.531923007300) * v + 0.797884560593) * y * 2.0;
        } else {
            y -= 2.0;
            w = (((((((((((((-0.000045255659 * y + 0.000152529290) * y - 0.000019538132) * y -
                           0.000676904986) * y + 0.001390604284) * y - 0.000794620820) * y -
                        0.002034254874) * y + 0.006549791214) * y - 0.010557625006) * y +
                     0.011630447319) * y - 0.009279453341) * y + 0.005353579108) * y -
                  0.002141268741) * y + 0.000535310849) * y + 0.999936657524;
        }
    }
    return static_cast<float>(zd > 0.0 ? (w + 1.0) / 2.0 : (1.0 - w) / 2.0);
}

extern "C" float CalcChiSqrProb(float x, float df) {
    if (std::isnan(x) || std::isnan(df)) return -1.0f;
    const double xd = x;
    const double n = std::trunc(static_cast<double>(df));  // also for df beyond int
    if (xd < 0.0 || n < 1.0) return -1.0f;
    if (xd == 0.0) return 1.0f;
    if (std::isinf(xd)) return 0.0f;

    const bool big = xd > 1416.0;
    const double a = xd / 2.0;
    const bool even = std::fmod(n, 2.0) == 0.0;
    double y = 0.0;
    if (even || (n > 2.0 && !big)) y = std::exp(-a);
    double s = even ? y : 2.0 * CalcNormalProb(static_cast<float>(-std::sqrt(xd)));
    if (n <= 2.0) return static_cast<float>(s);

    const double h = static_cast<float>((df - 1.0f) / 2.0f);
    if (h > kMaxSumTerms && a > kMaxSumTerms) return -1.0f;
    // The terms grow while z < a and shrink after; once past the peak a term too small
    // to change the sum is followed only by smaller ones, so the sum is complete.
    if (big) {
        double e = even ? 0.0 : 0.572364942925;
        const double la = std::log(a);
        for (double z = even ? 1.0 : 0.5; z <= h; z += 1.0) {
            e += std::log(z);
            const double term = std::exp(la * z - a - e);
            if (z > a && s + term == s) break;
            s += term;
        }
        return static_cast<float>(s);
    }
    double e = even ? 1.0 : 0.564189583548 / std::sqrt(a);
    double acc = 0.0;
    for (double z = even ? 1.0 : 0.5; z <= h; z += 1.0) {
        e = e * a / z;
        if (z > a && acc + e == acc) break;
        acc += e;
    }
    return static_cast<float>(acc * y + s);
}

extern "C" float CalcInvChiSqr(float p, float df) {
    // p outside (0.00001, 1) and df not a positive finite number have no quantile.
    if (!(p > 0.00001f) || !(p < 1.0f)) return -1.0f;
    if (!(df > 0.0f) || std::isinf(df)) return -1.0f;
    if (df > 100.0f) return inverse_chi_square_large(p, df);
    return inverse_chi_square_search(p, df);
}
