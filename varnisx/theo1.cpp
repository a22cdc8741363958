// Theo1 deviation, per factor and as a sweep.
#include <cmath>

#include "theo1_sums.h"
#include "varnisx.h"

using varnis::ScratchArray;

extern "C" VARNISX_API int CalcTheo1Dev(const double* data, double* deviation, double tau0,
                                        int m) {
    const auto v = varnis::read_window(data);
    if (!v || deviation == nullptr || !varnis::positive(tau0)) return -1;
    const long M = v->size();
    const int factor[1] = {m};
    if (!varnisx::valid_theo1_factors(factor, 1, M)) return -1;
    const auto z = varnisx::centred_phase(*v);
    if (!z.ok()) return -1;
    *deviation = varnisx::theo1_deviation(varnisx::theo1_direct_sum(z.data(), M, m), M, m, tau0);
    return static_cast<int>(M - m);
}

extern "C" VARNISX_API int CalcTheo1Sweep(const double* data, double tau0, const int* factors,
                                          int count, double* deviations, int* windows,
                                          const int* stop, int progress,
                                          VarnisProgressCallback callback) {
    const auto v = varnisx::theo1_sweep_window(data, tau0, factors, count, deviations);
    if (!v) return -1;
    const long M = v->size();
    const auto z = varnisx::centred_phase(*v);
    ScratchArray<double> sums(static_cast<std::size_t>(count));
    if (!z.ok() || !sums.ok()) return -1;

    varnis::ProgressReporter reporter(callback, progress != 0, "Calculating Theo1", 0, 1);
    reporter.open();
    const long done = varnisx::theo1_sums(z.data(), M, factors, count, sums.data(), stop, reporter);
    reporter.close();
    if (done < 0) return -1;
    for (long r = 0; r < done; ++r) {
        deviations[r] = varnisx::theo1_deviation(sums[r], M, factors[r], tau0);
        if (windows != nullptr) windows[r] = static_cast<int>(M - factors[r]);
    }
    return static_cast<int>(done);
}
