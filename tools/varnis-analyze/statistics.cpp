#include "statistics.h"

#include <algorithm>
#include <cmath>

#include "analysis.h"
#include "varnis.h"
#include "varnisx.h"

namespace analyze {

namespace {

int sample_count(const std::vector<double> &v) { return static_cast<int>(v[0]); }

// The library calls its closing callback unconditionally in some routines, so they
// need one even with progress off; the analysis draws its own progress.
void quiet(int, const char *) {}

// A library call's result kept when it returned a count; span: the samples one term
// covers beyond the first, so that terms + span samples stand behind the terms.
template <typename Call>
Value from_call(Call call, int span) {
    double value = 0.0;
    int result = call(&value);
    Value v;
    if (result > 0) {
        v.computed = true;
        v.value = value;
        v.terms = result;
        v.samples_used = result + span;
    }
    return v;
}

Value overlapping_allan(const Records &r, int m) {
    return from_call([&](double *v) { return CalcPhaseOverlapSigma(r.residual_phase->data(), v, r.tau0, m); },
                     2 * m);
}

Value modified_allan(const Records &r, int m) {
    if (sample_count(*r.residual_phase) < 3 * m) return {};
    return from_call([&](double *v) {
        return CalcPhaseModSigma(r.residual_phase->data(), v, m * r.tau0, m, r.stop, 0, quiet);
    }, 3 * m - 1);
}

Value overlapping_hadamard(const Records &r, int m) {
    return from_call(
        [&](double *v) { return CalcPhaseOverlapHadamardDev(r.residual_phase->data(), v, r.tau0, m); }, 3 * m);
}

Value total(const Records &r, int m) {
    if (m > sample_count(*r.residual_phase) - 1) return {};
    return from_call([&](double *v) { return TotvarCalc(r.residual_phase->data(), v, r.tau0, m, 0); }, 2);
}

// The modified total deviation takes 0.0 as a value. On a record with gaps it is
// computed over each gap-free stretch (the window of a copy of the record set to the
// stretch) and the stretches' variances are pooled by their subsequence counts: the
// mean over every subsequence that touches no gap, as on a record without gaps.
Value modified_total(const Records &r, int m) {
    const std::vector<double> &phase = *r.residual_phase;
    if (sample_count(phase) < 3 * m) return {};
    if (r.stretches.empty())
        return from_call([&](double *out) { return ModTotvarCalc(phase.data(), out, r.tau0, m, r.stop, 0, quiet); },
                         3 * m - 1);
    std::vector<double> window = phase;
    double pooled = 0.0;
    Value v;
    for (auto [first, last] : r.stretches) {
        if (last - first + 1 < 3 * m) continue;
        window[1] = first;
        window[2] = last;
        double deviation = 0.0;
        int count = ModTotvarCalc(window.data(), &deviation, r.tau0, m, r.stop, 0, quiet);
        if (count <= 0) continue;
        pooled += count * (deviation * deviation);
        v.terms += count;
        v.samples_used += last - first + 1;
    }
    if (v.terms == 0) return {};
    v.computed = true;
    v.value = std::sqrt(pooled / v.terms);
    return v;
}

Value tie_rms(const Records &r, int m) {
    return from_call([&](double *v) { return TIErms(r.recorded_phase->data(), v, m); }, m);
}

// A term covers 2m samples (m = 1: the Allan deviation's 3).
Value parabolic(const Records &r, int m) {
    return from_call([&](double *v) { return CalcParabolicDev(r.residual_phase->data(), v, r.tau0, m); },
                     m == 1 ? 2 : 2 * m - 1);
}

// Degrees of freedom, each from the samples actually used.
double allan_edf(int alpha, const Value &v, int m) { return CalcDegFree(std::clamp(alpha, -2, 2), v.samples_used, m); }

double modified_allan_edf(int alpha, const Value &v, int m) {
    return EDF(std::clamp(alpha, -2, 2) - 2, m, v.samples_used);
}

double hadamard_edf(int alpha, const Value &v, int m) {
    return HadamardEDF(v.samples_used, m, std::clamp(alpha - 2, -6, -2));
}

// The total variances take the record length over the averaging time, T / tau.
float length_ratio(const Value &v, int m) { return static_cast<float>(v.samples_used - 1) / static_cast<float>(m); }

double total_edf(int alpha, const Value &v, int m) { return TotvarEDF(std::clamp(alpha, -2, 0), length_ratio(v, m)); }

double modified_total_edf(int alpha, const Value &v, int m) {
    return ModTotvarEDF(std::clamp(alpha, -2, 2), length_ratio(v, m));
}

const StatisticInfo kStatistics[STATISTIC_COUNT] = {
    {"oadev", "Overlapping Allan deviation", "Overlapping Allan", false, Plot::SigmaTau, overlapping_allan,
     allan_edf},
    {"mdev", "Modified Allan deviation", "Modified Allan", false, Plot::SigmaTau, modified_allan,
     modified_allan_edf},
    {"tdev", "Time deviation (s)", "Time deviation", true, Plot::TimeError, nullptr, modified_allan_edf},
    {"ohdev", "Overlapping Hadamard deviation", "Overl. Hadamard", false, Plot::SigmaTau, overlapping_hadamard,
     hadamard_edf},
    {"totdev", "Total deviation", "Total", false, Plot::SigmaTau, total, total_edf},
    {"mtotdev", "Modified total deviation", "Modified total", false, Plot::SigmaTau, modified_total,
     modified_total_edf},
    {"pdev", "Parabolic deviation", "Parabolic", false, Plot::SigmaTau, parabolic, nullptr},
    // Its Allan rows are the overlapping Allan deviation's, with its degrees of freedom.
    {"theoh", "TheoH deviation", "TheoH", false, Plot::SigmaTau, nullptr, allan_edf},
    {"mtie", "MTIE (s)", "MTIE", true, Plot::TimeError, nullptr, nullptr},
    {"tierms", "TIE rms (s)", "TIE rms", true, Plot::TimeError, tie_rms, nullptr},
};

}  // namespace

const StatisticInfo &statistic_info(int statistic) { return kStatistics[statistic]; }

namespace {
constexpr int kTheoBRShortestRecord = 90;
// The bias removal's largest Theo1 factor: 12 + 4 k, k = n / 30 - 3.
int bias_removal_theo1_factor(int n) { return 12 + 4 * (n / 30 - 3); }
}  // namespace

int theobr_theo1_factor(int m) { return 2 * ((4 * m + 3) / 6); }

int theoh_switch_factor(int n) { return n / 10; }

int theoh_reach(int n) { return n < kTheoBRShortestRecord ? 0 : (6 * ((n - 1) / 2) + 2) / 4; }

double theobr_cost(int n, int m) {
    return static_cast<double>(n) * std::max(theobr_theo1_factor(m), bias_removal_theo1_factor(n));
}

std::vector<Value> theobr_values(const Records &r, const std::vector<int> &factors) {
    const int count = static_cast<int>(factors.size());
    std::vector<double> deviations(factors.size()), taus(factors.size());
    std::vector<int> terms(factors.size());
    if (count == 0 || CalcTheoHSweep(r.residual_phase->data(), r.tau0, factors.data(), count, 0, deviations.data(),
                                     taus.data(), terms.data(), nullptr, r.stop, 0, quiet) != count)
        return {};
    std::vector<Value> values(factors.size());
    for (std::size_t i = 0; i < factors.size(); ++i) {
        Value &v = values[i];
        v.computed = true;
        v.value = deviations[i];
        v.terms = terms[i];  // Theo1 windows of theobr_theo1_factor(m) + 1 samples
        v.samples_used = terms[i] + theobr_theo1_factor(factors[i]);
        v.tau = taus[i];
        v.no_interval = "no EDF for TheoBR";
    }
    return values;
}

}  // namespace analyze
