// Robust statistics of a window: the median and the normalised median absolute
// deviation. Both work on scratch copies; the caller's record is never changed.
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "conditioning/gap_filling.h"
#include "core/data_vector.h"
#include "core/scratch.h"
#include "varnis.h"

namespace varnis {
namespace {

// Below this window length the median is taken from the gap-filled record (an even
// count averages the two middle values); from it on by single-precision selection
// among the window's values (an even count gives the lower middle value).
constexpr long kSelectionFrom = 100;

// Median absolute deviation of a unit normal distribution.
constexpr double kMadScale = 0.6745;

// Median of count values, which it reorders: the middle value of the sorted order,
// or the mean of the two middle values for an even count. Selection gives the same
// values as a full sort at linear cost.
double median_of(double* values, std::size_t count) {
    const std::size_t mid = count / 2;
    std::nth_element(values, values + mid, values + count);
    if (count % 2 == 1) return values[mid];
    const double lower = *std::max_element(values, values + mid);
    return (lower + values[mid]) / 2.0;
}

// A 0.0 at the first or last position of a phase window is a reading, not a gap.
template <class T>
bool window_value(const VectorView<T>& v, long k, bool phase) {
    if (!is_gap(v[k])) return true;
    return phase && (k == v.first || k == v.last);
}

// Copies the whole record into scratch, fills the copy's gaps in the given mode and
// packs the window's remaining values to the front of the copy's sample area.
// Returns the number of values packed, or -1 when memory cannot be had.
long gather_filled_window(const VectorView<const double>& source, bool phase,
                          ScratchArray<double>& copy) {
    if (!copy.ok()) return -1;
    std::copy(source.base, source.base + source.count + 3, copy.data());
    auto v = *read_window(copy.data(), WindowRule::MayBeEmpty);
    fill_gaps(v, phase);
    double* packed = copy.data() + 3;
    long count = 0;
    for (long k = v.first; k <= v.last; ++k) {
        if (window_value(v, k, phase)) packed[count++] = v[k];
    }
    return count;
}

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int FindMedian(const double* data, int mode, double* median) {
    const auto v = read_window(data);
    const auto phase = phase_mode(mode);
    if (!v || !phase || median == nullptr) return -1;
    const long n = v->size();

    if (n < kSelectionFrom) {
        ScratchArray<double> copy(static_cast<std::size_t>(v->count) + 3);
        const long count = gather_filled_window(*v, *phase, copy);
        if (count < 0) {
            *median = 0.0;
            return -1;
        }
        if (count == 0) return -1;
        *median = median_of(copy.data() + 3, static_cast<std::size_t>(count));
        return 0;
    }

    // Selection in single precision over the window as it stands: the lower middle
    // value for an even count.
    ScratchArray<float> values(static_cast<std::size_t>(n));
    if (!values.ok()) {
        *median = 0.0;
        return -1;
    }
    long count = 0;
    for (long k = v->first; k <= v->last; ++k) {
        if (!window_value(*v, k, *phase)) continue;
        values[static_cast<std::size_t>(count++)] = static_cast<float>((*v)[k]);
    }
    if (count == 0) return -1;
    const long kth = (count + 1) / 2 - 1;
    std::nth_element(values.data(), values.data() + kth, values.data() + count);
    *median = static_cast<double>(values[static_cast<std::size_t>(kth)]);
    return 0;
}

extern "C" int MedDev(const double* data, float* result) {
    const auto v = read_window(data);
    if (!v || result == nullptr) return -1;
    ScratchArray<double> copy(static_cast<std::size_t>(v->count) + 3);
    const long count = gather_filled_window(*v, false, copy);
    if (count < 0) return 1;  // the routine's own value for exhausted memory
    if (count == 0) return -1;
    double* values = copy.data() + 3;
    const double centre = median_of(values, static_cast<std::size_t>(count));
    for (long i = 0; i < count; ++i) values[i] = std::fabs(values[i] - centre) / kMadScale;
    *result = static_cast<float>(median_of(values, static_cast<std::size_t>(count)));
    return static_cast<int>(v->size());
}
