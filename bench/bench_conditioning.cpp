// Data conditioning on 10^6 samples with a gap every 100th sample: gap filling, the
// median (selection), the median absolute deviation (sorting), the line, quadratic
// and diffusion fits and the phase-to-frequency conversion, each beside the time of
// one streaming pass (and one plain pass).
#include "bench_support.h"
#include "test_support.h"
#include "varnis.h"

namespace {

constexpr long kSamples = 1000000;

const std::vector<double>& record() {
    static const std::vector<double> v = [] {
        auto x = testing_support::power_law_phase(kSamples, -2.0, 1, 1e-9);
        for (long k = 50; k < kSamples; k += 100) x[static_cast<std::size_t>(k)] = 0.0;
        return testing_support::make_vector(x);
    }();
    return v;
}

template <class Body>
void timed(benchmark::State& state, Body&& body) {
    bench_support::run_with_ratio(state, bench_support::yardstick(record()), body);
}

void BM_FillGapsWithCopy(benchmark::State& state) {
    std::vector<double> work(record().size());
    timed(state, [&] {
        work = record();
        benchmark::DoNotOptimize(FillGaps(work.data(), 0));
    });
}

void BM_FindMedian(benchmark::State& state) {
    timed(state, [&] {
        double median = 0.0;
        benchmark::DoNotOptimize(FindMedian(record().data(), 1, &median));
        benchmark::DoNotOptimize(median);
    });
}

void BM_MedDev(benchmark::State& state) {
    timed(state, [&] {
        float result = 0.0f;
        benchmark::DoNotOptimize(MedDev(record().data(), &result));
        benchmark::DoNotOptimize(result);
    });
}

void BM_CalcLinFreqDrift(benchmark::State& state) {
    timed(state, [&] {
        double c = 0, s = 0, v = 0;
        benchmark::DoNotOptimize(CalcLinFreqDrift(record().data(), &c, &s, &v));
    });
}

void BM_CalcQuadraticDrift(benchmark::State& state) {
    timed(state, [&] {
        double a0 = 0, a1 = 0, a2 = 0, v = 0;
        benchmark::DoNotOptimize(CalcQuadraticDrift(record().data(), 1.0, &a0, &a1, &a2, &v));
    });
}

void BM_CalcDiffusionFreqDrift(benchmark::State& state) {
    timed(state, [&] {
        double c = 0, s = 0, t0 = 0, r = 0;
        benchmark::DoNotOptimize(CalcDiffusionFreqDrift(record().data(), &c, &s, &t0, &r));
    });
}

void BM_ConvPhaseToFreq(benchmark::State& state) {
    std::vector<double> out(record().size());
    timed(state, [&] { benchmark::DoNotOptimize(ConvPhaseToFreq(record().data(), out.data(), 1.0, 1)); });
}

}  // namespace

BENCHMARK(BM_FillGapsWithCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindMedian)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MedDev)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcLinFreqDrift)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcQuadraticDrift)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcDiffusionFreqDrift)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvPhaseToFreq)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
