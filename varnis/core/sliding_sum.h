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

#include "core/data_vector.h"
#include "core/differences.h"

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

// Distance, in starts, between two recomputations of a sliding window of m terms.
// Every 4096 starts or more keeps the rounding of the slides to a few thousand
// additions whatever the record's length; at least 4m apart, a recomputation (m
// terms) costs at most a quarter term per start.
inline long recompute_interval(long m) { return std::max(4096L, 4 * m); }

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
    LagTriples(const VectorView<const double>& x, long m, bool reading_ends)
        : sample_(&x[0]), m_(m), first_(x.first), last_(x.last), reading_ends_(reading_ends),
          first_reading_(reading_ends ? x.first : 0), last_reading_(reading_ends ? x.last : 0) {}

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
        return Move{Term{in_used ? rt - qr : 0.0, in_used}, Term{out_used ? qr - pq : 0.0, out_used}};
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
};

// Differences of points at lag m: term l is y[l+m] - y[l], used when neither point
// is a gap.
class LagPairs {
public:
    LagPairs(const VectorView<const double>& y, long m) : sample_(&y[0]), m_(m) {}

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

private:
    const double* sample_;
    long m_;
};

// The window of the m terms terms.at(s) .. terms.at(s+m-1), for s = origin,
// origin + 1, ... Recomputed from its terms whenever s - origin is a multiple of the
// recompute interval, so two windows over the same terms with the same origin hold
// bit-identical sums at the same start. `terms` gives at(i) and move_to(s), which
// must give the same terms as at(s+m-1) and at(s-1).
template <class Terms>
class SlidingWindow {
public:
    SlidingWindow(Terms terms, long m, long origin, long start)
        : terms_(terms), m_(m), interval_(recompute_interval(m)), start_(start) {
        // Starts since the last recomputation point origin + k * interval.
        const long offset = (start - origin) % interval_;
        since_recompute_ = offset < 0 ? offset + interval_ : offset;
        recompute();
    }

    // Moves the window one term on.
    void advance() {
        ++start_;
        if (++since_recompute_ == interval_) {
            since_recompute_ = 0;
            recompute();
        } else {
            const Move move = terms_.move_to(start_);
            sums_.slide(move.in, move.out);
        }
    }

    long start() const { return start_; }
    const WindowSum& sums() const { return sums_; }

private:
    void recompute() {
        sums_.clear();
        for (long i = start_; i < start_ + m_; ++i) sums_.add(terms_.at(i));
    }

    Terms terms_;
    long m_;
    long interval_;
    long start_;
    long since_recompute_;
    WindowSum sums_;
};

}  // namespace varnis
