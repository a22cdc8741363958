#include "spectrum/spectrum_record.h"

#include "varnis.h"

namespace varnis {

long prepare_spectrum_record(const VectorView<const double>& x, long count, int gap_mode,
                             float* buffer) {
    buffer[0] = static_cast<float>(count);
    buffer[1] = 1.0f;
    buffer[2] = static_cast<float>(count);
    for (long i = 0; i < count; ++i) buffer[3 + i] = static_cast<float>(x[x.first + i]);
    FillFloatGaps(buffer, gap_mode);
    long kept = static_cast<long>(buffer[0]);
    if (kept < 1 || kept > count) kept = count;

    for (long i = 0; i < kept; ++i) buffer[i] = buffer[i + 3];
    if (kept >= 2) {
        double sum = 0.0;
        for (long i = 0; i < kept; ++i) sum += buffer[i];
        const double mean = sum / static_cast<double>(kept);
        for (long i = 0; i < kept; ++i) buffer[i] = static_cast<float>(buffer[i] - mean);
    }
    return kept;
}

}  // namespace varnis
