#include "analysis.h"

#include <algorithm>
#include <cmath>

#include "mtie.h"
#include "number_text.h"
#include "task_pool.h"
#include "varnis.h"

namespace analyze {

const char *noise_name(int alpha) {
    switch (alpha) {
        case 2: return "White PM";
        case 1: return "Flicker PM";
        case 0: return "White FM";
        case -1: return "Flicker FM";
        case -2: return "Random walk FM";
        case -3: return "Flicker walk FM";
        case -4: return "Random run FM";
        default: return "?";
    }
}

std::vector<int> averaging_factors(int longest, TauSpacing spacing) {
    std::vector<int> factors;
    auto fits = [longest](long long m) { return m <= longest; };
    switch (spacing) {
        case TauSpacing::Octave:
            for (long long m = 1; fits(m); m *= 2) factors.push_back(static_cast<int>(m));
            break;
        case TauSpacing::Decade:
            for (long long decade = 1; fits(decade); decade *= 10)
                for (long long step : {1, 2, 4})
                    if (fits(step * decade)) factors.push_back(static_cast<int>(step * decade));
            break;
        case TauSpacing::All:
            for (long long m = 1; fits(m); ++m) factors.push_back(static_cast<int>(m));
            break;
    }
    return factors;
}

int theobr_longest_factor(int n, double theoh_limit) {
    if (theoh_reach(n) == 0 || theobr_cost(n, theoh_switch_factor(n) + 1) > theoh_limit) return 0;
    // The cost grows with the Theo1 factor 2 floor((4 m + 3) / 6) of the last row:
    // the last m whose Theo1 factor stays within limit / n (and n - 1).
    const auto theo1 = static_cast<long long>(std::min(std::floor(theoh_limit / n), n - 1.0));
    return static_cast<int>((6 * (theo1 / 2) + 2) / 4);
}

int longest_factor(int n, double theoh_limit) {
    return std::max((n - 1) / 2, theobr_longest_factor(n, theoh_limit));
}

namespace {

// Bandwidth factor 2 pi fh tau0 of the modified-to-Allan ratio, with the measurement
// bandwidth taken as the Nyquist frequency 1 / (2 tau0).
constexpr float kBandwidthFactor = 3.14159265f;
// Fewer terms than this give no confidence interval.
constexpr int kMinimumTermsForInterval = 2;

// The B1 ratio (standard over Allan variance) of the m-averaged frequencies: what
// tells the frequency noises apart.
struct NoiseMeasure {
    bool usable = false;
    int count = 0;  // averages
    double b1 = 0.0;
};

NoiseMeasure b1_of(const std::vector<double> &averages, int count) {
    if (count < 4) return {};
    double deviation = 0.0, allan = 0.0;
    if (CalcFreqStdDev(averages.data(), &deviation) < 0 || CalcFreqSigma(averages.data(), &allan) < 0 ||
        !(allan > 0.0))
        return {};
    double b1 = (deviation / allan) * (deviation / allan);
    if (!std::isfinite(b1)) return {};
    return {true, count, b1};
}

// The measures of every factor, in order, in one task. On a record without gaps the
// averages of a factor that divides the next one are averaged again (the mean of
// equal groups' means is the mean of the whole group), so the record is read about
// twice in all instead of once per factor; otherwise each factor averages the record.
std::vector<NoiseMeasure> measure_all(const std::vector<double> &frequency, const std::vector<int> &factors,
                                      const int *stop) {
    const bool gap_free = CountGaps(frequency.data(), 1) == 0;
    std::vector<NoiseMeasure> measures;
    std::vector<double> averages;
    int averaged_by = 0, count = 0;
    for (int m : factors) {
        if (*stop) break;
        if (gap_free && averaged_by > 0 && m % averaged_by == 0) {
            count = AverageFreqData(averages.data(), m / averaged_by);
        } else {
            averages = frequency;
            count = AverageFreqData(averages.data(), m);
        }
        averaged_by = count > 0 ? m : 0;
        measures.push_back(b1_of(averages, count));
    }
    return measures;
}

// Noise type from the B1 ratio; phase noise is split into white and flicker by the
// ratio of the modified to the overlapping Allan variance at the ratio row's factor.
int identify_noise(const NoiseMeasure &measure, int m, const Row *ratio_row) {
    int alpha = NoiseID(measure.count, 0, m, kBandwidthFactor, static_cast<float>(measure.b1));
    if (alpha != 1 || ratio_row == nullptr) return alpha;
    const Estimate &mod = ratio_row->estimates[MDEV];
    const Estimate &allan = ratio_row->estimates[OADEV];
    if (!mod.computed || !allan.computed || !(allan.value > 0.0)) return alpha;
    double ratio = (mod.value / allan.value) * (mod.value / allan.value);
    return NoiseID(measure.count, 2, ratio_row->m, kBandwidthFactor, static_cast<float>(ratio));
}

void assign_noise(std::vector<Row> &rows, const std::vector<NoiseMeasure> &measures) {
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (!measures[r].usable) continue;
        // At m = 1 the two Allan variances coincide; take their ratio at the next factor.
        const Row *ratio_row = rows[r].m >= 2 ? &rows[r] : (r + 1 < rows.size() ? &rows[r + 1] : nullptr);
        rows[r].noise_alpha = identify_noise(measures[r], rows[r].m, ratio_row);
        rows[r].noise = NoiseSource::Identified;
        rows[r].noise_from_m = rows[r].m;
    }
    // A factor too long to identify takes the type of the nearest one identified,
    // the shorter first, and says so.
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (rows[r].noise != NoiseSource::None) continue;
        const Row *from = nullptr;
        for (std::size_t k = r; k-- > 0 && from == nullptr;)
            if (rows[k].noise == NoiseSource::Identified) from = &rows[k];
        for (std::size_t k = r + 1; k < rows.size() && from == nullptr; ++k)
            if (rows[k].noise == NoiseSource::Identified) from = &rows[k];
        if (from == nullptr) continue;
        rows[r].noise_alpha = from->noise_alpha;
        rows[r].noise = NoiseSource::Assumed;
        rows[r].noise_from_m = from->m;
    }
}

