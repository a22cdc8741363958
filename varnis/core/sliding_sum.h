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
// At least 4m apart, a recomputation costs at most a quarter term per start.
inline long recompute_interval(long m) { return std::max(4096L, 4 * m); }

// The window of the m terms term(s) .. term(s+m-1), for s = origin, origin + 1, ...
// Recomputed from its terms whenever s - origin is a multiple of the recompute
// interval, so two windows over the same terms with the same origin hold
// bit-identical sums at the same start.
template <class TermAt>
class SlidingWindow {
public:
    SlidingWindow(TermAt term, long m, long origin, long start)
        : term_(term), m_(m), interval_(recompute_interval(m)), start_(start) {
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
            sums_.slide(term_(start_ + m_ - 1), term_(start_ - 1));
        }
    }

    long start() const { return start_; }
    const WindowSum& sums() const { return sums_; }

private:
    void recompute() {
        sums_.clear();
        for (long i = start_; i < start_ + m_; ++i) sums_.add(term_(i));
    }

    TermAt term_;
    long m_;
    long interval_;
    long start_;
    long since_recompute_;
    WindowSum sums_;
};

}  // namespace varnis
