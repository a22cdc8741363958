// Benchmarks report each time as a ratio to a pass over the same samples, so the
// figure holds on a noisy machine:
//   streaming_passes  the time of one call over the time of one streaming pass, a sum
//                     with eight independent lanes that the compiler vectorises: the
//                     speed the memory allows, and the yardstick of the targets;
//   plain_passes      the same time over one plain pass, a sum with one accumulator
//                     (each addition waits for the previous one), kept for comparison
//                     with earlier figures.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "test_support.h"
#include "yardstick.h"

namespace bench_support {

// Seconds of one pass of each kind over the same samples.
struct Yardstick {
    double plain = 0.0;
    double streaming = 0.0;
};

// Repetitions of each pass whose best is the yardstick. The routines report their best
// of hundreds to thousands of calls, so the streaming pass, the measure of the targets,
// takes its best of as many: a best of 20 reads 7-17 % slower than the pass can go,
// and every routine as much faster than it is (BM_StreamingPass, the pass measured
// against the yardstick, shows it: it should read 1.0). The plain pass, kept only for
// comparison with earlier figures, keeps its 20.
inline constexpr int kPlainRepetitions = 20;
inline constexpr int kStreamingRepetitions = 1000;

// The best of those repetitions of each pass over `samples`.
inline Yardstick yardstick(const std::vector<double>& samples) {
    Yardstick y{1e30, 1e30};
    auto best_of = [&](int repetitions, auto pass, double& best) {
        for (int rep = 0; rep < repetitions; ++rep) {
            const auto t0 = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(pass(samples.data(), samples.size()));
            const auto t1 = std::chrono::steady_clock::now();
            best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
        }
    };
    best_of(kPlainRepetitions, plain_sum, y.plain);
    best_of(kStreamingRepetitions, streaming_sum, y.streaming);
    return y;
}

// Times `body` once per benchmark iteration and reports its fastest iteration in
// streaming passes and in plain passes. The fastest of each (like the best of the
// yardstick's repetitions) is what the code costs when nothing else runs: on a busy
// machine the mean grows with the load, the best time hardly.
template <class Body>
void run_with_ratio(benchmark::State& state, const Yardstick& passes, Body&& body) {
    double best = 1e30;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        body();
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    }
    state.counters["streaming_passes"] = best / passes.streaming;
    state.counters["plain_passes"] = best / passes.plain;
}

// Runs a routine with an averaging factor once per iteration: call(vector, &result, m),
// with m the benchmark's argument.
template <class Call>
void run_deviation(benchmark::State& state, const std::vector<double>& v, Call call) {
    const int m = static_cast<int>(state.range(0));
    run_with_ratio(state, yardstick(v), [&] {
        double result = 0.0;
        benchmark::DoNotOptimize(call(v.data(), &result, m));
        benchmark::DoNotOptimize(result);
    });
}

// The records of the stability benchmarks: 10^6 samples of white frequency noise, as
// phase (a random walk of 1e-9 s steps) and as fractional frequency (1e-11).
constexpr long kStabilitySamples = 1000000;

inline const std::vector<double>& white_fm_phase_record() {
    static const std::vector<double> v = testing_support::make_vector(
        testing_support::power_law_phase(kStabilitySamples, -2.0, 1, 1e-9));
    return v;
}

inline const std::vector<double>& white_fm_frequency_record() {
    static const std::vector<double> v = testing_support::make_vector(
        testing_support::power_law_phase(kStabilitySamples, 0.0, 2, 1e-11));
    return v;
}

// Registers the octave averaging factors 1, 2, 4, ... up to kLargest, and kLargest
// itself: Apply(octave_factors<kLargest>).
template <long kLargest>
void octave_factors(benchmark::internal::Benchmark* b) {
    b->RangeMultiplier(2)->Range(1, kLargest)->Unit(benchmark::kMillisecond)->MinTime(0.2);
}

}  // namespace bench_support
