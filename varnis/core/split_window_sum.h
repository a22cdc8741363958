// Squares of window sums of second differences of frequency, each window summed as
// the end of one block of m terms plus the beginning of the next.
//
// The overlapping Hadamard deviation of frequency data at a factor m sums, for every
// start s, the second differences t(i) = x[i] - 2 x[i+m] + x[i+2m] of i = s .. s+m-1.
// Cut the terms into blocks of m from the first start: a window then holds the terms
// of one block from some place k on and those of the next block before k. With P_b(k)
// the sum of the first k terms of block b, taken term after term, and B_b = P_b(m)
// the block's whole sum, the window from place k of block b is
//
//     (B_b - P_b(k)) + P_{b+1}(k).
//
// Each term is summed once into its block's running sum, which replaces both the
// slide's move (the in and out terms) and the fresh sum at the start of each segment
// of a slide (core/sliding_sum.h), and no rounding gathers from window to window: the
// sums are of at most m terms, and a window whose used terms are all 0.0 sums to
// exactly 0.0.
//
// Eight blocks are taken side by side, one in each lane of a vector: the terms of
// eight consecutive places of a block are one vector, transposed so that a vector
// holds one place of the eight blocks, whose running sums then gain one vector a
// place. A group of eight blocks stores the running sums at each place (8 m doubles)
// while it sums the windows of the group before, from that group's stored sums and
// its own first block's running sum. The same additions in the same order happen on
// every vector unit (four-double vectors take the group's blocks 0-3, then 4-7), so
// results are the same bits everywhere.
#pragma once

#include "core/sliding_sum.h"

namespace varnis {

// The least and the largest m summed so. Below, a group of blocks holds too few places
// to pay for its start (m = 9 - 12 take up to a tenth more time than the slide; m <= 8
// are summed directly, core/short_window_sum.h). Above, the stored running sums
// (72 m bytes) would exceed the 128 KiB that the C library serves from memory the
// process already uses: larger blocks are mapped afresh, and the page faults of a
// fresh mapping cost more than the sums save, at every call of a sweep.
inline constexpr long kSplitWindowLeast = 16;
inline constexpr long kSplitWindowMost = 1024;

// The squares of the window sums of a run of second differences (order 2) under
// GapRule::kGaps, of the windows whose sum is not 0.0, and their number. The starts
// after the last whole group of blocks slide (window_squares).
WindowSquares split_window_squares(const WindowSpec& spec);

}  // namespace varnis
