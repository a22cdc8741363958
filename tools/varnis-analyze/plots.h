// The charts of an analysis: sigma-tau, time error, records over time and spectra.
#pragma once
#include <string>
#include <vector>

#include "analysis.h"
#include "svg_chart.h"

namespace analyze {

// The fractional-frequency deviations against averaging time, with their confidence
// intervals and dashed noise-slope guides.
Chart sigma_tau_chart(const Analysis &analysis, const std::string &title);
// MTIE, TIE rms and the time deviation against observation time.
Chart time_error_chart(const Analysis &analysis);
// A record (data vector) over time: every sample while they fit the width, else the
// smallest and largest value of each slice as a band, so no excursion is lost.
// phase_rule: a 0.0 is a value at the first and last sample (phase records).
Series record_series(const std::vector<double> &record, double tau0, bool phase_rule, const std::string &colour);

struct Spectrum {
    std::string label;
    std::vector<double> frequency;  // Hz
    std::vector<double> density;    // one-sided power spectral density per Hz
};
Chart spectrum_chart(const std::vector<Spectrum> &spectra, const std::string &what);

}  // namespace analyze
