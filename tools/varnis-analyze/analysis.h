// The automatic analysis: conditioning of the record and one row of deviations per
// averaging factor 1, 2, 4, ..., all through the library's exports.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "command_line.h"

namespace analyze {

enum Statistic { OADEV, MDEV, TDEV, OHDEV, TOTDEV, MTOTDEV, MTIE, TIERMS, STATISTIC_COUNT };

// Short name (CSV, plot legend) and long name (table heading) of a statistic.
const char *statistic_key(int statistic);
const char *statistic_title(int statistic);
const char *noise_name(int alpha);

struct Estimate {
    bool computed = false;
    bool skipped_as_too_long = false;
    double value = 0.0;
    int terms = 0;
    bool has_interval = false;
    double edf = 0.0;
    double lower = 0.0;
    double upper = 0.0;
};

struct Row {
    int m = 0;
    double tau = 0.0;
    int noise_alpha = 0;
    std::array<Estimate, STATISTIC_COUNT> estimates{};
};

struct Analysis {
    DataKind kind = DataKind::Phase;
    double tau0 = 1.0;
    int confidence_percent = 68;
    int input_samples = 0;
    int gaps = 0;
    int phase_samples = 0;  // of the conditioned phase record the deviations use
    bool drift_removed = false;
    double frequency_offset = 0.0;  // fractional frequency at the middle of the record
    double frequency_drift = 0.0;   // fractional frequency per second
    std::vector<Row> rows;
    bool stopped = false;
    std::string error;
};

// Largest work (samples visited) one modified total deviation may cost; longer ones
// are skipped so that a long record still gives its table in reasonable time.
constexpr double kModTotalWorkLimit = 4e8;

// samples: the values of the file; progress: the library's progress callback or null.
Analysis run_analysis(const std::vector<double> &samples, DataKind kind, double tau0,
                      int confidence_percent, void (*progress)(int, const char *),
                      int *stop);

}  // namespace analyze
