// Noise generation and spectra, each beside the time of one plain pass over the
// same number of samples.
#include <vector>

#include "bench_support.h"
#include "varnis.h"

namespace {

constexpr int kNoiseCount = 1 << 20;

void BM_GenNoise(benchmark::State& state) {
    std::vector<double> values(kNoiseCount);
    const double plain = bench_support::plain_pass_seconds(values);
    const float beta = static_cast<float>(-state.range(0));
    bench_support::run_with_ratio(state, plain, [&] {
        int seed = -1;
        benchmark::DoNotOptimize(GenNoise(kNoiseCount, values.data(), 1.0f, beta, &seed, 0));
        benchmark::DoNotOptimize(values.data());
    });
}

}  // namespace

BENCHMARK(BM_GenNoise)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
