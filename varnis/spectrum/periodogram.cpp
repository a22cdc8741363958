// Power spectral density by the averaged, windowed periodogram, on a logarithmic
// scale, and the combination of spectral levels (AddPSD). Everything a call works
// with lives in the call, so calls may run on several threads at once.
#include <cmath>
#include <cstddef>
#include <limits>

#include "core/data_vector.h"
#include "core/scratch.h"
#include "spectrum/fft.h"
#include "spectrum/spectrum_record.h"
#include "varnis.h"

namespace varnis {
namespace {

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

// The arguments of SpectrumCalc other than the buffers and the segment count are
// usable for the window x.
bool periodogram_arguments_usable(const VectorView<const double>& x, int n, float tau,
                                  float scale, int passes, int window, int gap_mode) {
    if (n < 2) return false;
    if (!(tau > 0.0f) || !std::isfinite(tau) || !(scale > 0.0f) || !std::isfinite(scale)) return false;
    if (passes < 0 || passes > 3 || window < 0 || window > 5) return false;
    if (gap_mode != 0 && gap_mode != 1) return false;
    if (x.first - 1 + static_cast<long>(n) > x.count) return false;  // samples past the end
    // The float data vector must hold the count exactly.
    return static_cast<long>(static_cast<float>(n)) == n;
}

// Each of the `segments` segments of length L of the extended record in re (im zero)
// multiplied `passes` times by the window and replaced by its periodogram: powers in
// re, frequencies in im, bins 0 .. L/2 at the segment's start.
void segment_periodograms(float* re, float* im, long L, long segments, int window, int passes,
                          float tau, float* buffer) {
    for (long seg = 0; seg < segments; ++seg) {
        float* r = re + seg * L;
        for (int pass = 0; pass < passes; ++pass)
            for (long i = 0; i < L; ++i) r[i] *= window_weight(window, i, L);  // im is still 0
        segment_periodogram(r, im + seg * L, L, tau, buffer);
    }
}

// Average of the segments' powers into re[0 .. L/2], segment 0 first; the frequencies
// are the same in every segment and stay those of segment 0.
void average_segments(float* re, long L, long segments) {
    for (long j = 0; j <= L / 2; ++j) {
        float sum = 0.0f;
        for (long seg = 0; seg < segments; ++seg) sum += re[seg * L + j];
        re[j] = sum / static_cast<float>(segments);
    }
}

// Levels from bin 1 on, moved to the front of re and im: power per unit frequency on
// the log scale. Every bin is converted; one without any power (a periodic record, a
// constant one) has the level -infinity, the logarithm of zero. Returns the number of
// levels, L / 2 - 1.
long write_levels(float* re, float* im, long L, float level_scale, float correction,
                  float unit_factor) {
    const long half = L / 2;
    const float log_first_frequency = static_cast<float>(std::log10(im[1]));  // of 1 / (L tau)
    for (long i = 0; i <= half - 2; ++i) {
        im[i] = im[i + 1];
        const float power = re[i + 1];
        re[i] = power > 0.0f
                    ? unit_factor *
                          static_cast<float>(std::log10(static_cast<double>(power * level_scale)) -
                                             log_first_frequency + correction)
                    : -std::numeric_limits<float>::infinity();
    }
    return half - 1;
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int SpectrumCalc(const double* data, float* re, float* im, float tau, int n, int passes,
                            int window, int units, float scale, int segments, int gapMode) {
    const auto x = read_window(data);
    if (!x || re == nullptr || im == nullptr) return -1;
    if (!periodogram_arguments_usable(*x, n, tau, scale, passes, window, gapMode)) return -1;
    const long P = next_power_of_two(n);  // the length after zero extension
    // A segment needs at least two samples for a window and a frequency above zero.
    if (!is_power_of_two(segments) || segments > P / 2) return -1;
    const long L = P / segments;
    ScratchArray<float> buffer(2 * static_cast<std::size_t>(L));
    if (!buffer.ok()) return -1;

    // Only the samples that gap filling leaves are analysed; the rest of the extended
    // record is zero.
    const long kept = prepare_spectrum_record(*x, n, gapMode, re);
    for (long i = kept; i < P; ++i) re[i] = 0.0f;
    for (long i = 0; i < P; ++i) im[i] = 0.0f;
    const float fill_ratio = static_cast<float>(static_cast<double>(P) * static_cast<double>(P) /
                                                (static_cast<double>(kept) * static_cast<double>(kept)));

    segment_periodograms(re, im, L, segments, window, passes, tau, buffer.data());
    average_segments(re, L, segments);
    const float unit_factor = units == 2 ? 10.0f : 1.0f;
    return static_cast<int>(
        write_levels(re, im, L, scale * fill_ratio, kWindowCorrection[window / 2][passes], unit_factor));
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
