// Power-law noise identification by the lag-1 autocorrelation.
//
// Fractionally integrated noise of order delta (spectrum ~ f^(-2 delta)) has the lag-1
// autocorrelation r1 = delta / (1 - delta) while it is stationary (delta < 1/2), so
// delta = r1 / (1 + r1); each difference lowers the order by one. The series is
// differenced until delta < 1/4 (at most twice), and the order of the data is
// delta + d. Gaps travel as NaN through decimation, averaging and differencing.
#include <cmath>
#include <limits>

#include "core/data_vector.h"
#include "core/scratch.h"
#include "varnisx.h"

namespace {

constexpr long kMinimumPoints = 32;
constexpr double kGap = std::numeric_limits<double>::quiet_NaN();

// The series at factor m: phase decimated, frequency averaged over blocks of m.
long series_at_factor(const varnis::VectorView<const double>& v, bool phase, long m,
                      double* out) {
    const long M = v.size();
    if (phase) {
        const long points = (M - 1) / m + 1;
        for (long j = 0; j < points; ++j) {
            const long k = v.first + j * m;
            out[j] = varnis::is_value(v, k, true) ? v[k] : kGap;
        }
        return points;
    }
    const long points = M / m;
    for (long j = 0; j < points; ++j) {
        double sum = 0.0;
        long used = 0;
        for (long k = v.first + j * m; k < v.first + (j + 1) * m; ++k)
            if (!varnis::is_gap(v[k])) {
                sum += v[k];
                ++used;
            }
        out[j] = used > 0 ? sum / static_cast<double>(used) : kGap;
    }
    return points;
}

// Lag-1 autocorrelation about the mean of the points without a gap; NaN without
// enough points or without variation.
double lag1_autocorrelation(const double* z, long points) {
    double sum = 0.0;
    long used = 0;
    for (long j = 0; j < points; ++j)
        if (!std::isnan(z[j])) {
            sum += z[j];
            ++used;
        }
    if (used < 3) return kGap;
    const double mean = sum / static_cast<double>(used);
    double variance = 0.0, covariance = 0.0;
    for (long j = 0; j < points; ++j) {
        if (std::isnan(z[j])) continue;
        const double a = z[j] - mean;
        variance += a * a;
        if (j + 1 < points && !std::isnan(z[j + 1])) covariance += a * (z[j + 1] - mean);
    }
    if (!(variance > 0.0)) return kGap;
    return covariance / variance;
}

}  // namespace

extern "C" VARNISX_API int CalcLag1NoiseID(const double* data, int dataType, int m, int* alpha,
                                           double* estimate) {
    const auto v = varnis::read_window(data);
    if (!v || alpha == nullptr || m < 1 || (dataType != 0 && dataType != 1)) return -1;
    const bool phase = dataType == 0;
    const long capacity = v->size() / m + 1;
    if (capacity < kMinimumPoints) return -1;
    varnis::ScratchArray<double> z(static_cast<std::size_t>(capacity));
    if (!z.ok()) return -1;
    const long points = series_at_factor(*v, phase, m, z.data());
    long readings = 0;
    for (long j = 0; j < points; ++j) readings += !std::isnan(z[j]);
    if (readings < kMinimumPoints) return -1;

    long differences = 0, length = points;
    double delta = 0.0;
    for (;;) {
        const double r1 = lag1_autocorrelation(z.data(), length);
        if (std::isnan(r1)) return -1;
        delta = 1.0 + r1 > 0.0 ? r1 / (1.0 + r1) : -std::numeric_limits<double>::infinity();
        if (delta < 0.25 || differences == 2) break;
        for (long j = 0; j + 1 < length; ++j) z[j] = z[j + 1] - z[j];  // NaN stays NaN
        --length;
        ++differences;
    }
    const double order = delta + static_cast<double>(differences);
    const double value = phase ? 2.0 - 2.0 * order : -2.0 * order;
    const double rounded = std::floor(value + 0.5);
    *alpha = static_cast<int>(rounded < -4.0 ? -4.0 : (rounded > 2.0 ? 2.0 : rounded));
    if (estimate != nullptr) *estimate = value;
    return static_cast<int>(points);
}
