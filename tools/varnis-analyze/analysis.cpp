#include "analysis.h"

#include <algorithm>
#include <cmath>

#include "varnis.h"

namespace analyze {

const char *statistic_key(int statistic) {
    static const char *keys[] = {"oadev", "mdev", "tdev", "ohdev", "totdev", "mtotdev", "mtie", "tierms"};
    return keys[statistic];
}

const char *statistic_title(int statistic) {
    static const char *titles[] = {"Overlapping Allan deviation", "Modified Allan deviation",
                                   "Time deviation (s)", "Overlapping Hadamard deviation",
                                   "Total deviation", "Modified total deviation",
                                   "MTIE (s)", "TIE rms (s)"};
    return titles[statistic];
}

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

namespace {

// A data vector: header (count, first, last) and the samples.
std::vector<double> data_vector(const std::vector<double> &samples) {
    std::vector<double> v(samples.size() + 3);
    v[0] = v[2] = static_cast<double>(samples.size());
    v[1] = 1.0;
    std::copy(samples.begin(), samples.end(), v.begin() + 3);
    return v;
}

int sample_count(const std::vector<double> &v) { return static_cast<int>(v[0]); }

// Bandwidth factor 2 pi fh tau0 of the modified-to-Allan ratio, with the measurement
// bandwidth taken as the Nyquist frequency 1 / (2 tau0).
constexpr float kBandwidthFactor = 3.14159265f;

// Confidence interval of a deviation from its EDF: sigma * sqrt(edf / chi2) at the two
// tail probabilities. Left without an interval when the EDF or a quantile is unusable.
void add_interval(Estimate &e, double edf, int confidence_percent) {
    if (!e.computed || !(edf > 0.0) || !std::isfinite(edf)) return;
    double tail = confidence_percent == 95 ? 0.025 : (1.0 - 0.6827) / 2.0;
    float chi_high = CalcInvChiSqr(static_cast<float>(tail), static_cast<float>(edf));
    float chi_low = CalcInvChiSqr(static_cast<float>(1.0 - tail), static_cast<float>(edf));
    if (!(chi_high > 0.0f) || !(chi_low > 0.0f)) return;
    e.has_interval = true;
    e.edf = edf;
    e.lower = e.value * std::sqrt(edf / chi_high);
    e.upper = e.value * std::sqrt(edf / chi_low);
}

// Runs one library call and keeps its result when it returned a count.
template <typename Call>
Estimate from_call(Call call, const double &value) {
    int result = call();
    Estimate e;
    if (result > 0) {
        e.computed = true;
        e.value = value;
        e.terms = result;
    }
    return e;
}

// Phase record with the fitted linear frequency drift (and so the frequency offset)
// removed: the frequencies are fitted with a line over the sample number and
// integrated back into phase. frequency receives the conditioned frequency record.
std::vector<double> conditioned_phase(std::vector<double> &frequency, Analysis &a) {
    int count = sample_count(frequency);
    double intercept = 0.0, slope = 0.0, variance = 0.0;
    if (CalcLinFreqDrift(frequency.data(), &intercept, &slope, &variance) >= 2) {
        RemoveLinFreqDrift(frequency.data(), intercept, slope);
        a.drift_removed = true;
        a.frequency_offset = intercept + slope * (count + 1) / 2.0;
        a.frequency_drift = slope / a.tau0;
    }
    std::vector<double> phase(count + 4);
    if (ConvFreqToPhase(frequency.data(), phase.data(), a.tau0, 0) < 0) return {};
    phase.resize(sample_count(phase) + 3);
    return phase;
}

// Noise type at averaging factor m: the B1 ratio of the m-averaged frequencies tells
// the frequency noises apart; phase noise is split into white and flicker by the
// ratio of the modified to the overlapping Allan variance at mdev_m.
int identify_noise(const std::vector<double> &frequency, int m, const Row *ratio_row, int fallback) {
    std::vector<double> averages = frequency;
    int count = AverageFreqData(averages.data(), m);
    if (count < 4) return fallback;
    double deviation = 0.0, allan = 0.0;
    if (CalcFreqStdDev(averages.data(), &deviation) < 0 || CalcFreqSigma(averages.data(), &allan) < 0 ||
        !(allan > 0.0))
        return fallback;
    double b1 = (deviation / allan) * (deviation / allan);
    int alpha = NoiseID(count, 0, m, kBandwidthFactor, static_cast<float>(b1));
    if (alpha != 1 || ratio_row == nullptr) return alpha;
    const Estimate &mod = ratio_row->estimates[MDEV];
    const Estimate &allan_row = ratio_row->estimates[OADEV];
    if (!mod.computed || !allan_row.computed || !(allan_row.value > 0.0)) return alpha;
    double ratio = (mod.value / allan_row.value) * (mod.value / allan_row.value);
    return NoiseID(count, 2, ratio_row->m, kBandwidthFactor, static_cast<float>(ratio));
}

void add_confidence(Row &row, int phase_samples, int confidence_percent) {
    int alpha = row.noise_alpha;
    int n = phase_samples;
    int m = row.m;
    float ratio = static_cast<float>(n - 1) / static_cast<float>(m);
    double edf[STATISTIC_COUNT] = {};
    edf[OADEV] = CalcDegFree(std::clamp(alpha, -2, 2), n, m);
    edf[MDEV] = edf[TDEV] = EDF(std::clamp(alpha, -2, 2) - 2, m, n);
    edf[OHDEV] = HadamardEDF(n, m, std::clamp(alpha - 2, -6, -2));
    edf[TOTDEV] = TotvarEDF(std::clamp(alpha, -2, 0), ratio);
    edf[MTOTDEV] = ModTotvarEDF(std::clamp(alpha, -2, 2), ratio);
    for (int s = 0; s < STATISTIC_COUNT; ++s)
        if (s != MTIE && s != TIERMS) add_interval(row.estimates[s], edf[s], confidence_percent);
}

// One row of deviations at averaging factor m of the phase record. Returns false when
// the stop flag ended a calculation, whose partial result is then not kept.
bool compute_row(std::vector<double> &phase, double tau0, int m, Row &row,
                 void (*progress)(int, const char *), int *stop) {
    int n = sample_count(phase);
    double tau = m * tau0;
    row.m = m;
    row.tau = tau;
    auto &e = row.estimates;
    double value = 0.0;
    // The library calls its closing callback unconditionally here, so it needs one.
    static constexpr auto quiet = [](int, const char *) {};
    VarnisProgressCallback callback = progress != nullptr ? progress : +quiet;
    int report = progress != nullptr ? 1 : 0;

    e[OADEV] = from_call([&] { return CalcPhaseOverlapSigma(phase.data(), &value, tau0, m); }, value);
    if (n >= 3 * m) {
        e[MDEV] = from_call([&] { return CalcPhaseModSigma(phase.data(), &value, tau, m, stop, report, callback); }, value);
        if (*stop) return false;
    }
    if (e[MDEV].computed) {
        e[TDEV] = e[MDEV];
        e[TDEV].value = tau * e[MDEV].value / std::sqrt(3.0);
    }
    e[OHDEV] = from_call([&] { return CalcPhaseOverlapHadamardDev(phase.data(), &value, tau0, m); }, value);
    if (m <= n - 1) e[TOTDEV] = from_call([&] { return TotvarCalc(phase.data(), &value, tau0, m, 0); }, value);
    if (n >= 3 * m) {
        double work = static_cast<double>(n - 3 * m + 1) * 9.0 * m;
        if (work <= kModTotalWorkLimit) {
            e[MTOTDEV] = from_call([&] { return ModTotvarCalc(phase.data(), &value, tau0, m, stop, report, callback); }, value);
            if (*stop) return false;
        } else {
            e[MTOTDEV].skipped_as_too_long = true;
        }
    }
    if (m < n) {
        e[MTIE] = from_call([&] { return CalcMTIE(phase.data(), &value, m, stop, report, callback); }, value);
        if (*stop) return false;
        if (e[MTIE].computed) e[MTIE].terms = n - m;  // windows scanned
    }
    e[TIERMS] = from_call([&] { return TIErms(phase.data(), &value, m); }, value);
    return true;
}

}  // namespace

Analysis run_analysis(const std::vector<double> &samples, DataKind kind, double tau0,
                      int confidence_percent, void (*progress)(int, const char *), int *stop) {
    Analysis a;
    a.kind = kind;
    a.tau0 = tau0;
    a.confidence_percent = confidence_percent;
    a.input_samples = static_cast<int>(samples.size());
    std::vector<double> input = data_vector(samples);
    std::vector<double> frequency;
    if (kind == DataKind::Phase) {
        a.gaps = CountGaps(input.data(), 0);
        if (a.input_samples < 3) {
            a.error = "too few samples for an analysis (at least 3 phase values are needed)";
            return a;
        }
        frequency.assign(input.size(), 0.0);
        if (ConvPhaseToFreq(input.data(), frequency.data(), tau0, 1) < 0) {
            a.error = "the phase record cannot be converted to frequency";
            return a;
        }
        frequency.resize(sample_count(frequency) + 3);
    } else {
        a.gaps = CountGaps(input.data(), 1);
        if (a.input_samples < 2) {
            a.error = "too few samples for an analysis (at least 2 frequency values are needed)";
            return a;
        }
        frequency = input;
    }
    std::vector<double> phase = conditioned_phase(frequency, a);
    if (phase.empty()) {
        a.error = "the frequency record cannot be integrated to phase";
        return a;
    }
    a.phase_samples = sample_count(phase);
    int n = a.phase_samples;
    if (*stop) {
        a.stopped = true;
        return a;
    }
    // Averaging factors while the overlapping Allan deviation still has a term.
    for (long long m = 1; n - 2 * m >= 1; m *= 2) {
        Row row;
        if (!compute_row(phase, tau0, static_cast<int>(m), row, progress, stop)) {
            a.stopped = true;
            break;
        }
        a.rows.push_back(row);
        if (*stop) {
            a.stopped = true;
            break;
        }
    }
    int alpha = 0;
    for (std::size_t r = 0; r < a.rows.size(); ++r) {
        // At m = 1 the two Allan variances coincide; take their ratio at m = 2.
        const Row *ratio_row = a.rows[r].m >= 2 ? &a.rows[r] : (r + 1 < a.rows.size() ? &a.rows[r + 1] : nullptr);
        alpha = identify_noise(frequency, a.rows[r].m, ratio_row, alpha);
        a.rows[r].noise_alpha = alpha;
        add_confidence(a.rows[r], n, confidence_percent);
    }
    return a;
}

}  // namespace analyze
