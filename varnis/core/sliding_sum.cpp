#include "core/sliding_sum.h"

#include <algorithm>
#include <cstdint>

#include "core/data_vector.h"
#include "core/differences.h"
#include "core/vector4.h"
#include "core/vector8.h"
#include "core/vector_clones.h"
#include "core/vector_width.h"

namespace varnis {
namespace {

// The difference of order kOrder of the points p[0], p[1], ..., p[kOrder]: the point
// itself, a first, second or third difference. T is double or Double4.
template <int kOrder, class T>
[[gnu::always_inline]] inline T difference(const T* p) {
    if constexpr (kOrder == 0) return p[0];
    if constexpr (kOrder == 1) return p[1] - p[0];
    if constexpr (kOrder == 2) return second_difference(p[0], p[1], p[2]);
    if constexpr (kOrder == 3) return third_difference(p[0], p[1], p[2], p[3]);
}

struct TermValue {
    double value;
    bool used;
};

// Term i of a run, and whether its gap rule lets it in.
template <int kOrder>
TermValue term_at(const WindowSpec& w, long i) {
    double point[kOrder + 1];
    bool readings = true;
    for (int j = 0; j <= kOrder; ++j) {
        point[j] = w.x[i + j * w.m];
        readings = readings && !is_gap(point[j]);
    }
    bool used = w.rule == GapRule::kNone || readings;
    if (!used && w.rule == GapRule::kPhaseGaps) {
        const bool first_term = i == w.first, last_term = i + kOrder * w.m == w.last;
        if constexpr (kOrder == 0) used = phase_term_usable({point[0]}, first_term, last_term);
        if constexpr (kOrder == 1)
            used = phase_term_usable({point[0], point[1]}, first_term, last_term);
        if constexpr (kOrder == 2)
            used = phase_term_usable({point[0], point[1], point[2]}, first_term, last_term);
    }
    return {difference<kOrder>(point), used};
}

// The move to start s with both terms used: in - out, taken as one difference of the
// points x[s-1], x[s-1+m], ... (four operations for triples, where in - out takes six).
template <int kOrder>
double move_difference(const WindowSpec& w, long s) {
    double point[kOrder + 2];
    for (int j = 0; j <= kOrder + 1; ++j) point[j] = w.x[s - 1 + j * w.m];
    return difference<kOrder + 1>(point);
}

// The sum of the window at start a from its terms, in eight lanes, with the numbers
// of its used and of its nonzero used terms.
struct DirectWindow {
    double sum = 0.0;
    long used = 0;
    long nonzero = 0;
};

// The window at start a from its terms, when none of its points is a gap (kTested)
// and none of its terms is 0.0, which is almost always: the same additions, lane by
// lane, as sum_window below, with its counts then m, and the tests kept as one flag
// instead of counts (each point lies in one term of the window only, so each is
// tested once). False, with nothing to use, when a point or a term is 0.0: sum_window
// then counts the terms one by one.
template <int kOrder, bool kTested>
[[gnu::always_inline]] inline bool sum_plain_window(const WindowSpec& w, long a,
                                                    DirectWindow& out) {
    const long m = w.m;
    // Two halves of four lanes, as sum_window takes them (eight-double vectors cost
    // more where the widest unit holds four).
    Double4 low{}, high{};
    Mask4 zero{};
    auto four = [&](long i, Double4& sum) __attribute__((always_inline)) {
        Double4 point[kOrder + 1];
        for (int j = 0; j <= kOrder; ++j) point[j] = load4(w.x + i + j * m);
        const Double4 value = difference<kOrder>(point);
        sum += value;
        zero |= value == Double4{};
        if constexpr (kTested)
            for (int j = 0; j <= kOrder; ++j) zero |= point[j] == Double4{};
    };
    long i = a;
    for (; i + kLanes <= a + m; i += kLanes) {
        four(i, low);
        four(i + 4, high);
    }
    Lanes lanes;
    store4(lanes.lane, low);
    store4(lanes.lane + 4, high);
    const bool any_zero = selected(zero) > 0;
    unsigned long long bad_rest = 0;
    for (; i < a + m; ++i) {
        double point[kOrder + 1];
        for (int j = 0; j <= kOrder; ++j) {
            point[j] = w.x[i + j * m];
            if constexpr (kTested) bad_rest |= gap_bit(point[j]);
        }
        const double value = difference<kOrder>(point);
        bad_rest |= gap_bit(value);
        lanes.add(i - a, value);
    }
    if (any_zero || (bad_rest >> 63) != 0) return false;
    out.sum = lanes.total();
    out.used = m;
    out.nonzero = m;
    return true;
}

template <int kOrder, bool kTested>
[[gnu::always_inline]] inline DirectWindow sum_window(const WindowSpec& w, long a) {
    const long m = w.m;
    if (DirectWindow plain; sum_plain_window<kOrder, kTested>(w, a, plain)) return plain;
    Double4 low{}, high{};
    Mask4 used_low{}, used_high{}, nonzero_low{}, nonzero_high{};
    auto four = [&](long i, Double4& sum, Mask4& used_count, Mask4& nonzero_count)
                    __attribute__((always_inline)) {
        Double4 point[kOrder + 1];
        Mask4 used = ~Mask4{};
        for (int j = 0; j <= kOrder; ++j) {
            point[j] = load4(w.x + i + j * m);
            if constexpr (kTested) used &= nonzero(point[j]);
        }
        const Double4 value = kTested ? select(used, difference<kOrder>(point))
                                      : difference<kOrder>(point);
        sum += value;
        if constexpr (kTested) used_count += used;
        nonzero_count += nonzero(value);
    };
    long i = a;
    for (; i + kLanes <= a + m; i += kLanes) {
        four(i, low, used_low, nonzero_low);
        four(i + 4, high, used_high, nonzero_high);
    }
    Lanes lanes;
    store4(lanes.lane, low);
    store4(lanes.lane + 4, high);
    DirectWindow out;
    out.used = kTested ? selected(used_low) + selected(used_high) : i - a;
    out.nonzero = selected(nonzero_low) + selected(nonzero_high);
    for (; i < a + m; ++i) {
        double point[kOrder + 1];
        bool used = true;
        for (int j = 0; j <= kOrder; ++j) {
            point[j] = w.x[i + j * m];
            used = used && (!kTested || !is_gap(point[j]));
        }
        if (!used) continue;
        const double value = difference<kOrder>(point);
        lanes.add(i - a, value);
        ++out.used;
        out.nonzero += value != 0.0;
    }
    // The phase end exceptions: the record's first and last terms, where a 0.0 kept
    // out a term that the rule lets in.
    if (w.rule == GapRule::kPhaseGaps) {
        const long ends[2] = {w.first, w.last - kOrder * m};
        for (int e = 0; e < (ends[0] == ends[1] ? 1 : 2); ++e) {
            const long k = ends[e];
            if (k < a || k >= a + m) continue;
            const TermValue t = term_at<kOrder>(w, k);
            bool readings = true;
            for (int j = 0; j <= kOrder; ++j) readings = readings && !is_gap(w.x[k + j * m]);
            if (readings || !t.used) continue;
            lanes.add(k - a, t.value);
            ++out.used;
            out.nonzero += t.value != 0.0;
        }
    }
    out.sum = lanes.total();
    return out;
}

VARNIS_VECTOR_CLONES DirectWindow sum_window_0(const WindowSpec& w, long a) {
    return sum_window<0, false>(w, a);
}
VARNIS_VECTOR_CLONES DirectWindow sum_window_0_tested(const WindowSpec& w, long a) {
    return sum_window<0, true>(w, a);
}
VARNIS_VECTOR_CLONES DirectWindow sum_window_1(const WindowSpec& w, long a) {
    return sum_window<1, false>(w, a);
}
VARNIS_VECTOR_CLONES DirectWindow sum_window_1_tested(const WindowSpec& w, long a) {
    return sum_window<1, true>(w, a);
}
VARNIS_VECTOR_CLONES DirectWindow sum_window_2(const WindowSpec& w, long a) {
    return sum_window<2, false>(w, a);
}
VARNIS_VECTOR_CLONES DirectWindow sum_window_2_tested(const WindowSpec& w, long a) {
    return sum_window<2, true>(w, a);
}

// The window at start a from its terms, testing them for gaps where the rule asks.
DirectWindow direct_window(const WindowSpec& w, long a) {
    const bool tested = w.rule != GapRule::kNone;
    switch (w.order) {
        case 0: return tested ? sum_window_0_tested(w, a) : sum_window_0(w, a);
        case 1: return tested ? sum_window_1_tested(w, a) : sum_window_1(w, a);
        default: return tested ? sum_window_2_tested(w, a) : sum_window_2(w, a);
    }
}

// ---- Eight segments side by side --------------------------------------------------


// Squares of window sums go to four partial sums by the start's place in its segment
// (offset mod 4), combined at the segment's end as ((q0 + q1) + (q2 + q3)) and added
// to the segment's lane: the additions of one square need not wait for the previous
// one, and a segment slid alone adds its squares in the same order.
inline constexpr int kPartialSquares = 4;

// The least lag at which sums of second differences slide adjoining segments (see
// SlidingRun::SlidingRun).
inline constexpr long kAdjoiningFrom = 256;

// Adjoining segments of at most this lag ask, while they slide, for the points of the
// next group that nothing has read yet (its rows 3 - 9, rows 11 - 17 of this group),
// one line of each row a block, 2 KiB (kFetchAhead doubles) past the columns the
// slide reads, whose first-level cache sets they would otherwise share. Rows of at
// most 4 KiB are too short for the processor's own prefetcher to run ahead of the
// next group's first windows: with AVX-512, m = 256 - 448 then takes 6-8 % less time,
// m = 512 1-4 %; from m = 600 on, where the rows are long enough, it takes 2-7 % more.
// Code built for AVX2, bound by its operations, asks for none.
inline constexpr long kFetchNextGroupUpTo = 512;
inline constexpr long kFetchAhead = 256;

// Asks for the cache line of p[i], which may lie past the end of the record (a
// prefetch never faults; the address is formed as an integer for that reason).
[[gnu::always_inline]] inline void prefetch(const double* p, long i) {
    const auto address =
        reinterpret_cast<std::uintptr_t>(p) + static_cast<std::uintptr_t>(i) * sizeof(double);
    __builtin_prefetch(reinterpret_cast<const void*>(address), 0, 1);
}

// The moves to the W starts from p + 1 (p points at x[s-1]): one difference of the
// points p[0], p[m], ...; the values that must not be 0.0 go to `tested`: the newest
// point (kGaps) and the entering term (kZeros).
template <int kOrder, bool kGaps, bool kZeros, class Vector>
[[gnu::always_inline]] inline Vector move_block(const double* p, long m, Vector*& tested) {
    Vector point[kOrder + 2];
    for (int j = 0; j <= kOrder + 1; ++j) point[j] = load_vector<Vector>(p + j * m);
    if constexpr (kGaps) *tested++ = point[kOrder + 1];
    if constexpr (kZeros) *tested++ = difference<kOrder>(point + 1);
    return difference<kOrder + 1>(point);
}

// Slides W segments of L starts from A side by side, from segment g0 of the eight
// segments of a group: segment g0 + g in lane g, from its first window's sum
// s0[g0 + g]; gives visit.block() the sums of W consecutive starts of every segment at
// a time, visit.one() those of single starts. False when a point turned out to be a gap
// or an entering term 0.0 (as asked), and the results must then be discarded. The
// moves of W starts of each segment are taken as one vector, then transposed so that
// each vector holds one start of every segment. Each segment does the same additions
// in the same order whatever W is.
//
// The blocks of starts begin where the oldest points x[s-1] begin a 64-byte line (the
// few starts before the first block and after the last one are taken one at a time):
// a load of eight points then reads one line where the lag is a multiple of 8, not
// two, which saves about a fifth of the time. Adjoining segments, of only m starts,
// take their blocks from their first start instead: there the starts taken one at a
// time would cost more than the loads that cross lines (with AVX-512, m = 512 takes
// about 6 % less time so, m = 256 a sixth less). Every start does the same operations
// in the same order whichever way it is taken, so the results do not depend on where
// the record lies in memory.
//
// Adjoining segments (kAdjoining: L = m, second differences tested for gaps) read the
// points of segment g at lag j where segment g + j reads them at lag 0: W + 3 loads
// give the points of the W segments' moves. Their terms have been tested before
// (every_window_has_nonzero_term), and the pass that sums their first windows
// (adjoining_first_windows) has tested the points from A + 3m - 1 on; a block tests
// the last segment's newest points.
template <int kOrder, bool kGaps, bool kZeros, bool kAdjoining, bool kAhead, int W,
          class Visit>
[[gnu::always_inline]] inline bool slide_segments(const double* x, long m, long A, long L,
                                                  int g0, const double* s0, Visit& visit) {
    static_assert(!kAdjoining || (kOrder == 2 && kGaps && !kZeros));
    using Vector = typename VectorsOf<W>::Vector;
    using Bits = typename VectorsOf<W>::Bits;
    using Mask = typename VectorsOf<W>::Mask;
    Vector sum = load_vector<Vector>(s0 + g0);
    Bits bad{};
    Mask after_first = ~Mask{};
    after_first[0] = 0;
    const double* first[W];
    for (int g = 0; g < W; ++g) first[g] = x + A + (g0 + g) * L - 1;
    auto one_start = [&](long k) __attribute__((always_inline)) {
        for (int g = 0; g < W; ++g) {
            double point[kOrder + 2];
            for (int j = 0; j <= kOrder + 1; ++j) point[j] = first[g][k + j * m];
            if constexpr (kGaps) bad[0] |= gap_bit(point[kOrder + 1]);
            if constexpr (kZeros) bad[0] |= gap_bit(difference<kOrder>(point + 1));
            sum[g] += k == 0 ? 0.0 : difference<kOrder + 1>(point);
        }
        visit.one(sum, k);
    };
    const long head = kAdjoining ? 0 : std::min(L, starts_before_aligned(first[0]));
    for (long k = 0; k < head; ++k) one_start(k);
    visit.begin_blocks(head);
    // The moves of the block from k, transposed: move[o] holds start k + o of every
    // segment.
    auto block_moves = [&](long k, Vector (&move)[W]) __attribute__((always_inline)) {
        // The lag is hidden from the optimiser at each step, so that it addresses the
        // points from the segments' pointers and the lag rather than keeping a pointer
        // for each point, which leaves too few registers.
        long lag = m;
        asm("" : "+r"(lag));
        if constexpr (kAdjoining) {
            Vector point[W + 3];
            for (int c = 0; c < W + 3; ++c) point[c] = load_vector<Vector>(first[0] + k + c * lag);
            Vector step[W + 1];  // step[c] = point[c + 1] - point[c]
            for (int c = 1; c <= W; ++c) step[c] = point[c + 1] - point[c];
            for (int g = 0; g < W; ++g) move[g] = (point[g + 3] - point[g]) - 3.0 * step[g + 1];
            bad |= gap_bits(point[W + 2]);
            if constexpr (W == 8)
                if (m <= kFetchNextGroupUpTo)
                    for (int c = W + 3; c < 2 * W + 2; ++c)
                        prefetch(first[0], k + kFetchAhead + c * lag);
        } else {
            constexpr int kTested = W * (int{kGaps} + int{kZeros});
            Vector tested[kTested > 0 ? kTested : 1];
            Vector* next_tested = tested;
            for (int g = 0; g < W; ++g)
                move[g] = move_block<kOrder, kGaps, kZeros>(first[g] + k, lag, next_tested);
            // Values are tested two at a time, or four where a vector of eight doubles
            // is one register (fewer operations; AVX2 code runs slower with them):
            // their product is 0.0 when one is (or when it underflows, for values of
            // about 1e-77 and less, which only sends the group to the tested path).
            constexpr int kAtOnce = W == 8 ? 4 : 2;
            for (int t = 0; t < kTested; t += kAtOnce) {
                Vector product = tested[t] * tested[t + 1];
                if constexpr (kAtOnce == 4) product *= tested[t + 2] * tested[t + 3];
                bad |= gap_bits(product);
            }
        }
        if (k == 0)  // a segment's first start has its window's own sum
            for (auto& v : move) v = select(after_first, v);
        transpose(move);
    };
    long k = head;
    // With kAhead each block's moves are taken one block ahead, so that they need not
    // wait for the chain of additions of the block before.
    Vector next[W];
    if (kAhead && k + W <= L) block_moves(k, next);
    for (; k + W <= L; k += W) {
        Vector move[W];
        if constexpr (kAhead) {
            for (int o = 0; o < W; ++o) move[o] = next[o];
            if (k + 2 * W <= L) block_moves(k + W, next);
        } else {
            block_moves(k, move);
        }
        Vector sums[W];
        for (int o = 0; o < W; ++o) {
            sum += move[o];
            sums[o] = sum;
        }
        visit.block(sums, k);
    }
    visit.end_blocks(head);
    for (; k < L; ++k) one_start(k);
    return !any_top_bit(bad);
}

// Squares of the sums of W segments side by side, segment g's to lane g, the square
// of the start k places into its segment to partial[k % 4]. Where only sums not 0.0
// count, a square of 0.0 (or one that underflows) is flagged in `zero`, and the group
// is then left to the tested path, which counts them one by one. The blocks of starts
// from `head` take the partial sums turned by head places, so that their own index is
// fixed.
template <int W>
struct SquaresSideBySide {
    using Vector = typename VectorsOf<W>::Vector;
    using Signed = typename VectorsOf<W>::Mask;
    Vector partial[kPartialSquares] = {};
    bool nonzero_only;
    // The least square seen, as a signed integer: 0 where a square was +0.0 (a square
    // has no sign, so only a NaN with its sign bit set reads below 0, and the group is
    // then tested too). AVX-512 takes the least in one operation; AVX2 has no such
    // minimum of 64-bit integers, and or-s the squares' bits less 1 instead, whose top
    // bit is set for the same squares.
    Signed least = Signed{} + (W == 8 ? 0x7fffffffffffffffLL : 0);
    [[gnu::always_inline]] void add(const Vector& value, int part) {
        const Vector square = value * value;
        partial[part] += square;
        if (!nonzero_only) return;
        const Signed bits = reinterpret_cast<Signed>(square);
        if constexpr (W == 8)
            least = bits < least ? bits : least;
        else
            least |= bits - 1;
    }
    // Whether a square was 0.0.
    bool any_zero() const {
        for (int i = 0; i < W; ++i)
            if (W == 8 ? least[i] <= 0 : least[i] < 0) return true;
        return false;
    }
    [[gnu::always_inline]] void one(const Vector& sums, long k) {
        add(sums, static_cast<int>(k % kPartialSquares));
    }
    [[gnu::always_inline]] void block(const Vector* sums, long) {
        for (int o = 0; o < W; ++o) add(sums[o], o % kPartialSquares);
    }
    void turn(long places) {
        Vector turned[kPartialSquares];
        for (long i = 0; i < kPartialSquares; ++i)
            turned[i] = partial[(i + places) % kPartialSquares];
        for (long i = 0; i < kPartialSquares; ++i) partial[i] = turned[i];
    }
    void begin_blocks(long head) { turn(head % kPartialSquares); }
    void end_blocks(long head) { turn(kPartialSquares - head % kPartialSquares); }
    // The sum of the squares of each segment.
    Vector total() const {
        static_assert(kPartialSquares == 4);
        return (partial[0] + partial[1]) + (partial[2] + partial[3]);
    }
};

// The sums of W segments side by side, times `scale` where scaled, stored at
// out[s - first_start]; out points at the place of the first segment's first start.
template <int W>
struct StoreSideBySide {
    using Vector = typename VectorsOf<W>::Vector;
    double* out;
    long L;
    bool scaled;
    double scale;
    [[gnu::always_inline]] void block(const Vector* sums, long k) {
        Vector v[W];
        for (int o = 0; o < W; ++o) v[o] = scaled ? sums[o] * scale : sums[o];
        transpose(v);
        for (int g = 0; g < W; ++g) store_vector(out + g * L + k, v[g]);
    }
    [[gnu::always_inline]] void one(const Vector& sums, long k) {
        for (int g = 0; g < W; ++g) out[g * L + k] = scaled ? sums[g] * scale : sums[g];
    }
    void begin_blocks(long) {}
    void end_blocks(long) {}
};

template <int kOrder, bool kGaps, bool kZeros, bool kAdjoining = false>
[[gnu::always_inline]] inline bool squares_of_eight(const double* x, long m, long A, long L,
                                                    const double* s0, bool nonzero_only,
                                                    Lanes& lanes, long& n) {
    if (eight_double_registers()) {
        // The moves are taken ahead unless the entering terms are tested in the slide:
        // those tests leave no registers for them.
        SquaresSideBySide<8> visit{.nonzero_only = nonzero_only};
        if (!slide_segments<kOrder, kGaps, kZeros, kAdjoining, !kZeros, 8>(x, m, A, L, 0, s0,
                                                                           visit) ||
            visit.any_zero())
            return false;
        store8(lanes.lane, load8(lanes.lane) + visit.total());
    } else {
        // Segments 0-3, then 4-7; the lanes take their squares once both have slid.
        Double4 total[2];
        for (int half = 0; half < 2; ++half) {
            SquaresSideBySide<4> visit{.nonzero_only = nonzero_only};
            if (!slide_segments<kOrder, kGaps, kZeros, kAdjoining, false, 4>(x, m, A, L, 4 * half,
                                                                             s0, visit) ||
                visit.any_zero())
                return false;
            total[half] = visit.total();
        }
        store4(lanes.lane, load4(lanes.lane) + total[0]);
        store4(lanes.lane + 4, load4(lanes.lane + 4) + total[1]);
    }
    n += 8 * L;
    return true;
}

template <int kOrder, bool kGaps, bool kZeros>
[[gnu::always_inline]] inline bool store_of_eight(const double* x, long m, long A, long L,
                                                  const double* s0, double* out_A, bool scaled,
                                                  double scale) {
    if (eight_double_registers()) {
        StoreSideBySide<8> visit{out_A, L, scaled, scale};
        return slide_segments<kOrder, kGaps, kZeros, false, false, 8>(x, m, A, L, 0, s0, visit);
    }
    for (int half = 0; half < 2; ++half) {  // segments 0-3, then 4-7
        StoreSideBySide<4> visit{out_A + 4 * half * L, L, scaled, scale};
        if (!slide_segments<kOrder, kGaps, kZeros, false, false, 4>(x, m, A, L, 4 * half, s0,
                                                                    visit))
            return false;
    }
    return true;
}

// The combinations the library's routines use, each built for every vector unit:
// order, whether points are tested for gaps, whether entering terms are tested for 0.0.
VARNIS_VECTOR_CLONES bool squares_2(const double* x, long m, long A, long L, const double* s0,
                                    bool nonzero_only, Lanes& lanes, long& n) {
    return squares_of_eight<2, false, false>(x, m, A, L, s0, nonzero_only, lanes, n);
}
VARNIS_VECTOR_CLONES bool squares_2_gaps(const double* x, long m, long A, long L,
                                         const double* s0, bool nonzero_only, Lanes& lanes,
                                         long& n) {
    return squares_of_eight<2, true, false>(x, m, A, L, s0, nonzero_only, lanes, n);
}
VARNIS_VECTOR_CLONES bool squares_2_gaps_zeros(const double* x, long m, long A, long L,
                                               const double* s0, bool nonzero_only,
                                               Lanes& lanes, long& n) {
    return squares_of_eight<2, true, true>(x, m, A, L, s0, nonzero_only, lanes, n);
}

// Whether every window of m terms among the terms from .. to (second differences at
// lag m, at least eight of them) holds a nonzero term. Blocks of eight terms are
// tested, P = 8 floor((m + 7) / 8) terms apart, and the last eight: a window that held
// none of them would lie between two blocks, in at most P - 8 < m terms.
VARNIS_VECTOR_CLONES bool every_window_has_nonzero_term(const double* x, long m, long from,
                                                        long to) {
    const long period = (m + 7) / 8 * 8;
    auto block = [&](long i) __attribute__((always_inline)) {
        return gap_bits(second_difference(load8(x + i), load8(x + i + m), load8(x + i + 2 * m)));
    };
    Bits8 bad = block(to - 7);
    for (long i = from; i + 7 <= to; i += period) bad |= block(i);
    return !any_top_bit(bad);
}

// The lanes of the first windows first .. first + W - 1 (of the eight) into
// lanes[first ..]; false when one of their points from A + 3m on is 0.0. Term i of a
// window goes to lane i mod 8, lane by lane in the order of i, as direct_window sums
// it. Where m is a multiple of 8 from 1024 on, the vectors of eight terms begin where
// the points begin a 64-byte line, so that each load reads one line, not two (2-6 %
// less time for the whole sum at m = 2048 - 16384; below 1024 the terms before, taken
// one at a time, cost more): the vectors then hold the lanes turned by that many
// places.
template <int W>
[[gnu::always_inline]] inline bool first_window_lanes(const double* x, long m, long A, int first,
                                                      double (*lanes)[8]) {
    using Vector = typename VectorsOf<W>::Vector;
    using Bits = typename VectorsOf<W>::Bits;
    constexpr int kParts = 8 / W;  // lanes 0-3 and 4-7 as two vectors where W is 4
    const double* p = x + A + first * m;
    unsigned long long bad_rest = 0;
    auto one_term = [&](long i) __attribute__((always_inline)) {
        for (int g = 0; g < W; ++g) {
            const double a = p[i + g * m], b = p[i + (g + 1) * m], c = p[i + (g + 2) * m];
            lanes[first + g][i & 7] += second_difference(a, b, c);
            bad_rest |= gap_bit(a) | gap_bit(b) | gap_bit(c);
        }
    };
    const long head = m % 8 == 0 && m >= 1024 ? starts_before_aligned(p) : 0;
    // Element e of the vectors holds lane (head + e) mod 8.
    Vector lane_sums[W][kParts] = {};
    if (head > 0) {
        for (int g = 0; g < W; ++g)
            for (int j = 0; j < 8; ++j) lanes[first + g][j] = 0.0;
        for (long i = 0; i < head; ++i) one_term(i);
        for (int g = 0; g < W; ++g) {
            double turned[8];
            for (int j = 0; j < 8; ++j) turned[j] = lanes[first + g][(head + j) % 8];
            for (int h = 0; h < kParts; ++h)
                lane_sums[g][h] = load_vector<Vector>(turned + h * W);
        }
    }
    Bits bad{};
    long i = head;
    for (; i + 8 <= m; i += 8) {
        long lag = m;  // hidden from the optimiser as in slide_segments
        asm("" : "+r"(lag));
        for (int h = 0; h < kParts; ++h) {
            Vector point[W + 2], step[W + 1];
            for (int c = 0; c < W + 2; ++c) point[c] = load_vector<Vector>(p + i + h * W + c * lag);
            for (int c = 0; c < W + 1; ++c) step[c] = point[c + 1] - point[c];
            for (int g = 0; g < W; ++g) lane_sums[g][h] += step[g + 1] - step[g];
            // The points from A + 3m, four tested at once: their product is 0.0 when
            // one is (or when it underflows, for values of about 1e-81 and less,
            // which only sends the group to the tested path).
            for (int c = std::max(0, 3 - first); c < W + 2; c += 4) {
                Vector product = point[c];
                if (c + 1 < W + 2) product *= point[c + 1];
                if (c + 3 < W + 2)
                    product *= point[c + 2] * point[c + 3];
                else if (c + 2 < W + 2)
                    product *= point[c + 2];
                bad |= gap_bits(product);
            }
        }
    }
    for (int g = 0; g < W; ++g) {
        if (head == 0) {
            for (int h = 0; h < kParts; ++h) store_vector(lanes[first + g] + h * W, lane_sums[g][h]);
            continue;
        }
        double turned[8];
        for (int h = 0; h < kParts; ++h) store_vector(turned + h * W, lane_sums[g][h]);
        for (int e = 0; e < 8; ++e) lanes[first + g][(head + e) % 8] = turned[e];
    }
    for (; i < m; ++i) one_term(i);
    return !any_top_bit(bad) && (bad_rest >> 63) == 0;
}

// The sums of the first windows of the eight adjoining segments of m starts from A,
// into s0: window g sums the terms A + g m .. A + g m + m - 1, in eight lanes, as
// direct_window sums it. False when one of their points from A + 3m - 1 on is 0.0
// (the points before are known to be readings; the terms are tested sparsely before,
// see squares_2_gaps_zeros_adjoining). The windows are summed side by side: block g's
// points at lag j are block g + j's at lag 0, so ten loads give the points of eight
// terms (without AVX-512, six loads those of four, for windows 0-3 and then 4-7).
VARNIS_VECTOR_CLONES bool adjoining_first_windows(const double* x, long m, long A, double* s0) {
    double lanes[8][8];
    if (eight_double_registers()) {
        if (!first_window_lanes<8>(x, m, A, 0, lanes)) return false;
    } else {
        for (int first = 0; first < 8; first += 4)
            if (!first_window_lanes<4>(x, m, A, first, lanes)) return false;
    }
    if (is_gap(x[A + 3 * m - 1])) return false;
    Double8 r[8];
    for (int g = 0; g < 8; ++g) r[g] = load8(lanes[g]);
    transpose(r);  // r[j] holds lane j of the eight windows
    store8(s0, ((r[0] + r[1]) + (r[2] + r[3])) + ((r[4] + r[5]) + (r[6] + r[7])));
    return true;
}

// Eight adjoining segments of m starts from A, their first windows summed here. Their
// terms are tested before the slide, sparsely (every window of m terms must hold a
// tested nonzero one, see every_window_has_nonzero_term): testing each entering term
// and each first window's term cost a twentieth of the time.
VARNIS_VECTOR_CLONES bool squares_2_gaps_zeros_adjoining(const double* x, long m, long A,
                                                         bool nonzero_only, Lanes& lanes,
                                                         long& n) {
    double s0[8];
    if (!every_window_has_nonzero_term(x, m, A, A + 9 * m - 2)) return false;
    if (!adjoining_first_windows(x, m, A, s0)) return false;
    return squares_of_eight<2, true, false, true>(x, m, A, m, s0, nonzero_only, lanes, n);
}

VARNIS_VECTOR_CLONES bool squares_1_gaps(const double* x, long m, long A, long L,
                                         const double* s0, bool nonzero_only, Lanes& lanes,
                                         long& n) {
    return squares_of_eight<1, true, false>(x, m, A, L, s0, nonzero_only, lanes, n);
}
VARNIS_VECTOR_CLONES bool squares_0_zeros(const double* x, long m, long A, long L,
                                          const double* s0, bool nonzero_only, Lanes& lanes,
                                          long& n) {
    return squares_of_eight<0, false, true>(x, m, A, L, s0, nonzero_only, lanes, n);
}
VARNIS_VECTOR_CLONES bool store_2(const double* x, long m, long A, long L, const double* s0,
                                  double* out_A, bool scaled, double scale) {
    return store_of_eight<2, false, false>(x, m, A, L, s0, out_A, scaled, scale);
}
VARNIS_VECTOR_CLONES bool store_1_gaps_zeros(const double* x, long m, long A, long L,
                                             const double* s0, double* out_A, bool scaled,
                                             double scale) {
    return store_of_eight<1, true, true>(x, m, A, L, s0, out_A, scaled, scale);
}

// Whether a run of second differences that must sum to exactly 0.0 without a nonzero
// term tests its terms before a group slides (every_window_has_nonzero_term) instead of
// each entering term in the slide: from m = 32, where that reads a quarter of the
// terms or fewer, up to kTermsFirstBelow, while the eight segments' points (8 x 3m)
// stay in the first-level cache and the slide is bound by its operations, a fifth of
// which test the entering terms (there the slide takes about 15 % less time; beyond,
// where its points come from the second-level cache, the loop without those tests
// takes a few per cent more).
inline constexpr long kTermsFirstFrom = 32;
inline constexpr long kTermsFirstBelow = 256;
bool terms_tested_first(const WindowSpec& w) {
    return w.order == 2 && w.rule != GapRule::kNone && w.exact_zero && w.m >= kTermsFirstFrom &&
           w.m < kTermsFirstBelow;
}

// The eight segments from A side by side, if a loop exists for the run's kind; false
// when there is none or when the segments turned out to need the tested path.
bool squares_side_by_side(const WindowSpec& w, long A, long L, const double* s0,
                          bool nonzero_only, Lanes& lanes, long& n) {
    const bool gaps = w.rule != GapRule::kNone;
    if (w.order == 2 && !gaps && !w.exact_zero)
        return squares_2(w.x, w.m, A, L, s0, nonzero_only, lanes, n);
    if (w.order == 2 && gaps && !w.exact_zero)
        return squares_2_gaps(w.x, w.m, A, L, s0, nonzero_only, lanes, n);
    if (terms_tested_first(w))  // its terms were tested before the slide
        return squares_2_gaps(w.x, w.m, A, L, s0, nonzero_only, lanes, n);
    if (w.order == 2 && gaps && w.exact_zero)
        return squares_2_gaps_zeros(w.x, w.m, A, L, s0, nonzero_only, lanes, n);
    if (w.order == 1 && gaps && !w.exact_zero)
        return squares_1_gaps(w.x, w.m, A, L, s0, nonzero_only, lanes, n);
    if (w.order == 0 && !gaps && w.exact_zero)
        return squares_0_zeros(w.x, w.m, A, L, s0, nonzero_only, lanes, n);
    return false;
}

bool store_side_by_side(const WindowSpec& w, long A, long L, const double* s0, double* out_A,
                        bool scaled, double scale) {
    const bool gaps = w.rule != GapRule::kNone;
    if (w.order == 2 && !gaps && !w.exact_zero)
        return store_2(w.x, w.m, A, L, s0, out_A, scaled, scale);
    if (w.order == 1 && gaps && w.exact_zero)
        return store_1_gaps_zeros(w.x, w.m, A, L, s0, out_A, scaled, scale);
    return false;
}

// Whether sample k is a gap under the run's rule (the phase rule's window ends are
// readings: the only moves that read them use their terms by the end exception).
bool gap_sample(const WindowSpec& w, long k) {
    if (!is_gap(w.x[k])) return false;
    return !(w.rule == GapRule::kPhaseGaps && (k == w.first || k == w.last));
}

// The end of the last block of eight samples x[k-8] .. x[k-1] that holds a 0.0, going
// back from `to` by whole blocks while at least eight samples from `from` are left; or
// where those blocks ended without one.
VARNIS_VECTOR_CLONES long last_block_with_zero(const double* x, long from, long to) {
    long k = to;
    // Eight blocks at a time, while they hold no 0.0: one test for 64 samples.
    for (; k - 64 >= from; k -= 64) {
        Bits8 bits = gap_bits(load8(x + k - 8));
        for (int b = 2; b <= 8; ++b) bits |= gap_bits(load8(x + k - 8 * b));
        if (any_top_bit(bits)) break;
    }
    for (; k - 8 >= from; k -= 8)
        if (any_top_bit(gap_bits(load8(x + k - 8)))) return k;
    return k;
}

// A slide of one segment alone, start by start, testing each term: the first window
// from its terms, then each move, in + out, taken as one difference of the points
// where both terms are used, as the side-by-side loop takes it.
template <int kOrder, class Visit>
void slide_segment(const WindowSpec& w, long first_start, long last_start, Visit&& visit) {
    const DirectWindow d = direct_window(w, first_start);
    double sum = d.sum + 0.0;  // the side-by-side loop adds a zero move here
    long used = d.used, nonzero = d.nonzero;
    visit(first_start, sum, used);
    for (long s = first_start + 1; s <= last_start; ++s) {
        const TermValue in = term_at<kOrder>(w, s + w.m - 1);
        const TermValue out = term_at<kOrder>(w, s - 1);
        sum += in.used && out.used ? move_difference<kOrder>(w, s)
                                   : (in.used ? in.value : 0.0) - (out.used ? out.value : 0.0);
        used += static_cast<long>(in.used) - static_cast<long>(out.used);
        nonzero += static_cast<long>(in.used && in.value != 0.0) -
                   static_cast<long>(out.used && out.value != 0.0);
        if (w.exact_zero && nonzero == 0) sum = 0.0;
        visit(s, sum, used);
    }
}

}  // namespace

// Blocks of eight samples without a 0.0 are passed over at once, the rest tested one
// by one.
long last_gap(const WindowSpec& w, long from, long to) {
    long k = to;
    while (k > from) {
        k = last_block_with_zero(w.x, from, k);
        const long block = std::max(from, k - 8);
        for (long j = k - 1; j >= block; --j)
            if (gap_sample(w, j)) return j;
        k = block;
    }
    return from - 1;
}

long readings_from(const WindowSpec& w, long clear_from, long from, long to) {
    const long scanned_from = std::max(clear_from, from);
    const long gap = last_gap(w, scanned_from, to);
    return gap >= scanned_from ? gap + 1 : clear_from;
}

// Segments: a window is summed afresh at the start of each segment, at least every
// max(4096, 16m) starts, so that the fresh sums cost at most a sixteenth of a term per
// start and rounding cannot gather over a long record. The groups of eight segments
// share the starts evenly, but for fewer than 4096 starts per group, which make one
// group of eight shorter segments, unless that would cost more fresh sums than it saves (they
// must be at least m / 32 starts long), and the few left after it one last segment.
// The length is a multiple of 512 starts plus 72 (the loops take eight starts at a
// time): segments side by side then start 72 samples off the multiples of 4 KiB apart,
// where their loads would otherwise compete for the same few cache sets.
//
// Sums of second differences with both tests and a lag of at least kAdjoiningFrom
// take adjoining segments of m starts instead. Eight segments far apart read 32
// streams of points whose 8 x 3m points no longer stay in the first-level cache
// between the four reads of each point; adjoining ones read each point once, in 11
// streams (segment g's points at lag j are segment g + j's at lag 0). That pays for
// a fresh window every m starts, one term a start, summed over the same streams. At
// 10^6 samples with AVX-512 it takes a tenth to a fifth less time from m = 256 on (at
// m = 128 far more). Code built for AVX2, which takes the windows four at a time and
// is bound by its operations rather than by the caches, takes more time with it below
// m = 2048 (a quarter more at 256, a sixth at 1024); the segments must not depend on
// the vector unit (the results would then differ in their last bits between
// processors), and the wider unit sets the choice.
SlidingRun::SlidingRun(const WindowSpec& spec) : spec_(spec) {
    const long starts = std::max(0L, spec.final_start - spec.first_start + 1);
    adjoining_ = spec.order == 2 && spec.rule == GapRule::kGaps && spec.exact_zero &&
                 spec.m >= kAdjoiningFrom;
    const long shortest = std::max(4096L, 16 * spec.m);
    groups_ = starts / (8 * (adjoining_ ? spec.m : shortest));
    if (adjoining_)
        length_ = spec.m;
    else
        length_ = groups_ > 0 ? (starts / (8 * groups_) - 72) / 512 * 512 + 72 : shortest;
    const long after_groups = starts - 8 * length_ * groups_;
    tail_length_ = after_groups / 64 * 8;
    if (tail_length_ < 8 || tail_length_ < spec.m / 32) tail_length_ = 0;
    rest_ = after_groups - 8 * tail_length_;
    units_ = groups_ + (tail_length_ > 0) + (rest_ > 0);
    // The samples that only the lower points of moves read, before the first move's
    // newest point: scanned once.
    const long newest = spec.first_start - 1 + (spec.order + 1) * spec.m;
    clear_until_ = newest;
    clear_from_ = spec.rule == GapRule::kNone ? spec.first_start
                                              : last_gap(spec_, spec.first_start, newest) + 1;
}

SlidingRun::Unit SlidingRun::unit(long u) const {
    const long first = spec_.first_start;
    if (u < groups_) return {first + 8 * length_ * u, length_, 8, 8 * u};
    const long after_groups = first + 8 * length_ * groups_;
    if (u == groups_ && tail_length_ > 0) return {after_groups, tail_length_, 8, 8 * groups_};
    const long tail_segments = tail_length_ > 0 ? 8 : 0;
    return {after_groups + 8 * tail_length_, rest_, 1, 8 * groups_ + tail_segments};
}

long SlidingRun::unit_last_start(long u) const {
    const Unit un = unit(u);
    return un.first_start + un.segments * un.length - 1;
}

void SlidingRun::slide_alone(long first_start, long last_start, long segment, Count count,
                             WindowSquares* squares, Store what, double* out) const {
    const WindowSpec& w = spec_;
    const double reciprocal_m = 1.0 / static_cast<double>(w.m);
    double partial[kPartialSquares] = {};
    auto visit = [&](long s, double sum, long used) {
        if (squares != nullptr) {
            const bool counted = count == Count::kEvery || (count == Count::kUsed && used > 0) ||
                                 (count == Count::kNonzero && sum != 0.0);
            if (!counted) return;
            partial[(s - first_start) % kPartialSquares] += sum * sum;
            ++squares->n;
        } else if (what == Store::kSum) {
            out[s - w.first_start] = sum;
        } else {
            out[s - w.first_start] = used == w.m   ? sum * reciprocal_m
                                     : used == 0 ? 0.0
                                                 : sum / static_cast<double>(used);
        }
    };
    switch (w.order) {
        case 0: slide_segment<0>(w, first_start, last_start, visit); break;
        case 1: slide_segment<1>(w, first_start, last_start, visit); break;
        default: slide_segment<2>(w, first_start, last_start, visit); break;
    }
    if (squares != nullptr)
        squares->lanes.add(segment, (partial[0] + partial[1]) + (partial[2] + partial[3]));
}

bool SlidingRun::slide_group(const Unit& un, Count count, WindowSquares* squares, Store what,
                             double* out) {
    const WindowSpec& w = spec_;
    const long L = un.length;
    const long A = un.first_start;
    const long newest_from = A - 1 + (w.order + 1) * w.m;  // the group's newest points
    const long newest_to = newest_from + 8 * L;
    const bool gaps = w.rule != GapRule::kNone;
    bool side_by_side = !gaps || (clear_from_ <= A && clear_until_ >= newest_from);
    double s0[8];
    // Adjoining segments sum their first windows themselves, testing their terms.
    const bool adjoining = adjoining_ && L == w.m && squares != nullptr;
    // Where the terms are tested before the slide, the first windows need no nonzero
    // term of their own: the test covers them.
    const bool terms_first = squares != nullptr && terms_tested_first(w);
    for (int g = 0; g < 8 && side_by_side && !adjoining; ++g) {
        const DirectWindow d = direct_window(w, A + g * L);
        side_by_side =
            (!gaps || d.used == w.m) && (!w.exact_zero || terms_first || d.nonzero == w.m);
        s0[g] = d.sum;
    }
    if (side_by_side && terms_first)
        side_by_side = every_window_has_nonzero_term(w.x, w.m, A, A + 8 * L + w.m - 2);
    if (side_by_side && adjoining) {
        side_by_side = squares_2_gaps_zeros_adjoining(w.x, w.m, A, count == Count::kNonzero,
                                                      squares->lanes, squares->n);
    } else if (side_by_side) {
        side_by_side =
            squares != nullptr
                ? squares_side_by_side(w, A, L, s0, count == Count::kNonzero, squares->lanes,
                                       squares->n)
                : store_side_by_side(w, A, L, s0, out + (A - w.first_start), what == Store::kMean,
                                     1.0 / static_cast<double>(w.m));
    }
    if (gaps && !side_by_side) {
        // The groups' newest points follow each other from the end of the samples
        // scanned first, so what is known stays one span: it now ends with this
        // group's newest points, and starts after their last gap if they hold one.
        clear_from_ = readings_from(w, clear_from_, newest_from, newest_to);
    }
    clear_until_ = newest_to;
    return side_by_side;
}

void SlidingRun::slide_unit(long u, Count count, WindowSquares* squares, Store what,
                            double* out) {
    const Unit un = unit(u);
    if (un.segments == 8 && slide_group(un, count, squares, what, out)) return;
    for (long g = 0; g < un.segments; ++g) {
        const long first_start = un.first_start + g * un.length;
        slide_alone(first_start, first_start + un.length - 1, un.first_segment + g, count,
                    squares, what, out);
    }
}

void SlidingRun::add_squares(long u, Count count, WindowSquares& squares) {
    slide_unit(u, count, &squares, Store::kSum, nullptr);
}

void SlidingRun::add_squares_until(long u, long last_start, Count count,
                                   WindowSquares& squares) {
    const Unit un = unit(u);
    for (long g = 0; g < un.segments; ++g) {
        const long first_start = un.first_start + g * un.length;
        if (first_start > last_start) break;
        slide_alone(first_start, std::min(first_start + un.length - 1, last_start),
                    un.first_segment + g, count, &squares, Store::kSum, nullptr);
    }
}

void SlidingRun::store(long u, Store what, double* out) {
    slide_unit(u, Count::kEvery, nullptr, what, out);
}

long starts_before_aligned(const double* p) {
    const auto offset = reinterpret_cast<std::uintptr_t>(p) % 64;
    return static_cast<long>((64 - offset) % 64 / sizeof(double));
}

WindowSquares window_squares(const WindowSpec& spec, Count count) {
    SlidingRun run(spec);
    WindowSquares squares;
    for (long u = 0; u < run.units(); ++u) run.add_squares(u, count, squares);
    return squares;
}

void window_values(const WindowSpec& spec, Store what, double* out) {
    SlidingRun run(spec);
    for (long u = 0; u < run.units(); ++u) run.store(u, what, out);
}

}  // namespace varnis
