// The two passes over a record that the benchmarks measure their routines against.
#pragma once

#include <cstddef>

namespace bench_support {

// Sum with eight independent lanes, vectorised: what the memory allows.
double streaming_sum(const double* x, std::size_t n);

// Sum with one accumulator: every addition waits for the previous one.
double plain_sum(const double* x, std::size_t n);

}  // namespace bench_support
