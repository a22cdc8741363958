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
    // Largest work of TheoH's long-term (TheoBR) rows, counted as samples times the
    // largest Theo1 factor of the sweep behind them (theobr_cost); factors beyond it
    // keep TheoH's Allan rows only, and the output says so. At the default a record of
    // 3e4 samples gets every TheoBR row, one of 1e5 none (its bias removal alone costs
    // 1.3e9).
    double theoh_limit = 1e9;
};

const char *noise_name(int alpha);

struct Estimate {
    bool computed = false;
    bool skipped_as_too_long = false;  // beyond the modified total deviation's cost limit
    bool not_finite = false;           // the library gave no finite number
    double value = 0.0;
    int terms = 0;
    int samples_used = 0;  // the gap-free samples behind the terms: what the EDF counts
    double tau = 0.0;      // averaging time when it differs from the row's (TheoBR), else 0
    const char *no_interval = nullptr;  // why the value has no interval by its kind
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

// The averaging factors up to `longest` in the spacing.
std::vector<int> averaging_factors(int longest, TauSpacing spacing);
// The longest averaging factor of a phase record of n samples: while the overlapping
// Allan deviation still has a term (n - 2m >= 1) or, beyond, while TheoH has a TheoBR
// row within the cost limit (up to about 0.75 n).
int longest_factor(int n, double theoh_limit);
// The largest factor of a TheoBR row within the cost limit (theobr_cost), 0 when the
// record is too short for TheoBR or its first row is beyond the limit.
int theobr_longest_factor(int n, double theoh_limit);
// The averaging time of an estimate: its own (TheoBR) or the row's.
inline double estimate_tau(const Estimate &e, const Row &row) { return e.tau > 0.0 ? e.tau : row.tau; }

// samples: the values of the file (gaps as 0.0); progress: draws the share of the
// work done (may be null); stop: the flag that ends the work early.
Analysis run_analysis(const std::vector<double> &samples, const AnalysisSettings &settings,
                      void (*progress)(int, const char *), int *stop);

}  // namespace analyze
