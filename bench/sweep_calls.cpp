// The library calls that one tau sweep of the Python package makes (varnis.oadev and
// the others over octave averaging factors of a phase record), made from C++: the data
// vector built once, then per averaging factor the statistic, the noise identification
// (lag-1 of the frequency averaged over blocks, read from the phase, else B1), the
// degrees of freedom and the two chi-square quantiles, the factors shared by a number
// of threads. bench_python_sweeps.py loads this module and
// times it against the same sweep from Python.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "varnis.h"
#include "varnisx.h"

namespace {

enum Statistic { OADEV, MDEV, OHDEV, TOTDEV };

constexpr float kBandwidthFactor = 3.14159265358979f;
constexpr int kMinAverages = 4;
constexpr double kConfidence = 0.683;

struct Row {
    int m = 0;
    double deviation = 0.0;
    int terms = 0;
    int alpha = 0;
    bool identified = false;
};

long samples_of(const std::vector<double>& v) { return static_cast<long>(v[0]); }

// Every m-th sample of the phase, ending at its last sample that is not a gap.
std::vector<double> block_ends(const std::vector<double>& phase, int m) {
    const long n = samples_of(phase);
    long k = (n - 1) / m + 1;
    while (phase[3 + (k - 1) * m] == 0.0) --k;
    std::vector<double> v;
    v.reserve(k + 3);
    v.insert(v.end(), {static_cast<double>(k), 1.0, static_cast<double>(k)});
    for (long i = 0; i < k; ++i) v.push_back(phase[3 + i * m]);
    return v;
}

double overlapping_allan(const std::vector<double>& phase, int m, double tau0) {
    double sigma = 0.0;
    return CalcPhaseOverlapSigma(phase.data(), &sigma, tau0, m) < 0 ? NAN : sigma;
}

double modified_allan(const std::vector<double>& phase, int m, double tau0) {
    double sigma = 0.0;
    return CalcPhaseModSigma(phase.data(), &sigma, m * tau0, m, nullptr, 0, nullptr) < 0 ? NAN : sigma;
}

int phase_noise(const std::vector<double>& phase, const Row& row, Statistic statistic, double tau0) {
    const int n = std::max(row.m, 2);
    const long count = samples_of(phase);
    if (count < 3L * n) return 1;
    const double mod = statistic == MDEV && n == row.m ? row.deviation : modified_allan(phase, n, tau0);
    const double allan = statistic == OADEV && n == row.m ? row.deviation : overlapping_allan(phase, n, tau0);
    if (!(allan > 0.0) || std::isnan(mod)) return 1;
    const double ratio = (mod / allan) * (mod / allan);
    return NoiseID(static_cast<int>(count), 2, n, kBandwidthFactor, static_cast<float>(ratio)) == 2 ? 2 : 1;
}

void identify(const std::vector<double>& phase, Row& row, Statistic statistic, double tau0) {
    int lag1 = 0;
    if (CalcLag1NoiseID(phase.data(), 2, row.m, &lag1, nullptr) > 0) {
        row.alpha = lag1 >= 1 ? phase_noise(phase, row, statistic, tau0) : lag1;
        row.identified = true;
        return;
    }
    std::vector<double> decimated;
    if (row.m > 1) decimated = block_ends(phase, row.m);
    const double* blocks = row.m > 1 ? decimated.data() : phase.data();
    const double tau = row.m * tau0;
    double deviation = 0.0, allan = 0.0;
    const int used = CalcPhaseStdDev(blocks, &deviation, tau);
    if (used < kMinAverages || CalcPhaseSigma(blocks, &allan, tau) < 0 || !(allan > 0.0)) return;
    const double b1 = (deviation / allan) * (deviation / allan);
    int alpha = NoiseID(used, 0, row.m, kBandwidthFactor, static_cast<float>(b1));
    if (alpha == 1) {
        alpha = phase_noise(phase, row, statistic, tau0);
    } else if (alpha == -3 && statistic == OHDEV) {
        const float star = CalcStarB1(blocks, 0, tau, 1);
        if (star > 0.0f && NoiseID(used, 4, row.m, kBandwidthFactor, star) == -4) alpha = -4;
    }
    row.alpha = alpha;
    row.identified = true;
}

void compute(const std::vector<double>& phase, Row& row, Statistic statistic, double tau0) {
    double value = 0.0;
    switch (statistic) {
        case OADEV: row.terms = CalcPhaseOverlapSigma(phase.data(), &value, tau0, row.m); break;
        case MDEV:
            row.terms = CalcPhaseModSigma(phase.data(), &value, row.m * tau0, row.m, nullptr, 0, nullptr);
            break;
        case OHDEV: row.terms = CalcPhaseOverlapHadamardDev(phase.data(), &value, tau0, row.m); break;
        case TOTDEV: row.terms = TotvarCalc(phase.data(), &value, tau0, row.m, 0); break;
    }
    row.deviation = value;
    identify(phase, row, statistic, tau0);
}

double edf(Statistic statistic, long n, int m, int alpha) {
    switch (statistic) {
        case OADEV: return CalcDegFree(std::clamp(alpha, -2, 2), static_cast<int>(n), m);
        case MDEV: return EDF(std::clamp(alpha, -2, 2) - 2, m, static_cast<int>(n));
        case OHDEV: return HadamardEDF(static_cast<int>(n), m, std::clamp(alpha, -4, 0) - 2);
        case TOTDEV: return TotvarEDF(std::clamp(alpha, -2, 0), static_cast<float>(n - 1) / m);
    }
    return -1.0;
}

long limit(Statistic statistic, long n) {
    switch (statistic) {
        case OADEV: return (n - 1) / 2;
        case MDEV: return n / 3;
        case OHDEV: return (n - 1) / 3;
        case TOTDEV: return (n - 1) / 2;
    }
    return 0;
}

}  // namespace

