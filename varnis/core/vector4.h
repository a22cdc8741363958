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

// How many elements of a count vector (each lowered by one per selected element) were
// selected.
[[gnu::always_inline]] inline long selected(Mask4 count) {
    return -static_cast<long>(count[0] + count[1] + count[2] + count[3]);
}

}  // namespace varnis
