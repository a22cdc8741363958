#include "mtie.h"

#include <algorithm>
#include <limits>

namespace analyze {

// Running extremes by doubling: after level k, hi[r] and lo[r] hold the largest and
// smallest value among the 2^k samples from r on. A window of w samples with
// 2^k <= w < 2^(k+1) is covered by the two blocks starting at r and at r + w - 2^k,
// so every span is served from the level of its block size: log2(M) passes to build
// the levels plus one pass per span, each a plain loop the compiler vectorises (the
// scan with index queues that CalcMTIE makes per span costs far more per sample).
// Gaps hold -inf and +inf, which no value loses to.
std::vector<double> mtie_for_spans(const std::vector<double> &phase, const std::vector<int> &spans, const int *stop) {
    const long count = static_cast<long>(phase[0]);
    const long first = static_cast<long>(phase[1]), last = static_cast<long>(phase[2]);
    const long size = last - first + 1;
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    std::vector<double> hi(static_cast<std::size_t>(std::max(size, 0L))), lo(hi.size());
    for (long r = 0; r < size; ++r) {
        const long k = first + r;
        const double x = phase[static_cast<std::size_t>(k + 2)];
        const bool value = x != 0.0 || k == 1 || k == count;
        hi[r] = value ? x : -kInfinity;
        lo[r] = value ? x : kInfinity;
    }
    std::vector<double> result;
    long block = 1;  // samples per block of the current level
    for (int span : spans) {
        if (*stop) break;
        const long window = static_cast<long>(span) + 1;
        if (window > size) {
            result.push_back(0.0);
            continue;
        }
        // Raise the level while the next block size still fits in the window.
        while (block * 2 <= window) {
            for (long r = 0; r + block < size; ++r) {
                hi[r] = std::max(hi[r], hi[r + block]);
                lo[r] = std::min(lo[r], lo[r + block]);
            }
            block *= 2;
        }
        const long offset = window - block;
        double mtie = 0.0;
        for (long r = 0; r + window <= size; ++r) {
            const double range = std::max(hi[r], hi[r + offset]) - std::min(lo[r], lo[r + offset]);
            mtie = std::max(mtie, range);
        }
        result.push_back(mtie);
    }
    return result;
}

}  // namespace analyze
