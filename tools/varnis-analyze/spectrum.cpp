#include "spectrum.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include "conditioning.h"
#include "number_text.h"
#include "varnis.h"

namespace analyze {

namespace {

int power_of_two_at_least(int n) {
    int p = 1;
    while (p < n) p *= 2;
    return p;
}

// Levels (log10 of the density) into a spectrum, leaving out bins without power.
Spectrum from_levels(std::string label, const std::vector<float> &levels, const std::vector<float> &frequencies,
                     int count) {
    Spectrum s;
    s.label = std::move(label);
    for (int i = 0; i < count; ++i) {
        double density = std::pow(10.0, static_cast<double>(levels[i]));
        if (!std::isfinite(density) || !(density > 0.0)) continue;
        s.frequency.push_back(frequencies[i]);
        s.density.push_back(density);
    }
    return s;
}

Spectrum periodogram(const std::vector<double> &frequency, double tau0) {
    const int n = sample_count(frequency);
    const int padded = power_of_two_at_least(n);
    const int segment = std::clamp(padded / 8, std::min(256, padded), 8192);
    const int segments = padded / segment;
    std::vector<float> re(static_cast<std::size_t>(std::max(n + 3, padded))), im(static_cast<std::size_t>(padded));
    int count = SpectrumCalc(frequency.data(), re.data(), im.data(), static_cast<float>(tau0), n, 1, 2, 1, 1.0f,
                             segments, 1);
    if (count <= 0) return {};
    return from_levels("periodogram", re, im, count);
}

// The multitaper routine writes a line about its iterations to the standard error
// after every call; the report has no use for it.
template <typename Call>
int without_standard_error(Call call) {
    std::fflush(stderr);
    int saved = ::dup(2);
    int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null >= 0) ::dup2(null, 2);
    int result = call();
    std::fflush(stderr);
    if (saved >= 0 && null >= 0) ::dup2(saved, 2);
    if (null >= 0) ::close(null);
    if (saved >= 0) ::close(saved);
    return result;
}

Spectrum multitaper(const std::vector<double> &frequency, double tau0) {
    constexpr float kBandwidth = 4.0f;  // NW
    constexpr int kTapers = 7;
    const int n = sample_count(frequency);
    const int count = std::min(n, kMultitaperPoints);
    if (count < 4 * kTapers) return {};
    // The window starts at the first of the last `count` values.
    std::vector<double> recent = frequency;
    recent[1] = n - count + 1;
    const int padded = power_of_two_at_least(count);
    std::vector<float> spectrum(static_cast<std::size_t>(std::max(count + 3, padded))), frequencies(spectrum.size());
    // Normalisation by N with scale N / P gives the one-sided density per hertz for
    // tapers of unit mean square.
    const float scale = static_cast<float>(count) / static_cast<float>(padded);
    int bins = without_standard_error([&] {
        return MultiTaperSpectrumCalc(recent.data(), spectrum.data(), frequencies.data(), static_cast<float>(tau0),
                                      count, kBandwidth, kTapers, 2, 1, 0, 1, scale, 1);
    });
    if (bins <= 2) return {};
    std::string label = "multitaper";
    if (count < n) label += ", last " + integer_text(count);
    return from_levels(label, spectrum, frequencies, bins - 2);
}

}  // namespace

std::vector<Spectrum> frequency_spectra(const std::vector<double> &frequency, double tau0) {
    std::vector<Spectrum> spectra;
    if (sample_count(frequency) < 16) return spectra;
    for (Spectrum s : {periodogram(frequency, tau0), multitaper(frequency, tau0)})
        if (!s.frequency.empty()) spectra.push_back(std::move(s));
    return spectra;
}

}  // namespace analyze
