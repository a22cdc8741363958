// Multitaper power spectrum: the record multiplied by each of K Slepian tapers, each
// product transformed, and the per-taper spectra combined with fixed eigenvalue
// weights or with iteratively adapted weights. Everything a call works with lives in
// the call (the taper solver's values too), so calls may run on several threads at once.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>

#include "core/data_vector.h"
#include "core/scratch.h"
#include "spectrum/fft.h"
#include "spectrum/slepian_tapers.h"
#include "spectrum/spectrum_record.h"
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

// The arguments of MultiTaperSpectrumCalc other than the buffers are usable for the
// window x (before gap filling).
bool multitaper_arguments_usable(const VectorView<const double>& x, int N, float NW, int K,
                                 int estimator, float tau, float scale, int gap_mode) {
    if (N < 2 || K < 1 || K > N || !(NW > 0.0f) || !std::isfinite(NW)) return false;
    if (estimator != kEigenvalueWeights && estimator != kAdaptiveWeights) return false;
    if (!(tau > 0.0f) || !std::isfinite(tau) || !(scale > 0.0f) || !std::isfinite(scale)) return false;
    if (gap_mode != 0 && gap_mode != 1) return false;
    if (x.first - 1 + static_cast<long>(N) > x.count) return false;  // samples past the end
    if (static_cast<long>(static_cast<float>(N)) != N) return false;  // float header holds N
    // A half-bandwidth of half the sampling rate or more leaves no band to resolve.
    return static_cast<double>(NW) < N / 2.0;
}

// The power spectra |X_k|^2 / A^2 (t = 1 / A^2) of the n values times each of the K
// tapers, zero-padded to 2 P: spectrum k holds bins 0 .. P at spectra[k bins ..].
// transform holds 2 P floats.
void taper_spectra(const float* values, long n, const double* tapers, int K, long P, double t,
                   float* transform, double* spectra) {
    const long nfft = 2 * P, bins = P + 1;
    for (int k = 0; k < K; ++k) {
        const double* taper = tapers + static_cast<std::size_t>(k) * static_cast<std::size_t>(n);
        float* f = transform;
        for (long i = 0; i < n; ++i) f[i] = static_cast<float>(taper[i] * values[i]);
        for (long i = n; i < nfft; ++i) f[i] = 0.0f;
        real_fft(f, static_cast<std::size_t>(P), 1);
        double* s = spectra + static_cast<std::size_t>(k) * static_cast<std::size_t>(bins);
        s[0] = t * static_cast<double>(f[0]) * f[0];
        s[bins - 1] = t * static_cast<double>(f[1]) * f[1];
        for (long j = 1; j < bins - 1; ++j) {
            const double re = f[2 * j], im = f[2 * j + 1];
            s[j] = t * (re * re + im * im);
        }
    }
}

// Estimator 1: per bin the square root of the eigenvalue-weighted power (an
// amplitude); a bin whose sum is not positive keeps the sum and is reported. Returns
// false when working storage cannot be had.
bool combine_by_eigenvalues(const double* spectra, const double* lambda, int K, long bins,
                            double* combined) {
    ScratchArray<float> weight(static_cast<std::size_t>(K));
    if (!weight.ok()) return false;
    for (int k = 0; k < K; ++k) weight[k] = static_cast<float>(1.0 / (K * lambda[k]));
    for (long j = 0; j < bins; ++j) {
        double total = 0.0;
        for (int k = 0; k < K; ++k)
            total += spectra[static_cast<std::size_t>(k) * static_cast<std::size_t>(bins) +
                             static_cast<std::size_t>(j)] *
                     weight[k];
        if (total > 0.0) {
            combined[j] = std::sqrt(total);
        } else {
            report_sqrt_problem(j, total);
            combined[j] = total;
        }
    }
    return true;
}

// Estimator 2: per bin the adaptively weighted power, relative to the variance of the
// n values (t = 1 / A^2); the bins whose iteration did not settle are reported.
// Returns false when working storage cannot be had.
bool combine_adaptively(const double* spectra, const double* lambda, int K, long bins,
                        const float* values, long n, double t, double* combined) {
    double squares = 0.0;
    for (long i = 0; i < n; ++i) squares += static_cast<double>(values[i]) * values[i];
    const double variance = t * squares;
    ScratchArray<double> relative(static_cast<std::size_t>(K));
    if (!relative.ok()) return false;
    long failed = 0;
    for (long j = 0; j < bins; ++j) {
        // A record without variance has no power in any bin.
        if (!(variance > 0.0)) {
            combined[j] = 0.0;
            continue;
        }
        for (int k = 0; k < K; ++k)
            relative[k] = spectra[static_cast<std::size_t>(k) * static_cast<std::size_t>(bins) +
                                  static_cast<std::size_t>(j)] /
                          variance;
        double estimate = 0.0;
        if (!adaptive_estimate(relative.data(), lambda, K, estimate)) ++failed;
        combined[j] = estimate * variance;
    }
    report_failed_iterations(failed);
    return true;
}

// Bins 1 .. bins - 2 of the combined spectrum as log spectral values per unit
// frequency, with their frequencies.
void write_log_spectrum(const double* combined, long bins, float tau, int log_form, float scale,
                        float* spectrum, float* frequencies) {
    const long nfft = 2 * (bins - 1);
    const float df = 1.0f / (tau * static_cast<float>(nfft));
    const double log_df = std::log10(static_cast<double>(df));
    const double factor = log_form == 2 ? 10.0 : 1.0;
    for (long j = 1; j < bins - 1; ++j) {
        frequencies[j - 1] = static_cast<float>(j) * df;
        spectrum[j - 1] =
            static_cast<float>(factor * (std::log10(combined[j] * static_cast<double>(scale)) - log_df));
    }
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
    if (!multitaper_arguments_usable(*x, N, NW, K, estimator, tau, scale, gapMode)) return -1;
    const long P = next_power_of_two(N);
    const long nfft = 2 * P;         // zero padding to twice the next power of two
    const long bins = nfft / 2 + 1;  // 0 .. Nyquist

    // The record in the output buffer. Only the samples that gap filling leaves are
    // analysed; the transform length stays that of N.
    const long n = prepare_spectrum_record(*x, N, gapMode, spectrum);
    if (n < 2 || K > n || !(static_cast<double>(NW) < n / 2.0)) return -1;
    const float* values = spectrum;

    const auto tapers_size = static_cast<std::size_t>(K) * static_cast<std::size_t>(n);
    const auto spectra_size = static_cast<std::size_t>(K) * static_cast<std::size_t>(bins);
    ScratchArray<double> tapers(tapers_size), lambda(static_cast<std::size_t>(K));
    ScratchArray<double> spectra(spectra_size), combined(static_cast<std::size_t>(bins));
    ScratchArray<float> transform(static_cast<std::size_t>(nfft));
    if (!tapers.ok() || !lambda.ok() || !spectra.ok() || !combined.ok() || !transform.ok())
        return -1;
    if (!slepian_tapers(n, NW, K, tapers.data(), lambda.data())) return -1;

    const double t = power_normalisation(normalisation, n, tau);
    taper_spectra(values, n, tapers.data(), K, P, t, transform.data(), spectra.data());
    const bool combined_ok =
        estimator == kEigenvalueWeights
            ? combine_by_eigenvalues(spectra.data(), lambda.data(), K, bins, combined.data())
            : combine_adaptively(spectra.data(), lambda.data(), K, bins, values, n, t,
                                 combined.data());
    if (!combined_ok) return -1;
    write_log_spectrum(combined.data(), bins, tau, logForm, scale, spectrum, frequencies);
    return static_cast<int>(bins);
}
