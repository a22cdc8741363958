// Run-time choice of the vector unit for the library's hot loops.
//
// A function marked VARNIS_VECTOR_CLONES is compiled once for the baseline x86-64
// instruction set and once each for AVX2 and AVX-512; the loader picks the widest one
// the processor has. Every clone does the same IEEE operations in the same order (the
// loops keep a fixed number of lanes, combined in a fixed order, and the library is
// built with -ffp-contract=off), so they give bit-identical results; only their speed
// differs. Where run-time selection is not available (Windows, clang, other
// processors), or when the build defines VARNIS_NO_VECTOR_CLONES, the macro is empty
// and the code is built once, for the instruction set the compiler is given.
#pragma once

#include <cstddef>  // defines __GLIBC__ where the C library is glibc

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__) && \
    defined(__GLIBC__) && !defined(VARNIS_NO_VECTOR_CLONES)
#define VARNIS_VECTOR_CLONES __attribute__((target_clones("default", "avx2", "avx512f")))
#define VARNIS_HAS_VECTOR_CLONES 1
#else
#define VARNIS_VECTOR_CLONES
#define VARNIS_HAS_VECTOR_CLONES 0
#endif

namespace varnis {

// Whether the code runs with AVX-512, where a vector of eight doubles (core/vector8.h)
// is one register. On narrower units GCC keeps such a vector that a loop carries from
// one step to the next in memory and moves it element by element (a sum of squares of
// lag differences built for AVX2 took 7 times as long with one eight-double vector as
// with two four-double halves), so loops that can take either use the halves there:
// the same operations lane by lane, so the same bits.
inline bool eight_double_registers() {
#if VARNIS_HAS_VECTOR_CLONES
    return __builtin_cpu_supports("avx512f");
#elif defined(__AVX512F__)
    return true;
#else
    return false;
#endif
}

}  // namespace varnis
