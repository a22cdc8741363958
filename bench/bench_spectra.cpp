// Noise generation and spectra, each beside the time of one streaming pass (and one plain
// pass) over the same number of samples.
#include <vector>

#include "bench_support.h"
#include "test_support.h"
#include "varnis.h"

namespace {

constexpr int kNoiseCount = 1 << 20;

void BM_GenNoise(benchmark::State& state) {
    std::vector<double> values(kNoiseCount);
    const auto passes = bench_support::yardstick(values);
    const float beta = static_cast<float>(-state.range(0));
    bench_support::run_with_ratio(state, passes, [&] {
        int seed = -1;
        benchmark::DoNotOptimize(GenNoise(kNoiseCount, values.data(), 1.0f, beta, &seed, 0));
        benchmark::DoNotOptimize(values.data());
    });
}

constexpr int kSpectrumCount = 100000;

const std::vector<double>& record() {
    static const std::vector<double> v = testing_support::make_vector(
        testing_support::power_law_phase(kSpectrumCount, -2.0, 5, 1e-9));
    return v;
}

// Seven tapers of NW = 4 over 10^5 samples; range(0) is the estimator (1 or 2).
void BM_MultiTaperSpectrumCalc(benchmark::State& state) {
    const auto& v = record();
    const auto passes = bench_support::yardstick(v);
    std::vector<float> spectrum(2 * kSpectrumCount + 3), frequencies(2 * kSpectrumCount);
    const int estimator = static_cast<int>(state.range(0));
    bench_support::run_with_ratio(state, passes, [&] {
        benchmark::DoNotOptimize(MultiTaperSpectrumCalc(v.data(), spectrum.data(), frequencies.data(),
                                                        1.0f, kSpectrumCount, 4.0f, 7, estimator, 1,
                                                        0, 1, 1.0f, 0));
        benchmark::DoNotOptimize(spectrum.data());
    });
}

// Hann window once, 16 segments, over the same 10^5 samples.
void BM_SpectrumCalc(benchmark::State& state) {
    const auto& v = record();
    const auto passes = bench_support::yardstick(v);
    std::vector<float> re(2 * kSpectrumCount + 3), im(2 * kSpectrumCount);
    bench_support::run_with_ratio(state, passes, [&] {
        benchmark::DoNotOptimize(SpectrumCalc(v.data(), re.data(), im.data(), 1.0f, kSpectrumCount,
                                              1, 2, 1, 1.0f, 16, 0));
        benchmark::DoNotOptimize(re.data());
    });
}

}  // namespace

BENCHMARK(BM_GenNoise)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MultiTaperSpectrumCalc)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpectrumCalc)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
