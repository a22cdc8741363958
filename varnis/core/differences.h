// Second and third differences of phase or frequency points, taken from differences
// of the points: neighbouring points are close, so each difference is exact or nearly
// so and a large constant offset in the record costs no precision. Written for doubles
// and for vectors of doubles alike.
#pragma once

namespace varnis {

// a - 2b + c
template <class T>
[[gnu::always_inline]] inline T second_difference(T a, T b, T c) {
    return (c - b) - (b - a);
}

// d - 3c + 3b - a, as the outer difference less three times the inner one: four
// operations where differences of differences take six.
template <class T>
[[gnu::always_inline]] inline T third_difference(T a, T b, T c, T d) {
    return (d - a) - 3.0 * (c - b);
}

}  // namespace varnis
