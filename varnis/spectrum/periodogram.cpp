// Power spectral density by the averaged, windowed periodogram, on a logarithmic
// scale, and the combination of spectral levels (AddPSD).
#include <cmath>
#include <cstddef>
#include <limits>

#include "spectrum/fft.h"
#include "core/data_vector.h"
#include "core/scratch.h"
#include "varnis.h"

namespace varnis {
namespace {

// Working values of SpectrumCalc, kept in library-wide storage: two calls must not
// run at the same time.
struct PeriodogramValues {
    long first = 0;                   // first sample analysed (1-based)
    long extended = 0;                // P, the length after zero extension
    long segment = 0;                 // L, the length of one segment
    float fill_ratio = 0.0f;          // P^2 / n^2 for the samples actually analysed
    float log_first_frequency = 0.0f; // log10 of 1 / (L tau)
    float unit_factor = 0.0f;         // 10 for decibels, 1 for log10
};
PeriodogramValues g_periodogram;

// Added to the log10 level to undo the power a window takes away; row = window type
// / 2, column = number of passes.
constexpr float kWindowCorrection[3][4] = {
    {0.0f, 0.0f, 0.0f, 0.0f},
    {0.0f, 0.426f, 0.563f, 0.647f},
    {0.0f, 0.401f, 0.542f, 0.627f},
};

// Weight of the window `type` at position i of a segment of length L (L >= 2).
float window_weight(int type, long i, long L) {
    const float centre = static_cast<float>(L - 1) / 2.0f;
    const float position = static_cast<float>(i);
    const double angle = 6.283185307179586 * static_cast<double>(i) / static_cast<double>(L - 1);
    switch (type) {
        case 1:  // triangular
            return 1.0f - std::fabs((position - centre) / centre);
        case 2:  // Hann
            return 0.5f * (1.0f - static_cast<float>(std::cos(angle)));
        case 3: {  // Welch
            const float t = (position - centre) / (static_cast<float>(L + 1) / 2.0f);
            return 1.0f - t * t;
        }
        case 4:  // Hamming
            return 0.54f - 0.46f * static_cast<float>(std::cos(angle));
        case 5:  // Blackman
            return 0.42f - 0.5f * static_cast<float>(std::cos(angle)) +
                   0.08f * static_cast<float>(std::cos(
                               12.566370614359172 * static_cast<double>(i) / static_cast<double>(L - 1)));
        default:
            return 1.0f;
    }
}

// Periodogram of one segment of length L, in place: seg[k] receives the power of
// bin k (both signed frequencies folded together), freq[k] its frequency, for
// k = 0 .. L/2. buffer holds 2 L floats for the complex transform.
void segment_periodogram(float* seg, float* freq, long L, float tau, float* buffer) {
    for (long i = 0; i < L; ++i) {
        buffer[2 * i] = seg[i];
        buffer[2 * i + 1] = freq[i];
    }
    complex_fft(buffer, static_cast<std::size_t>(L), 1);
    auto power = [&](long k) { return buffer[2 * k] * buffer[2 * k] + buffer[2 * k + 1] * buffer[2 * k + 1]; };
    const float inverse_square = 1.0f / (static_cast<float>(L) * static_cast<float>(L));
    const long half = L / 2;
    seg[0] = power(0) * inverse_square;
    for (long k = 1; k < half; ++k) seg[k] = (power(k) + power(L - k)) * inverse_square;
    seg[half] = power(half) * inverse_square;
    for (long k = 0; k <= half; ++k) freq[k] = static_cast<float>(k) / (static_cast<float>(L) * tau);
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int SpectrumCalc(const double* data, float* re, float* im, float tau, int n, int passes,
                            int window, int units, float scale, int segments, int gapMode) {
    const auto x = read_window(data);
    if (!x || re == nullptr || im == nullptr || n < 2) return -1;
    if (!(tau > 0.0f) || !std::isfinite(tau) || !(scale > 0.0f) || !std::isfinite(scale)) return -1;
    if (passes < 0 || passes > 3 || window < 0 || window > 5) return -1;
    if (gapMode != 0 && gapMode != 1) return -1;
    if (x->first - 1 + static_cast<long>(n) > x->count) return -1;  // samples past the end
    // The float data vector must hold the count exactly.
    if (static_cast<long>(static_cast<float>(n)) != n) return -1;
    const long P = next_power_of_two(n);
    // A segment needs at least two samples for a window and a frequency above zero.
    if (!is_power_of_two(segments) || segments > P / 2) return -1;
    const long L = P / segments;
    ScratchArray<float> buffer(2 * static_cast<std::size_t>(L));
    if (!buffer.ok()) return -1;

    PeriodogramValues& s = g_periodogram;
    s.first = x->first;
    s.extended = P;
    s.segment = L;

    // The record as a float data vector, its gaps filled.
    re[0] = static_cast<float>(n);
    re[1] = 1.0f;
    re[2] = static_cast<float>(n);
    for (long i = 0; i < n; ++i) re[3 + i] = static_cast<float>((*x)[s.first + i]);
    FillFloatGaps(re, gapMode);
    // Gaps cut off either end shorten the record; only the samples that remain are
    // analysed, and the rest of the extended record is zero.
    long kept = static_cast<long>(re[0]);
    if (kept < 1 || kept > n) kept = n;

    for (long i = 0; i < kept; ++i) re[i] = re[i + 3];
    for (long i = kept; i < P; ++i) re[i] = 0.0f;
    for (long i = 0; i < P; ++i) im[i] = 0.0f;
    if (kept >= 2) {
        double sum = 0.0;
        for (long i = 0; i < kept; ++i) sum += re[i];
        const double mean = sum / static_cast<double>(kept);
        for (long i = 0; i < kept; ++i) re[i] = static_cast<float>(re[i] - mean);
    }
    s.fill_ratio = static_cast<float>(static_cast<double>(P) * static_cast<double>(P) /
                                      (static_cast<double>(kept) * static_cast<double>(kept)));

    for (long seg = 0; seg < segments; ++seg) {
        float* r = re + seg * L;
        for (int pass = 0; pass < passes; ++pass)
            for (long i = 0; i < L; ++i) r[i] *= window_weight(window, i, L);  // im is still 0
        segment_periodogram(r, im + seg * L, L, tau, buffer.data());
    }
    // Average of the segments, segment 0 first; the frequencies are the same in every
    // segment and stay those of segment 0.
    const long half = L / 2;
    for (long j = 0; j <= half; ++j) {
        float sum = 0.0f;
        for (long seg = 0; seg < segments; ++seg) sum += re[seg * L + j];
        re[j] = sum / static_cast<float>(segments);
    }

    s.log_first_frequency = static_cast<float>(std::log10(im[1]));
    s.unit_factor = units == 2 ? 10.0f : 1.0f;
    const float level_scale = scale * s.fill_ratio;
    const float correction = kWindowCorrection[window / 2][passes];
    // Levels from bin 1 on: power per unit frequency, on the log scale. Every bin is
    // converted; one without any power (a periodic record, a constant one) has the
    // level -infinity, the logarithm of zero.
    for (long i = 0; i <= half - 2; ++i) {
        im[i] = im[i + 1];
        const float power = re[i + 1];
        re[i] = power > 0.0f
                    ? s.unit_factor *
                          static_cast<float>(std::log10(static_cast<double>(power * level_scale)) -
                                             s.log_first_frequency + correction)
                    : -std::numeric_limits<float>::infinity();
    }
    return static_cast<int>(half - 1);
}

extern "C" float AddPSD(const float* levels, int units) {
    if (levels == nullptr) return -1.0f;
    if (units == 4) {
        // Levels in decibels; a level of exactly 0 is an absent component.
        float total = 0.0f;
        for (int i = 0; i < 5; ++i)
            if (levels[i] != 0.0f)
                total += 2.0f * static_cast<float>(std::pow(10.0, levels[i] / 10.0));
        if (total == 0.0f) return 0.0f;
        return static_cast<float>(10.0 * std::log10(total / 2.0));
    }
    double sum = 0.0;
    for (int i = 0; i < 5; ++i) sum += static_cast<double>(levels[i]) * levels[i];
    return static_cast<float>(std::sqrt(sum));
}