// Confidence interval of a deviation from its EDF: sigma * sqrt(edf / chi2) at the two
// tail probabilities.
void add_interval(Estimate &e, double edf, int confidence_percent) {
    double tail = confidence_percent == 95 ? 0.025 : (1.0 - 0.6827) / 2.0;
    if (e.terms < kMinimumTermsForInterval || !std::isfinite(edf) || !(edf >= 1.0)) {
        e.too_few_terms = true;
        return;
    }
    float chi_high = CalcInvChiSqr(static_cast<float>(tail), static_cast<float>(edf));
    float chi_low = CalcInvChiSqr(static_cast<float>(1.0 - tail), static_cast<float>(edf));
    double lower = e.value * std::sqrt(edf / chi_high), upper = e.value * std::sqrt(edf / chi_low);
    if (!(chi_high > 0.0f) || !(chi_low > 0.0f) || !std::isfinite(lower) || !std::isfinite(upper)) {
        e.too_few_terms = true;
        return;
    }
    e.has_interval = true;
    e.edf = edf;
    e.lower = lower;
    e.upper = upper;
}

void add_intervals(std::vector<Row> &rows, int confidence_percent) {
    for (Row &row : rows) {
        if (row.noise == NoiseSource::None) continue;
        for (int s = 0; s < STATISTIC_COUNT; ++s) {
            const StatisticInfo &info = statistic_info(s);
            Estimate &e = row.estimates[s];
            if (info.edf == nullptr || !e.computed || e.no_interval != nullptr) continue;
            Value v{true, e.value, e.terms, e.samples_used};
            add_interval(e, info.edf(row.noise_alpha, v, row.m), confidence_percent);
        }
    }
}

// A value that is not a finite number is not reported as one: it is named instead.
void refuse_non_finite(Analysis &a) {
    for (Row &row : a.rows)
        for (int s = 0; s < STATISTIC_COUNT; ++s) {
            Estimate &e = row.estimates[s];
            if (!e.computed || std::isfinite(e.value)) continue;
            e.computed = false;
            e.not_finite = true;
            a.problems.push_back(std::string(statistic_title(s)) + " at m = " + integer_text(row.m) +
                                 " is not a finite number");
        }
}

