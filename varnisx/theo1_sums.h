// The Theo1 sums shared by Theo1, TheoBR and TheoH.
//
// For an even factor m the Theo1 numerator of a record z_0 .. z_{M-1} is
//   T(m) = sum_{k=1}^{m/2} (1/k) sum_{i=0}^{M-m-1} ((z[i+m] - z[i+m-k]) - (z[i+k] - z[i]))^2,
// and Theo1^2 = T(m) / (0.75 (M - m) (m tau0)^2).
#pragma once

#include <optional>

#include "core/data_vector.h"
#include "core/progress.h"
#include "core/scratch.h"

namespace varnisx {

// The window's phase prepared for the Theo1 sums: interior 0.0 samples bridged by a
// straight line between the nearest readings (the window's first and last samples are
// readings), then rebuilt from its first differences less their mean, starting at 0.
// Theo1 ignores a straight line added to the phase, and this removes the time and
// frequency offsets before anything is squared. Empty when memory cannot be had.
varnis::ScratchArray<double> centred_phase(const varnis::VectorView<const double>& v);

// True when factors[0 .. count-1] are strictly increasing even factors from 10 to M - 1.
bool valid_theo1_factors(const int* factors, long count, long M);

// The window of a Theo1 sweep's data vector, or nothing when the sweep's arguments are
// refused (header, null arrays, count < 1, tau0 not positive, factors).
std::optional<varnis::VectorView<const double>> theo1_sweep_window(const double* data, double tau0,
                                                                   const int* factors, int count,
                                                                   const double* deviations);

// Numerators T(factors[r]) into sums[r] for strictly increasing valid factors, by the
// cheaper of the direct sum and the per-lag sums. Reads the stop flag after each lag
// or factor and reports progress through `progress`. Returns the number of leading
// factors finished (count unless stopped), or -1 when memory cannot be had.
long theo1_sums(const double* z, long M, const int* factors, long count, double* sums,
                const int* stop, varnis::ProgressReporter& progress);

// The direct sum T(m) for one factor, about (M - m) m / 2 operations.
double theo1_direct_sum(const double* z, long M, long m);

// Theo1 deviation from its numerator.
double theo1_deviation(double sum, long M, long m, double tau0);

}  // namespace varnisx
