// Drift and offset: least-squares fits of a line, a logarithm, a diffusion (square
// root) law and a quadratic to the window of a record, the bisection and three-point
// drift estimates, and the removal of a given model from the data in place.
#include <cmath>
#include <cstddef>

#include "conditioning/gap_filling.h"
#include "core/data_vector.h"
#include "core/scratch.h"
#include "varnis.h"

namespace varnis {
namespace {

// The logarithmic and diffusion searches end on their residual tolerance; this bound
// only keeps data that never settle from holding the caller forever.
constexpr int kMaxSearchPasses = 10000;

// Inclusion rules of the fits and removals.
struct FrequencyRule {
    bool operator()(const VectorView<const double>& v, long k) const { return !is_gap(v[k]); }
};

// Phase data: a 0.0 at one of two fixed sample numbers is a reading.
struct PhaseRule {
    long first_value;
    long second_value;
    bool operator()(const VectorView<const double>& v, long k) const {
        return !is_gap(v[k]) || k == first_value || k == second_value;
    }
};

struct LineFit {
    long n = 0;
    double intercept = 0.0;
    double slope = 0.0;
};

// Least-squares line y = intercept + slope * t(k) over the samples the rule admits.
// The sums are taken about the means (a second pass), so that a large constant part
// of y or of the abscissa costs no precision.
template <class Rule, class Abscissa>
LineFit fit_line(const VectorView<const double>& v, Rule include, Abscissa t) {
    LineFit fit;
    double sum_t = 0.0, sum_y = 0.0;
    for (long k = v.first; k <= v.last; ++k) {
        if (!include(v, k)) continue;
        sum_t += t(k);
        sum_y += v[k];
        ++fit.n;
    }
    if (fit.n < 2) return fit;
    const double count = static_cast<double>(fit.n);
    const double mean_t = sum_t / count, mean_y = sum_y / count;
    double stt = 0.0, sty = 0.0;
    for (long k = v.first; k <= v.last; ++k) {
        if (!include(v, k)) continue;
        const double dt = t(k) - mean_t;
        stt += dt * dt;
        sty += dt * (v[k] - mean_y);
    }
    fit.slope = sty / stt;
    fit.intercept = mean_y - fit.slope * mean_t;
    return fit;
}

// Sum of squared differences between the fitted line and the data, summed directly
// so that a residual far below the data's spread keeps its precision.
template <class Rule, class Abscissa>
double residual_of(const VectorView<const double>& v, Rule include, Abscissa t,
                   const LineFit& fit) {
    double sum = 0.0;
    for (long k = v.first; k <= v.last; ++k) {
        if (!include(v, k)) continue;
        const double r = fit.slope * t(k) + fit.intercept - v[k];
        sum += r * r;
    }
    return sum;
}

// The one-parameter searches of the logarithmic and diffusion fits: each pass fits
// a line in the abscissa that the current parameter gives, and `advance` moves the
// parameter (reversing and shrinking its step when the residual grew). The search
// ends when the residual changes by no more than `tolerance` of itself (a NaN
// residual ends it too), or at the pass limit. The first pass compares with 1.0.
// The parameter as left has taken one step past the fit returned; the number of
// samples is the same in every pass, so a short window fails in the first.
template <class MakeAbscissa, class Advance>
LineFit search_fit(const VectorView<const double>& v, double tolerance,
                   MakeAbscissa make_abscissa, Advance advance, double& residual) {
    LineFit fit;
    double previous = 0.0, current = 1.0;
    for (int pass = 0;
         pass < kMaxSearchPasses && std::fabs((current - previous) / current) > tolerance;
         ++pass) {
        previous = current;
        const auto t = make_abscissa();
        fit = fit_line(v, FrequencyRule{}, t);
        if (fit.n < 2) return fit;
        current = residual_of(v, FrequencyRule{}, t, fit);
        advance(current > previous);
    }
    residual = current;
    return fit;
}

// The straight-line fit of CalcLinFreqDrift and CalcFreqOffset.
template <class Rule>
int straight_line(const double* data, Rule rule_for, double* intercept, double* slope,
                  double* variance) {
    const auto v = read_window(data);
    if (!v || intercept == nullptr || slope == nullptr || variance == nullptr) return -1;
    const auto include = rule_for(*v);
    const auto k_itself = [](long k) { return static_cast<double>(k); };
    const auto fit = fit_line(*v, include, k_itself);
    if (fit.n < 2) return -1;
    *intercept = fit.intercept;
    *slope = fit.slope;
    *variance = 0.0;
    if (fit.n >= 3) {
        *variance = residual_of(*v, include, k_itself, fit) / static_cast<double>(fit.n - 2);
    }
    return static_cast<int>(fit.n);
}

// Subtracts model(k) from every sample k of the window that the rule admits; returns
// the number of samples changed, or -1 for a header that is not a usable window.
template <class Rule, class Model>
int remove_model(double* data, Rule rule_for, Model model) {
    const auto v = read_window(data, WindowRule::MayBeEmpty);
    if (!v) return -1;
    const VectorView<const double> in{v->base, v->count, v->first, v->last};
    const auto include = rule_for(in);
    long changed = 0;
    for (long k = v->first; k <= v->last; ++k) {
        if (!include(in, k)) continue;
        (*v)[k] -= model(k);
        ++changed;
    }
    return static_cast<int>(changed);
}

auto frequency_rule = [](const VectorView<const double>&) { return FrequencyRule{}; };
// Offset fit and removal: sample 1 of the record and the window's last sample.
auto offset_rule = [](const VectorView<const double>& v) { return PhaseRule{1, v.last}; };
// Quadratic removal: the window's first and last samples.
auto window_ends_rule = [](const VectorView<const double>& v) {
    return PhaseRule{v.first, v.last};
};

}  // namespace
}  // namespace varnis

