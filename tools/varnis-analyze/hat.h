// The three-cornered hat of varnis-analyze: the instability of each of three clocks A,
// B and C from three pairwise records AB (A - B), BC (B - C) and CA (C - A), with no
// reference clock, per averaging factor through VarnisX CalcThreeCorneredHat.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "analysis.h"

namespace analyze {

// The variances the hat combines, by command-line name (VarnisX's kinds).
struct HatStatistic {
    const char *key;    // command line and CSV, e.g. "oadev"
    const char *title;  // e.g. "Overlapping Allan deviation"
    int kind;           // VARNISX_ALLAN ...
    int (*longest)(int n);  // the largest factor of n phase samples
};
const std::vector<HatStatistic> &hat_statistics();
const HatStatistic *hat_statistic_by_key(const std::string &key);

constexpr int kClocks = 3;
extern const char *const kClockNames[kClocks];  // "A", "B", "C"
extern const char *const kPairNames[kClocks];   // "AB", "BC", "CA"

struct HatRow {
    int m = 0;
    double tau = 0.0;
    bool computed = false;
    bool not_finite = false;  // a variance came out as no finite number
    int terms = 0;  // the smallest of the three pairs' term counts
    std::array<double, kClocks> variances{};  // clocks A, B, C; may come out below zero
    std::array<double, kClocks> pairs{};      // the pairwise variances AB, BC, CA
};

struct HatAnalysis {
    AnalysisSettings settings;
    const HatStatistic *statistic = nullptr;
    std::array<std::string, kClocks> paths;  // AB, BC, CA
    int values = 0;                          // per file
    std::array<int, kClocks> gaps{};
    std::string drift_description;
    std::vector<HatRow> rows;
    bool stopped = false;
    std::string error;                  // the analysis could not be made at all
    std::vector<std::string> problems;  // values that came out as no finite number
};

// samples: the values of the three files (gaps as 0.0), of the same length; each is
// conditioned as a single record is (the drift model of settings removed), then every
// factor of the spacing up to the statistic's largest is computed on the task pool.
HatAnalysis run_hat(const std::array<std::vector<double>, kClocks> &samples, const AnalysisSettings &settings,
                    const HatStatistic &statistic, const std::array<std::string, kClocks> &paths, int *stop);

// A clock's or pair's deviation: the square root of a positive variance, else NaN.
double hat_deviation(double variance);

// The outputs of the hat: the printed table, CSV (one line per clock or pair and
// factor), the sigma-tau chart of the three clocks (and, dashed, the pairs) and the
// report page.
std::string hat_table_text(const HatAnalysis &hat);
std::string hat_csv_text(const HatAnalysis &hat);
std::string hat_svg_plot(const HatAnalysis &hat);
std::string hat_html_report(const HatAnalysis &hat);

}  // namespace analyze