// Sweeps `statistic` (0 oadev, 1 mdev, 2 ohdev, 3 totdev) over the octave factors of
// `count` phase samples (tau0 = 1 s) on `workers` threads; writes the deviations and the
// upper confidence limits to out (two per row) and returns the number of rows.
extern "C" int sweep_calls(const double* samples, long count, int statistic, int workers,
                           double* out) {
    const auto s = static_cast<Statistic>(statistic);
    const double tau0 = 1.0;
    std::vector<double> phase;
    phase.reserve(count + 3);
    phase.insert(phase.end(), {static_cast<double>(count), 1.0, static_cast<double>(count)});
    phase.insert(phase.end(), samples, samples + count);

    std::vector<Row> rows;
    for (long m = 1; m <= limit(s, count); m *= 2) rows.push_back(Row{static_cast<int>(m)});
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < rows.size(); i = next++) compute(phase, rows[i], s, tau0);
    };
    std::vector<std::thread> pool;
    for (int w = 1; w < workers; ++w) pool.emplace_back(work);
    work();
    for (auto& t : pool) t.join();

    int alpha = 0;
    for (const Row& row : rows) {
        if (row.identified) {
            alpha = row.alpha;
            break;
        }
    }
    const float tail = static_cast<float>((1.0 - kConfidence) / 2.0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].identified) alpha = rows[i].alpha;
        const double dof = edf(s, count, rows[i].m, alpha);
        double upper = NAN;
        if (dof > 0.0) {
            const float high = CalcInvChiSqr(tail, static_cast<float>(dof));
            const float low = CalcInvChiSqr(1.0f - tail, static_cast<float>(dof));
            if (high > 0.0f && low > 0.0f) upper = rows[i].deviation * std::sqrt(dof / low);
        }
        out[2 * i] = rows[i].deviation;
        out[2 * i + 1] = upper;
    }
    return static_cast<int>(rows.size());
}