using namespace varnis;

extern "C" int CalcLinFreqDrift(const double* data, double* intercept, double* slope,
                                double* variance) {
    return straight_line(data, frequency_rule, intercept, slope, variance);
}

extern "C" int CalcFreqOffset(const double* data, double* intercept, double* slope,
                              double* variance) {
    return straight_line(data, offset_rule, intercept, slope, variance);
}

extern "C" int CalcLogFreqDrift(const double* data, double* a, double* b, double* y0,
                                double* residual) {
    const auto v = read_window(data);
    if (!v || a == nullptr || b == nullptr || y0 == nullptr || residual == nullptr) return -1;
    double factor = 1.0, step = 0.1, r = 0.0;
    const auto fit = search_fit(
        *v, 1e-5,
        [&factor] {
            return [f = factor](long k) { return std::log(f * static_cast<double>(k) + 1.0); };
        },
        [&](bool worse) {
            if (worse) step = -0.5 * step;
            factor += factor * step;  // a relative step
        },
        r);
    *b = factor;
    if (fit.n < 2) return -1;
    *a = fit.slope;
    *y0 = fit.intercept;
    *residual = r;
    return static_cast<int>(fit.n);
}

extern "C" int CalcDiffusionFreqDrift(const double* data, double* intercept, double* slope,
                                      double* time_offset, double* residual) {
    const auto v = read_window(data);
    if (!v || intercept == nullptr || slope == nullptr || time_offset == nullptr ||
        residual == nullptr) {
        return -1;
    }
    double offset = 0.0, step = 100.0, r = 0.0;
    const auto fit = search_fit(
        *v, 1e-6,
        [&offset] {
            return [t0 = offset](long k) { return std::sqrt(static_cast<double>(k) + t0); };
        },
        [&](bool worse) {
            if (worse) step = -0.1 * step;
            offset += step;
            if (offset < 0.0) {
                offset = 0.0;
                step = -0.1 * step;
            }
        },
        r);
    *time_offset = offset;
    if (fit.n < 2) return -1;
    *intercept = fit.intercept;
    *slope = fit.slope;
    *residual = r;
    return static_cast<int>(fit.n);
}

