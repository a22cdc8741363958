// Extremes of the windows of m + 1 consecutive samples of a phase record, under the gap
// rule of CalcMTIE (that of FindMinMax in phase mode): a 0.0 is a gap and is ignored,
// except at sample 1 and at sample N of the vector, where it counts as a value. A
// window without any value has the excursion 0.
#pragma once

#include <cstddef>

#include "core/data_vector.h"
#include "core/scratch.h"

namespace varnis {

// A double-ended queue of sample indices in a fixed ring.
class IndexRing {
public:
    explicit IndexRing(std::size_t capacity) : slots_(capacity), capacity_(capacity) {}
    bool ok() const { return slots_.ok(); }
    bool empty() const { return size_ == 0; }
    long front() const { return slots_[head_]; }
    long back() const { return slots_[slot(size_ - 1)]; }
    void push_back(long k) {
        slots_[slot(size_)] = k;
        ++size_;
    }
    void pop_back() { --size_; }
    void pop_front() {
        head_ = slot(1);
        --size_;
    }

private:
    std::size_t slot(std::size_t offset) const {
        const std::size_t i = head_ + offset;
        return i >= capacity_ ? i - capacity_ : i;
    }
    ScratchArray<long> slots_;
    std::size_t capacity_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

// Extremes of a window that slides forward one sample at a time, over the samples
// that count under the phase gap rule of FindMinMax (a 0.0 is a gap except at sample
// 1 and at sample N of the vector). The max queue holds indices of decreasing values
// and the min queue of increasing ones, so each front is its window's extreme; every
// sample enters and leaves each queue once, so a whole scan costs about M steps.
class SlidingExtremes {
public:
    // capacity: the most samples a window holds.
    // start: the first sample of the first window.
    SlidingExtremes(const VectorView<const double>& x, std::size_t capacity, long start)
        : x_(x), max_(capacity), min_(capacity), next_(start) {}
    bool ok() const { return max_.ok() && min_.ok(); }

    // max - min of the samples first .. last, 0 when none counts. Successive calls
    // must move both ends forward.
    double range(long first, long last) {
        while (!max_.empty() && max_.front() < first) max_.pop_front();
        while (!min_.empty() && min_.front() < first) min_.pop_front();
        for (; next_ <= last; ++next_) {
            if (!is_value(x_, next_, true)) continue;
            const double value = x_[next_];
            while (!max_.empty() && x_[max_.back()] <= value) max_.pop_back();
            max_.push_back(next_);
            while (!min_.empty() && x_[min_.back()] >= value) min_.pop_back();
            min_.push_back(next_);
        }
        if (max_.empty()) return 0.0;
        return x_[max_.front()] - x_[min_.front()];
    }

private:
    VectorView<const double> x_;
    IndexRing max_;
    IndexRing min_;
    long next_;  // the next sample to take in
};

// The largest excursion (maximum - minimum) of the windows of w samples that start at
// A .. A + 4w - 1, by blocks of w samples (van Herk, Gil and Werman): the window from
// offset o of block b is the part of block b from o on and the part of block b + 1
// before o, so the running extremes of each block read backwards and of the next one
// read forwards give it with two comparisons. Four blocks are read side by side, one
// in each lane. Samples past the window's last are gaps; a window without a value
// gives -infinity. rows: scratch of 8 w doubles. The result is exact: extremes are
// samples, and their differences are taken as the scan would take them.
double largest_excursion(const VectorView<const double>& x, long w, long A, double* rows);

// Windows of up to this many samples are cheaper to take each from its samples than
// by blocks.
inline constexpr long kDirectWindow = 5;

// The largest excursion of the windows of w samples that start at A .. A + count - 1,
// each from its own samples (w at most kDirectWindow); -infinity when none has a value.
double largest_excursion_direct(const VectorView<const double>& x, long w, long A, long count);

}  // namespace varnis