Estimate estimate_of(const Value &v) {
    Estimate e;
    e.computed = v.computed;
    e.value = v.value;
    e.terms = v.terms;
    e.samples_used = v.samples_used;
    e.tau = v.tau;
    e.no_interval = v.no_interval;
    return e;
}

// The gap-free stretches of a phase record (a 0.0 is a gap except at the first and
// the last sample); none when the record has no gap.
std::vector<std::pair<int, int>> gap_free_stretches(const std::vector<double> &phase) {
    const int n = sample_count(phase);
    std::vector<std::pair<int, int>> stretches;
    int start = 0;  // first sample of the open stretch, 0 when none is open
    for (int k = 1; k <= n; ++k) {
        bool gap = phase[k + 2] == 0.0 && k != 1 && k != n;
        if (!gap && start == 0) start = k;
        if (gap && start != 0) {
            stretches.push_back({start, k - 1});
            start = 0;
        }
    }
    if (start == 1) return {};  // one stretch: the whole record
    if (start != 0) stretches.push_back({start, n});
    return stretches;
}

// Every row's values, the calculations spread over the task pool. Rows are kept while
// every calculation of theirs finished; the noise measures of the rows kept.
std::vector<NoiseMeasure> compute_rows(Analysis &a, const Records &records, const std::vector<int> &factors,
                                       void (*progress)(int, const char *), int *stop) {
    // The work as tasks: TheoH's long-term rows in one sweep (the longest work, so it
    // starts first), MTIE of every span in one pass and the noise measures of every
    // factor, then per factor each statistic. Rows beyond the Allan deviation's last
    // term (n - 2m >= 1) are TheoH's alone.
    constexpr int kNoiseTask = STATISTIC_COUNT;
    struct Task {
        int row;
        int what;
    };
    const AnalysisSettings &settings = a.settings;
    const int n = a.phase_samples;
    const int allan_longest = (n - 1) / 2;
    std::vector<Task> tasks = {{-1, THEOH}, {-1, MTIE}, {-1, kNoiseTask}};
    for (int r = 0; r < static_cast<int>(factors.size()) && factors[r] <= allan_longest; ++r)
        for (int s = 0; s < STATISTIC_COUNT; ++s)
            if (statistic_info(s).compute != nullptr) tasks.push_back({r, s});
    const int recorded_samples = sample_count(a.record.recorded_phase);
    std::vector<int> mtie_spans;
    for (int m : factors)
        if (m < recorded_samples && m <= allan_longest) mtie_spans.push_back(m);
    // TheoBR rows: beyond the switch-over, up to the last one within the cost limit.
    std::vector<int> theobr_factors;
    const int theobr_longest = theobr_longest_factor(n, settings.theoh_limit);
    for (int m : factors)
        if (m > theoh_switch_factor(n) && m <= theobr_longest) theobr_factors.push_back(m);
    std::vector<Value> theobr;
    std::vector<double> mtie_values;
    std::vector<NoiseMeasure> measures;
    std::vector<char> finished(tasks.size(), 0);

    auto run = [&](int i) {
        const Task &task = tasks[i];
        if (task.what == MTIE) {
            mtie_values = mtie_for_spans(a.record.recorded_phase, mtie_spans, stop);
        } else if (task.what == THEOH) {
            theobr = theobr_values(records, theobr_factors);
        } else if (task.what == kNoiseTask) {
            measures = measure_all(a.record.residual_frequency, factors, stop);
        } else {
            const StatisticInfo &info = statistic_info(task.what);
            int m = factors[task.row];
            if (task.what == MTOTDEV && static_cast<double>(n - 3 * m + 1) * m > settings.mtotdev_limit) {
                a.rows[task.row].estimates[MTOTDEV].skipped_as_too_long = true;
            } else {
                a.rows[task.row].estimates[task.what] = estimate_of(info.compute(records, m));
            }
        }
        // A calculation that the stop flag may have cut short is not kept.
        finished[i] = *stop == 0;
    };
    int done_count = 0;
    auto done = [&](int) {
        ++done_count;
        if (progress != nullptr) progress(static_cast<int>(100LL * done_count / static_cast<long long>(tasks.size())), "Analysing");
    };
    run_tasks(static_cast<int>(tasks.size()), settings.threads, run, stop, done);

    // Rows are kept while every calculation of theirs finished.
    std::vector<char> row_complete(factors.size(), 1);
    for (std::size_t i = 0; i < tasks.size(); ++i)
        if (!finished[i] && tasks[i].row >= 0) row_complete[tasks[i].row] = 0;
    for (std::size_t r = 0, t = 0; r < factors.size(); ++r) {
        const int m = factors[r];
        if (m > theoh_switch_factor(n) && m <= theobr_longest) {
            if (t < theobr.size()) a.rows[r].estimates[THEOH] = estimate_of(theobr[t]);
            else if (*stop) row_complete[r] = 0;  // cut short: not a row to report
            ++t;
        } else if (m > theoh_switch_factor(n) && m <= theoh_reach(n)) {
            a.rows[r].estimates[THEOH].skipped_as_too_long = true;
        }
    }
    for (std::size_t r = 0; r < factors.size(); ++r) {
        if ((r < mtie_spans.size() && r >= mtie_values.size()) || r >= measures.size()) row_complete[r] = 0;
        if (r < mtie_values.size()) {
            Estimate &e = a.rows[r].estimates[MTIE];
            e.computed = true;
            e.value = mtie_values[r];
            e.terms = recorded_samples - factors[r];  // windows scanned
        }
    }
    std::size_t kept = std::find(row_complete.begin(), row_complete.end(), 0) - row_complete.begin();
    if (kept < a.rows.size() || *stop) {
        a.stopped = true;
        a.rows.resize(kept);
        measures.resize(kept);
    }
    return measures;
}

}  // namespace

