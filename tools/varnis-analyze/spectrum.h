// Power spectra of the residual frequency through the library's periodogram and
// multitaper exports.
#pragma once
#include <vector>

#include "plots.h"

namespace analyze {

// The averaged Hann-windowed periodogram of the whole record and the multitaper
// spectrum of its last kMultitaperPoints values at most (its tapers cost O(N) each,
// with a large constant). A spectrum the library refuses is left out.
constexpr int kMultitaperPoints = 16384;
std::vector<Spectrum> frequency_spectra(const std::vector<double> &frequency, double tau0);

}  // namespace analyze
