// The statistics of the analysis, one entry each: names, unit, which record it reads,
// how one value is computed through the library and how its degrees of freedom are
// found. A new statistic is a new enumerator and a new entry in the table.
#pragma once
#include <utility>
#include <vector>

namespace analyze {

enum class DataKind { Phase, Frequency };

enum Statistic { OADEV, MDEV, TDEV, OHDEV, TOTDEV, MTOTDEV, MTIE, TIERMS, STATISTIC_COUNT };

// What one library call gave for one averaging factor.
struct Value {
    bool computed = false;
    double value = 0.0;
    int terms = 0;
    int samples_used = 0;  // gap-free samples behind the terms
};

// The records a statistic may read, as data vectors (count, first, last, samples).
struct Records {
    const std::vector<double> *residual_phase = nullptr;  // drift removed
    const std::vector<double> *recorded_phase = nullptr;  // as recorded
    // The gap-free stretches of the residual phase, first and last sample (1-based);
    // empty when the record has no gap.
    std::vector<std::pair<int, int>> stretches;
    double tau0 = 1.0;
    int *stop = nullptr;
};

enum class Plot { SigmaTau, TimeError, None };

struct StatisticInfo {
    const char *key;     // CSV and plot legend
    const char *title;   // table heading
    const char *legend;  // short name on the plots
    bool in_seconds;     // a time deviation or error; the others are fractional frequency
    Plot plot;
    // One value at averaging factor m; null when the value comes from another entry
    // (the time deviation from the modified Allan deviation) or from a whole-record
    // pass (MTIE).
    Value (*compute)(const Records &records, int m);
    // Degrees of freedom of a value from its noise type alpha; null: no interval.
    double (*edf)(int alpha, const Value &value, int m);
};

const StatisticInfo &statistic_info(int statistic);
inline const char *statistic_key(int s) { return statistic_info(s).key; }
inline const char *statistic_title(int s) { return statistic_info(s).title; }
inline bool statistic_in_seconds(int s) { return statistic_info(s).in_seconds; }

}  // namespace analyze
