// The automatic analysis: conditioning of the record and one row of statistics per
// averaging factor, all through the library's exports, the factors' calculations
// spread over a pool of threads.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "conditioning.h"
#include "statistics.h"

namespace analyze {

enum class TauSpacing { Octave, Decade, All };

struct AnalysisSettings {
    DataKind kind = DataKind::Phase;
    double tau0 = 1.0;
    int confidence_percent = 68;
    DriftModel drift = DriftModel::Linear;
    TauSpacing taus = TauSpacing::Octave;
    int threads = 0;  // 0: one per processor
    // Largest work one modified total deviation may cost, counted as subsequences
    // times the averaging factor, (N - 3m + 1) m; longer ones are skipped (and the
    // output says so), so that a long record still gives its table in reasonable time.
    double mtotdev_limit = 4e6;
};

const char *noise_name(int alpha);

struct Estimate {
    bool computed = false;
    bool skipped_as_too_long = false;  // beyond the modified total deviation's cost limit
    bool not_finite = false;           // the library gave no finite number
    double value = 0.0;
    int terms = 0;
    int samples_used = 0;  // the gap-free samples behind the terms: what the EDF counts
    bool has_interval = false;
    bool too_few_terms = false;  // too few for a confidence interval
    double edf = 0.0;
    double lower = 0.0;
    double upper = 0.0;
};

enum class NoiseSource { None, Identified, Assumed };

struct Row {
    int m = 0;
    double tau = 0.0;
    int noise_alpha = 0;
    NoiseSource noise = NoiseSource::None;
    int noise_from_m = 0;  // the factor whose identification an assumed noise type takes
    std::array<Estimate, STATISTIC_COUNT> estimates{};
};

struct Analysis {
    AnalysisSettings settings;
    int input_samples = 0;
    int gaps = 0;
    int phase_samples = 0;  // of the residual phase record the deviations use
    Conditioned record;     // recorded and residual data vectors, the drift removed
    std::vector<Row> rows;
    bool stopped = false;
    std::string error;                  // the analysis could not be made at all
    std::vector<std::string> problems;  // values that came out as no finite number
};

// The averaging factors for a phase record of n samples: while the overlapping Allan
// deviation still has a term (n - 2m >= 1).
std::vector<int> averaging_factors(int n, TauSpacing spacing);

// samples: the values of the file (gaps as 0.0); progress: draws the share of the
// work done (may be null); stop: the flag that ends the work early.
Analysis run_analysis(const std::vector<double> &samples, const AnalysisSettings &settings,
                      void (*progress)(int, const char *), int *stop);

}  // namespace analyze
