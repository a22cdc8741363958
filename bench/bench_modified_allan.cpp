// Modified Allan deviation on 10^6 samples of white frequency noise, for the octave
// factors m = 1, 2, 4, ... up to M/3, each beside the time of one streaming pass (and
// one plain pass) over the same samples.
#include "bench_support.h"
#include "varnis.h"

namespace {

using namespace bench_support;

constexpr long kSamples = kStabilitySamples;

void BM_CalcPhaseModSigma(benchmark::State& state) {
    run_deviation(state, white_fm_phase_record(), [](const double* v, double* s, int m) {
        int stop = 0;
        return CalcPhaseModSigma(v, s, m, m, &stop, 0, nullptr);
    });
}

void BM_CalcFastModSigma(benchmark::State& state) {
    run_deviation(state, white_fm_phase_record(),
                  [](const double* v, double* s, int m) { return CalcFastModSigma(v, s, m, m); });
}

void BM_CalcGreenhallModSigma(benchmark::State& state) {
    run_deviation(state, white_fm_phase_record(), [](const double* v, double* s, int m) {
        return CalcGreenhallModSigma(v, s, m, m);
    });
}

void BM_CalcFreqModSigma(benchmark::State& state) {
    run_deviation(state, white_fm_frequency_record(),
                  [](const double* v, double* s, int m) { return CalcFreqModSigma(v, s, m); });
}

}  // namespace

BENCHMARK(BM_CalcPhaseModSigma)->Apply(bench_support::octave_factors<kSamples / 3>);
BENCHMARK(BM_CalcFastModSigma)->Apply(bench_support::octave_factors<kSamples / 3>);
BENCHMARK(BM_CalcGreenhallModSigma)->Apply(bench_support::octave_factors<kSamples / 3>);
BENCHMARK(BM_CalcFreqModSigma)->Apply(bench_support::octave_factors<kSamples / 3>);

BENCHMARK_MAIN();
