#include "core/difference_sums.h"

#include <cstddef>

#include "core/chunk_gaps.h"
#include "core/differences.h"
#include "core/lanes.h"
#include "core/scratch.h"
#include "core/vector4.h"
#include "core/vector8.h"
#include "core/vector_clones.h"

namespace varnis {
namespace {

// The difference of order kOrder of the points p[0], p[m], ..., p[kOrder m], of doubles
// (T = double) or of four consecutive terms at once (T = Double4), and whether none of
// the points is a gap.
template <int kOrder, class T>
[[gnu::always_inline]] inline T difference(const T* point) {
    if constexpr (kOrder == 1) return point[1] - point[0];
    if constexpr (kOrder == 2) return second_difference(point[0], point[1], point[2]);
    if constexpr (kOrder == 3) return third_difference(point[0], point[1], point[2], point[3]);
}

// What a term adds to the sum.
struct Square {
    template <class T>
    [[gnu::always_inline]] T operator()(T d) const { return d * d; }
};
struct Plain {
    template <class T>
    [[gnu::always_inline]] T operator()(T d) const { return d; }
};
struct SquaredDeviation {
    double mean;
    template <class T>
    [[gnu::always_inline]] T operator()(T d) const { return (d - mean) * (d - mean); }
};

// Where v is a gap, as flags that are or-ed together: the sign bit for eight doubles
// (integer operations, see core/vector8.h), all bits for four.
[[gnu::always_inline]] inline Bits8 gap_flags(Double8 v) { return gap_bits(v); }
[[gnu::always_inline]] inline Mask4 gap_flags(Double4 v) { return ~nonzero(v); }

// Adds value(term) of the four or eight terms from p (Vector: Double4 or Double8) to
// `sum`, lane by lane, and flags in `top_gap` where their highest point is a gap. For a
// chunk whose points are all readings.
template <int kOrder, class Vector, class Flags, class Value>
[[gnu::always_inline]] inline void add_clear(const double* p, long m, Value value, Vector& sum,
                                             Flags& top_gap) {
    Vector point[kOrder + 1];
    for (int i = 0; i <= kOrder; ++i) point[i] = load_vector<Vector>(p + i * m);
    sum += value(difference<kOrder>(point));
    top_gap |= gap_flags(point[kOrder]);
}

// Adds value(term) of those of the four terms from p whose points are all readings to
// `sum`, lowers `count` by one for each of them, and flags in `top_gap` where their
// highest point is a gap.
template <int kOrder, class Value>
[[gnu::always_inline]] inline void add_four_tested(const double* p, long m, Value value,
                                                   Double4& sum, Mask4& count, Mask4& top_gap) {
    Double4 point[kOrder + 1];
    Mask4 used = ~Mask4{};
    for (int i = 0; i <= kOrder; ++i) {
        point[i] = load4(p + i * m);
        used &= nonzero(point[i]);
    }
    sum += select(used, value(difference<kOrder>(point)));
    count += used;
    top_gap |= ~nonzero(point[kOrder]);
}

[[gnu::always_inline]] inline bool any(Mask4 m) { return (m[0] | m[1] | m[2] | m[3]) != 0; }

// Adds value(term) of the kChunk terms from q, whose points are known to be readings
// but for the highest ones, to low and high (lanes 0-3 and 4-7), as one vector of
// eight (kEight) or as two halves; false, with nothing added, when a highest point
// turns out to be a gap.
template <int kOrder, bool kEight, class Value>
[[gnu::always_inline]] inline bool add_clear_chunk(const double* q, long m, Value value,
                                                   Double4& low, Double4& high) {
    constexpr long kChunk = ChunkGaps::kChunk;
    if constexpr (kEight) {
        Double8 sum{};
        Bits8 top_gap{};
        for (long i = 0; i < kChunk; i += kLanes)
            add_clear<kOrder>(q + i, m, value, sum, top_gap);
        if (any_top_bit(top_gap)) return false;
        low += __builtin_shufflevector(sum, sum, 0, 1, 2, 3);
        high += __builtin_shufflevector(sum, sum, 4, 5, 6, 7);
    } else {
        Double4 sum_low{}, sum_high{};
        Mask4 top_gap{};
        for (long i = 0; i < kChunk; i += kLanes) {
            add_clear<kOrder>(q + i, m, value, sum_low, top_gap);
            add_clear<kOrder>(q + i + 4, m, value, sum_high, top_gap);
        }
        if (any(top_gap)) return false;
        low += sum_low;
        high += sum_high;
    }
    return true;
}

// Adds value(term) of the terms 0 .. count - 1 from p (term i at p + i) whose points
// are all readings to the lanes, and returns how many were. Chunk by chunk (see
// core/chunk_gaps.h): a chunk whose points are known to be readings adds its terms
// with no test; a chunk with a gap, or one whose highest points turn out to hold one,
// adds them tested. Either way the chunk's terms are summed from zero in eight lanes
// (term i to lane i mod 8), eight at a time as two vectors, and the chunk's sums are
// then added to the lanes: the same operations in the same order on either path.
template <int kOrder, bool kEight, class Value>
[[gnu::always_inline]] inline long add_terms(const double* p, long m, long count, Value value,
                                             Lanes& lanes, unsigned char* holds_gap) {
    constexpr long kChunk = ChunkGaps::kChunk;
    ChunkGaps gaps(p, m, kOrder, holds_gap);
    Double4 low = load4(lanes.lane), high = load4(lanes.lane + 4);
    long used = 0;
    long c = 0;
    for (; (c + 1) * kChunk <= count; ++c) {
        const double* const q = p + c * kChunk;
        if (gaps.lower_clear(c) && add_clear_chunk<kOrder, kEight>(q, m, value, low, high)) {
            gaps.record(c, false);
            used += kChunk;
            continue;
        }
        Double4 sum_low{}, sum_high{};
        Mask4 top_gap{}, count_low{}, count_high{};
        for (long i = 0; i < kChunk; i += kLanes) {
            add_four_tested<kOrder>(q + i, m, value, sum_low, count_low, top_gap);
            add_four_tested<kOrder>(q + i + 4, m, value, sum_high, count_high, top_gap);
        }
        gaps.record(c, any(top_gap));
        low += sum_low;
        high += sum_high;
        used += selected(count_low) + selected(count_high);
    }
    // The last, partial chunk: tested, eight at a time and then one by one.
    const double* const q = p + c * kChunk;
    const long rest = count - c * kChunk;
    Double4 sum_low{}, sum_high{};
    Mask4 count_low{}, count_high{}, top_gap{};
    long i = 0;
    for (; i + kLanes <= rest; i += kLanes) {
        add_four_tested<kOrder>(q + i, m, value, sum_low, count_low, top_gap);
        add_four_tested<kOrder>(q + i + 4, m, value, sum_high, count_high, top_gap);
    }
    used += selected(count_low) + selected(count_high);
    Lanes partial;
    store4(partial.lane, sum_low);
    store4(partial.lane + 4, sum_high);
    for (; i < rest; ++i) {
        double point[kOrder + 1];
        bool readings = true;
        for (int j = 0; j <= kOrder; ++j) {
            point[j] = q[i + j * m];
            readings = readings && !is_gap(point[j]);
        }
        if (!readings) continue;
        partial.add(i, value(difference<kOrder>(point)));
        ++used;
    }
    low += load4(partial.lane);
    high += load4(partial.lane + 4);
    store4(lanes.lane, low);
    store4(lanes.lane + 4, high);
    return used;
}

// The loops, one per kind of term and sum, each built for every vector unit.
// (holds_gap: the chunk state of core/chunk_gaps.h, or null.)
VARNIS_VECTOR_CLONES long add_squares_1(const double* p, long m, long count, Lanes& lanes,
                                        unsigned char* holds_gap) {
    return eight_double_registers()
               ? add_terms<1, true>(p, m, count, Square{}, lanes, holds_gap)
               : add_terms<1, false>(p, m, count, Square{}, lanes, holds_gap);
}
VARNIS_VECTOR_CLONES long add_squares_2(const double* p, long m, long count, Lanes& lanes,
                                        unsigned char* holds_gap) {
    return eight_double_registers()
               ? add_terms<2, true>(p, m, count, Square{}, lanes, holds_gap)
               : add_terms<2, false>(p, m, count, Square{}, lanes, holds_gap);
}
VARNIS_VECTOR_CLONES long add_squares_3(const double* p, long m, long count, Lanes& lanes,
                                        unsigned char* holds_gap) {
    return eight_double_registers()
               ? add_terms<3, true>(p, m, count, Square{}, lanes, holds_gap)
               : add_terms<3, false>(p, m, count, Square{}, lanes, holds_gap);
}
VARNIS_VECTOR_CLONES long add_values_1(const double* p, long m, long count, Lanes& lanes,
                                       unsigned char* holds_gap) {
    return eight_double_registers()
               ? add_terms<1, true>(p, m, count, Plain{}, lanes, holds_gap)
               : add_terms<1, false>(p, m, count, Plain{}, lanes, holds_gap);
}
VARNIS_VECTOR_CLONES long add_deviations_1(const double* p, long m, long count, double mean,
                                           Lanes& lanes, unsigned char* holds_gap) {
    return eight_double_registers()
               ? add_terms<1, true>(p, m, count, SquaredDeviation{mean}, lanes, holds_gap)
               : add_terms<1, false>(p, m, count, SquaredDeviation{mean}, lanes, holds_gap);
}

// Whether the phase gap rule lets in a term of the window's ends whose points are not
// all readings.
template <int kOrder>
bool end_term_usable(const double* point, bool first_term, bool last_term) {
    if constexpr (kOrder == 1) return phase_term_usable({point[0], point[1]}, first_term, last_term);
    if constexpr (kOrder == 2)
        return phase_term_usable({point[0], point[1], point[2]}, first_term, last_term);
    if constexpr (kOrder == 3)
        return phase_term_usable({point[0], point[1], point[2], point[3]}, first_term, last_term);
}

// Sums value(term) over the used terms of the window: `add(p, count, lanes)` adds the
// terms whose points are all readings; the window's first and final terms are then
// added when only the end exceptions of phase data let them in.
template <int kOrder, class Value, class Add>
TermSum sum_terms(const VectorView<const double>& x, const LagDifferences& terms, Value value,
                  Add add) {
    TermSum out;
    const long m = terms.m;
    const long first = x.first, final_k = x.last - kOrder * m;
    if (final_k < first) return out;
    const long count = final_k - first + 1;
    ScratchArray<unsigned char> holds_gap(
        static_cast<std::size_t>(ChunkGaps::storage(count, m, kOrder)), WrittenBeforeRead{});
    Lanes lanes;
    out.n = add(&x[first], count, lanes, holds_gap.ok() ? holds_gap.data() : nullptr);
    auto add_end_term = [&](long k) {
        double point[kOrder + 1];
        bool readings = true;
        for (int j = 0; j <= kOrder; ++j) {
            point[j] = x[k + j * m];
            readings = readings && !is_gap(point[j]);
        }
        if (readings || !end_term_usable<kOrder>(point, k == first, k == final_k)) return;
        lanes.add(k - first, value(difference<kOrder>(point)));
        ++out.n;
    };
    if (terms.phase_ends) {
        add_end_term(first);
        if (final_k != first) add_end_term(final_k);
    }
    out.total = lanes.total();
    return out;
}

}  // namespace

TermSum sum_of_squares(const VectorView<const double>& x, const LagDifferences& terms) {
    const long m = terms.m;
    switch (terms.order) {
        case 1:
            return sum_terms<1>(x, terms, Square{}, [=](const double* p, long n, Lanes& l, unsigned char* g) {
                return add_squares_1(p, m, n, l, g);
            });
        case 2:
            return sum_terms<2>(x, terms, Square{}, [=](const double* p, long n, Lanes& l, unsigned char* g) {
                return add_squares_2(p, m, n, l, g);
            });
        default:
            return sum_terms<3>(x, terms, Square{}, [=](const double* p, long n, Lanes& l, unsigned char* g) {
                return add_squares_3(p, m, n, l, g);
            });
    }
}

TermSum sum_of_terms(const VectorView<const double>& x, const LagDifferences& terms) {
    const long m = terms.m;
    return sum_terms<1>(x, terms, Plain{}, [=](const double* p, long n, Lanes& l, unsigned char* g) {
        return add_values_1(p, m, n, l, g);
    });
}

TermSum sum_of_squared_deviations(const VectorView<const double>& x, const LagDifferences& terms,
                                  double mean) {
    const long m = terms.m;
    return sum_terms<1>(x, terms, SquaredDeviation{mean}, [=](const double* p, long n, Lanes& l,
                                                                    unsigned char* g) {
        return add_deviations_1(p, m, n, mean, l, g);
    });
}

}  // namespace varnis
