#include "hat.h"

#include <cmath>
#include <string>

#include "number_text.h"
#include "task_pool.h"
#include "varnisx.h"

namespace analyze {

const char *const kClockNames[kClocks] = {"A", "B", "C"};
const char *const kPairNames[kClocks] = {"AB", "BC", "CA"};

const std::vector<HatStatistic> &hat_statistics() {
    // The largest factor of each: its routine's last term on n phase samples.
    static const std::vector<HatStatistic> statistics = {
        {"oadev", "Overlapping Allan deviation", VARNISX_ALLAN, [](int n) { return (n - 1) / 2; }},
        {"mdev", "Modified Allan deviation", VARNISX_MODIFIED_ALLAN, [](int n) { return n / 3; }},
        {"ohdev", "Overlapping Hadamard deviation", VARNISX_HADAMARD, [](int n) { return (n - 1) / 3; }},
        {"pdev", "Parabolic deviation", VARNISX_PARABOLIC, [](int n) { return (n - 1) / 2; }},
    };
    return statistics;
}

const HatStatistic *hat_statistic_by_key(const std::string &key) {
    for (const HatStatistic &s : hat_statistics())
        if (key == s.key) return &s;
    return nullptr;
}

double hat_deviation(double variance) { return variance > 0.0 ? std::sqrt(variance) : NAN; }

HatAnalysis run_hat(const std::array<std::vector<double>, kClocks> &samples, const AnalysisSettings &settings,
                    const HatStatistic &statistic, const std::array<std::string, kClocks> &paths, int *stop) {
    HatAnalysis hat;
    hat.settings = settings;
    hat.statistic = &statistic;
    hat.paths = paths;
    hat.values = static_cast<int>(samples[0].size());
    std::array<Conditioned, kClocks> records;
    for (int p = 0; p < kClocks; ++p) {
        if (samples[p].size() < (settings.kind == DataKind::Phase ? 3u : 2u)) {
            hat.error = paths[p] + ": too few values for an analysis";
            return hat;
        }
        records[p] = condition_record(samples[p], settings.kind, settings.tau0, settings.drift);
        if (!records[p].error.empty()) {
            hat.error = paths[p] + ": " + records[p].error;
            return hat;
        }
        hat.gaps[p] = settings.kind == DataKind::Phase ? CountGaps(records[p].recorded_phase.data(), 0)
                                                        : CountGaps(records[p].frequency.data(), 1);
    }
    hat.drift_description = records[0].drift_description;

    const int n = sample_count(records[0].residual_phase);
    for (int m : averaging_factors(statistic.longest(n), settings.taus)) {
        HatRow row;
        row.m = m;
        row.tau = m * settings.tau0;
        hat.rows.push_back(row);
    }
    std::vector<char> finished(hat.rows.size(), 0);
    auto compute = [&](int r) {
        HatRow &row = hat.rows[r];
        int terms = CalcThreeCorneredHat(records[0].residual_phase.data(), records[1].residual_phase.data(),
                                         records[2].residual_phase.data(), settings.tau0, row.m, statistic.kind,
                                         row.variances.data(), row.pairs.data());
        row.computed = terms > 0;
        row.terms = std::max(terms, 0);
        for (int c = 0; c < kClocks && row.computed; ++c)
            row.not_finite = row.not_finite || !std::isfinite(row.variances[c]) || !std::isfinite(row.pairs[c]);
        row.computed = row.computed && !row.not_finite;
        finished[r] = *stop == 0;
    };
    run_tasks(static_cast<int>(hat.rows.size()), settings.threads, compute, stop);
    // Rows are kept while they finished; a stop cuts the rest.
    std::size_t kept = 0;
    while (kept < hat.rows.size() && finished[kept]) ++kept;
    if (kept < hat.rows.size() || *stop) {
        hat.stopped = true;
        hat.rows.resize(kept);
    }
    for (const HatRow &row : hat.rows)
        if (row.not_finite) hat.problems.push_back(std::string(statistic.title) + " at m = " + integer_text(row.m) +
                                                   " is not a finite number for a pair");
    return hat;
}

}  // namespace analyze
