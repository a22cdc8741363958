// Window sums of m consecutive terms that slide one term at a time.
//
// The modified Allan and the overlapping Hadamard deviations sum, for every start s,
// the terms t(s) .. t(s+m-1) of a record. Recomputing each window costs m per start;
// sliding it (add the entering term, remove the leaving one) costs two terms. The
// terms are differences of samples, never raw samples, so a large constant offset in
// the record does not cancel in the sums. A sliding sum is recomputed from its terms
// at fixed starts so that rounding cannot accumulate over a long record.
#pragma once

#include <algorithm>
#include <cstddef>

#include "core/data_vector.h"
#include "core/differences.h"
#include "core/scratch.h"

namespace varnis {

// One term of a window: its value (0.0 when the term is not used), and whether the
// gap rule lets it in.
struct Term {
    double value = 0.0;
    bool used = false;
};

// The running sum of the used terms of a window, with exact counts of the used
// terms and of those whose value is not 0.0. A window without a nonzero term sums
// to exactly 0.0, as a plain sum of its terms would. Adding and removing are free of
// branches on the data: an unused term carries 0.0.
class WindowSum {
public:
    void clear() {
        sum_ = 0.0;
        used_ = 0;
        nonzero_ = 0;
    }
    void add(const Term& t) {
        sum_ += t.value;
        used_ += t.used;
        nonzero_ += t.value != 0.0;
    }
    // One term enters and one leaves; their difference is taken first so that the
    // running sum sees one addition per move.
    void slide(const Term& in, const Term& out) {
        sum_ += in.value - out.value;
        used_ += static_cast<long>(in.used) - static_cast<long>(out.used);
        nonzero_ += static_cast<long>(in.value != 0.0) - static_cast<long>(out.value != 0.0);
        if (nonzero_ == 0) sum_ = 0.0;  // drop the rounding left by the removed terms
    }
    double sum() const { return sum_; }
    long used() const { return used_; }
    long nonzero() const { return nonzero_; }

private:
    double sum_ = 0.0;
    long used_ = 0;
    long nonzero_ = 0;
};

// The sum of the squares of the window sums a routine counts, and their number.
struct SquareSum {
    double total = 0.0;
    long n = 0;
};

// The visitor of the routines that count a window unless its sum is exactly 0.0 (no
// usable term, or only terms that cancel): adds the square of its sum to `squares`.
// Adding the 0.0 of a window left out leaves the total as it is. (A window without a
// nonzero term sums to exactly 0.0.)
struct AddNonzeroSquare {
    bool operator()(long, const WindowSum& w, SquareSum& squares) const {
        const double t = w.sum();
        squares.total += t * t;
        squares.n += t != 0.0;
        return true;
    }
};

// Distance, in starts, between two recomputations of a sliding window of m terms.
// Every 4096 starts or more keeps the rounding of the slides to a few thousand
// additions whatever the record's length; at least 4m apart, a recomputation (m
// terms) costs at most a quarter term per start.
inline long recompute_interval(long m) { return std::max(4096L, 4 * m); }

// Which stretches of kSpan samples of a window hold a gap, found in one scan, so that
// a window moves through the stretches without gaps with no test per sample. With
// reading_ends (phase data) the window's first and last samples count as readings,
// as they do in every move. Without the memory for the map, every stretch counts as
// holding a gap: the moves then test every sample and give the same sums.
class GapMap {
public:
    static constexpr long kSpan = 256;

    GapMap(const VectorView<const double>& x, bool reading_ends)
        : first_(x.first), last_(x.last),
          holds_gap_(static_cast<std::size_t>((x.size() + kSpan - 1) / kSpan)) {
        if (!holds_gap_.ok()) return;
        const long from = reading_ends ? x.first + 1 : x.first;
        const long to = reading_ends ? x.last - 1 : x.last;
        for (std::size_t block = 0; block < holds_gap_.size(); ++block) {
            const long begin = std::max(from, first_ + static_cast<long>(block) * kSpan);
            const long end = std::min(to, first_ + static_cast<long>(block + 1) * kSpan - 1);
            if (begin > end) continue;
            const double* const from_sample = &x[begin];
            const double* const past = from_sample + (end - begin + 1);
            holds_gap_[block] = std::find(from_sample, past, 0.0) != past;  // 0.0 == -0.0
        }
    }

