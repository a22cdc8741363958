// Total deviations. TotvarCalc on 10^6 samples of white frequency noise for the octave
// factors up to M - 1; the modified total and Hadamard total deviations on 10^4
// samples, per factor and as one sweep over the octave factors 1, 2, 4, ... up to M/3
// (the work grows as about M * m, so the largest factors dominate the sweep). Each
// time is given beside one streaming pass (and one plain pass) over the same samples.
#include "bench_support.h"
#include "varnis.h"

namespace {

using namespace bench_support;

constexpr long kSubsequenceSamples = 10000;

const std::vector<double>& short_phase_record() {
    static const std::vector<double> v = testing_support::make_vector(
        testing_support::power_law_phase(kSubsequenceSamples, -2.0, 1, 1e-9));
    return v;
}

const std::vector<double>& short_frequency_record() {
    static const std::vector<double> v = [] {
        auto y = testing_support::power_law_phase(kSubsequenceSamples, 0.0, 2, 1e-11);
        for (double& s : y) s += 1e-9;
        return testing_support::make_vector(y);
    }();
    return v;
}

void ignore_progress(int, const char*) {}

int mod_totvar(const double* v, double* dev, int m) {
    int stop = 0;
    return ModTotvarCalc(v, dev, 1.0, m, &stop, 0, ignore_progress);
}

int had_totvar(const double* v, double* dev, int m) {
    int stop = 0;
    return HadTotvarCalc(v, dev, m, &stop, 0, ignore_progress);
}

void BM_TotvarCalc(benchmark::State& state) {
    run_deviation(state, white_fm_phase_record(), [](const double* v, double* dev, int m) {
        return TotvarCalc(v, dev, 1.0, m, 0);
    });
}

void BM_ModTotvarCalc(benchmark::State& state) {
    run_deviation(state, short_phase_record(), mod_totvar);
}

void BM_HadTotvarCalc(benchmark::State& state) {
    run_deviation(state, short_frequency_record(), had_totvar);
}

// One iteration calls the routine for every octave factor 1, 2, 4, ... up to M/3.
void run_sweep(benchmark::State& state, const std::vector<double>& v,
               int (*routine)(const double*, double*, int)) {
    run_with_ratio(state, yardstick(v), [&] {
        for (long m = 1;; m = std::min(2 * m, kSubsequenceSamples / 3)) {
            double dev = 0.0;
            benchmark::DoNotOptimize(routine(v.data(), &dev, static_cast<int>(m)));
            benchmark::DoNotOptimize(dev);
            if (m == kSubsequenceSamples / 3) break;
        }
    });
}

void BM_ModTotvarCalcSweep(benchmark::State& state) {
    run_sweep(state, short_phase_record(), mod_totvar);
}

void BM_HadTotvarCalcSweep(benchmark::State& state) {
    run_sweep(state, short_frequency_record(), had_totvar);
}

}  // namespace

BENCHMARK(BM_TotvarCalc)->Apply(octave_factors<kStabilitySamples - 1>);
BENCHMARK(BM_ModTotvarCalc)->Apply(octave_factors<kSubsequenceSamples / 3>);
BENCHMARK(BM_HadTotvarCalc)->Apply(octave_factors<kSubsequenceSamples / 3>);
BENCHMARK(BM_ModTotvarCalcSweep)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_HadTotvarCalcSweep)->Unit(benchmark::kMillisecond)->MinTime(1.0);

BENCHMARK_MAIN();
