// Conversion between the level h_alpha of a power-law noise, S_y(f) = h_alpha f^alpha,
// and the spectral and time-domain measures it produces: S_y(f), S_x(f), S_phi(f),
// script-L(f), the Allan, modified Allan and time deviations.
#include <cmath>

#include "varnis.h"

namespace varnis {
namespace {

// Measure codes.
enum Measure {
    kSy = 1,         // S_y(f), 1/Hz
    kSx = 2,         // S_x(f), s^2/Hz
    kSphi = 3,       // S_phi(f), rad^2/Hz
    kScriptL = 4,    // single-sideband phase noise, dBc/Hz
    kAllan = 5,      // sigma_y(tau)
    kModAllan = 6,   // mod sigma_y(tau)
    kTimeDev = 7,    // sigma_x(tau), s
};

const double kPi = 4.0 * std::atan(1.0);

// The argument checks both directions share; value is h or the measured X, of which
// only an exact 0 is refused (levels in dB are normally negative).
bool arguments_usable(float value, float tau, float f, float nu0, float fh, int type,
                      int alpha, int n) {
    if (value == 0.0f) return false;
    if (!(tau > 0.0f) || !(f > 0.0f) || !(nu0 > 0.0f) || !(fh > 0.0f)) return false;
    return type >= kSy && type <= kTimeDev && alpha >= -2 && alpha <= 2 && n >= 1;
}

// K_alpha(tau): the Allan variance per unit noise coefficient, sigma_y^2 = K h_alpha.
// fh is the measurement bandwidth in hertz.
double allan_factor(int alpha, double tau, double fh) {
    const double four_pi2 = 4.0 * kPi * kPi;
    switch (alpha) {
        case 2: return 3.0 * fh / (four_pi2 * tau * tau);
        case 1: return (1.038 + 3.0 * std::log(2.0 * kPi * fh * tau)) / (four_pi2 * tau * tau);
        case 0: return 1.0 / (2.0 * tau);
        case -1: return 2.0 * std::log(2.0);
        default: return four_pi2 * tau / 6.0;
    }
}

// R(n) at averaging factor n with the bandwidth factor b = 2 pi fh tau / n.
double modified_ratio(int alpha, int n, double tau, double fh) {
    const float b = static_cast<float>(2.0 * kPi * fh * tau / static_cast<double>(n));
    return static_cast<double>(CalcRatio(alpha, n, b));
}

// The time-domain measures need a positive Allan variance per unit level (flicker
// phase noise has none when 2 pi fh tau is below about 0.7) and, for the modified
// deviations, a positive R(n): otherwise the result would be a square root of a
// negative number or a level of the wrong sign.
bool time_domain_usable(int type, double K, double R) {
    if (type < kAllan) return true;
    if (!(K > 0.0) || !std::isfinite(K)) return false;
    return type == kAllan || (R > 0.0 && std::isfinite(R));
}

// Stores the result in single precision. An overflow, a NaN, or a nonzero value
// that vanishes in single precision is refused with out unchanged.
int store(float* out, double value) {
    const float result = static_cast<float>(value);
    if (!std::isfinite(result) || (result == 0.0f && value != 0.0)) return -1;
    *out = result;
    return 1;
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int ConvDomain(float h, float* out, float tau, float f, float nu0, float fh,
                          int type, int alpha, int n) {
    if (out == nullptr || !arguments_usable(h, tau, f, nu0, fh, type, alpha, n)) return -1;
    const double t = tau, fd = f, nu = nu0;
    const double S = static_cast<double>(h) * std::pow(fd, alpha);
    switch (type) {
        case kSy: return store(out, S);
        case kSx: return store(out, S / (4.0 * kPi * kPi * fd * fd));
        case kSphi: return store(out, nu * nu * S / (fd * fd));
        case kScriptL: return store(out, 10.0 * std::log10(nu * nu * S / (fd * fd) / 2.0));
        default: break;
    }
    // The modified deviations sample at tau0 = tau / n; below 1 s they are refused.
    if (type != kAllan && tau / static_cast<float>(n) < 1.0f) return -1;
    const double K = allan_factor(alpha, t, fh);
    const double R = type == kAllan ? 1.0 : modified_ratio(alpha, n, t, fh);
    if (!time_domain_usable(type, K, R)) return -1;
    const double sigma2 = K * S / std::pow(fd, alpha);
    if (type == kAllan) return store(out, std::sqrt(sigma2));
    const double mod_sigma = std::sqrt(sigma2 * R);
    if (type == kModAllan) return store(out, mod_sigma);
    return store(out, t * mod_sigma / std::sqrt(3.0));
}

extern "C" int CalcDomain(float* out, float X, float tau, float f, float nu0, float fh,
                          int type, int alpha, int n) {
    if (out == nullptr || !arguments_usable(X, tau, f, nu0, fh, type, alpha, n)) return -1;
    const double x = X, t = tau, fd = f, nu = nu0;
    // The level is formed in two steps, each held in single precision: first the
    // spectral density S_y(f) or the Allan variance, then h_alpha.
    float step = 0.0f;
    if (type <= kScriptL) {
        switch (type) {
            case kSy: step = X; break;
            case kSx: step = static_cast<float>(4.0 * kPi * kPi * fd * fd * x); break;
            case kSphi: step = static_cast<float>(fd * fd * x / (nu * nu)); break;
            default: step = static_cast<float>(2.0 * fd * fd * std::pow(10.0, x / 10.0) / (nu * nu));
        }
        if (!std::isfinite(step) || step == 0.0f) return -1;
        return store(out, static_cast<double>(step) / std::pow(fd, alpha));
    }
    const double K = allan_factor(alpha, t, fh);
    const double R = type == kAllan ? 1.0 : modified_ratio(alpha, n, t, fh);
    if (!time_domain_usable(type, K, R)) return -1;
    switch (type) {
        case kAllan: step = static_cast<float>(x * x); break;
        case kModAllan: step = static_cast<float>(x * x / R); break;
        default: step = static_cast<float>(3.0 * x * x / (t * t * R));
    }
    if (!std::isfinite(step) || step == 0.0f) return -1;
    return store(out, static_cast<double>(step) / K);
}