Analysis run_analysis(const std::vector<double> &samples, const AnalysisSettings &settings,
                      void (*progress)(int, const char *), int *stop) {
    Analysis a;
    a.settings = settings;
    a.input_samples = static_cast<int>(samples.size());
    bool phase_data = settings.kind == DataKind::Phase;
    if (a.input_samples < (phase_data ? 3 : 2)) {
        a.error = phase_data ? "too few samples for an analysis (at least 3 phase values are needed)"
                             : "too few samples for an analysis (at least 2 frequency values are needed)";
        return a;
    }
    a.record = condition_record(samples, settings.kind, settings.tau0, settings.drift);
    if (!a.record.error.empty()) {
        a.error = a.record.error;
        return a;
    }
    a.gaps = phase_data ? CountGaps(a.record.recorded_phase.data(), 0) : CountGaps(a.record.frequency.data(), 1);
    const std::vector<double> &phase = a.record.residual_phase;
    const int n = a.phase_samples = sample_count(phase);
    Records records{&phase, &a.record.recorded_phase, gap_free_stretches(phase), settings.tau0, stop};

    std::vector<int> factors = averaging_factors(longest_factor(n, settings.theoh_limit), settings.taus);
    for (int m : factors) {
        Row row;
        row.m = m;
        row.tau = m * settings.tau0;
        a.rows.push_back(row);
    }
    if (*stop) {
        a.stopped = true;
        a.rows.clear();
        return a;
    }

    std::vector<NoiseMeasure> measures = compute_rows(a, records, factors, progress, stop);
    for (Row &row : a.rows) {
        const Estimate &mod = row.estimates[MDEV];
        if (!mod.computed) continue;
        row.estimates[TDEV] = mod;
        row.estimates[TDEV].value = row.tau * mod.value / std::sqrt(3.0);
    }
    refuse_non_finite(a);
    // TheoH up to its switch-over is the overlapping Allan deviation (named once when
    // it is no finite number).
    for (Row &row : a.rows)
        if (row.m <= theoh_switch_factor(n)) row.estimates[THEOH] = row.estimates[OADEV];
    assign_noise(a.rows, measures);
    add_intervals(a.rows, settings.confidence_percent);
    return a;
}

}  // namespace analyze
