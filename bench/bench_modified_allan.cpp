// Modified Allan and overlapping Hadamard deviations on 10^6 samples of white
// frequency noise, for m = 1, 2, 4, ... up to M/3, each beside the time of one plain
// pass over the same samples.
#include "bench_support.h"
#include "test_support.h"
#include "varnis.h"

namespace {

constexpr long kSamples = 1000000;

const std::vector<double>& phase_record() {
    static const std::vector<double> v =
        testing_support::make_vector(testing_support::power_law_phase(kSamples, -2.0, 1, 1e-9));
    return v;
}

const std::vector<double>& frequency_record() {
    static const std::vector<double> v =
        testing_support::make_vector(testing_support::power_law_phase(kSamples, 0.0, 2, 1e-11));
    return v;
}

// Runs one deviation routine per iteration: call(vector, &sigma, m).
template <class Call>
void run_deviation(benchmark::State& state, const std::vector<double>& v, Call call) {
    const double plain = bench_support::plain_pass_seconds(v);
    const int m = static_cast<int>(state.range(0));
    bench_support::run_with_ratio(state, plain, [&] {
        double sigma = 0.0;
        benchmark::DoNotOptimize(call(v.data(), &sigma, m));
        benchmark::DoNotOptimize(sigma);
    });
}

void BM_CalcPhaseModSigma(benchmark::State& state) {
    run_deviation(state, phase_record(), [](const double* v, double* s, int m) {
        int stop = 0;
        return CalcPhaseModSigma(v, s, m, m, &stop, 0, nullptr);
    });
}

void BM_CalcFastModSigma(benchmark::State& state) {
    run_deviation(state, phase_record(), [](const double* v, double* s, int m) {
        return CalcFastModSigma(v, s, m, m);
    });
}

void BM_CalcFreqModSigma(benchmark::State& state) {
    run_deviation(state, frequency_record(), [](const double* v, double* s, int m) {
        return CalcFreqModSigma(v, s, m);
    });
}

void BM_CalcPhaseOverlapHadamardDev(benchmark::State& state) {
    run_deviation(state, phase_record(), [](const double* v, double* s, int m) {
        return CalcPhaseOverlapHadamardDev(v, s, 1.0, m);
    });
}

void BM_CalcFreqOverlapHadamardDev(benchmark::State& state) {
    run_deviation(state, frequency_record(), [](const double* v, double* s, int m) {
        return CalcFreqOverlapHadamardDev(v, s, m);
    });
}

}  // namespace

#define VARNIS_SWEEP(name) \
    BENCHMARK(name)->RangeMultiplier(2)->Range(1, kSamples / 3)->Unit(benchmark::kMillisecond)

VARNIS_SWEEP(BM_CalcPhaseModSigma);
VARNIS_SWEEP(BM_CalcFreqModSigma);
VARNIS_SWEEP(BM_CalcFastModSigma);
VARNIS_SWEEP(BM_CalcPhaseOverlapHadamardDev);
VARNIS_SWEEP(BM_CalcFreqOverlapHadamardDev);

BENCHMARK_MAIN();
