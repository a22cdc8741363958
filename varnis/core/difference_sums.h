// Sums over the differences of points at lag m of a window: the terms of the Allan,
// Hadamard and time interval error routines.
//
// Term k is the difference of order 1, 2 or 3 of the points x[k], x[k+m], ..., taken
// as differences of neighbouring points (core/differences.h), for k = first ..
// last - order * m. A term is used when none of its points is a gap; with phase_ends,
// the window's first term may also have its first point at 0.0 and its last term its
// last point, as long as every other point is nonzero (phase_term_usable).
//
// The terms are summed in eight lanes (core/lanes.h) by a loop over vectors of four
// terms (core/vector4.h), which tests every point for a gap without a branch: a term
// with a gap adds 0.0 to its lane, so records with gaps run at the same speed. The end
// exceptions are then applied to the window's first and final terms alone.
#pragma once

#include "core/data_vector.h"

namespace varnis {

struct LagDifferences {
    long m;            // lag
    int order;         // 1, 2 or 3
    bool phase_ends;   // the end exceptions of phase data
};

// A sum over the used terms, and their number.
struct TermSum {
    double total = 0.0;
    long n = 0;
};

// The sum of the squares of the used terms.
TermSum sum_of_squares(const VectorView<const double>& x, const LagDifferences& terms);

// The sum of the used terms (first differences only).
TermSum sum_of_terms(const VectorView<const double>& x, const LagDifferences& terms);

// The sum of (term - mean)^2 over the used terms (first differences only).
TermSum sum_of_squared_deviations(const VectorView<const double>& x, const LagDifferences& terms,
                                  double mean);

}  // namespace varnis
