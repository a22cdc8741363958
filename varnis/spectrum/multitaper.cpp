// Multitaper power spectrum: the record multiplied by each of K Slepian tapers, each
// product transformed, and the per-taper spectra combined with fixed eigenvalue
// weights or with iteratively adapted weights.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>

#include "spectrum/fft.h"
#include "spectrum/slepian_tapers.h"
#include "core/data_vector.h"
#include "core/scratch.h"
#include "varnis.h"

namespace varnis {
namespace {

enum Estimator { kEigenvalueWeights = 1, kAdaptiveWeights = 2 };

// Diagnostic lines for the host's console, with numbers in the "C" notation
// whatever the process locale: integers in %ld take no locale, the double goes
// through to_chars.
void report_sqrt_problem(long bin, double sum) {
    char text[400];  // room for any double in fixed form
    const int length = std::snprintf(text, 64, "sqrt problem in hires pos=%ld ", bin);
    char* p = std::to_chars(text + length, text + sizeof text - 1, sum, std::chars_format::fixed, 6).ptr;
    *p++ = '\n';
    std::fwrite(text, 1, static_cast<std::size_t>(p - text), stdout);
}

void report_failed_iterations(long failed) { std::fprintf(stderr, "%ld failed iterations\n", failed); }

// 1 / A^2 for the normalisation code: A = N (1), 1 / tau (2), sqrt(N) (3), 1 (other).
double power_normalisation(int code, long n, double tau) {
    const double count = static_cast<double>(n);
    switch (code) {
        case 1: return 1.0 / (count * count);
        case 2: return tau * tau;
        case 3: return 1.0 / count;
        default: return 1.0;
    }
}

// Adaptive estimate of one bin from the taper spectra s_k (already divided by the
// data variance). Returns false when the 20 iterations did not settle.
bool adaptive_estimate(const double* s, const double* lambda, int K, double& estimate) {
    double e = K >= 2 ? (s[0] + s[1]) / 2.0 : s[0];
    estimate = e;
    // Without power in the starting tapers every weight vanishes: the bin has none.
    if (!(e > 0.0)) {
        estimate = 0.0;
        return true;
    }
    for (int iteration = 0; iteration < 20; ++iteration) {
        double weighted = 0.0, weights = 0.0;
        for (int k = 0; k < K; ++k) {
            const double b = std::sqrt(lambda[k]) * e / (lambda[k] * e + (1.0 - lambda[k]));
            weighted += b * b * s[k];
            weights += b * b;
        }
        const double next = weighted / weights;
        if (std::fabs(next - e) / e < 3e-4) {
            estimate = e;
            return true;
        }
        e = next;
    }
    estimate = e;
    return false;
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int MultiTaperSpectrumCalc(const double* data, float* spectrum, float* frequencies,
                                      float tau, int N, float NW, int K, int estimator,
                                      int normalisation, int /*unused*/, int logForm, float scale,
                                      int gapMode) {
    const auto x = read_window(data);
    if (!x || spectrum == nullptr || frequencies == nullptr) return -1;
    if (N < 2 || K < 1 || K > N || !(NW > 0.0f) || !std::isfinite(NW)) return -1;
    if (estimator != kEigenvalueWeights && estimator != kAdaptiveWeights) return -1;
    if (!(tau > 0.0f) || !std::isfinite(tau) || !(scale > 0.0f) || !std::isfinite(scale)) return -1;
    if (gapMode != 0 && gapMode != 1) return -1;
    if (x->first - 1 + static_cast<long>(N) > x->count) return -1;  // samples past the end
    if (static_cast<long>(static_cast<float>(N)) != N) return -1;  // float header holds N
    // A half-bandwidth of half the sampling rate or more leaves no band to resolve.
    if (!(static_cast<double>(NW) < N / 2.0)) return -1;

    const long P = next_power_of_two(N);
    const long nfft = 2 * P;       // zero padding to twice the next power of two
    const long bins = nfft / 2 + 1;  // 0 .. Nyquist

    // The record as a float data vector in the output buffer, its gaps filled.
    spectrum[0] = static_cast<float>(N);
    spectrum[1] = 1.0f;
    spectrum[2] = static_cast<float>(N);
    for (long i = 0; i < N; ++i) spectrum[3 + i] = static_cast<float>((*x)[x->first + i]);
    FillFloatGaps(spectrum, gapMode);
    // Gaps cut off either end shorten the record: only the samples that remain are
    // analysed; the transform length stays that of N.
    long n = static_cast<long>(spectrum[0]);
    if (n < 1 || n > N) n = N;
    if (n < 2 || K > n || !(static_cast<double>(NW) < n / 2.0)) return -1;
    float* values = spectrum;
    for (long i = 0; i < n; ++i) values[i] = values[i + 3];
    double sum = 0.0;
    for (long i = 0; i < n; ++i) sum += values[i];
    const double mean = sum / static_cast<double>(n);
    for (long i = 0; i < n; ++i) values[i] = static_cast<float>(values[i] - mean);

    const auto tapers_size = static_cast<std::size_t>(K) * static_cast<std::size_t>(n);
    const auto spectra_size = static_cast<std::size_t>(K) * static_cast<std::size_t>(bins);
    ScratchArray<double> tapers(tapers_size), lambda(static_cast<std::size_t>(K));
    ScratchArray<double> taper_spectra(spectra_size), combined(static_cast<std::size_t>(bins));
    ScratchArray<float> transform(static_cast<std::size_t>(nfft));
    if (!tapers.ok() || !lambda.ok() || !taper_spectra.ok() || !combined.ok() || !transform.ok())
        return -1;
    if (!slepian_tapers(n, NW, K, tapers.data(), lambda.data())) return -1;

    const double t = power_normalisation(normalisation, n, tau);
    for (int k = 0; k < K; ++k) {
        const double* taper = tapers.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(n);
        float* f = transform.data();
        for (long i = 0; i < n; ++i) f[i] = static_cast<float>(taper[i] * values[i]);
        for (long i = n; i < nfft; ++i) f[i] = 0.0f;
        real_fft(f, static_cast<std::size_t>(P), 1);
        double* s = taper_spectra.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(bins);
        s[0] = t * static_cast<double>(f[0]) * f[0];
        s[bins - 1] = t * static_cast<double>(f[1]) * f[1];
        for (long j = 1; j < bins - 1; ++j) {
            const double re = f[2 * j], im = f[2 * j + 1];
            s[j] = t * (re * re + im * im);
        }
    }
    auto taper_power = [&](int k, long j) {
        return taper_spectra[static_cast<std::size_t>(k) * static_cast<std::size_t>(bins) +
                             static_cast<std::size_t>(j)];
    };

    if (estimator == kEigenvalueWeights) {
        // An amplitude: the square root of the eigenvalue-weighted power.
        ScratchArray<float> weight(static_cast<std::size_t>(K));
        if (!weight.ok()) return -1;
        for (int k = 0; k < K; ++k) weight[k] = static_cast<float>(1.0 / (K * lambda[k]));
        for (long j = 0; j < bins; ++j) {
            double total = 0.0;
            for (int k = 0; k < K; ++k) total += taper_power(k, j) * weight[k];
            if (total > 0.0) {
                combined[j] = std::sqrt(total);
            } else {
                report_sqrt_problem(j, total);
                combined[j] = total;
            }
        }
    } else {
        double squares = 0.0;
        for (long i = 0; i < n; ++i) squares += static_cast<double>(values[i]) * values[i];
        const double variance = t * squares;
        ScratchArray<double> relative(static_cast<std::size_t>(K));
        if (!relative.ok()) return -1;
        long failed = 0;
        for (long j = 0; j < bins; ++j) {
            // A record without variance has no power in any bin.
            if (!(variance > 0.0)) {
                combined[j] = 0.0;
                continue;
            }
            for (int k = 0; k < K; ++k) relative[k] = taper_power(k, j) / variance;
            double estimate = 0.0;
            if (!adaptive_estimate(relative.data(), lambda.data(), K, estimate)) ++failed;
            combined[j] = estimate * variance;
        }
        report_failed_iterations(failed);
    }

    // Bins 1 .. bins - 2 as log spectral values per unit frequency.
    const float df = 1.0f / (tau * static_cast<float>(nfft));
    const double log_df = std::log10(static_cast<double>(df));
    const double factor = logForm == 2 ? 10.0 : 1.0;
    for (long j = 1; j < bins - 1; ++j) {
        frequencies[j - 1] = static_cast<float>(j) * df;
        spectrum[j - 1] =
            static_cast<float>(factor * (std::log10(combined[j] * static_cast<double>(scale)) - log_df));
    }
    return static_cast<int>(bins);
}
