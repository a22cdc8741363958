// Overlapping Hadamard deviations on 10^6 samples of white frequency noise, for the
// octave factors m = 1, 2, 4, ... up to M/3, each beside the time of one streaming pass
// (and one plain pass) over the same samples.
#include "bench_support.h"
#include "varnis.h"

namespace {

using namespace bench_support;

constexpr long kSamples = kStabilitySamples;

void BM_CalcPhaseOverlapHadamardDev(benchmark::State& state) {
    run_deviation(state, white_fm_phase_record(), [](const double* v, double* s, int m) {
        return CalcPhaseOverlapHadamardDev(v, s, 1.0, m);
    });
}

void BM_CalcFreqOverlapHadamardDev(benchmark::State& state) {
    run_deviation(state, white_fm_frequency_record(), [](const double* v, double* s, int m) {
        return CalcFreqOverlapHadamardDev(v, s, m);
    });
}

}  // namespace

BENCHMARK(BM_CalcPhaseOverlapHadamardDev)->Apply(bench_support::octave_factors<kSamples / 3>);
BENCHMARK(BM_CalcFreqOverlapHadamardDev)->Apply(bench_support::octave_factors<kSamples / 3>);

BENCHMARK_MAIN();