    // Whether samples a .. b of the window (those past its last sample left out) are
    // all readings.
    bool clear(long a, long b) const {
        if (!holds_gap_.ok()) return false;
        b = std::min(b, last_);
        for (long block = (a - first_) / kSpan; block <= (b - first_) / kSpan; ++block)
            if (holds_gap_[static_cast<std::size_t>(block)]) return false;
        return true;
    }

private:
    long first_;
    long last_;
    ScratchArray<unsigned char> holds_gap_;
};

// The entering and the leaving term of one move of a window.
struct Move {
    Term in;
    Term out;
};

// Second differences of points at lag m: term i is x[i+2m] - 2 x[i+m] + x[i], used
// when none of its three points is a gap. With reading_ends set (phase data), the
// window's first and last points are readings even when 0.0, but only where a triple
// has no other 0.0.
class LagTriples {
public:
    // gaps: the map of x made with the same reading_ends.
    LagTriples(const VectorView<const double>& x, long m, bool reading_ends, const GapMap& gaps)
        : sample_(&x[0]), m_(m), first_(x.first), last_(x.last), reading_ends_(reading_ends),
          first_reading_(reading_ends ? x.first : 0), last_reading_(reading_ends ? x.last : 0),
          gaps_(&gaps) {}

    Term at(long i) const {
        const double a = sample_[i], b = sample_[i + m_], c = sample_[i + 2 * m_];
        bool used = !is_gap(a) && !is_gap(b) && !is_gap(c);
        if (!used && reading_ends_)
            used = phase_term_usable({a, b, c}, i == first_, i + 2 * m_ == last_);
        return Term{used ? second_difference(a, b, c) : 0.0, used};
    }

    // The move to start s: term s+m-1 enters, term s-1 leaves. The two triples share
    // two points, so four samples give both. The leaving triple lies before the
    // entering one, so it is never the window's last triple and the entering one never
    // its first: the end exception reduces to "point first (last) is a reading".
    Move move_to(long s) const {
        const double p = sample_[s - 1], q = sample_[s + m_ - 1], r = sample_[s + 2 * m_ - 1],
                     t = sample_[s + 3 * m_ - 1];
        const bool inner = !is_gap(q) && !is_gap(r);
        const bool out_used = inner && (!is_gap(p) || s - 1 == first_reading_);
        const bool in_used = inner && (!is_gap(t) || s + 3 * m_ - 1 == last_reading_);
        // The differences second_difference() takes, each once.
        const double pq = q - p, qr = r - q, rt = t - r;
        return Move{Term{in_used ? rt - qr : 0.0, in_used},
                    Term{out_used ? qr - pq : 0.0, out_used}};
    }

    // The last start of a window of m triples inside x.
    long final_start() const { return last_ - 3 * m_ + 1; }

    // Whether the moves to starts s .. end - 1 meet no gap.
    bool moves_clear(long s, long end) const {
        return gaps_->clear(s - 1, end - 2) && gaps_->clear(s + m_ - 1, end + m_ - 2) &&
               gaps_->clear(s + 2 * m_ - 1, end + 2 * m_ - 2) &&
               gaps_->clear(s + 3 * m_ - 1, end + 3 * m_ - 2);
    }

    // move_to(s) where moves_clear() holds: every triple is used.
    Move clear_move_to(long s) const {
        const double p = sample_[s - 1], q = sample_[s + m_ - 1], r = sample_[s + 2 * m_ - 1],
                     t = sample_[s + 3 * m_ - 1];
        const double pq = q - p, qr = r - q, rt = t - r;
        return Move{Term{rt - qr, true}, Term{qr - pq, true}};
    }

private:
    const double* sample_;  // sample_[k] is x[k]
    long m_;
    long first_;
    long last_;
    bool reading_ends_;
    // The points a move takes as readings even when 0.0; 0 is no point of a window.
    long first_reading_;
    long last_reading_;
    const GapMap* gaps_;
};

// Differences of points at lag m: term l is y[l+m] - y[l], used when neither point
// is a gap.
class LagPairs {
public:
    // gaps: the map of y made without reading ends.
    LagPairs(const VectorView<const double>& y, long m, const GapMap& gaps)
        : sample_(&y[0]), m_(m), last_(y.last), gaps_(&gaps) {}

    // The last start of a window of m pairs inside y.
    long final_start() const { return last_ - 2 * m_ + 1; }

    Term at(long l) const {
        const double a = sample_[l], b = sample_[l + m_];
        const bool used = !is_gap(a) && !is_gap(b);
        return Term{used ? b - a : 0.0, used};
    }

    // The move to start s: pair s+m-1 enters, pair s-1 leaves; they share a point.
    Move move_to(long s) const {
        const double p = sample_[s - 1], q = sample_[s + m_ - 1], r = sample_[s + 2 * m_ - 1];
        const bool out_used = !is_gap(p) && !is_gap(q);
        const bool in_used = !is_gap(q) && !is_gap(r);
        return Move{Term{in_used ? r - q : 0.0, in_used}, Term{out_used ? q - p : 0.0, out_used}};
    }

