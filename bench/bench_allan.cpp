// Allan family on 10^6 samples of white frequency noise: the overlapping deviations for
// the octave factors m = 1, 2, 4, ... and the standard deviations, each beside the
// time of one streaming pass (and one plain pass) over the same samples.
#include "bench_support.h"
#include "varnis.h"

namespace {

using namespace bench_support;

constexpr long kSamples = kStabilitySamples;

// The yardstick itself: one streaming pass, in plain passes.
void BM_StreamingPass(benchmark::State& state) {
    const auto& v = white_fm_phase_record();
    run_with_ratio(state, yardstick(v),
                   [&] { benchmark::DoNotOptimize(streaming_sum(v.data(), v.size())); });
}

void BM_CalcPhaseOverlapSigma(benchmark::State& state) {
    run_deviation(state, white_fm_phase_record(), [](const double* v, double* s, int m) {
        return CalcPhaseOverlapSigma(v, s, 1.0, m);
    });
}

void BM_CalcFreqOverlapSigma(benchmark::State& state) {
    run_deviation(state, white_fm_frequency_record(),
                  [](const double* v, double* s, int m) { return CalcFreqOverlapSigma(v, s, m); });
}

void BM_CalcPhaseStdDev(benchmark::State& state) {
    run_deviation(state, white_fm_phase_record(),
                  [](const double* v, double* s, int) { return CalcPhaseStdDev(v, s, 1.0); });
}

void BM_CalcFreqStdDev(benchmark::State& state) {
    run_deviation(state, white_fm_frequency_record(),
                  [](const double* v, double* s, int) { return CalcFreqStdDev(v, s); });
}

}  // namespace

BENCHMARK(BM_StreamingPass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcPhaseOverlapSigma)->Apply(bench_support::octave_factors<kSamples / 4>);
BENCHMARK(BM_CalcFreqOverlapSigma)->Apply(bench_support::octave_factors<kSamples / 2>);
BENCHMARK(BM_CalcPhaseStdDev)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcFreqStdDev)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
