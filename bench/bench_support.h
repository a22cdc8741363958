// Benchmarks report each time as a ratio to one plain pass (a sum) over the same
// samples, so the figure holds on a noisy machine.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace bench_support {

// Seconds of one plain pass over `samples` doubles: the best of several repetitions.
inline double plain_pass_seconds(const std::vector<double>& samples) {
    double best = 1e30;
    for (int rep = 0; rep < 20; ++rep) {
        const auto t0 = std::chrono::steady_clock::now();
        double sum = 0.0;
        for (double x : samples) sum += x;
        benchmark::DoNotOptimize(sum);
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    }
    return best;
}

// Times `body` once per benchmark iteration and reports the mean time per iteration
// as the counter "plain_passes": the number of plain passes it is worth.
template <class Body>
void run_with_ratio(benchmark::State& state, double plain_seconds, Body&& body) {
    double total = 0.0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        body();
        const auto t1 = std::chrono::steady_clock::now();
        total += std::chrono::duration<double>(t1 - t0).count();
    }
    const double per_iteration = total / static_cast<double>(state.iterations());
    state.counters["plain_passes"] = per_iteration / plain_seconds;
}

}  // namespace bench_support
