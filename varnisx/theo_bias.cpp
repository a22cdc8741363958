// TheoBR (Theo1 with its bias removed for the record at hand) and TheoH (the Allan
// deviation up to a switch-over factor, TheoBR beyond it).
//
// The bias-removal ratio is the mean of AVAR(9 + 3i) / Theo1^2(12 + 4i), i = 0 .. k,
// k = floor(M / 30) - 3: pairs at the same averaging time (0.75 (12 + 4i) = 9 + 3i
// sampling intervals), the Allan factors reaching a tenth of the record, as in the
// published correction. Its Theo1 factors are computed in the same per-lag passes as
// the factors the caller asks for.
#include <algorithm>
#include <cmath>
#include <limits>

#include "theo1_sums.h"
#include "varnisx.h"

using varnis::ScratchArray;

namespace {

constexpr long kMinimumRecord = 90;  // k >= 0

long ratio_pair_count(long M) { return M / 30 - 3 + 1; }
long ratio_theo1_factor(long i) { return 12 + 4 * i; }
int ratio_allan_factor(long i) { return static_cast<int>(9 + 3 * i); }

// The Theo1 factors of one run: the caller's (strictly increasing) and the ratio's,
// merged in increasing order without repeats.
struct FactorSet {
    ScratchArray<int> factors;
    long count = 0;
    explicit FactorSet(long capacity) : factors(static_cast<std::size_t>(capacity)) {}
    long index_of(long m) const {
        for (long r = 0; r < count; ++r)
            if (factors[r] == m) return r;
        return -1;
    }
};

void merge_with_ratio_factors(const int* wanted, long wanted_count, long pairs, FactorSet& set) {
    long a = 0, i = 0;
    set.count = 0;
    while (a < wanted_count || i < pairs) {
        const long next_wanted = a < wanted_count ? wanted[a] : std::numeric_limits<long>::max();
        const long next_ratio = i < pairs ? ratio_theo1_factor(i) : std::numeric_limits<long>::max();
        const long m = std::min(next_wanted, next_ratio);
        if (next_wanted == m) ++a;
        if (next_ratio == m) ++i;
        if (set.count == 0 || set.factors[set.count - 1] != m)
            set.factors[set.count++] = static_cast<int>(m);
    }
}

// The ratio from the Theo1 numerators of `set`; -1 when no pair is usable.
long bias_ratio(const double* data, long M, const FactorSet& set, const double* sums,
                double* ratio) {
    double total = 0.0;
    long used = 0;
    for (long i = 0; i < ratio_pair_count(M); ++i) {
        const long m = ratio_theo1_factor(i);
        double adev = 0.0;
        if (CalcPhaseOverlapSigma(data, &adev, 1.0, ratio_allan_factor(i)) < 0) continue;
        const double theo1 = varnisx::theo1_deviation(sums[set.index_of(m)], M, m, 1.0);
        if (!(theo1 > 0.0)) continue;
        total += (adev * adev) / (theo1 * theo1);
        ++used;
    }
    if (used == 0) return -1;
    *ratio = total / static_cast<double>(used);
    return used;
}

// The progress of one call: its title and the caller's flag and callback.
struct Progress {
    const char* title;
    int enabled;
    VarnisProgressCallback callback;
};

// Theo1 numerators of the merged factors of `wanted` and of the ratio, then the ratio,
// between the opening and closing progress calls. Returns the number of ratio pairs
// used, 0 when stopped, -1 on failure.
long theo1_sums_with_ratio(const double* data, const varnis::VectorView<const double>& v,
                           const int* wanted, long wanted_count, FactorSet& set,
                           ScratchArray<double>& sums, double* ratio, const int* stop,
                           const Progress& progress) {
    varnis::ProgressReporter reporter(progress.callback, progress.enabled != 0, progress.title, 0, 1);
    reporter.open();
    const long M = v.size();
    merge_with_ratio_factors(wanted, wanted_count, ratio_pair_count(M), set);
    const auto z = varnisx::centred_phase(v);
    long done = -1;
    if (z.ok() && sums.ok() && set.factors.ok())
        done = varnisx::theo1_sums(z.data(), M, set.factors.data(), set.count, sums.data(), stop,
                                   reporter);
    reporter.close();
    if (done < 0) return -1;
    if (done < set.count) return 0;
    return bias_ratio(data, M, set, sums.data(), ratio);
}

}  // namespace

