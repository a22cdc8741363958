// Eight doubles handled as one vector, with the compiler's vector extensions (GCC and
// clang): one AVX-512 register, two AVX registers or four SSE2 registers, whichever
// the code is built for. The operations are the elementwise IEEE ones, so a loop
// written with them gives the same bits on every vector unit. One vector holds the
// eight lanes of core/lanes.h.
#pragma once

#include <cstring>

namespace varnis {

typedef double Double8 __attribute__((vector_size(64)));
// The result of comparing two Double8: all bits set where the comparison holds.
typedef long long Mask8 __attribute__((vector_size(64)));

[[gnu::always_inline]] inline Double8 load8(const double* p) {
    Double8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

[[gnu::always_inline]] inline void store8(double* p, Double8 v) { std::memcpy(p, &v, sizeof v); }

// v where `where` holds, +0.0 elsewhere.
[[gnu::always_inline]] inline Double8 select(Mask8 where, Double8 v) {
    return reinterpret_cast<Double8>(reinterpret_cast<Mask8>(v) & where);
}

// Gaps are found with integer operations on the bits of the values, which every
// vector unit has for eight-element vectors, where GCC splits comparisons of them into
// single elements for some units. A value is 0.0 or -0.0 exactly when its bits without
// the sign are 0, and then those bits less 1 have their top bit set (the bits of any
// other value are at least 1 and below 2^63). Flags of several tests are kept by
// or-ing such differences, and read once at the end.
typedef unsigned long long Bits8 __attribute__((vector_size(64)));

// The top bit of each element set where v is a gap.
[[gnu::always_inline]] inline Bits8 gap_bits(Double8 v) {
    const Bits8 magnitude = reinterpret_cast<Bits8>(v) & 0x7fffffffffffffffULL;
    return magnitude - 1;
}

// The same for one double.
[[gnu::always_inline]] inline unsigned long long gap_bit(double v) {
    unsigned long long bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits & 0x7fffffffffffffffULL) - 1;
}

// Whether the top bit of any element of `flags` is set.
[[gnu::always_inline]] inline bool any_top_bit(Bits8 flags) {
    unsigned long long all = 0;
    for (int i = 0; i < 8; ++i) all |= flags[i];
    return (all >> 63) != 0;
}

// 8 x 8 transpose: element o of row g becomes element g of row o.
[[gnu::always_inline]] inline void transpose(Double8* r) {
    Double8 t[8], u[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = __builtin_shufflevector(r[i], r[i + 1], 0, 8, 2, 10, 4, 12, 6, 14);
        t[i + 1] = __builtin_shufflevector(r[i], r[i + 1], 1, 9, 3, 11, 5, 13, 7, 15);
    }
    for (int i = 0; i < 8; i += 4) {
        for (int j = 0; j < 2; ++j) {
            u[i + j] = __builtin_shufflevector(t[i + j], t[i + j + 2], 0, 1, 8, 9, 4, 5, 12, 13);
            u[i + j + 2] =
                __builtin_shufflevector(t[i + j], t[i + j + 2], 2, 3, 10, 11, 6, 7, 14, 15);
        }
    }
    for (int j = 0; j < 4; ++j) {
        r[j] = __builtin_shufflevector(u[j], u[j + 4], 0, 1, 2, 3, 8, 9, 10, 11);
        r[j + 4] = __builtin_shufflevector(u[j], u[j + 4], 4, 5, 6, 7, 12, 13, 14, 15);
    }
}

}  // namespace varnis
