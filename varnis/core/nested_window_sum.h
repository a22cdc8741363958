// Window sums of window sums of pairs, slid two running sums deep, for records
// without gaps: the outer terms of the modified Allan deviation from frequency data.
//
// With the pairs e(l) = y[l+m] - y[l] and their window sums d(t) = e(t) + ... +
// e(t+m-1), the outer term at start u is D(u) = d(u) + ... + d(u+m-1). Two running
// sums reach every D from the one before it: D(u+1) = D(u) + G(u), where G(u) =
// d(u+m) - d(u) is the window sum of the m second differences of y from u, and
// G(u+1) = G(u) + (the third difference of y[u], y[u+m], y[u+2m], y[u+3m]). Every move
// is a difference of samples, so a large offset in the record costs no precision.
//
// The starts are cut into groups of eight segments of L starts, which slide side by
// side as in core/sliding_sum.h. A segment's first D and G are summed from the pairs
// (D as the pairs weighted 1, 2, .., m, .., 2, 1) and second differences. Rounding in
// G gathers in D, so segments are kept shorter than for one running sum: about 12m
// starts (and at least 2048). A group whose samples hold a gap, whose pairs hold a 0.0
// or whose D come to 0.0 is left to the caller, which then sums its outer terms from
// the means of the used pairs, as are the starts after the last whole group.
#pragma once

#include "core/lanes.h"

namespace varnis {

// The squares of the D counted (those not 0.0), by lane, and their number.
struct NestedSquares {
    Lanes lanes;
    long n = 0;
};

class NestedRun {
public:
    // The outer starts first_start .. final_start of the samples x[k] (x[k] is sample
    // k); the last move reads x[final_start + 3m], which must be a sample.
    NestedRun(const double* x, long m, long first_start, long final_start);

    long groups() const { return groups_; }
    // The first start of group g, and of the starts after the last group.
    long group_start(long g) const { return first_start_ + 8 * length_ * g; }

    // Adds the squares of group g's D to `squares`; false (and nothing added) when
    // its samples hold a gap, its pairs a 0.0 or a D is 0.0. Groups are taken in order.
    bool add_squares(long g, NestedSquares& squares);

private:
    const double* x_;
    long m_;
    long first_start_;
    long length_;
    long groups_;
    long last_clear_group_ = -1;  // the last group summed here
};

}  // namespace varnis
