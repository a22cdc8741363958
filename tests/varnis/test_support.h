// Helpers shared by the library's tests: building data vectors and power-law noise.
#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace testing_support {

// A data vector holding `samples` with the window first..last (1-based; 0 = whole).
inline std::vector<double> make_vector(const std::vector<double>& samples, long first = 0,
                                       long last = 0) {
    std::vector<double> v;
    v.reserve(samples.size() + 3);
    const double n = static_cast<double>(samples.size());
    v.push_back(n);
    v.push_back(first > 0 ? static_cast<double>(first) : 1.0);
    v.push_back(last > 0 ? static_cast<double>(last) : n);
    v.insert(v.end(), samples.begin(), samples.end());
    return v;
}

// The samples of a data vector (elements [3] on).
inline std::vector<double> samples_of(const std::vector<double>& v) {
    return std::vector<double>(v.begin() + 3, v.end());
}

inline void fft(std::vector<std::complex<double>>& a, bool inverse) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double ang = 2.0 * M_PI / static_cast<double>(len) * (inverse ? 1.0 : -1.0);
        const std::complex<double> wl(std::cos(ang), std::sin(ang));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1.0);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const auto u = a[i + k], t = a[i + k + len / 2] * w;
                a[i + k] = u + t;
                a[i + k + len / 2] = u - t;
                w *= wl;
            }
        }
    }
    if (inverse)
        for (auto& c : a) c /= static_cast<double>(n);
}

// Power-law noise with phase-spectrum exponent beta (0 white phase ... -4 random-run
// frequency), by filtering white Gaussian noise with the fractional-integration
// filter h[0] = 1, h[k] = h[k-1] (k - 1 - beta/2) / k. Returned as phase samples in
// units of `scale`; independent of the library's own generator.
inline std::vector<double> power_law_phase(std::size_t count, double beta, std::uint64_t seed,
                                           double scale = 1.0) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::size_t size = 1;
    while (size < 2 * count) size <<= 1;
    std::vector<std::complex<double>> h(size), w(size);
    double hk = 1.0;
    for (std::size_t k = 0; k < count; ++k) {
        if (k > 0) hk *= (static_cast<double>(k) - 1.0 - beta / 2.0) / static_cast<double>(k);
        h[k] = hk;
        w[k] = normal(rng);
    }
    fft(h, false);
    fft(w, false);
    for (std::size_t i = 0; i < size; ++i) h[i] *= w[i];
    fft(h, true);
    std::vector<double> x(count);
    for (std::size_t k = 0; k < count; ++k) x[k] = h[k].real() * scale;
    return x;
}

// Least-squares slope of y against x (at least two distinct x).
inline double least_squares_slope(const std::vector<double>& x, const std::vector<double>& y) {
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    const double m = static_cast<double>(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    return (m * sxy - sx * sy) / (m * sxx - sx * sx);
}

// A random record around `offset` with a share `gap_share` of gaps, one at each end,
// a stretch of gaps and a stretch of a repeated value (where frequency terms sum to
// exactly 0.0).
inline std::vector<double> gappy_record(std::size_t count, std::uint64_t seed, double offset,
                                        double gap_share = 0.05) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> noise(0.0, 1e-9);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> v(count);
    for (auto& s : v) s = unit(rng) < gap_share ? 0.0 : offset + noise(rng);
    v.front() = 0.0;
    v.back() = 0.0;
    for (std::size_t k = count / 3; k < count / 3 + 12; ++k) v[k] = 0.0;
    for (std::size_t k = count / 2; k < count / 2 + 15; ++k) v[k] = offset + 3e-9;
    return v;
}

// Samples of a window first..last (at least 3002 samples long) to make single gaps
// of, for the routines whose sums slide over gap-free stretches of 256 samples
// without testing each sample: next to each other, at both sides of a multiple of
// 256 samples from the window start, inside, and at the window's ends.
inline std::vector<long> isolated_gap_samples(long first, long last) {
    return {first, 9, 262, 263, 519, 1800, 3001, last - 1, last};
}

// Averaging factors for those records: small, at both sides of the 256-sample
// stretch, and large.
inline const std::vector<long>& stretch_edge_factors() {
    static const std::vector<long> factors = {1, 2, 3, 85, 255, 256, 257, 600, 1661};
    return factors;
}

// The records the vectorised paths are checked on, `count` samples each: noise without
// gaps; noise with 2 % gaps, a run of gaps, a stretch of one repeated value and 0.0 at
// both ends; and 1e-12 s of noise on a 1e-3 s offset.
struct KernelRecord {
    const char* kind;
    std::vector<double> samples;
};

inline std::vector<KernelRecord> kernel_records(std::size_t count, std::uint64_t seed) {
    auto offset = power_law_phase(count, -2.0, seed + 2, 1e-12);
    for (double& s : offset) s += 1e-3;
    return {{"gap-free", power_law_phase(count, -2.0, seed, 1e-9)},
            {"gappy", gappy_record(count, seed + 1, 1e-6, 0.02)},
            {"offset", offset}};
}

// The samples of a record as the oracles read them: sample k (1-based) in extended
// precision, less the first sample that is not 0.0. Every statistic checked is built
// from differences, from which the reference cancels, so an offset in the record
// costs the oracle no precision. gap(k): whether sample k is 0.0.
class RelativeSamples {
public:
    explicit RelativeSamples(const std::vector<double>& samples) : samples_(samples) {
        for (double s : samples)
            if (s != 0.0) {
                reference_ = s;
                break;
            }
    }
    long double operator()(long k) const { return relative(samples_[static_cast<std::size_t>(k - 1)]); }
    // Any value as the oracles read it.
    long double relative(double value) const {
        return static_cast<long double>(value) - reference_;
    }
    bool gap(long k) const { return samples_[static_cast<std::size_t>(k - 1)] == 0.0; }

private:
    const std::vector<double>& samples_;
    double reference_ = 0.0;
};

// One case of the kernel checks: a kind of record, its data vector (window first ..
// last) and an averaging factor.
struct KernelCase {
    const KernelRecord& record;
    const std::vector<double>& v;
    long first;
    long last;
    long m;
    std::string name() const {
        return std::string(record.kind) + " of " + std::to_string(record.samples.size()) +
               " samples, m " + std::to_string(m);
    }
};

// Calls check(KernelCase) for every kind of record: 40000 samples (long enough for the
// side-by-side loops) with the factors `small`, 3000 samples (the shorter last groups)
// with the factors `large`; the window leaves out two samples at each end.
template <class Check>
void for_each_kernel_case(std::uint64_t seed, const std::vector<long>& small,
                          const std::vector<long>& large, Check&& check) {
    for (const long count : {40000L, 3000L}) {
        for (const auto& record : kernel_records(static_cast<std::size_t>(count), seed)) {
            const auto v = make_vector(record.samples, 3, count - 2);
            for (const long m : count == 40000 ? small : large)
                check(KernelCase{record, v, 3, count - 2, m});
        }
    }
}

// The five classic power-law noises by their phase exponent beta.
inline const std::vector<double>& noise_betas() {
    static const std::vector<double> betas = {0.0, -1.0, -2.0, -3.0, -4.0};
    return betas;
}

}  // namespace testing_support
