// Window sums of m consecutive terms that slide one term at a time.
//
// The modified Allan, the overlapping frequency Allan and Hadamard deviations and the
// subsequences of the total deviations sum, for every start s, the terms t(s) ..
// t(s+m-1) of a record, where a term is a sample, a difference at lag m (a pair) or a
// second difference at lag m (a triple). Recomputing each window costs m per start;
// sliding it (add the entering term, remove the leaving one) costs one move. The terms
// are differences of samples, never raw samples, so a large constant offset in the
// record does not cancel in the sums.
//
// The order of the arithmetic is fixed, so that results are the same bits on every
// vector unit and on every code path. The starts are cut into segments of L starts.
// The window at a segment's first start is summed from its terms (eight lanes, fixed
// tree); each later start adds its move, in + out taken as one difference of the
// points, to the sum of the start before. Segment k's windows go to lane k mod 8 of the
// results; their squares are first summed in four parts by the start's place in the
// segment mod 4. Eight segments whose samples hold no gap (and, where a window must sum
// to exactly 0.0 when none of its terms is nonzero, no window without a nonzero term,
// so that no sum has to be set to 0.0) slide side by side,
// one vector of eight doubles holding one start of each; any other segment slides
// alone, testing every term. Either way each segment does the same additions in the
// same order.
#pragma once

#include "core/lanes.h"

namespace varnis {

enum class GapRule {
    kNone,       // 0.0 is a value
    kGaps,       // a term with a point at 0.0 is left out
    kPhaseGaps,  // the same, but the window's first and last samples are readings where
                 // the term has no other 0.0 (phase_term_usable)
};

// The terms of a run and its starts.
struct WindowSpec {
    const double* x;  // x[k] is sample k; x[first_start - 1] must be addressable
    long first;       // the record's window, for the end rule of phase data
    long last;
    long m;
    int order;  // a term is a sample (0), a pair x[i+m] - x[i] (1) or a triple
                // x[i] - 2 x[i+m] + x[i+2m] (2)
    GapRule rule;
    // A window with no nonzero used term sums to exactly 0.0 (as a plain sum of its
    // terms would); otherwise it may hold the rounding its moves left.
    bool exact_zero;
    long first_start;
    long final_start;
};

// Which windows a sum of squares counts.
enum class Count {
    kEvery,    // every window
    kUsed,     // a window with at least one used term
    kNonzero,  // a window whose sum is not 0.0
};

// The squares of the counted window sums, by lane, and their number.
struct WindowSquares {
    Lanes lanes;
    long n = 0;
    double total() const { return lanes.total(); }
};

// What a run stores for each start s at out[s - first_start].
enum class Store {
    kSum,   // the window's sum
    kMean,  // its sum over its number of used terms, 0.0 without one
};

// A run cut into units that are summed one after another: a group of eight segments
// side by side, or a single segment. A routine that reports progress sums a unit, then
// makes the reports that fall inside it; if the caller's stop flag is then raised at
// a start inside the unit, it sums the unit again up to that start alone, which gives
// exactly the result of a run that ended there.
class SlidingRun {
public:
    explicit SlidingRun(const WindowSpec& spec);

    long units() const { return units_; }
    // The last start of unit u.
    long unit_last_start(long u) const;

    // Adds the squares of unit u's window sums, up to `last_start` (by default the
    // whole unit), to `squares`.
    void add_squares(long u, Count count, WindowSquares& squares);
    void add_squares_until(long u, long last_start, Count count, WindowSquares& squares);

    // Stores unit u's window values.
    void store(long u, Store what, double* out);

private:
    // A unit: `segments` (8 or 1) segments of `length` starts from first_start, the
    // first of them the run's segment number first_segment.
    struct Unit {
        long first_start;
        long length;
        long segments;
        long first_segment;
    };
    Unit unit(long u) const;
    void slide_alone(long first_start, long last_start, long segment, Count count,
                     WindowSquares* squares, Store what, double* out) const;
    bool slide_group(const Unit& unit, Count count, WindowSquares* squares, Store what,
                     double* out);
    void slide_unit(long u, Count count, WindowSquares* squares, Store what, double* out);

    WindowSpec spec_;
    // Whether the groups are of adjoining segments of m starts.
    bool adjoining_;
    // The units: groups of eight segments of length_ starts, then possibly a group of
    // eight shorter ones, then possibly one segment with the rest.
    long length_;
    long groups_;
    long tail_length_;  // 0 without the shorter group
    long rest_;         // starts of the last single segment, 0 without it
    long units_;
    // Samples known to be readings: clear_from_ .. clear_until_ - 1.
    long clear_from_;
    long clear_until_;
};

// The last gap under the run's rule among samples from .. to - 1, or from - 1 when
// there is none.
long last_gap(const WindowSpec& spec, long from, long to);

// Where the samples known to be readings begin once those up to to - 1 are scanned:
// they began at clear_from (up to `from`), or after the last gap among from .. to - 1.
long readings_from(const WindowSpec& spec, long clear_from, long from, long to);

// The number of doubles from p to the next 64-byte boundary (0 when p is on one):
// where loads of eight doubles begin to read one cache line each.
long starts_before_aligned(const double* p);

// The squares of every window of a run.
WindowSquares window_squares(const WindowSpec& spec, Count count);

// The values of every window of a run, at out[s - first_start].
void window_values(const WindowSpec& spec, Store what, double* out);

}  // namespace varnis
