// Gaps and outliers: counting and filling gaps (double and float records) and
// flagging wild points of frequency data.
#include "conditioning/gap_filling.h"
#include "core/data_vector.h"
#include "varnis.h"

using namespace varnis;

extern "C" int CountGaps(const double* data, int mode) {
    const auto v = read_window(data, WindowRule::MayBeEmpty);
    const auto phase = phase_mode(mode);
    if (!v || !phase) return -1;
    // The first and last samples of a phase window may legitimately be 0.0.
    const long from = *phase ? v->first + 1 : v->first;
    const long to = *phase ? v->last - 1 : v->last;
    long gaps = 0;
    for (long k = from; k <= to; ++k) {
        if (is_gap((*v)[k])) ++gaps;
    }
    return static_cast<int>(gaps);
}

namespace {

template <class T>
int fill_record(T* data, int mode) {
    auto v = read_window(data, WindowRule::MayBeEmpty);
    const auto phase = phase_mode(mode);
    if (!v || !phase) return -1;
    return static_cast<int>(fill_gaps(*v, *phase));
}

}  // namespace

extern "C" int FillGaps(double* data, int mode) { return fill_record(data, mode); }

extern "C" int FillFloatGaps(float* data, int mode) { return fill_record(data, mode); }

extern "C" int FindFreqOutliers(double* data, float factor, int remove) {
    const auto y = read_window(data);
    if (!y) return -1;
    double mean = 0.0, sd = 0.0;
    // Mean and deviation are taken once, before anything is removed; both need at
    // least two valid values.
    if (CalcMean(data, &mean, 1) < 0 || CalcFreqStdDev(data, &sd) < 0) return -1;
    const double lo = mean - static_cast<double>(factor) * sd;
    const double hi = mean + static_cast<double>(factor) * sd;
    long outliers = 0;
    for (long k = y->first; k <= y->last; ++k) {
        const double value = (*y)[k];
        if (is_gap(value) || (value >= lo && value <= hi)) continue;
        ++outliers;
        if (remove != 0) (*y)[k] = 0.0;
    }
    return static_cast<int>(outliers);
}
