// Modified total and Hadamard total deviations on 10^4 samples for m = 1, 2, 4, ...
// up to M/3, each beside the time of one plain pass. The work grows as about M * m
// (subsequences times reflected block length), so the ratio doubles with m while
// the number of subsequences stays near M.
#include "bench_support.h"
#include "test_support.h"
#include "varnis.h"

namespace {

constexpr long kSamples = 10000;

const std::vector<double>& phase_record() {
    static const std::vector<double> v =
        testing_support::make_vector(testing_support::power_law_phase(kSamples, -2.0, 1, 1e-9));
    return v;
}

const std::vector<double>& frequency_record() {
    static const std::vector<double> v = [] {
        auto y = testing_support::power_law_phase(kSamples, 0.0, 2, 1e-11);
        for (double& s : y) s += 1e-9;
        return testing_support::make_vector(y);
    }();
    return v;
}

void ignore_progress(int, const char*) {}

void BM_ModTotvarCalc(benchmark::State& state) {
    const auto& v = phase_record();
    const double plain = bench_support::plain_pass_seconds(v);
    const int m = static_cast<int>(state.range(0));
    int stop = 0;
    bench_support::run_with_ratio(state, plain, [&] {
        double dev = 0.0;
        benchmark::DoNotOptimize(ModTotvarCalc(v.data(), &dev, 1.0, m, &stop, 0, ignore_progress));
        benchmark::DoNotOptimize(dev);
    });
}

void BM_HadTotvarCalc(benchmark::State& state) {
    const auto& v = frequency_record();
    const double plain = bench_support::plain_pass_seconds(v);
    const int m = static_cast<int>(state.range(0));
    int stop = 0;
    bench_support::run_with_ratio(state, plain, [&] {
        double dev = 0.0;
        benchmark::DoNotOptimize(HadTotvarCalc(v.data(), &dev, m, &stop, 0, ignore_progress));
        benchmark::DoNotOptimize(dev);
    });
}

}  // namespace

BENCHMARK(BM_ModTotvarCalc)->RangeMultiplier(2)->Range(1, kSamples / 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HadTotvarCalc)->RangeMultiplier(2)->Range(1, kSamples / 3)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