extern "C" int CalcQuadraticDrift(const double* data, double tau, double* a0, double* a1,
                                  double* a2, double* variance) {
    const auto source = read_window(data);
    if (!source || a0 == nullptr || a1 == nullptr || a2 == nullptr || variance == nullptr ||
        !positive(tau) || source->size() < 3) {
        return -1;
    }
    // The gaps are filled in a copy; the caller's record stays as it is.
    ScratchArray<double> copy(static_cast<std::size_t>(source->count) + 3);
    if (!copy.ok()) return -1;
    for (long i = 0; i < source->count + 3; ++i) copy[static_cast<std::size_t>(i)] = data[i];
    auto filled = *read_window(copy.data(), WindowRule::MayBeEmpty);
    fill_gaps(filled, true);
    const long m = filled.size();
    if (m < 4) {
        *a0 = *a1 = *a2 = *variance = 0.0;
        return -1;
    }

    // Least squares in the polynomials 1, p1 = u - c and p2 = p1^2 - q of the
    // position u = 1 .. m, which are orthogonal over the window (c is the centre,
    // q = (m^2 - 1) / 12). The data are taken about their mean, so that a phase
    // offset far above the curvature costs no precision, and the residual is summed
    // directly rather than as a difference of large sums.
    const double count = static_cast<double>(m);
    const double centre = (count + 1.0) / 2.0;
    const double q = (count * count - 1.0) / 12.0;
    double sum_x = 0.0;
    for (long u = 1; u <= m; ++u) sum_x += filled[filled.first + u - 1];
    const double mean_x = sum_x / count;
    double s1x = 0.0, s2x = 0.0, s11 = 0.0, s22 = 0.0;
    for (long u = 1; u <= m; ++u) {
        const double p1 = static_cast<double>(u) - centre;
        const double p2 = p1 * p1 - q;
        const double dx = filled[filled.first + u - 1] - mean_x;
        s1x += p1 * dx;
        s2x += p2 * dx;
        s11 += p1 * p1;
        s22 += p2 * p2;
    }
    const double b1 = s1x / s11, b2 = s2x / s22;
    double residual = 0.0;
    for (long u = 1; u <= m; ++u) {
        const double p1 = static_cast<double>(u) - centre;
        const double r = filled[filled.first + u - 1] - mean_x - b1 * p1 - b2 * (p1 * p1 - q);
        residual += r * r;
    }
    // Back to powers of u: b2 u^2 + (b1 - 2 c b2) u + (mean - b1 c + b2 (c^2 - q)).
    const double c2 = b2;
    const double c1 = b1 - 2.0 * centre * b2;
    const double c0 = mean_x - b1 * centre + b2 * (centre * centre - q);
    *a0 = c0;
    *a1 = c1 / tau;
    *a2 = c2 / (tau * tau);
    *variance = residual / (count - 3.0);
    return static_cast<int>(m);
}

extern "C" float CalcBisectionDrift(double* data) {
    const auto v = read_window(data);
    if (!v) return -1.0f;
    const double half = static_cast<double>(v->size()) / 2.0;
    const long first_half = static_cast<long>(std::floor(half));
    if (first_half < 1) return -1.0f;
    // Each half's mean is taken through a narrowed window; the caller's window is
    // put back before returning.
    // The header's own values are saved and put back exactly as they were.
    const double saved_first = data[1], saved_last = data[2];
    double early = 0.0, late = 0.0;
    data[2] = static_cast<double>(v->first + first_half - 1);
    const int early_count = CalcMean(data, &early, 1);
    data[1] = static_cast<double>(v->first + first_half);
    data[2] = saved_last;
    const int late_count = CalcMean(data, &late, 1);
    data[1] = saved_first;
    if (early_count < 0 || late_count < 0) return -1.0f;
    return static_cast<float>((late - early) / half);
}

extern "C" float CalcThreePointDrift(double* data) {
    if (!read_window(data)) return -1.0f;
    if (CountGaps(data, 0) > 0) FillGaps(data, 0);
    const auto x = read_window(data);
    if (!x || x->size() < 3) return -1.0f;
    const long mid = x->first + (x->last - x->first) / 2;
    const float d1 = static_cast<float>(mid - x->first);
    const float d2 = static_cast<float>(x->last - mid);
    const double late = ((*x)[x->last] - (*x)[mid]) / d2;
    const double early = ((*x)[mid] - (*x)[x->first]) / d1;
    return static_cast<float>((late - early) / ((d1 + d2) / 2.0f));
}

extern "C" int RemoveLinFreqDrift(double* data, double intercept, double slope) {
    return remove_model(data, frequency_rule, [=](long k) {
        return intercept + slope * static_cast<double>(k);
    });
}

extern "C" int RemoveFreqOffset(double* data, double intercept, double slope,
                                int use_intercept) {
    if (use_intercept != 0) {
        return remove_model(data, offset_rule, [=](long k) {
            return intercept + slope * static_cast<double>(k - 1);
        });
    }
    return remove_model(data, offset_rule, [=](long k) { return slope * static_cast<double>(k); });
}

extern "C" int RemoveLogFreqDrift(double* data, double a, double b, double y0) {
    return remove_model(data, frequency_rule, [=](long k) {
        return a * std::log(b * static_cast<double>(k) + 1.0) + y0;
    });
}

extern "C" int RemoveDiffusionFreqDrift(double* data, double intercept, double slope,
                                        double time_offset) {
    return remove_model(data, frequency_rule, [=](long k) {
        return intercept + slope * std::sqrt(static_cast<double>(k) + time_offset);
    });
}

extern "C" int RemoveQuadraticDrift(double* data, double a0, double a1, double a2) {
    return remove_model(data, window_ends_rule, [=](long k) {
        const double u = static_cast<double>(k + 2);
        return a0 + a1 * u + a2 * u * u;
    });
}