extern "C" VARNISX_API int CalcTheoBRRatio(const double* data, double* ratio, const int* stop,
                                           int progress, VarnisProgressCallback callback) {
    const auto v = varnis::read_window(data);
    if (!v || ratio == nullptr || v->size() < kMinimumRecord) return -1;
    const long pairs = ratio_pair_count(v->size());
    FactorSet set(pairs);
    ScratchArray<double> sums(static_cast<std::size_t>(pairs));
    double value = 0.0;
    const long used = theo1_sums_with_ratio(data, *v, nullptr, 0, set, sums, &value, stop,
                                            {"Calculating TheoBR", progress, callback});
    if (used > 0) *ratio = value;
    return static_cast<int>(used);
}

extern "C" VARNISX_API int CalcTheoBRSweep(const double* data, double tau0, const int* factors,
                                           int count, double* deviations, int* windows,
                                           double* ratio, const int* stop, int progress,
                                           VarnisProgressCallback callback) {
    const auto v = varnisx::theo1_sweep_window(data, tau0, factors, count, deviations);
    if (!v || v->size() < kMinimumRecord) return -1;
    const long M = v->size();
    const long capacity = count + ratio_pair_count(M);
    FactorSet set(capacity);
    ScratchArray<double> sums(static_cast<std::size_t>(capacity));
    double value = 0.0;
    const long used = theo1_sums_with_ratio(data, *v, factors, count, set, sums, &value, stop,
                                            {"Calculating TheoBR", progress, callback});
    if (used <= 0) return static_cast<int>(used);
    const double scale = std::sqrt(value);
    for (long r = 0; r < count; ++r) {
        const long m = factors[r];
        deviations[r] = scale * varnisx::theo1_deviation(sums[set.index_of(m)], M, m, tau0);
        if (windows != nullptr) windows[r] = static_cast<int>(M - m);
    }
    if (ratio != nullptr) *ratio = value;
    return count;
}

namespace {

// The even Theo1 factor nearest to 4 af / 3: 2 floor(2 af / 3 + 1/2).
long theo1_factor_for(long af) { return 2 * ((4 * af + 3) / 6); }

}  // namespace

extern "C" VARNISX_API int CalcTheoHSweep(const double* data, double tau0, const int* afs,
                                          int count, int switchFactor, double* deviations,
                                          double* taus, int* terms, int* kinds,
                                          const int* stop, int progress,
                                          VarnisProgressCallback callback) {
    const auto v = varnis::read_window(data);
    if (!v || afs == nullptr || deviations == nullptr || count < 1 || !varnis::positive(tau0))
        return -1;
    const long M = v->size();
    const long switch_factor = switchFactor > 0 ? switchFactor : M / 10;
    // The Theo1 factors of the TheoBR rows, in increasing order without repeats.
    ScratchArray<int> theo_factors(static_cast<std::size_t>(count));
    if (!theo_factors.ok()) return -1;
    long theo_count = 0;
    for (long r = 0; r < count; ++r) {
        const long af = afs[r];
        if (af < 1 || (r > 0 && af <= afs[r - 1])) return -1;
        if (af <= switch_factor) {
            if (2 * af > M) return -1;
            continue;
        }
        const long m = theo1_factor_for(af);
        if (m < 10 || m > M - 1 || M < kMinimumRecord) return -1;
        if (theo_count == 0 || theo_factors[theo_count - 1] != m)
            theo_factors[theo_count++] = static_cast<int>(m);
    }

    const long capacity = theo_count + (M >= kMinimumRecord ? ratio_pair_count(M) : 0);
    FactorSet set(capacity);
    ScratchArray<double> sums(static_cast<std::size_t>(capacity));
    double ratio = 0.0;
    long used = 1;
    if (theo_count > 0)
        used = theo1_sums_with_ratio(data, *v, theo_factors.data(), theo_count, set, sums, &ratio,
                                     stop, {"Calculating TheoH", progress, callback});
    if (used <= 0) return static_cast<int>(used);

    for (long r = 0; r < count; ++r) {
        const long af = afs[r];
        double deviation = std::numeric_limits<double>::quiet_NaN(), tau = 0.0;
        long behind = 0;
        if (af <= switch_factor) {
            double adev = 0.0;
            const int n = CalcPhaseOverlapSigma(data, &adev, tau0, static_cast<int>(af));
            if (n > 0) {
                deviation = adev;
                behind = n;
            }
            tau = static_cast<double>(af) * tau0;
        } else {
            const long m = theo1_factor_for(af);
            deviation = std::sqrt(ratio) *
                        varnisx::theo1_deviation(sums[set.index_of(m)], M, m, tau0);
            behind = M - m;
            tau = 0.75 * static_cast<double>(m) * tau0;
        }
        deviations[r] = deviation;
        if (taus != nullptr) taus[r] = tau;
        if (terms != nullptr) terms[r] = static_cast<int>(behind);
        if (kinds != nullptr) kinds[r] = af <= switch_factor ? 0 : 1;
    }
    return count;
}
