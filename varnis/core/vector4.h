// Four doubles handled as one vector, with the compiler's vector extensions (GCC and
// clang): one AVX register, or two SSE2 registers in the baseline build. The
// operations are the elementwise IEEE ones, so a loop written with them gives the same
// bits on every vector unit; two of them make the eight lanes of core/lanes.h.
#pragma once

#include <cstring>

#include "core/lanes.h"

namespace varnis {

typedef double Double4 __attribute__((vector_size(32)));
// The result of comparing two Double4: all bits set where the comparison holds.
typedef long long Mask4 __attribute__((vector_size(32)));

[[gnu::always_inline]] inline Double4 load4(const double* p) {
    Double4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

[[gnu::always_inline]] inline void store4(double* p, Double4 v) { std::memcpy(p, &v, sizeof v); }

// A vector of four or eight doubles from p, for code written for either. (Copying
// into an element of an array of vectors instead left GCC a loop of 16-byte moves
// through memory where AVX2 is the widest unit: ten times the time.)
template <class Vector>
[[gnu::always_inline]] inline Vector load_vector(const double* p) {
    Vector v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The same vector stored at p.
template <class Vector>
[[gnu::always_inline]] inline void store_vector(double* p, const Vector& v) {
    std::memcpy(p, &v, sizeof v);
}

[[gnu::always_inline]] inline Double4 broadcast4(double value) {
    return Double4{value, value, value, value};
}

// v where `where` holds, +0.0 elsewhere: adding it to a sum of the selected values is
// the same as leaving the others out.
[[gnu::always_inline]] inline Double4 select(Mask4 where, Double4 v) {
    return reinterpret_cast<Double4>(reinterpret_cast<Mask4>(v) & where);
}

// Where no element is a gap (0.0 or -0.0); the same test for one double, so that code
// written for both reads alike.
[[gnu::always_inline]] inline Mask4 nonzero(Double4 v) { return v != Double4{}; }
[[gnu::always_inline]] inline bool nonzero(double v) { return v != 0.0; }

// Where both tests hold, for vectors and for single doubles.
[[gnu::always_inline]] inline Mask4 both(Mask4 a, Mask4 b) { return a & b; }
[[gnu::always_inline]] inline bool both(bool a, bool b) { return a && b; }

// The eight lanes as two vectors, and back.
struct LaneVectors {
    Double4 low;
    Double4 high;
};

[[gnu::always_inline]] inline LaneVectors load_lanes(const Lanes& lanes) {
    return {load4(lanes.lane), load4(lanes.lane + 4)};
}

[[gnu::always_inline]] inline void store_lanes(Lanes& lanes, const LaneVectors& v) {
    store4(lanes.lane, v.low);
    store4(lanes.lane + 4, v.high);
}

// Gap flags as in core/vector8.h: the top bit of each element set where v is a gap
// (0.0 or -0.0), found with integer operations on its bits.
typedef unsigned long long Bits4 __attribute__((vector_size(32)));

[[gnu::always_inline]] inline Bits4 gap_bits(Double4 v) {
    const Bits4 magnitude = reinterpret_cast<Bits4>(v) & 0x7fffffffffffffffULL;
    return magnitude - 1;
}

// Whether the top bit of any element of `flags` is set.
[[gnu::always_inline]] inline bool any_top_bit(Bits4 flags) {
    return ((flags[0] | flags[1] | flags[2] | flags[3]) >> 63) != 0;
}

// 4 x 4 transpose: element o of row g becomes element g of row o.
[[gnu::always_inline]] inline void transpose(Double4* r) {
    const Double4 t0 = __builtin_shufflevector(r[0], r[1], 0, 4, 2, 6);
    const Double4 t1 = __builtin_shufflevector(r[0], r[1], 1, 5, 3, 7);
    const Double4 t2 = __builtin_shufflevector(r[2], r[3], 0, 4, 2, 6);
    const Double4 t3 = __builtin_shufflevector(r[2], r[3], 1, 5, 3, 7);
    r[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    r[1] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    r[2] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    r[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

// How many elements of a count vector (each lowered by one per selected element) were
// selected.
[[gnu::always_inline]] inline long selected(Mask4 count) {
    return -static_cast<long>(count[0] + count[1] + count[2] + count[3]);
}

}  // namespace varnis
