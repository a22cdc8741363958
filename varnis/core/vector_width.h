// The vector types of loops written once for vectors of four and of eight doubles.
// Eight doubles are one register only with AVX-512; on narrower units GCC keeps a
// vector of eight that a loop carries from step to step in memory and moves it element
// by element, so such loops take four where eight_double_registers() (core/
// vector_clones.h) is false. Each lane does the same operations at either width.
#pragma once

#include "core/vector4.h"
#include "core/vector8.h"

namespace varnis {

template <int W>
struct VectorsOf;

template <>
struct VectorsOf<8> {
    using Vector = Double8;
    using Bits = Bits8;
    using Mask = Mask8;
};

template <>
struct VectorsOf<4> {
    using Vector = Double4;
    using Bits = Bits4;
    using Mask = Mask4;
};

}  // namespace varnis
