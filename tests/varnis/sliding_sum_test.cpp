// The sliding window sums take one of two paths for each unit of segments: side by side
// in vectors where no point is a gap, or segment by segment, testing every term. Both
// must do the same additions in the same order, so that a record's results do not depend
// on where its gaps lie; the deviations average a last-bit difference of a few window
// sums away, so the paths are compared here unit by unit, lane by lane.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/sliding_sum.h"
#include "test_support.h"

namespace {

using namespace varnis;

TEST(SlidingSum, SideBySideAndSegmentBySegmentGiveTheSameBits) {
    // No offset: the terms and sums then differ in exponent and round, so that another
    // order of additions shows (on an offset record every sum here is exact).
    const auto y = testing_support::power_law_phase(150000, 0.0, 43, 1e-11);
    const long n = static_cast<long>(y.size());
    struct Kind {
        int order;
        GapRule rule;
        bool exact_zero;
        Count count;
    };
    // Second differences as the frequency Hadamard deviation takes them (terms tested in
    // the slide at m = 1, before it at 32, adjoining segments from 256 with their first
    // windows from a 64-byte line at 2048), and the other kinds with a side-by-side loop.
    const Kind kinds[] = {{2, GapRule::kGaps, true, Count::kNonzero},
                          {2, GapRule::kNone, false, Count::kEvery},
                          {1, GapRule::kGaps, false, Count::kUsed},
                          {0, GapRule::kNone, true, Count::kNonzero}};
    std::vector<double> memory(y.size() + 8);
    for (long offset : {1L, 4L}) {  // the blocks meet 64-byte lines at other starts
        std::copy(y.begin(), y.end(), memory.begin() + offset);
        const double* x = memory.data() + offset;
        for (const Kind& kind : kinds) {
            for (long m : {1L, 32L, 256L, 2048L}) {
                WindowSpec spec{x, 0, n - 1, m, kind.order, kind.rule, kind.exact_zero, 1, 0};
                spec.final_start = n - (kind.order + 1) * m;  // the last window's last sample
                SlidingRun side_by_side(spec), alone(spec);
                for (long u = 0; u < side_by_side.units(); ++u) {
                    WindowSquares a, b;
                    side_by_side.add_squares(u, kind.count, a);
                    alone.add_squares_until(u, alone.unit_last_start(u), kind.count, b);
                    ASSERT_EQ(a.n, b.n) << "order " << kind.order << " m=" << m << " unit " << u;
                    for (int j = 0; j < 8; ++j)
                        ASSERT_EQ(a.lanes.lane[j], b.lanes.lane[j])
                            << "order " << kind.order << " m=" << m << " unit " << u << " lane "
                            << j << " offset " << offset;
                }
            }
        }
    }
}

}  // namespace
