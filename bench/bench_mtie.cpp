// Time interval error on 10^6 phase samples of white frequency noise with a clock
// offset, each beside the time of one streaming pass (and one plain pass) over the
// same samples. CalcFastMTIE is reported per level (19 levels for 10^6 samples) and
// for the first level alone; CalcMTIE and TIErms for the octave spans and lags, where
// the cost of CalcMTIE should not grow with the span.
#include <vector>

#include "bench_support.h"
#include "varnis.h"

namespace {

using namespace bench_support;

constexpr long kSamples = kStabilitySamples;

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
    const bool first_row_only = state.range(0) != 0;
    Columns columns;
    int rows = 0;
    run_with_ratio(state, yardstick(v), [&] {
        rows = CalcFastMTIE(v.data(), &columns.table, first_row_only ? 1 : 0, silent);
        benchmark::DoNotOptimize(columns.values.data());
    });
    state.counters["rows"] = rows;
    // Copying the samples in costs about one pass as well; it is counted here.
    state.counters["streaming_passes_per_level"] = state.counters["streaming_passes"].value / rows;
}

void BM_CalcMTIE(benchmark::State& state) {
    // CalcMTIE writes the window being scanned into the header and restores it.
    run_deviation(state, record(), [](const double* v, double* mtie, int m) {
        return CalcMTIE(const_cast<double*>(v), mtie, m, nullptr, 1, silent);
    });
}

void BM_TIErms(benchmark::State& state) {
    run_deviation(state, record(), [](const double* v, double* tie, int m) {
        return TIErms(v, tie, m);
    });
}

}  // namespace

BENCHMARK(BM_CalcFastMTIE)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcMTIE)->Apply(octave_factors<1 << 16>);
BENCHMARK(BM_TIErms)->Apply(octave_factors<kSamples / 2>);

BENCHMARK_MAIN();
