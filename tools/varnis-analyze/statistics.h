// The statistics of the analysis, one entry each: names, unit, which record it reads,
// how one value is computed through the library and how its degrees of freedom are
// found. A new statistic is a new enumerator and a new entry in the table.
#pragma once
#include <utility>
#include <vector>

namespace analyze {

enum class DataKind { Phase, Frequency };

enum Statistic { OADEV, MDEV, TDEV, OHDEV, TOTDEV, MTOTDEV, PDEV, THEOH, MTIE, TIERMS, STATISTIC_COUNT };

// What one library call gave for one averaging factor.
struct Value {
    bool computed = false;
    double value = 0.0;
    int terms = 0;
    int samples_used = 0;  // gap-free samples behind the terms
    double tau = 0.0;      // its averaging time when it is not the row's (TheoBR), else 0
    const char *no_interval = nullptr;  // why a value has no interval by its kind, or null
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
    // pass (MTIE, TheoH).
    Value (*compute)(const Records &records, int m);
    // Degrees of freedom of a value from its noise type alpha; null: no interval.
    double (*edf)(int alpha, const Value &value, int m);
};

const StatisticInfo &statistic_info(int statistic);

// TheoBR, the long-term rows of TheoH (VarnisX CalcTheoHSweep beyond the switch-over
// factor, a tenth of the record): one value per factor of `factors` (each above the
// switch-over, within theoh_reach), all in one call that shares the Theo1 sums. Empty
// when the call was refused or stopped.
std::vector<Value> theobr_values(const Records &records, const std::vector<int> &factors);
// The even Theo1 factor of a TheoBR row at factor m: nearest 4 m / 3.
int theobr_theo1_factor(int m);
// TheoH's switch-over factor for n samples: a tenth of the record.
int theoh_switch_factor(int n);
// The largest factor with a TheoBR row for n samples (its Theo1 factor <= n - 1), 0
// when the record is too short for TheoBR (fewer than 90 samples).
int theoh_reach(int n);
// The work of TheoBR rows up to factor m on n samples, as samples times the largest
// Theo1 factor of the one sweep behind them (the bias removal's included).
double theobr_cost(int n, int m);
inline const char *statistic_key(int s) { return statistic_info(s).key; }
inline const char *statistic_title(int s) { return statistic_info(s).title; }
inline bool statistic_in_seconds(int s) { return statistic_info(s).in_seconds; }

}  // namespace analyze
