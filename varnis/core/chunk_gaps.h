// Which chunks of a run over lag-m point sets hold a gap, learnt while the run goes.
//
// A run visits the point sets i = 0, 1, ..., count - 1, each made of the samples
// i + j m (j = 0 .. order) from an origin, in chunks of kChunk sets. The highest point of
// each set, i + order m, is the newest sample it reads: a loop over a chunk tests those
// for gaps as it goes (one comparison per set) and records the result here. The lower
// points of a chunk are then samples that an earlier chunk read as its highest points,
// or samples before order m, which are scanned once at the start. So a chunk whose
// lower points are known to be readings can run without testing each point, and only
// needs its own highest points confirmed at the end.
//
// The state is one byte per kChunk samples, from storage the caller owns; without it
// (null) no chunk counts as clear and every chunk takes the tested path.
#pragma once

#include <algorithm>

namespace varnis {

class ChunkGaps {
public:
    static constexpr long kChunk = 256;

    // The bytes `storage(count, m, order)` asks for.
    static long storage(long count, long m, int order) {
        return lead_blocks(m, order) + (count + kChunk - 1) / kChunk + 1;
    }

    // origin: the first point of set 0; holds_gap: storage(...) bytes, or null.
    [[gnu::always_inline]] ChunkGaps(const double* origin, long m, int order,
                                     unsigned char* holds_gap)
        : m_(m), order_(order), lead_(lead_blocks(m, order)), holds_gap_(holds_gap) {
        if (holds_gap_ == nullptr) return;
        // The samples 0 .. order m - 1 are never a highest point: scanned in blocks
        // aligned with those of the highest points.
        const long top = order * m;
        for (long block = 0; block < lead_; ++block) {
            const long begin = std::max(0L, top + (block - lead_) * kChunk);
            const long end = top + (block - lead_ + 1) * kChunk;
            long zeros = 0;
            for (long s = begin; s < end; ++s) zeros += origin[s] == 0.0;
            holds_gap_[block] = zeros != 0;
        }
    }

    // Whether every lower point (j < order) of the sets of chunk c is known to be a
    // reading. Points that chunk c itself reads as highest points are left to the
    // chunk's own test.
    [[gnu::always_inline]] bool lower_clear(long c) const {
        if (holds_gap_ == nullptr) return false;
        const long own = block_of(c * kChunk + order_ * m_);
        for (int j = 0; j < order_; ++j) {
            const long from = block_of(c * kChunk + j * m_);
            const long to = std::min(block_of(c * kChunk + j * m_ + kChunk - 1), own - 1);
            for (long b = from; b <= to; ++b)
                if (holds_gap_[b]) return false;
        }
        return true;
    }

    // Records whether the highest points of chunk c's sets hold a gap.
    [[gnu::always_inline]] void record(long c, bool holds_gap) {
        if (holds_gap_ != nullptr) holds_gap_[block_of(c * kChunk + order_ * m_)] = holds_gap;
    }

private:
    // Blocks of samples before the first highest point.
    static long lead_blocks(long m, int order) { return (order * m + kChunk - 1) / kChunk; }

    // The block of sample s: block lead_ starts at the first highest point, order m.
    long block_of(long s) const { return (s - order_ * m_ + lead_ * kChunk) / kChunk; }

    long m_;
    int order_;
    long lead_;
    unsigned char* holds_gap_;
};

}  // namespace varnis
