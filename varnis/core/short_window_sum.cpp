#include "core/short_window_sum.h"

#include <algorithm>
#include <utility>

#include "core/data_vector.h"
#include "core/differences.h"
#include "core/vector_clones.h"
#include "core/vector_width.h"

namespace varnis {
namespace {

// Starts summed as one chunk: a chunk whose points hold a gap, or one of whose sums
// is 0.0, is summed again with every term tested. Each chunk costs about as much
// as a dozen blocks of eight starts to begin and end (at 512 starts, a third more
// time than at 4096); a chunk summed twice costs the more the longer it is.
inline constexpr long kChunk = 4096;

// Eight consecutive doubles as eight-double vectors (W = 8, one AVX-512 register) or
// as two four-double ones (W = 4: GCC keeps an eight-double vector that a loop
// carries in memory where the widest unit holds four), with the elementwise
// operations the loop below uses: the same operations lane by lane at either width.
template <int W, class Element>
struct Eight {
    static constexpr int kParts = 8 / W;
    Element part[kParts];
};
template <int W>
using Doubles = Eight<W, typename VectorsOf<W>::Vector>;
template <int W>
using Masks = Eight<W, typename VectorsOf<W>::Mask>;
template <int W>
using Flags = Eight<W, typename VectorsOf<W>::Bits>;

template <int W, class E, class Op>
[[gnu::always_inline]] inline auto each(const Eight<W, E>& a, const Eight<W, E>& b, Op op) {
    Eight<W, decltype(op(a.part[0], b.part[0]))> r;
    for (int h = 0; h < Eight<W, E>::kParts; ++h) r.part[h] = op(a.part[h], b.part[h]);
    return r;
}
template <int W, class E>
[[gnu::always_inline]] inline Eight<W, E> operator+(const Eight<W, E>& a, const Eight<W, E>& b) {
    return each(a, b, [](auto u, auto v) { return u + v; });
}
template <int W, class E>
[[gnu::always_inline]] inline Eight<W, E> operator-(const Eight<W, E>& a, const Eight<W, E>& b) {
    return each(a, b, [](auto u, auto v) { return u - v; });
}
template <int W, class E>
[[gnu::always_inline]] inline Eight<W, E> operator*(const Eight<W, E>& a, const Eight<W, E>& b) {
    return each(a, b, [](auto u, auto v) { return u * v; });
}
template <int W, class E>
[[gnu::always_inline]] inline Eight<W, E> operator&(const Eight<W, E>& a, const Eight<W, E>& b) {
    return each(a, b, [](auto u, auto v) { return u & v; });
}
template <int W, class E>
[[gnu::always_inline]] inline Eight<W, E> operator|(const Eight<W, E>& a, const Eight<W, E>& b) {
    return each(a, b, [](auto u, auto v) { return u | v; });
}

template <int W>
[[gnu::always_inline]] inline Doubles<W> load_eight(const double* p) {
    Doubles<W> r;
    for (int h = 0; h < Doubles<W>::kParts; ++h)
        r.part[h] = load_vector<typename VectorsOf<W>::Vector>(p + h * W);
    return r;
}
template <int W>
[[gnu::always_inline]] inline void store_eight(double* p, const Doubles<W>& v) {
    for (int h = 0; h < Doubles<W>::kParts; ++h) store_vector(p + h * W, v.part[h]);
}

// All bits set where v is not 0.0 (nor -0.0).
template <int W>
[[gnu::always_inline]] inline Masks<W> nonzero_mask(const Doubles<W>& v) {
    Masks<W> r;
    for (int h = 0; h < Doubles<W>::kParts; ++h)
        r.part[h] = v.part[h] != typename VectorsOf<W>::Vector{};
    return r;
}

// v where `where` is set, +0.0 elsewhere.
template <int W>
[[gnu::always_inline]] inline Doubles<W> select(const Masks<W>& where, const Doubles<W>& v) {
    Doubles<W> r;
    for (int h = 0; h < Doubles<W>::kParts; ++h)
        r.part[h] = varnis::select(where.part[h], v.part[h]);
    return r;
}

// The top bit of each element set where v is a gap (core/vector8.h).
template <int W>
[[gnu::always_inline]] inline Flags<W> gap_flags(const Doubles<W>& v) {
    Flags<W> r;
    for (int h = 0; h < Doubles<W>::kParts; ++h) r.part[h] = gap_bits(v.part[h]);
    return r;
}

// Elements k .. k + 7 of the sixteen doubles a, b.
template <int k, int W>
[[gnu::always_inline]] inline Doubles<W> shifted(const Doubles<W>& a, const Doubles<W>& b) {
    using Vector = typename VectorsOf<W>::Vector;
    constexpr int kParts = Doubles<W>::kParts;
    Vector all[2 * kParts];  // the parts of a, then those of b
    for (int h = 0; h < kParts; ++h) all[h] = a.part[h], all[kParts + h] = b.part[h];
    Doubles<W> r;
    [&]<int... h>(std::integer_sequence<int, h...>) {
        ((r.part[h] = [&]<int... j>(std::integer_sequence<int, j...>) {
              constexpr int from = k + h * W;
              constexpr int v = from / W, r0 = from % W;
              return __builtin_shufflevector(all[v], all[v + 1], (r0 + j)...);
          }(std::make_integer_sequence<int, W>{})),
         ...);
    }(std::make_integer_sequence<int, kParts>{});
    return r;
}

// The squares of the window sums of `count` starts from s0 (the first of them
// (s0 - first_start) mod 8 = 0), added to lanes[0 .. 7], with their number to n.
//
// Each start's sum is taken from its terms t(i), their pair sums
// p(i) = t(i) + t(i+1) and quad sums q(i) = p(i) + p(i+2), each computed once for
// eight consecutive i and kept while the next windows need them.
//
// Without kTested only the newest point x[i + 2m] of each term is tested, the older
// ones being known to be readings, and a sum that is 0.0 (or whose square underflows)
// is not told apart: false, with lanes and n untouched, when a point is a gap or a
// square is 0.0, and the chunk must be summed tested. With kTested each term with a
// point at 0.0 is left out (as +0.0) and the sums that are 0.0 are not counted.
template <int M, int W, bool kTested>
[[gnu::always_inline]] inline bool chunk_squares(const double* x, long s0, long count,
                                                 long loadable, double* lanes, long& n) {
    using Vector = typename VectorsOf<W>::Vector;
    constexpr long m = M;
    const double* p = x + s0;
    const long terms = count + m - 1;
    Flags<W> bad{};
    // Terms k .. k + 7; those from `terms` on are in no window of the chunk, and are
    // 0.0 where their points might lie past the record (its last loadable term is
    // loadable - 1).
    auto term_block = [&](long k) __attribute__((always_inline)) {
        if (k + 8 <= loadable) {
            const Doubles<W> a = load_eight<W>(p + k), b = load_eight<W>(p + k + m),
                             c = load_eight<W>(p + k + 2 * m);
            if constexpr (!kTested) bad = bad | gap_flags(c);
            const Doubles<W> t = second_difference(a, b, c);
            if constexpr (kTested)
                return select(nonzero_mask(a) & nonzero_mask(b) & nonzero_mask(c), t);
            return t;
        }
        double t[8] = {};
        for (long j = 0; j < 8 && k + j < terms; ++j) {
            const double a = p[k + j], b = p[k + j + m], c = p[k + j + 2 * m];
            if constexpr (!kTested) bad.part[0][0] |= gap_bit(c);
            const bool used = !kTested || (!is_gap(a) && !is_gap(b) && !is_gap(c));
            t[j] = used ? second_difference(a, b, c) : 0.0;
        }
        return load_eight<W>(t);
    };
    Doubles<W> t0 = term_block(0), t1 = term_block(8), t2 = term_block(16);
    Doubles<W> p0 = t0 + shifted<1>(t0, t1), p1 = t1 + shifted<1>(t1, t2);
    Doubles<W> q0 = p0 + shifted<2>(p0, p1);
    long k = 0;
    // The sums of the starts k .. k + 7 of the chunk; moves the terms and sums on by
    // eight.
    auto window = [&]() __attribute__((always_inline)) {
        const Doubles<W> t3 = term_block(k + 24);
        const Doubles<W> p2 = t2 + shifted<1>(t2, t3);
        const Doubles<W> q1 = p1 + shifted<2>(p1, p2);
        // The tree ((t0 + t1) + (t2 + t3)) + ((t4 + t5) + (t6 + t7)) of the window's
        // terms without those past m (adding +0.0 in their place would change no sum
        // but the sign of a zero one).
        Doubles<W> sum;
        if constexpr (M == 1) sum = t0;
        if constexpr (M == 2) sum = p0;
        if constexpr (M == 3) sum = p0 + shifted<2>(t0, t1);
        if constexpr (M == 4) sum = q0;
        if constexpr (M == 5) sum = q0 + shifted<4>(t0, t1);
        if constexpr (M == 6) sum = q0 + shifted<4>(p0, p1);
        if constexpr (M == 7) sum = q0 + (shifted<4>(p0, p1) + shifted<6>(t0, t1));
        if constexpr (M == 8) sum = q0 + shifted<4>(q0, q1);
        t0 = t1, t1 = t2, t2 = t3, p0 = p1, p1 = p2, q0 = q1;
        return sum;
    };
    Doubles<W> lane = load_eight<W>(lanes);
    // Without kTested, the least square seen as a signed integer: 0 where a square was
    // +0.0 (a square has no sign; a NaN with its sign bit set reads below 0 and sends
    // the chunk to the tested path too). AVX-512 takes the least in one operation;
    // AVX2 has no such minimum of 64-bit integers and or-s the squares' bits less 1,
    // whose top bit is set for the same squares, into the gap flags (fewer registers
    // held: AVX2 has sixteen). With kTested, the count of the sums that are 0.0,
    // lowered by one for each.
    Masks<W> least, zeros{};
    for (auto& part : least.part) part = typename VectorsOf<W>::Mask{} + 0x7fffffffffffffffLL;
    for (; k + 8 <= count; k += 8) {
        const Doubles<W> sum = window();
        const Doubles<W> square = sum * sum;
        lane = lane + square;
        for (int h = 0; h < Doubles<W>::kParts; ++h) {
            if constexpr (kTested) {
                zeros.part[h] += sum.part[h] == Vector{};
            } else {
                const auto bits = reinterpret_cast<typename VectorsOf<W>::Mask>(square.part[h]);
                if constexpr (W == 8)
                    least.part[h] = bits < least.part[h] ? bits : least.part[h];
                else
                    bad.part[h] |= reinterpret_cast<typename VectorsOf<W>::Bits>(bits - 1);
            }
        }
    }
    double sums[8], last_sums[8];
    store_eight(sums, lane);
    if (k < count) store_eight(last_sums, window());  // the last chunk's last starts
    for (int h = 0; h < Doubles<W>::kParts; ++h)
        if (any_top_bit(bad.part[h])) return false;
    long zero_sums = 0;
    for (int h = 0; h < Doubles<W>::kParts; ++h) {
        for (int i = 0; i < W; ++i) {
            zero_sums -= zeros.part[h][i];
            if (least.part[h][i] <= 0) return false;
        }
    }
    for (long j = 0; j < count - k; ++j) {
        const double square = last_sums[j] * last_sums[j];
        if constexpr (!kTested)
            if (square == 0.0) return false;
        zero_sums += last_sums[j] == 0.0;
        sums[j] += square;
    }
    std::copy(sums, sums + 8, lanes);
    n += count - zero_sums;
    return true;
}

template <int W, bool kTested>
[[gnu::always_inline]] inline bool chunk_squares_at(const double* x, long m, long s0,
                                                    long count, long loadable, double* lanes,
                                                    long& n) {
    switch (m) {
        case 1: return chunk_squares<1, W, kTested>(x, s0, count, loadable, lanes, n);
        case 2: return chunk_squares<2, W, kTested>(x, s0, count, loadable, lanes, n);
        case 3: return chunk_squares<3, W, kTested>(x, s0, count, loadable, lanes, n);
        case 4: return chunk_squares<4, W, kTested>(x, s0, count, loadable, lanes, n);
        case 5: return chunk_squares<5, W, kTested>(x, s0, count, loadable, lanes, n);
        case 6: return chunk_squares<6, W, kTested>(x, s0, count, loadable, lanes, n);
        case 7: return chunk_squares<7, W, kTested>(x, s0, count, loadable, lanes, n);
        default: return chunk_squares<8, W, kTested>(x, s0, count, loadable, lanes, n);
    }
}

// A chunk whose older points are known to be readings: false when it must be summed
// tested (see chunk_squares).
VARNIS_VECTOR_CLONES bool untested_chunk(const double* x, long m, long s0, long count,
                                         long loadable, double* lanes, long& n) {
    return eight_double_registers()
               ? chunk_squares_at<8, false>(x, m, s0, count, loadable, lanes, n)
               : chunk_squares_at<4, false>(x, m, s0, count, loadable, lanes, n);
}

VARNIS_VECTOR_CLONES void tested_chunk(const double* x, long m, long s0, long count,
                                       long loadable, double* lanes, long& n) {
    if (eight_double_registers())
        chunk_squares_at<8, true>(x, m, s0, count, loadable, lanes, n);
    else
        chunk_squares_at<4, true>(x, m, s0, count, loadable, lanes, n);
}

}  // namespace

WindowSquares short_window_squares(const WindowSpec& w) {
    WindowSquares squares;
    const long m = w.m;
    // Samples known to be readings from clear_from on, up to the newest points tested:
    // first the points of the first terms older than their newest one, then each
    // chunk's newest points.
    long clear_from = last_gap(w, w.first_start, w.first_start + 2 * m) + 1;
    for (long s0 = w.first_start; s0 <= w.final_start; s0 += kChunk) {
        const long count = std::min(kChunk, w.final_start - s0 + 1);
        // The terms from s0 whose points lie in the record.
        const long loadable = w.last - 2 * m - s0 + 1;
        if (clear_from <= s0 &&
            untested_chunk(w.x, m, s0, count, loadable, squares.lanes.lane, squares.n))
            continue;
        tested_chunk(w.x, m, s0, count, loadable, squares.lanes.lane, squares.n);
        clear_from = readings_from(w, clear_from, s0 + 2 * m, s0 + count + 3 * m - 1);
    }
    return squares;
}

}  // namespace varnis
