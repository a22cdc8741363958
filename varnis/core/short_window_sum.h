// Squares of window sums of at most eight second differences of frequency, summed
// directly from their terms.
//
// The overlapping Hadamard deviation of frequency data at a factor m sums, for every
// start s, the second differences t(i) = x[i] - 2 x[i+m] + x[i+2m] of i = s .. s+m-1
// (core/sliding_sum.h slides such sums for any m). A window of at most eight terms
// costs fewer operations summed afresh than slid, once neighbouring windows share the
// terms and their pair and quad sums, and its sum then carries no rounding from the
// windows before it: a window whose terms cancel exactly sums to exactly 0.0.
//
// Every start's sum is the tree ((t0 + t1) + (t2 + t3)) + ((t4 + t5) + (t6 + t7)) of
// its terms t0 .. t(m-1), a term past m or with a point at 0.0 (a gap) left out, which
// is the order in which core/sliding_sum.cpp sums a window from its terms; the loop
// that tests only the newest points and the one that tests every term give the same
// bits where there is no gap, on every vector unit. The square of start s goes to lane (s - first_start) mod 8, the lanes
// adding their squares in the order of the starts.
#pragma once

#include "core/sliding_sum.h"

namespace varnis {

// The largest m summed directly.
inline constexpr long kShortWindowMost = 8;

// The squares of the window sums of a run of second differences (order 2) under
// GapRule::kGaps with m <= kShortWindowMost, of the windows whose sum is not 0.0 (a
// window without a used nonzero term sums to exactly 0.0), and their number.
WindowSquares short_window_squares(const WindowSpec& spec);

}  // namespace varnis