    // Whether the moves to starts s .. end - 1 meet no gap.
    bool moves_clear(long s, long end) const {
        return gaps_->clear(s - 1, end - 2) && gaps_->clear(s + m_ - 1, end + m_ - 2) &&
               gaps_->clear(s + 2 * m_ - 1, end + 2 * m_ - 2);
    }

    // move_to(s) where moves_clear() holds: both pairs are used.
    Move clear_move_to(long s) const {
        const double p = sample_[s - 1], q = sample_[s + m_ - 1], r = sample_[s + 2 * m_ - 1];
        return Move{Term{r - q, true}, Term{q - p, true}};
    }

private:
    const double* sample_;
    long m_;
    long last_;
    const GapMap* gaps_;
};

// The windows of the m terms terms.at(s) .. terms.at(s+m-1), for s = origin,
// origin + 1, ... up to terms.final_start(), each given to a visitor. The sum is
// recomputed from its terms whenever s - origin is a multiple of the recompute
// interval, so two runs over the same terms from the same origin hold bit-identical
// sums at the same start. `terms` gives at(i); move_to(s), the same terms as
// at(s+m-1) and at(s-1); moves_clear(s, end), whether the moves to starts
// s .. end - 1 meet no gap; clear_move_to(s), move_to(s) for such a move; and
// optionally add_window(sums, s), which adds the terms of the window at s in an
// order of its own.
template <class Terms>
class SlidingWindow {
public:
    // Starts checked for gaps at once.
    static constexpr long kStretch = GapMap::kSpan;

    SlidingWindow(Terms terms, long m, long origin)
        : terms_(terms), m_(m), interval_(recompute_interval(m)), origin_(origin),
          final_start_(terms.final_start()), next_(origin) {}

    // Calls visit(s, sums, state) for the starts s from the first not yet visited,
    // in order, until visit returns false or the final start is visited. Returns the
    // last start visited; a further run goes on from the next. The visitor keeps
    // what it sums in `state`, which the run holds in registers. Kept out of line so
    // that no call of the caller's (a progress report) lands in its loop and makes
    // the compiler keep the sums in memory.
    template <class State, class Visit>
    [[gnu::noinline]] long run(State& state, Visit&& visit) {
        State running = state;
        const Terms terms = terms_;  // a local copy, which the compiler keeps in registers
        WindowSum sums = sums_;
        long since_recompute = since_recompute_;
        long s = next_;
        bool more = true;
        if (s == origin_) {
            sums = window_at(terms, s);
            more = visit(s, sums, running);
            ++s;
        }
        // Stretch by stretch: where no move meets a gap, the moves skip the tests.
        while (more && s <= final_start_) {
            const long end = std::min(s + kStretch, final_start_ + 1);
            if (terms.moves_clear(s, end))
                more = slide<true>(terms, end, s, sums, since_recompute, running, visit);
            else
                more = slide<false>(terms, end, s, sums, since_recompute, running, visit);
        }
        state = running;
        sums_ = sums;
        since_recompute_ = since_recompute;
        next_ = s;
        return s - 1;
    }

private:
    // Moves the window to the starts s .. end - 1 and visits each; false when the
    // visitor asks to stop. Inlined into run() with every argument a local of it, so
    // that the sums stay in registers: no address of them leaves run().
    template <bool kClear, class State, class Visit>
    [[gnu::always_inline]] bool slide(const Terms& terms, long end, long& s, WindowSum& sums,
                                      long& since_recompute, State& running,
                                      Visit& visit) const {
        for (; s < end;) {
            if (++since_recompute == interval_) {
                since_recompute = 0;
                sums = window_at(terms, s);
            } else {
                const Move step = kClear ? terms.clear_move_to(s) : terms.move_to(s);
                sums.slide(step.in, step.out);
            }
            if (!visit(s++, sums, running)) return false;
        }
        return true;
    }

    // The window at start, from its terms: in order, or in the order the terms keep
    // when they give add_window(). Returned by value and kept out of line: it runs
    // once per recompute interval, and taking the running sums by reference would
    // keep them in memory for the whole run.
    [[gnu::noinline]] WindowSum window_at(const Terms terms, long start) const {
        WindowSum sums;
        if constexpr (requires { terms.add_window(sums, start); }) {
            terms.add_window(sums, start);
        } else {
            for (long i = start; i < start + m_; ++i) sums.add(terms.at(i));
        }
        return sums;
    }

    Terms terms_;
    long m_;
    long interval_;
    long origin_;
    long final_start_;
    // Where the last run stopped: the sums at start next_ - 1.
    long next_;
    WindowSum sums_;
    long since_recompute_ = 0;
};

}  // namespace varnis
