#include "conditioning.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "varnis.h"

namespace analyze {

namespace {

const std::vector<std::string> kDriftNames = {"none", "offset", "linear", "quadratic", "log", "diffusion"};

// Every sample of the data vector has a finite square, as every variance needs.
bool all_finite(const std::vector<double> &v) {
    static const double largest = std::sqrt(std::numeric_limits<double>::max());
    return std::all_of(v.begin() + 3, v.begin() + 3 + sample_count(v), [](double x) { return std::fabs(x) <= largest; });
}

// Phase integrated from frequencies, starting at 0 (no mean removed).
std::vector<double> integrated(const std::vector<double> &frequency, double tau0) {
    std::vector<double> phase(frequency.size() + 1);
    if (ConvFreqToPhase(frequency.data(), phase.data(), tau0, 0) < 0) return {};
    phase.resize(sample_count(phase) + 3);
    return phase;
}

// Frequencies of a phase record; an exact zero difference is kept as the library's
// zero-frequency marker, not taken for a gap.
std::vector<double> differentiated(const std::vector<double> &phase, double tau0) {
    std::vector<double> frequency(phase.size());
    if (ConvPhaseToFreq(phase.data(), frequency.data(), tau0, 1) < 0) return {};
    frequency.resize(sample_count(frequency) + 3);
    return frequency;
}

// Frequency-domain models: fitted to and removed from the frequencies, whose residual
// is integrated back to phase. Each returns false when its fit found too few values.
bool remove_offset(Conditioned &c, double) {
    double mean = 0.0;
    if (CalcMean(c.residual_frequency.data(), &mean, 1) < 1) return false;
    NormalizeData(c.residual_frequency.data(), mean, 1);
    c.drift_description = "frequency offset (mean frequency)";
    c.coefficients = {{"Frequency offset removed", mean, ""}};
    return true;
}

bool remove_linear(Conditioned &c, double tau0) {
    double intercept = 0.0, slope = 0.0, variance = 0.0;
    if (CalcLinFreqDrift(c.residual_frequency.data(), &intercept, &slope, &variance) < 2) return false;
    RemoveLinFreqDrift(c.residual_frequency.data(), intercept, slope);
    double middle = (sample_count(c.residual_frequency) + 1) / 2.0;
    c.drift_description = "linear frequency drift (offset and drift fitted to the frequencies)";
    c.coefficients = {{"Frequency offset removed", intercept + slope * middle, ""},
                      {"Frequency drift removed", slope / tau0, "/s"}};
    return true;
}

bool remove_log(Conditioned &c, double) {
    double a = 0.0, b = 0.0, y0 = 0.0, residual = 0.0;
    if (CalcLogFreqDrift(c.residual_frequency.data(), &a, &b, &y0, &residual) < 2) return false;
    RemoveLogFreqDrift(c.residual_frequency.data(), a, b, y0);
    c.drift_description = "logarithmic frequency drift y = A ln(B k + 1) + Y0, k the sample number";
    c.coefficients = {{"A", a, ""}, {"B", b, ""}, {"Y0", y0, ""}};
    return true;
}

bool remove_diffusion(Conditioned &c, double) {
    double intercept = 0.0, slope = 0.0, offset = 0.0, residual = 0.0;
    if (CalcDiffusionFreqDrift(c.residual_frequency.data(), &intercept, &slope, &offset, &residual) < 2)
        return false;
    RemoveDiffusionFreqDrift(c.residual_frequency.data(), intercept, slope, offset);
    c.drift_description = "diffusion frequency drift y = a + b sqrt(k + c), k the sample number";
    c.coefficients = {{"a", intercept, ""}, {"b", slope, ""}, {"c", offset, ""}};
    return true;
}

// The quadratic phase model is fitted to the phase itself. The fit counts time from
// one interval before the first sample (t = u tau0, u = 1, 2, ...), the removal
// evaluates its polynomial at u' = k + 2 in samples: the coefficients are converted.
bool remove_quadratic(Conditioned &c, double tau0) {
    double a0 = 0.0, a1 = 0.0, a2 = 0.0, variance = 0.0;
    if (CalcQuadraticDrift(c.residual_phase.data(), tau0, &a0, &a1, &a2, &variance) < 4) return false;
    double c2 = a2 * tau0 * tau0;
    double c1 = a1 * tau0 - 4.0 * c2;
    double c0 = a0 - 2.0 * c1 - 4.0 * c2;
    RemoveQuadraticDrift(c.residual_phase.data(), c0, c1, c2);
    double middle = (sample_count(c.residual_phase) + 1) / 2.0 * tau0;
    c.drift_description = "quadratic phase (offset and drift fitted to the phase)";
    c.coefficients = {{"Phase offset removed", a0, "s"},
                      {"Frequency offset removed", a1 + 2.0 * a2 * middle, ""},
                      {"Frequency drift removed", 2.0 * a2, "/s"}};
    return true;
}

using Removal = bool (*)(Conditioned &, double);
// Indexed by DriftModel; the phase-domain model is marked by its own entry.
const Removal kFrequencyRemovals[] = {nullptr, remove_offset, remove_linear, nullptr, remove_log, remove_diffusion};

}  // namespace

const std::vector<std::string> &drift_model_names() { return kDriftNames; }

bool drift_model_by_name(const std::string &name, DriftModel &model) {
    auto found = std::find(kDriftNames.begin(), kDriftNames.end(), name);
    if (found == kDriftNames.end()) return false;
    model = static_cast<DriftModel>(found - kDriftNames.begin());
    return true;
}

std::vector<double> data_vector(const std::vector<double> &samples) {
    std::vector<double> v(samples.size() + 3);
    v[0] = v[2] = static_cast<double>(samples.size());
    v[1] = 1.0;
    std::copy(samples.begin(), samples.end(), v.begin() + 3);
    return v;
}

Conditioned condition_record(const std::vector<double> &samples, DataKind kind, double tau0, DriftModel drift) {
    Conditioned c;
    c.drift = drift;
    if (kind == DataKind::Phase) {
        c.recorded_phase = data_vector(samples);
        c.frequency = differentiated(c.recorded_phase, tau0);
    } else {
        c.frequency = data_vector(samples);
        c.recorded_phase = integrated(c.frequency, tau0);
    }
    if (c.frequency.empty() || c.recorded_phase.empty()) {
        c.error = "the record cannot be converted between phase and frequency";
        return c;
    }
    if (!all_finite(c.frequency) || !all_finite(c.recorded_phase)) {
        c.error = "the frequencies or phases of the record are too large: their squares overflow";
        return c;
    }
    c.residual_phase = c.recorded_phase;
    c.residual_frequency = c.frequency;
    c.drift_description = "none";
    if (drift == DriftModel::None) return c;

    if (drift == DriftModel::Quadratic) {
        c.drift_removed = remove_quadratic(c, tau0);
        if (c.drift_removed) c.residual_frequency = differentiated(c.residual_phase, tau0);
    } else {
        c.drift_removed = kFrequencyRemovals[static_cast<int>(drift)](c, tau0);
        if (c.drift_removed) c.residual_phase = integrated(c.residual_frequency, tau0);
    }
    if (!c.drift_removed) {
        c.residual_phase = c.recorded_phase;
        c.residual_frequency = c.frequency;
        c.drift_description = "none (too few valid values for the " + kDriftNames[static_cast<int>(drift)] + " fit)";
        c.coefficients.clear();
        return c;
    }
    bool finite = !c.residual_phase.empty() && !c.residual_frequency.empty() && all_finite(c.residual_phase) &&
                  all_finite(c.residual_frequency);
    for (const Coefficient &k : c.coefficients) finite = finite && std::isfinite(k.value);
    if (!finite) c.error = "removing the " + kDriftNames[static_cast<int>(drift)] + " drift gave values that are not finite";
    return c;
}

}  // namespace analyze
