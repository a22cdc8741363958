// The streaming pass: the sum of the samples in eight independent lanes. No addition
// waits for the one before it, so the compiler vectorises the loop (built with -O3
// and cloned for the widest vector unit, like the library's kernels), and it runs as
// fast as the memory delivers the samples.
#include "yardstick.h"

#include "core/vector_clones.h"

namespace bench_support {

VARNIS_VECTOR_CLONES double streaming_sum(const double* x, std::size_t n) {
    double lane[8] = {};
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8)
        for (std::size_t j = 0; j < 8; ++j) lane[j] += x[i + j];
    for (; i < n; ++i) lane[i % 8] += x[i];
    return ((lane[0] + lane[1]) + (lane[2] + lane[3])) +
           ((lane[4] + lane[5]) + (lane[6] + lane[7]));
}

double plain_sum(const double* x, std::size_t n) {
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) sum += x[i];
    return sum;
}

}  // namespace bench_support
