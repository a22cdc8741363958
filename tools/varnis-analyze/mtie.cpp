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
            double *h = hi.data(), *l = lo.data();
            const long positions = size - block;
            // Each position reads one further on, not yet raised, so positions may be
            // taken four at a time.
            auto raise = [&](long r) {
                h[r] = h[r] < h[r + block] ? h[r + block] : h[r];
                l[r] = l[r + block] < l[r] ? l[r + block] : l[r];
            };
            long r = 0;
            for (; r + 4 <= positions; r += 4) {
                double top[4], bottom[4];
                for (int k = 0; k < 4; ++k) {
                    top[k] = h[r + k] < h[r + k + block] ? h[r + k + block] : h[r + k];
                    bottom[k] = l[r + k + block] < l[r + k] ? l[r + k + block] : l[r + k];
                }
                for (int k = 0; k < 4; ++k) {
                    h[r + k] = top[k];
                    l[r + k] = bottom[k];
                }
            }
            for (; r < positions; ++r) raise(r);
            block *= 2;
        }
        const long offset = window - block, windows = size - window + 1;
        const double *h = hi.data(), *l = lo.data();
        // Four running maxima side by side, so the loop is not one chain of compares.
        double mtie[4] = {0.0, 0.0, 0.0, 0.0};
        long r = 0;
        auto range = [&](long at) {
            double top = h[at] < h[at + offset] ? h[at + offset] : h[at];
            double bottom = l[at + offset] < l[at] ? l[at + offset] : l[at];
            return top - bottom;
        };
        for (; r + 4 <= windows; r += 4)
            for (int k = 0; k < 4; ++k) mtie[k] = std::max(mtie[k], range(r + k));
        for (; r < windows; ++r) mtie[0] = std::max(mtie[0], range(r));
        result.push_back(std::max(std::max(mtie[0], mtie[1]), std::max(mtie[2], mtie[3])));
    }
    return result;
}

}  // namespace analyze
