// Second and third differences of phase or frequency points, taken as differences
// of first differences: neighbouring samples are close, so each first difference is
// exact and a large constant offset in the record costs no precision.
#pragma once

namespace varnis {

// a - 2b + c
inline double second_difference(double a, double b, double c) { return (c - b) - (b - a); }

// d - 3c + 3b - a
inline double third_difference(double a, double b, double c, double d) {
    const double ab = b - a, bc = c - b, cd = d - c;
    return (cd - bc) - (bc - ab);
}

}  // namespace varnis
