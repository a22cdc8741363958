#include "core/nested_window_sum.h"

#include <algorithm>

#include "core/data_vector.h"
#include "core/differences.h"
#include "core/sliding_sum.h"
#include "core/vector_clones.h"
#include "core/vector_width.h"

namespace varnis {
namespace {

// A segment's first D and G.
struct Anchor {
    double d;
    double g;
};

// anchor() on vectors of W doubles.
template <int W>
[[gnu::always_inline]] inline Anchor anchor_of(const double* x, long m, long a) {
    using Vector = typename VectorsOf<W>::Vector;
    constexpr int kParts = 8 / W;  // lanes 0-3 and 4-7 as two vectors where W is 4
    const double* p = x + a;
    const double weights[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Vector d[kParts] = {}, g[kParts] = {}, rising[kParts], falling[kParts];
    for (int h = 0; h < kParts; ++h) {
        rising[h] = load_vector<Vector>(weights + h * W);
        falling[h] = Vector{} + static_cast<double>(m - 1) - (rising[h] - 1.0);
    }
    long t = 0;
    for (; t + 8 <= m; t += 8) {
        for (int h = 0; h < kParts; ++h) {
            const double* q = p + t + h * W;
            const Vector lower = load_vector<Vector>(q + m) - load_vector<Vector>(q);
            const Vector upper = load_vector<Vector>(q + 2 * m) - load_vector<Vector>(q + m);
            d[h] += rising[h] * lower;
            d[h] += falling[h] * upper;
            g[h] += upper - lower;
            rising[h] += 8.0;
            falling[h] -= 8.0;
        }
    }
    Lanes dl, gl;
    for (int h = 0; h < kParts; ++h) {
        store_vector(dl.lane + h * W, d[h]);
        store_vector(gl.lane + h * W, g[h]);
    }
    for (; t < m; ++t) {
        const double lower = p[t + m] - p[t], upper = p[t + 2 * m] - p[t + m];
        dl.add(t, static_cast<double>(t + 1) * lower);
        dl.add(t, static_cast<double>(m - 1 - t) * upper);
        gl.add(t, upper - lower);
    }
    return {dl.total(), gl.total()};
}

// D(a) is the sum of the pairs e(a) .. e(a+2m-2) weighted 1, 2, .., m, then m-1, .., 1:
// with t = 0 .. m-1, e(a+t) weighs t + 1 and e(a+m+t) weighs m - 1 - t. G(a) is the sum
// of e(a+m+t) - e(a+t), the second differences. Term t goes to lane t mod 8.
VARNIS_VECTOR_CLONES Anchor anchor(const double* x, long m, long a) {
    return eight_double_registers() ? anchor_of<8>(x, m, a) : anchor_of<4>(x, m, a);
}

// Whether the samples x[a] .. x[a+3m-1] hold no gap and the pairs e(a) .. e(a+2m-1)
// no 0.0: what a segment's first D and G read that its moves do not test.
VARNIS_VECTOR_CLONES bool anchor_clear(const double* x, long m, long a) {
    const double* p = x + a;
    Bits8 faults{};
    long t = 0;
    for (; t + 8 <= 3 * m; t += 8) faults |= gap_bits(load8(p + t));
    for (t = 0; t + 8 <= 2 * m; t += 8) faults |= gap_bits(load8(p + t + m) - load8(p + t));
    if (any_top_bit(faults)) return false;
    for (t = 3 * m / 8 * 8; t < 3 * m; ++t)
        if (is_gap(p[t])) return false;
    for (t = 2 * m / 8 * 8; t < 2 * m; ++t)
        if (p[t + m] == p[t]) return false;
    return true;
}

// The squares of the D of W segments of L starts from A side by side, the segments
// first .. first + W - 1 of a group of eight, from their first D and G; their sums, by
// segment, go to `total`. False when a sample turned out to be a gap, a pair 0.0 or a
// D 0.0 (which the caller's sums leave out). A start adds D * D (the square of the
// start k places into its segment to partial[k % 4]), then moves: D += G, G += the
// third difference of the points from it, whose newest sample and pair it tests. As in
// core/sliding_sum.cpp, the blocks of W starts begin where the starts' points begin a
// 64-byte line, and the few starts before and after them are taken one at a time with
// the same operations.
template <int W>
[[gnu::always_inline]] inline bool nested_squares(const double* x, long m, long A, long L,
                                                  int first, const double* d0,
                                                  const double* g0,
                                                  typename VectorsOf<W>::Vector& total) {
    using Vector = typename VectorsOf<W>::Vector;
    using Bits = typename VectorsOf<W>::Bits;
    Vector d = load_vector<Vector>(d0 + first), g = load_vector<Vector>(g0 + first);
    Bits bad{};
    Vector partial[4] = {};
    const double* start[W];
    for (int s = 0; s < W; ++s) start[s] = x + A + (first + s) * L;
    auto one_start = [&](long k) __attribute__((always_inline)) {
        const Vector square = d * d;
        partial[k % 4] += square;
        bad |= reinterpret_cast<Bits>(square) - 1;
        d += g;
        for (int s = 0; s < W; ++s) {
            double point[4];
            for (int j = 0; j < 4; ++j) point[j] = start[s][k + j * m];
            bad[0] |= gap_bit(point[3] * (point[3] - point[2]));
            g[s] += third_difference(point[0], point[1], point[2], point[3]);
        }
    };
    auto turn = [&](long places) {
        Vector turned[4];
        for (long i = 0; i < 4; ++i) turned[i] = partial[(i + places) % 4];
        for (long i = 0; i < 4; ++i) partial[i] = turned[i];
    };
    const long head = std::min(L, starts_before_aligned(start[0]));
    for (long k = 0; k < head; ++k) one_start(k);
    turn(head % 4);
    long k = head;
    for (; k + W <= L; k += W) {
        // The lag is hidden from the optimiser at each step, so that it addresses the
        // points from the segments' pointers and the lag rather than keeping a pointer
        // for each point, which leaves too few registers.
        long lag = m;
        asm("" : "+r"(lag));
        Vector move[W];
        for (int s = 0; s < W; ++s) {
            const double* p = start[s] + k;
            Vector point[4];
            for (int j = 0; j < 4; ++j) point[j] = load_vector<Vector>(p + j * lag);
            // A gap or a pair 0.0 makes the product 0.0 (so may an underflow, which
            // only sends the group to the slower sums).
            bad |= gap_bits(point[3] * (point[3] - point[2]));
            move[s] = third_difference(point[0], point[1], point[2], point[3]);
        }
        transpose(move);
        for (int o = 0; o < W; ++o) {
            const Vector square = d * d;
            partial[o % 4] += square;
            bad |= reinterpret_cast<Bits>(square) - 1;  // 0.0 (or underflow)
            d += g;
            g += move[o];
        }
    }
    turn(4 - head % 4);
    for (; k < L; ++k) one_start(k);
    if (any_top_bit(bad)) return false;
    total = (partial[0] + partial[1]) + (partial[2] + partial[3]);
    return true;
}

// The eight segments of a group: side by side on vectors of eight doubles where they
// are one register, else in two groups of four; their squares go to the lanes once
// all have slid.
VARNIS_VECTOR_CLONES bool nested_squares_of_eight(const double* x, long m, long A, long L,
                                                  const double* d0, const double* g0,
                                                  Lanes& lanes, long& n) {
    if (eight_double_registers()) {
        Double8 total;
        if (!nested_squares<8>(x, m, A, L, 0, d0, g0, total)) return false;
        store8(lanes.lane, load8(lanes.lane) + total);
    } else {
        Double4 total[2];
        for (int half = 0; half < 2; ++half)
            if (!nested_squares<4>(x, m, A, L, 4 * half, d0, g0, total[half])) return false;
        store4(lanes.lane, load4(lanes.lane) + total[0]);
        store4(lanes.lane + 4, load4(lanes.lane + 4) + total[1]);
    }
    n += 8 * L;
    return true;
}

}  // namespace

// The length is a multiple of 512 starts plus 72, as in core/sliding_sum.cpp, so that
// segments side by side do not start a multiple of 4 KiB apart.
NestedRun::NestedRun(const double* x, long m, long first_start, long final_start)
    : x_(x), m_(m), first_start_(first_start) {
    const long starts = std::max(0L, final_start - first_start + 1);
    length_ = std::max(2048L, 12 * m) / 512 * 512 + 72;
    groups_ = starts / (8 * length_);
}

// The moves of a segment test every sample and pair that its first D and G read after
// those of the segment before it (L is at least 3m): only a group's first segment,
// when the group before it did not test them, has them tested here.
bool NestedRun::add_squares(long g, NestedSquares& squares) {
    const long A = group_start(g);
    const bool tested = g > 0 && last_clear_group_ == g - 1;
    if (!tested && !anchor_clear(x_, m_, A)) return false;
    double d0[8], g0[8];
    for (int s = 0; s < 8; ++s) {
        const Anchor first = anchor(x_, m_, A + s * length_);
        d0[s] = first.d;
        g0[s] = first.g;
    }
    if (!nested_squares_of_eight(x_, m_, A, length_, d0, g0, squares.lanes, squares.n))
        return false;
    last_clear_group_ = g;
    return true;
}

}  // namespace varnis
