// MTIE on 10^6 phase samples of white frequency noise, each beside the time of one
// plain pass. CalcFastMTIE is reported per level (19 levels for 10^6 samples) and for
// the first level alone; CalcMTIE for spans from 1 to 2^16, where the cost should not
// grow with the span.
#include <cmath>
#include <vector>

#include "bench_support.h"
#include "test_support.h"
#include "varnis.h"

namespace {

constexpr long kSamples = 1000000;

std::vector<double>& record() {
    static std::vector<double> v = [] {
        auto x = testing_support::power_law_phase(kSamples, -2.0, 3, 1e-9);
        for (auto& s : x) s += 1e-3;  // an ordinary clock offset, no zeros
        return testing_support::make_vector(x);
    }();
    return v;
}

void silent(int, const char*) {}

struct Columns {
    Columns() : points(32), values(32), factors(32) {
        table.numPoints = points.data();
        table.value = values.data();
        table.avgFactor = factors.data();
    }
    std::vector<float> points, values;
    std::vector<int> factors;
    VarnisStabilityTable table{};
};

void BM_CalcFastMTIE(benchmark::State& state) {
    const auto& v = record();
    const double plain = bench_support::plain_pass_seconds(v);
    const bool first_row_only = state.range(0) != 0;
    Columns columns;
    int rows = 0;
    bench_support::run_with_ratio(state, plain, [&] {
        rows = CalcFastMTIE(v.data(), &columns.table, first_row_only ? 1 : 0, silent);
        benchmark::DoNotOptimize(columns.values.data());
    });
    state.counters["rows"] = rows;
    // Copying the samples in costs about one pass as well; it is counted here.
    state.counters["plain_passes_per_level"] = state.counters["plain_passes"].value / rows;
}

void BM_CalcMTIE(benchmark::State& state) {
    auto& v = record();
    const double plain = bench_support::plain_pass_seconds(v);
    const int m = static_cast<int>(state.range(0));
    bench_support::run_with_ratio(state, plain, [&] {
        double mtie = 0.0;
        benchmark::DoNotOptimize(CalcMTIE(v.data(), &mtie, m, nullptr, 1, silent));
        benchmark::DoNotOptimize(mtie);
    });
}

}  // namespace

BENCHMARK(BM_CalcFastMTIE)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcMTIE)->RangeMultiplier(16)->Range(1, 1 << 16)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
