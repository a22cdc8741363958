// Overlapping Allan deviation on 10^6 phase samples of white frequency noise, for
// m = 1, 2, 4, ... up to M/4, each beside the time of one plain pass.
#include "bench_support.h"
#include "test_support.h"
#include "varnis.h"

namespace {

constexpr long kSamples = 1000000;

const std::vector<double>& record() {
    static const std::vector<double> v =
        testing_support::make_vector(testing_support::power_law_phase(kSamples, -2.0, 1, 1e-9));
    return v;
}

void BM_PlainPass(benchmark::State& state) {
    const auto& v = record();
    const double plain = bench_support::plain_pass_seconds(v);
    bench_support::run_with_ratio(state, plain, [&] {
        double sum = 0.0;
        for (double x : v) sum += x;
        benchmark::DoNotOptimize(sum);
    });
}

void BM_CalcPhaseOverlapSigma(benchmark::State& state) {
    const auto& v = record();
    const double plain = bench_support::plain_pass_seconds(v);
    const int m = static_cast<int>(state.range(0));
    bench_support::run_with_ratio(state, plain, [&] {
        double sigma = 0.0;
        benchmark::DoNotOptimize(CalcPhaseOverlapSigma(v.data(), &sigma, 1.0, m));
        benchmark::DoNotOptimize(sigma);
    });
}

}  // namespace

BENCHMARK(BM_PlainPass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcPhaseOverlapSigma)
    ->RangeMultiplier(2)
    ->Range(1, kSamples / 4)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
