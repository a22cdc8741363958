// varnis-analyze on 10^6 phase readings in the capture program's record format: the
// parse of the file text and the whole automatic analysis, each beside one plain pass
// (a sum over the samples) and one scan of the text for its line ends.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis.h"
#include "bench_support.h"
#include "data_file.h"
#include "test_support.h"

namespace {

constexpr long kSamples = 1000000;

const std::string& file_text() {
    static const std::string text = [] {
        auto x = testing_support::power_law_phase(kSamples, 0.0, 11, 1e-10);
        std::string out;
        char record[64];
        for (double s : x) {
            int n = std::snprintf(record, sizeof record, "%20.15e\r\n", s + 1e-3);
            out.append(record, static_cast<std::size_t>(n));
        }
        return out;
    }();
    return text;
}

// Seconds of one scan of the text for its line ends: the least a reader must do.
double text_scan_seconds(const std::string& text) {
    double best = 1e30;
    for (int rep = 0; rep < 10; ++rep) {
        const auto t0 = std::chrono::steady_clock::now();
        long lines = std::count(text.begin(), text.end(), '\n');
        benchmark::DoNotOptimize(lines);
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    }
    return best;
}

void report_text_ratio(benchmark::State& state, double plain_seconds, double scan_seconds) {
    state.counters["text_scans"] = state.counters["plain_passes"].value * plain_seconds / scan_seconds;
}

void BM_ParseDataFile(benchmark::State& state) {
    const std::string& text = file_text();
    const auto samples = analyze::parse_data_text(text, "bench").samples;
    const auto passes = bench_support::yardstick(samples);
    bench_support::run_with_ratio(state, passes, [&] {
        auto file = analyze::parse_data_text(text, "bench");
        benchmark::DoNotOptimize(file.samples.data());
    });
    report_text_ratio(state, passes.plain, text_scan_seconds(text));
}

void BM_FullAnalysis(benchmark::State& state) {
    const std::string& text = file_text();
    const double scan = text_scan_seconds(text);
    const auto samples = analyze::parse_data_text(text, "bench").samples;
    const auto passes = bench_support::yardstick(samples);
    int stop = 0;
    bench_support::run_with_ratio(state, passes, [&] {
        auto file = analyze::parse_data_text(text, "bench");
        auto analysis = analyze::run_analysis(file.samples, analyze::AnalysisSettings{}, nullptr, &stop);
        benchmark::DoNotOptimize(analysis.rows.data());
    });
    report_text_ratio(state, passes.plain, scan);
}

BENCHMARK(BM_ParseDataFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FullAnalysis)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
