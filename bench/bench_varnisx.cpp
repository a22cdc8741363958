// The companion library on white frequency noise, each time beside one streaming pass
// (and one plain pass) over the same samples: the Theo1 octave sweep (whole sweep) at
// 10^4 and 10^5 samples, and per averaging factor at 10^5 samples the statistics that
// cost one pass per factor.
#include <vector>

#include "bench_support.h"
#include "test_support.h"
#include "varnisx.h"

namespace {

constexpr long kSamples = 100000;

const std::vector<double>& record(long count) {
    static const std::vector<double> small =
        testing_support::make_vector(testing_support::power_law_phase(10000, -2.0, 1, 1e-9));
    static const std::vector<double> large =
        testing_support::make_vector(testing_support::power_law_phase(kSamples, -2.0, 1, 1e-9));
    return count == 10000 ? small : large;
}

void BM_Theo1OctaveSweep(benchmark::State& state) {
    const long N = state.range(0);
    const auto& v = record(N);
    std::vector<int> factors;
    for (long m = 16; m <= N - 1; m *= 2) factors.push_back(static_cast<int>(m));
    std::vector<double> devs(factors.size());
    const auto passes = bench_support::yardstick(v);
    bench_support::run_with_ratio(state, passes, [&] {
        benchmark::DoNotOptimize(CalcTheo1Sweep(v.data(), 1.0, factors.data(),
                                                static_cast<int>(factors.size()), devs.data(),
                                                nullptr, nullptr, 0, nullptr));
    });
}

void BM_CalcParabolicDev(benchmark::State& state) {
    const auto& v = record(kSamples);
    const auto passes = bench_support::yardstick(v);
    const int m = static_cast<int>(state.range(0));
    bench_support::run_with_ratio(state, passes, [&] {
        double dev = 0.0;
        benchmark::DoNotOptimize(CalcParabolicDev(v.data(), &dev, 1.0, m));
    });
}

void BM_CalcDynamicAllanDev(benchmark::State& state) {
    const auto& v = record(kSamples);
    const auto passes = bench_support::yardstick(v);
    const int m = static_cast<int>(state.range(0));
    const int window = 4 * m + 1000, step = window / 4;
    const int windows = static_cast<int>((kSamples - window) / step + 1);
    std::vector<double> devs(static_cast<std::size_t>(windows));
    bench_support::run_with_ratio(state, passes, [&] {
        benchmark::DoNotOptimize(CalcDynamicAllanDev(v.data(), 1.0, window, step, &m, 1, devs.data(),
                                                     nullptr, windows, nullptr, 0, nullptr));
    });
}

void BM_CalcLag1NoiseID(benchmark::State& state) {
    const auto& v = record(kSamples);
    const auto passes = bench_support::yardstick(v);
    const int m = static_cast<int>(state.range(0));
    bench_support::run_with_ratio(state, passes, [&] {
        int alpha = 0;
        benchmark::DoNotOptimize(CalcLag1NoiseID(v.data(), 0, m, &alpha, nullptr));
    });
}

void BM_CalcThreeCorneredHat(benchmark::State& state) {
    const auto& v = record(kSamples);
    const auto passes = bench_support::yardstick(v);
    const int m = static_cast<int>(state.range(0));
    bench_support::run_with_ratio(state, passes, [&] {
        double variances[3];
        benchmark::DoNotOptimize(
            CalcThreeCorneredHat(v.data(), v.data(), v.data(), 1.0, m, VARNISX_ALLAN, variances, nullptr));
    });
}

}  // namespace

BENCHMARK(BM_Theo1OctaveSweep)->Arg(10000)->Arg(kSamples)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcParabolicDev)->RangeMultiplier(8)->Range(1, kSamples / 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcDynamicAllanDev)->RangeMultiplier(8)->Range(1, kSamples / 16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcLag1NoiseID)->RangeMultiplier(8)->Range(1, kSamples / 64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcThreeCorneredHat)->RangeMultiplier(8)->Range(1, kSamples / 4)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
