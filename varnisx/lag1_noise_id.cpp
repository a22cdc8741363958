// Power-law noise identification by the lag-1 autocorrelation.
//
// Fractionally integrated noise of order delta (spectrum ~ f^(-2 delta)) has the lag-1
// autocorrelation r1 = delta / (1 - delta) while it is stationary (delta < 1/2), so
// delta = r1 / (1 + r1); each difference lowers the order by one. The series is
// differenced until delta < 1/4 (at most twice), and the order of the data is
// delta + d. Gaps travel as NaN through decimation, averaging and differencing.
//
// The series is never stored: each pass over it computes its points again from the
// data vector, so the identification needs no memory of the record's size and costs a
// few passes over the N / m points (or the N samples a frequency average reads).
#include <cmath>
#include <limits>

#include "core/data_vector.h"
#include "varnisx.h"

namespace {

constexpr long kMinimumPoints = 32;
constexpr double kGap = std::numeric_limits<double>::quiet_NaN();

enum class Series { kDecimatedPhase = 0, kAveragedFrequency = 1, kPhaseBlockFrequency = 2 };

// The series at factor m, differenced `differences` times, read point by point.
class FactorSeries {
public:
    FactorSeries(const varnis::VectorView<const double>& v, Series kind, long m)
        : v_(v), kind_(kind), m_(m) {}

    // Points before any difference.
    long base_points() const {
        const long M = v_.size();
        switch (kind_) {
            case Series::kDecimatedPhase: return (M - 1) / m_ + 1;
            case Series::kAveragedFrequency: return M / m_;
            case Series::kPhaseBlockFrequency: return (M - 1) / m_;
        }
        return 0;
    }

    // Starts a pass over the series differenced `differences` (0 .. 2) times.
    void begin(int differences) {
        differences_ = differences;
        next_ = 0;
        for (int k = 0; k < differences; ++k) window_[k + 1] = base(k);
    }

    long points() const { return base_points() - differences_; }

    // The next point of the pass: each difference is taken as z[j + 1] - z[j] of the
    // series before it, in that order of operations.
    double next() {
        window_[0] = window_[1];
        window_[1] = window_[2];
        window_[differences_] = base(next_ + differences_);
        ++next_;
        switch (differences_) {
            case 1: return window_[1] - window_[0];
            case 2: return (window_[2] - window_[1]) - (window_[1] - window_[0]);
            default: return window_[0];
        }
    }

private:
    // Point j of the series before any difference.
    double base(long j) const {
        const long k = v_.first + j * m_;
        switch (kind_) {
            case Series::kDecimatedPhase: return varnis::is_value(v_, k, true) ? v_[k] : kGap;
            case Series::kAveragedFrequency: {
                double sum = 0.0;
                long used = 0;
                for (long i = k; i < k + m_; ++i)
                    if (!varnis::is_gap(v_[i])) {
                        sum += v_[i];
                        ++used;
                    }
                return used > 0 ? sum / static_cast<double>(used) : kGap;
            }
            case Series::kPhaseBlockFrequency:
                // The block's frequency times its length: the scale does not change r1.
                return varnis::is_value(v_, k, true) && varnis::is_value(v_, k + m_, true)
                           ? v_[k + m_] - v_[k]
                           : kGap;
        }
        return kGap;
    }

    const varnis::VectorView<const double>& v_;
    Series kind_;
    long m_;
    int differences_ = 0;
    long next_ = 0;
    double window_[3] = {0.0, 0.0, 0.0};
};

long readings_of(FactorSeries& series) {
    series.begin(0);
    long readings = 0;
    for (long j = 0, points = series.points(); j < points; ++j) readings += !std::isnan(series.next());
    return readings;
}

// Lag-1 autocorrelation about the mean of the points without a gap of the series
// differenced `differences` times; NaN without enough points or without variation.
double lag1_autocorrelation(FactorSeries& series, int differences) {
    series.begin(differences);
    const long points = series.points();
    double sum = 0.0;
    long used = 0;
    for (long j = 0; j < points; ++j) {
        const double z = series.next();
        if (!std::isnan(z)) {
            sum += z;
            ++used;
        }
    }
    if (used < 3) return kGap;
    const double mean = sum / static_cast<double>(used);
    double variance = 0.0, covariance = 0.0;
    series.begin(differences);
    double z = series.next();
    for (long j = 0; j < points; ++j) {
        const double following = j + 1 < points ? series.next() : kGap;
        if (!std::isnan(z)) {
            const double a = z - mean;
            variance += a * a;
            if (!std::isnan(following)) covariance += a * (following - mean);
        }
        z = following;
    }
    if (!(variance > 0.0)) return kGap;
    return covariance / variance;
}

}  // namespace

extern "C" VARNISX_API int CalcLag1NoiseID(const double* data, int dataType, int m, int* alpha,
                                           double* estimate) {
    const auto v = varnis::read_window(data);
    if (!v || alpha == nullptr || m < 1 || dataType < 0 || dataType > 2) return -1;
    FactorSeries series(*v, static_cast<Series>(dataType), m);
    const long points = series.base_points();
    if (points < kMinimumPoints || readings_of(series) < kMinimumPoints) return -1;

    int differences = 0;
    double delta = 0.0;
    for (;;) {
        const double r1 = lag1_autocorrelation(series, differences);
        if (std::isnan(r1)) return -1;
        delta = 1.0 + r1 > 0.0 ? r1 / (1.0 + r1) : -std::numeric_limits<double>::infinity();
        if (delta < 0.25 || differences == 2) break;
        ++differences;
    }
    const double order = delta + static_cast<double>(differences);
    const double value = dataType == 0 ? 2.0 - 2.0 * order : -2.0 * order;
    const double rounded = std::floor(value + 0.5);
    *alpha = static_cast<int>(rounded < -4.0 ? -4.0 : (rounded > 2.0 ? 2.0 : rounded));
    if (estimate != nullptr) *estimate = value;
    return static_cast<int>(points);
}
