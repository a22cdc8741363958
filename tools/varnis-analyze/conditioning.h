// Conditioning of a record before its deviations: the phase and frequency as recorded,
// and the residual after a drift model, fitted and removed with the library's own
// estimators, has been taken out. All records are data vectors (count, first, last,
// samples), gaps as 0.0.
#pragma once
#include <string>
#include <vector>

#include "statistics.h"

namespace analyze {

enum class DriftModel { None, Offset, Linear, Quadratic, Log, Diffusion };

// The command-line names, in the order of the enumeration, and the model by name.
const std::vector<std::string> &drift_model_names();
bool drift_model_by_name(const std::string &name, DriftModel &model);

// One fitted coefficient as the summary shows it.
struct Coefficient {
    std::string name;
    double value = 0.0;
    std::string unit;  // empty for a dimensionless value
};

struct Conditioned {
    std::vector<double> recorded_phase;      // phase as recorded (frequency data: integrated)
    std::vector<double> frequency;           // fractional frequency as recorded
    std::vector<double> residual_phase;      // drift removed: what the deviations use
    std::vector<double> residual_frequency;  // drift removed: noise type and spectrum
    DriftModel drift = DriftModel::None;
    std::string drift_description;           // what was removed, in words
    bool drift_removed = false;
    std::vector<Coefficient> coefficients;
    std::string error;  // empty when the record could be conditioned
};

// samples: the values of the file, gaps as 0.0.
Conditioned condition_record(const std::vector<double> &samples, DataKind kind, double tau0, DriftModel drift);

// A data vector (count, first, last, samples) holding the samples.
std::vector<double> data_vector(const std::vector<double> &samples);
inline int sample_count(const std::vector<double> &v) { return static_cast<int>(v[0]); }

}  // namespace analyze
