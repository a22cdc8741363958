// The record a spectrum is taken from, prepared the same way for the periodogram and
// the multitaper spectrum: the samples in single precision, gaps filled, the record
// shortened by the gaps at its ends, the mean removed.
#pragma once

#include "core/data_vector.h"

namespace varnis {

// Copies `count` samples of the window, from its first sample on, into `buffer` as a
// float data vector (header at buffer[0 .. 2]) and fills its gaps with
// FillFloatGaps(gap_mode). Gaps cut off at either end shorten the record: the samples
// that remain are moved to buffer[0 .. kept - 1] and, when there are at least two,
// their mean is removed (summed in double). Returns kept, the number of samples left
// (count when the filling leaves no count between 1 and count). The window must hold
// `count` samples from its first on; buffer holds at least count + 3 floats.
long prepare_spectrum_record(const VectorView<const double>& x, long count, int gap_mode,
                             float* buffer);

}  // namespace varnis
