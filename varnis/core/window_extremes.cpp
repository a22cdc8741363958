#include "core/window_extremes.h"

#include <algorithm>
#include <limits>

#include "core/vector4.h"
#include "core/vector_clones.h"

namespace varnis {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

[[gnu::always_inline]] inline Double4 larger(Double4 a, Double4 b) { return a > b ? a : b; }
[[gnu::always_inline]] inline Double4 smaller(Double4 a, Double4 b) { return a < b ? a : b; }

// Rows of samples for the running extremes: row r holds, in lane j, sample
// base + j w + i + r, as it counts for a maximum (a gap is -infinity) and for a
// minimum (a gap is +infinity).
struct Rows {
    Double4 high[4];
    Double4 low[4];
};

// The `count` (1 to 4) rows from offset i of the four blocks from base. Whole rows
// inside the window are read four samples of a block at a time and transposed; rows
// at the window's edges or near the samples 1 and N (where 0.0 is a value) one
// sample at a time.
[[gnu::always_inline]] inline void read_rows(const VectorView<const double>& x, long w, long base,
                                             long i, long count, Rows& rows) {
    const long lowest = base + i, highest = base + 3 * w + i + 3;
    const bool near_value_zero = lowest <= 1 || highest >= x.count;
    if (count == 4 && lowest >= x.first && highest <= x.last && !near_value_zero) {
        Double4 r[4];
        for (long j = 0; j < 4; ++j) r[j] = load4(&x[base + j * w + i]);
        transpose(r);
        for (int k = 0; k < 4; ++k) {
            const Mask4 value = nonzero(r[k]);
            rows.high[k] = value ? r[k] : broadcast4(-kInfinity);
            rows.low[k] = value ? r[k] : broadcast4(kInfinity);
        }
        return;
    }
    for (long k = 0; k < count; ++k) {
        Double4 high = broadcast4(-kInfinity), low = broadcast4(kInfinity);
        for (long j = 0; j < 4; ++j) {
            const long sample = base + j * w + i + k;
            if (sample >= x.first && sample <= x.last && is_value(x, sample, true)) {
                high[j] = x[sample];
                low[j] = x[sample];
            }
        }
        rows.high[k] = high;
        rows.low[k] = low;
    }
}

// Folds `count` rows into the running extremes (high, low), calling
// after(offset, high, low) after each; rows.high[k] is offset first + k * direction.
template <int kCount, class After>
[[gnu::always_inline]] inline void fold_rows(const Rows& r, long first, long direction,
                                             Double4& high, Double4& low, After&& after) {
    for (int k = 0; k < kCount; ++k) {
        const int row = direction > 0 ? k : kCount - 1 - k;
        high = larger(high, r.high[row]);
        low = smaller(low, r.low[row]);
        after(first + direction * k, high, low);
    }
}

[[gnu::always_inline]] inline double largest_of_four_blocks(const VectorView<const double>& x,
                                                            long w, long A, double* rows) {
    // Running extremes of the blocks from A + w forwards, offsets 0 .. w - 2, kept as
    // rows: rows + 8 o holds offset o's maxima, rows + 8 o + 4 its minima.
    Double4 high = broadcast4(-kInfinity), low = broadcast4(kInfinity);
    auto keep = [rows](long o, Double4 h, Double4 l) __attribute__((always_inline)) {
        store4(rows + 8 * o, h);
        store4(rows + 8 * o + 4, l);
    };
    long i = 0;
    for (; i + 4 <= w - 1; i += 4) {
        Rows r;  // read_rows fills the rows that fold_rows reads
        read_rows(x, w, A + w, i, 4, r);
        fold_rows<4>(r, i, 1, high, low, keep);
    }
    for (; i < w - 1; ++i) {
        Rows r;  // read_rows fills the rows that fold_rows reads
        read_rows(x, w, A + w, i, 1, r);
        fold_rows<1>(r, i, 1, high, low, keep);
    }
    // Running extremes of the blocks from A backwards, each joined with the next
    // block's extremes before its offset: the window from that offset.
    Double4 largest = broadcast4(-kInfinity);
    auto join = [rows, &largest](long o, Double4 h, Double4 l) __attribute__((always_inline)) {
        if (o > 0) {
            h = larger(h, load4(rows + 8 * (o - 1)));
            l = smaller(l, load4(rows + 8 * (o - 1) + 4));
        }
        largest = larger(largest, h - l);
    };
    high = broadcast4(-kInfinity);
    low = broadcast4(kInfinity);
    long end = w;
    for (; end >= 4; end -= 4) {
        Rows r;  // read_rows fills the rows that fold_rows reads
        read_rows(x, w, A, end - 4, 4, r);
        fold_rows<4>(r, end - 1, -1, high, low, join);
    }
    for (; end > 0; --end) {
        Rows r;  // read_rows fills the rows that fold_rows reads
        read_rows(x, w, A, end - 1, 1, r);
        fold_rows<1>(r, end - 1, -1, high, low, join);
    }
    double out = largest[0];
    for (int j = 1; j < 4; ++j) out = largest[j] > out ? largest[j] : out;
    return out;
}

// The largest excursion of the windows of w samples from A .. A + count - 1, each
// from its own samples: four windows at a time where none of their samples is sample 1
// or N of the vector (where 0.0 is a value), the others one at a time.
VARNIS_VECTOR_CLONES double largest_excursion_direct_clones(const VectorView<const double>& x,
                                                            long w, long A, long count) {
    Double4 largest = broadcast4(-kInfinity);
    long s = A;
    const long end = A + count;
    for (; s + 4 <= end; s += 4) {
        if (s <= 1 || s + 3 + w - 1 >= x.count) break;
        Double4 high = broadcast4(-kInfinity), low = broadcast4(kInfinity);
        for (long j = 0; j < w; ++j) {
            const Double4 v = load4(&x[s + j]);
            const Mask4 value = nonzero(v);
            high = larger(high, value ? v : broadcast4(-kInfinity));
            low = smaller(low, value ? v : broadcast4(kInfinity));
        }
        largest = larger(largest, high - low);
    }
    double out = largest[0];
    for (int j = 1; j < 4; ++j) out = largest[j] > out ? largest[j] : out;
    for (; s < end; ++s) {
        double high = -kInfinity, low = kInfinity;
        for (long k = s; k < s + w; ++k) {
            if (!is_value(x, k, true)) continue;
            high = x[k] > high ? x[k] : high;
            low = x[k] < low ? x[k] : low;
        }
        out = high - low > out ? high - low : out;
    }
    return out;
}

VARNIS_VECTOR_CLONES double largest_excursion_clones(const VectorView<const double>& x, long w,
                                                     long A, double* rows) {
    return largest_of_four_blocks(x, w, A, rows);
}

}  // namespace

double largest_excursion(const VectorView<const double>& x, long w, long A, double* rows) {
    return largest_excursion_clones(x, w, A, rows);
}

double largest_excursion_direct(const VectorView<const double>& x, long w, long A, long count) {
    return largest_excursion_direct_clones(x, w, A, count);
}

}  // namespace varnis
