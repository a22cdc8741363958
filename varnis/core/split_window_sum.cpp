#include "core/split_window_sum.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "core/data_vector.h"
#include "core/differences.h"
#include "core/scratch.h"
#include "core/vector_clones.h"
#include "core/vector_width.h"

namespace varnis {
namespace {

// The record's groups: group i's points from x0 + 8 i m, its row r the m points from
// there + r m (block b of a group holds the terms of its rows b, b + 1 and b + 2),
// and the running sums of the last group summed, 8 a place (stored[8 k + b]: the sum
// of the first k terms of block b). A group overwrites them place by place once it
// has read them.
struct Run {
    const double* x0;
    long m;
    double* stored;
};

// What the groups carry from one to the next.
struct Sums {
    double partial[4][8] = {};  // squares of window sums by place mod 4, by lane
    double block_sums[8] = {};  // the whole sums of the last group's blocks
    long windows = 0;           // windows summed
    long zeros = 0;             // of them, sums of 0.0
};

// Elements 1 .. W - 1 of a, then element 0 of b.
template <class Vector>
[[gnu::always_inline]] inline Vector shift_in(const Vector& a, const Vector& b) {
    if constexpr (sizeof(Vector) == 8 * sizeof(double))
        return __builtin_shufflevector(a, b, 1, 2, 3, 4, 5, 6, 7, 8);
    else
        return __builtin_shufflevector(a, b, 1, 2, 3, 4);
}

// Comparisons of eight-element vectors are split into single elements where GCC
// builds for AVX-512F without the instructions that turn their results into vectors,
// so the tests below are integer operations on the bits (core/vector8.h).

// 1 where v is 0.0 or -0.0, else 0.
template <class Vector>
[[gnu::always_inline]] inline auto zero_ones(const Vector& v) {
    return gap_bits(v) >> 63;
}

// All bits set where v is not 0.0 (nor -0.0).
template <int W>
[[gnu::always_inline]] inline auto nonzero_mask(const typename VectorsOf<W>::Vector& v) {
    return reinterpret_cast<typename VectorsOf<W>::Mask>(zero_ones(v) - 1);
}

// The least m whose blocks of places are aligned (see blocks_side_by_side).
inline constexpr long kAlignedFrom = 128;

// The state of blocks first .. first + W - 1 (the lanes of one vector) while groups
// are summed.
template <int W>
struct BlockLanes {
    using Vector = typename VectorsOf<W>::Vector;
    Vector partial[4];
    Vector block_sums;
};

// Blocks first .. first + W - 1 of group `row0` (all eight, or four at a time where the
// widest unit holds four doubles): their running sums, stored at each place in place
// of those of the group before, and with kWindows the squares of the windows of the
// same blocks of the group before, the window from place k of block b ending at place
// k of block b + 1 (for the last block, the first of this group: its running sum at k
// is already stored where W is 4, and in `running` where W is 8).
//
// The places are taken W at a time; the few before the first block and after the
// last whole one are blocks of their own that leave out the places taken elsewhere.
// Without kTested only the points of rows 2 - 9 are tested (rows 0 and 1 are known to
// be readings), and a window sum of 0.0 (or one whose square underflows) is not told
// apart: false when a point is a gap or a square 0.0, and the group must then be
// summed tested. With kTested each term with a point at 0.0 is left out (as +0.0),
// and the sums of 0.0 are counted in `zeros`.
template <int W, bool kTested, bool kWindows>
[[gnu::always_inline]] inline bool blocks_side_by_side(const double* row0, long m,
                                                       double* stored, int first,
                                                       BlockLanes<W>& lanes, long& zeros) {
    using Vector = typename VectorsOf<W>::Vector;
    using Bits = typename VectorsOf<W>::Bits;
    using Mask = typename VectorsOf<W>::Mask;
    const Vector block_sums = lanes.block_sums;
    Vector running{};
    Bits bad{};
    // The least square as a signed integer (see SquaresSideBySide in
    // core/sliding_sum.cpp): 0 where one was +0.0. AVX2 has no such minimum and or-s
    // the squares' bits less 1 into `bad` instead.
    Mask least = Mask{} + 0x7fffffffffffffffLL;
    Bits zero_sums{};  // sums of 0.0
    auto window = [&](double* at, int part, const Vector& next_first)
                      __attribute__((always_inline)) {
        const Vector left = load_vector<Vector>(at + first);
        const Vector sum = (block_sums - left) + shift_in(left, next_first);
        const Vector square = sum * sum;
        lanes.partial[part] += square;
        if constexpr (kTested) {
            zero_sums += zero_ones(sum);
        } else {
            const Mask bits = reinterpret_cast<Mask>(square);
            if constexpr (W == 8)
                least = bits < least ? bits : least;
            else
                bad |= reinterpret_cast<Bits>(bits - 1);
        }
    };
    // Where lane W - 1's window ends with four lanes: block 4 of the group before, or
    // block 0 of this one, already stored.
    auto next_first = [&](const double* at) __attribute__((always_inline)) {
        return load_vector<Vector>(at + (first == 0 ? W : 0));
    };
    // The places k + skip .. k + take - 1, W of them taken as one block whatever skip
    // and take are; place k + o adds its squares to partial[(turn + o) mod 4].
    auto places = [&](long k, int skip, int take, auto turn) __attribute__((always_inline)) {
        long lag = m;  // hidden from the optimiser, as in core/sliding_sum.cpp
        asm("" : "+r"(lag));
        Vector point[W + 2], step[W + 1], term[W];
        for (int r = 0; r < W + 2; ++r)
            point[r] = load_vector<Vector>(row0 + (first + r) * lag + k);
        for (int r = 0; r < W + 1; ++r) step[r] = point[r + 1] - point[r];
        // (c - b) - (b - a), as second_difference takes it
        for (int b = 0; b < W; ++b) term[b] = step[b + 1] - step[b];
        if constexpr (kTested) {
            Mask reading[W + 2];
            for (int r = 0; r < W + 2; ++r) reading[r] = nonzero_mask<W>(point[r]);
            for (int b = 0; b < W; ++b)
                term[b] = select(reading[b] & reading[b + 1] & reading[b + 2], term[b]);
        } else {
            // Four points tested at once: their product is 0.0 when one is (or when it
            // underflows, for values of about 1e-77 and less, which only sends the
            // group to the tested path).
            for (int r = 2; r < W + 2; r += 4)
                bad |= gap_bits((point[r] * point[r + 1]) * (point[r + 2] * point[r + 3]));
        }
        transpose(term);  // term[o]: place k + o of the W blocks
        for (int o = 0; o < W; ++o) {
            if (o < skip || o >= take) continue;
            double* at = stored + 8 * (k + o);
            if constexpr (kWindows)
                window(at, (decltype(turn)::value + o) % 4, W == 8 ? running : next_first(at));
            store_vector(at + first, running);
            running += term[o];
        }
    };
    // Where m is a multiple of 8, the blocks of places begin where the rows' points
    // begin a 64-byte line (the few places before are one block of their own), so
    // that a load reads one line, not two: from m = kAlignedFrom, where that first
    // block costs less than the loads save.
    const long head = m % 8 == 0 && m >= kAlignedFrom ? starts_before_aligned(row0) : 0;
    for (long k = 0; k < head; k += W)  // k mod 4 = 0
        places(k, 0, static_cast<int>(std::min<long>(W, head - k)), std::integral_constant<int, 0>{});
    // The blocks from head use partial[(o + head) mod 4] as partial[o mod 4].
    auto turn = [&](long places_turned) __attribute__((always_inline)) {
        Vector* p = lanes.partial;
        switch (places_turned % 4) {
            case 1: std::swap(p[0], p[1]), std::swap(p[1], p[2]), std::swap(p[2], p[3]); break;
            case 2: std::swap(p[0], p[2]), std::swap(p[1], p[3]); break;
            case 3: std::swap(p[2], p[3]), std::swap(p[1], p[2]), std::swap(p[0], p[1]); break;
            default: break;
        }
    };
    turn(head);
    long k = head;
    for (; k + W <= m; k += W) places(k, 0, W, std::integral_constant<int, 0>{});
    turn(4 - head % 4);
    // The last places, as one block from m - W (m > 8), without those taken already.
    if (k < m) {
        const long from = m - W;
        const int skip = static_cast<int>(k - from);
        switch (from % 4) {
            case 0: places(from, skip, W, std::integral_constant<int, 0>{}); break;
            case 1: places(from, skip, W, std::integral_constant<int, 1>{}); break;
            case 2: places(from, skip, W, std::integral_constant<int, 2>{}); break;
            default: places(from, skip, W, std::integral_constant<int, 3>{}); break;
        }
    }
    lanes.block_sums = running;
    if constexpr (kTested)
        for (int j = 0; j < W; ++j) zeros += static_cast<long>(zero_sums[j]);
    // The least square less 1 has its top bit set where it was 0 (or a NaN with its
    // sign bit set).
    if constexpr (W == 8 && !kTested && kWindows) bad |= reinterpret_cast<Bits>(least - 1);
    return !any_top_bit(bad);
}

// Groups from .. to - 1, with kWindows the windows of the group before each, or the
// index of the first one that must be summed tested (without kTested; the sums then
// stand as they were before it, but for the running sums stored, which are its own).
template <int W, bool kTested, bool kWindows>
[[gnu::always_inline]] inline long groups_at_width(const Run& run, long from, long to,
                                                   Sums& sums) {
    constexpr int kHalves = 8 / W;
    BlockLanes<W> lanes[kHalves];
    for (int h = 0; h < kHalves; ++h) {
        for (int q = 0; q < 4; ++q)
            lanes[h].partial[q] = load_vector<typename VectorsOf<W>::Vector>(sums.partial[q] + h * W);
        lanes[h].block_sums =
            load_vector<typename VectorsOf<W>::Vector>(sums.block_sums + h * W);
    }
    long i = from;
    for (; i < to; ++i) {
        BlockLanes<W> before[kHalves];
        for (int h = 0; h < kHalves; ++h) before[h] = lanes[h];
        long zeros = 0;
        bool summed = true;
        for (int h = 0; h < kHalves && summed; ++h)
            summed = blocks_side_by_side<W, kTested, kWindows>(run.x0 + 8 * i * run.m, run.m,
                                                               run.stored, h * W, lanes[h], zeros);
        if (!summed) {
            for (int h = 0; h < kHalves; ++h) lanes[h] = before[h];
            break;
        }
        if (kWindows) {
            sums.windows += 8 * run.m;
            sums.zeros += zeros;
        }
    }
    for (int h = 0; h < kHalves; ++h) {
        for (int q = 0; q < 4; ++q) store_vector(sums.partial[q] + h * W, lanes[h].partial[q]);
        store_vector(sums.block_sums + h * W, lanes[h].block_sums);
    }
    return i;
}

template <bool kTested, bool kWindows>
[[gnu::always_inline]] inline long groups(const Run& run, long from, long to, Sums& sums) {
    return eight_double_registers() ? groups_at_width<8, kTested, kWindows>(run, from, to, sums)
                                    : groups_at_width<4, kTested, kWindows>(run, from, to, sums);
}

// Groups from .. to - 1 whose rows 0 and 1 are known to be readings: the index of the
// first one that must be summed tested, or `to`.
VARNIS_VECTOR_CLONES long untested_groups(const Run& run, long from, long to, Sums& sums) {
    if (from == 0 && groups<false, false>(run, 0, 1, sums) == 0) return 0;
    return groups<false, true>(run, std::max(from, 1L), to, sums);
}

// Group i tested, with the windows of the group before it or without.
VARNIS_VECTOR_CLONES void tested_group(const Run& run, long i, bool windows, Sums& sums) {
    if (windows)
        groups<true, true>(run, i, i + 1, sums);
    else
        groups<true, false>(run, i, i + 1, sums);
}

// The windows of the last group summed, whose last block's windows end in the block
// after it: its running sum at place k is next[k]. Only the windows of the group's
// starts from .. to - 1 are summed (counted from its first start; its blocks are m
// starts each). Every sum of 0.0 is left out of the count.
template <int W>
[[gnu::always_inline]] inline void last_windows_at_width(const Run& run, const double* next,
                                                         long from, long to, Sums& sums) {
    using Vector = typename VectorsOf<W>::Vector;
    using Bits = typename VectorsOf<W>::Bits;
    using Mask = typename VectorsOf<W>::Mask;
    const long m = run.m;
    for (int first = 0; first < 8; first += W) {
        const Vector block_sums = load_vector<Vector>(sums.block_sums + first);
        Vector partial[4];
        for (int q = 0; q < 4; ++q) partial[q] = load_vector<Vector>(sums.partial[q] + first);
        Mask lane_start{};  // the window of lane j at place k is start lane_start[j] + k
        for (int j = 0; j < W; ++j) lane_start[j] = (first + j) * m;
        Bits zeros{};  // sums of 0.0, those of the windows left out (+0.0) among them
        auto window = [&](long k, int part) __attribute__((always_inline)) {
            const double* at = run.stored + 8 * k;
            const Vector left = load_vector<Vector>(at + first);
            const Vector right = shift_in(left, first + W < 8 ? load_vector<Vector>(at + first + W)
                                                              : load_vector<Vector>(next + k));
            // negative where the window is left out
            const Mask before = (lane_start + k - from) | (to - 1 - k - lane_start);
            const Mask counted = reinterpret_cast<Mask>((reinterpret_cast<Bits>(before) >> 63) - 1);
            const Vector sum = select(counted, (block_sums - left) + right);
            partial[part] += sum * sum;
            zeros += zero_ones(sum);
        };
        long k = 0;
        for (; k + 4 <= m; k += 4)
            for (int o = 0; o < 4; ++o) window(k + o, o);
        if (k < m) window(k, 0);
        if (k + 1 < m) window(k + 1, 1);
        if (k + 2 < m) window(k + 2, 2);
        for (int q = 0; q < 4; ++q) store_vector(sums.partial[q] + first, partial[q]);
        for (int j = 0; j < W; ++j) sums.zeros += static_cast<long>(zeros[j]);
    }
    sums.zeros -= 8 * m - (to - from);
    sums.windows += to - from;
}

VARNIS_VECTOR_CLONES void last_windows(const Run& run, const double* next, long from, long to,
                                       Sums& sums) {
    if (eight_double_registers())
        last_windows_at_width<8>(run, next, from, to, sums);
    else
        last_windows_at_width<4>(run, next, from, to, sums);
}

// The running sums of the block of m terms from `row` (its terms read the points
// row[k], row[k + m], row[k + 2 m]) at each place: next[k] sums the terms before k.
// Its last term is not read. The terms are taken eight at a time.
VARNIS_VECTOR_CLONES void block_running_sums(const double* row, long m, double* next) {
    auto used_term = [&](long k) __attribute__((always_inline)) {
        const double a = row[k], b = row[k + m], c = row[k + 2 * m];
        return !is_gap(a) && !is_gap(b) && !is_gap(c) ? second_difference(a, b, c) : 0.0;
    };
    double sum = 0.0;
    long k = 0;
    for (; k + 8 < m; k += 8) {
        const Double8 a = load8(row + k), b = load8(row + k + m), c = load8(row + k + 2 * m);
        double term[8];
        store8(term, select(nonzero_mask<8>(a) & nonzero_mask<8>(b) & nonzero_mask<8>(c),
                            second_difference(a, b, c)));
        for (int j = 0; j < 8; ++j) {
            next[k + j] = sum;
            sum += term[j];
        }
    }
    for (; k < m; ++k) {
        next[k] = sum;
        if (k + 1 < m) sum += used_term(k);
    }
}

}  // namespace

WindowSquares split_window_squares(const WindowSpec& w) {
    const long m = w.m;
    const long a0 = w.first_start;
    const long starts = w.final_start - a0 + 1;
    // Groups of eight blocks of starts, with at least one start after them; the starts
    // after them are those of one more group that ends with the last start, whose
    // first blocks overlap the groups before. A run of fewer starts slides.
    if (starts <= 8 * m) return window_squares(w, Count::kNonzero);
    const long whole_groups = (starts - 1) / (8 * m);
    // The groups' running sums, then those of the block after the last group (with
    // room for the loads of a vector from its last place).
    ScratchArray<double> storage(9 * static_cast<std::size_t>(m) + 16, WrittenBeforeRead{});
    if (!storage.ok()) return window_squares(w, Count::kNonzero);
    // From a 64-byte line: each place's eight sums are then one line.
    double* const stored = storage.data() + starts_before_aligned(storage.data());
    double* next = stored + 8 * m;
    std::fill(next + m, next + m + 8, 0.0);
    const Run run{w.x + a0, m, stored};
    Sums sums;
    // Samples known to be readings from clear_from on, up to the points tested: first
    // rows 0 and 1 of the first group, then each group's rows 2 - 9.
    long clear_from = last_gap(w, a0, a0 + 2 * m) + 1;
    for (long i = 0; i < whole_groups; ++i) {
        if (clear_from <= a0 + 8 * i * m) {
            i = untested_groups(run, i, whole_groups, sums);
            if (i == whole_groups) break;
            // The group stored its own running sums over those of the group before:
            // they are summed again.
            if (i > 0) tested_group(run, i - 1, false, sums);
        }
        tested_group(run, i, i > 0, sums);
        const long row0 = a0 + 8 * i * m;
        clear_from = readings_from(w, clear_from, row0 + 2 * m, row0 + 10 * m);
    }
    // The last group's windows, which end in the block after it.
    const long after_groups = a0 + 8 * whole_groups * m;
    block_running_sums(w.x + after_groups, m, next);
    last_windows(run, next, 0, 8 * m, sums);
    // The group that ends with the last start: its windows after the groups.
    const long last_group = w.final_start + 1 - 8 * m;
    const Run last_run{w.x + last_group, m, stored};
    if (clear_from > last_group || untested_groups(last_run, 0, 1, sums) == 0)
        tested_group(last_run, 0, false, sums);
    block_running_sums(w.x + last_group + 8 * m, m, next);
    last_windows(last_run, next, after_groups - last_group, 8 * m, sums);
    WindowSquares squares;
    for (int j = 0; j < 8; ++j)
        squares.lanes.lane[j] = (sums.partial[0][j] + sums.partial[1][j]) +
                                (sums.partial[2][j] + sums.partial[3][j]);
    squares.n = sums.windows - sums.zeros;
    return squares;
}

}  // namespace varnis
