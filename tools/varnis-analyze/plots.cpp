#include "plots.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "number_text.h"

namespace analyze {

namespace {
const char *const kColours[STATISTIC_COUNT] = {"#1f77b4", "#d62728", "#17becf", "#2ca02c", "#9467bd",
                                               "#ff7f0e", "#bcbd22", "#7f7f7f", "#8c564b", "#e377c2"};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Series statistic_series(const Analysis &a, int s) {
    Series series;
    series.label = statistic_info(s).legend;
    series.colour = kColours[s];
    for (const Row &row : a.rows) {
        const Estimate &e = row.estimates[s];
        if (!e.computed) continue;
        series.x.push_back(estimate_tau(e, row));
        series.y.push_back(e.value);
        series.lower.push_back(e.has_interval ? e.lower : kNaN);
        series.upper.push_back(e.has_interval ? e.upper : kNaN);
    }
    return series;
}

std::vector<Series> statistic_series(const Analysis &a, Plot plot) {
    std::vector<Series> out;
    for (int s = 0; s < STATISTIC_COUNT; ++s)
        if (statistic_info(s).plot == plot) out.push_back(statistic_series(a, s));
    return out;
}

// Dashed lines of the power-law slopes through the first Allan deviation.
void add_noise_guides(Chart &chart, const Analysis &a) {
    const Series &allan = chart.series.front();
    if (allan.x.empty()) return;
    double tau_a = allan.x.front(), sigma_a = allan.y.front();
    double tau_b = std::max(allan.x.back(), tau_a * 10.0);
    struct Guide { double slope; const char *label; };
    const Guide guides[] = {{-1.0, "\u2212" "1"}, {-0.5, "\u2212" "1/2"}, {0.0, "0"}, {0.5, "1/2"}};
    for (const Guide &g : guides) {
        Series line;
        line.colour = "#999";
        line.dashed = true;
        line.markers = false;
        line.x = {tau_a, tau_b};
        line.y = {sigma_a, sigma_a * std::pow(tau_b / tau_a, g.slope)};
        line.end_label = std::string("\u03c4<tspan baseline-shift=\"super\" font-size=\"70%\">") + g.label + "</tspan>";
        chart.series.push_back(line);
    }
    chart.note = "dashed: slopes of the noise types";
    (void)a;
}
}  // namespace

Chart sigma_tau_chart(const Analysis &a, const std::string &title) {
    Chart chart;
    chart.title = title;
    chart.x_label = "Averaging time \u03c4 (s)";
    chart.y_label = "Deviation \u03c3(\u03c4) (fractional frequency, s/s)";
    chart.x_scale = chart.y_scale = Scale::Log;
    chart.series = statistic_series(a, Plot::SigmaTau);
    add_noise_guides(chart, a);
    chart.note = "error bars: " + integer_text(a.settings.confidence_percent) + " %; " + chart.note;
    return chart;
}

Chart time_error_chart(const Analysis &a) {
    Chart chart;
    chart.title = "Time error";
    chart.x_label = "Observation time \u03c4 (s)";
    chart.y_label = "Time error (s)";
    chart.x_scale = chart.y_scale = Scale::Log;
    chart.series = statistic_series(a, Plot::TimeError);
    chart.note = "MTIE, TIE rms: phase as recorded";
    return chart;
}

Series record_series(const std::vector<double> &record, double tau0, bool phase_rule, const std::string &colour) {
    constexpr long kSlices = 700;
    Series series;
    series.colour = colour;
    series.markers = false;
    const long n = static_cast<long>(record[0]);
    auto value = [&](long k) {  // sample k (1-based), NaN for a gap
        double v = record[static_cast<std::size_t>(k + 2)];
        bool counts = v != 0.0 || (phase_rule && (k == 1 || k == n));
        return counts ? v : kNaN;
    };
    if (n <= 2 * kSlices) {
        for (long k = 1; k <= n; ++k) {
            series.x.push_back((k - 1) * tau0);
            series.y.push_back(value(k));
        }
        return series;
    }
    for (long slice = 0; slice < kSlices; ++slice) {
        long begin = 1 + slice * n / kSlices, end = 1 + (slice + 1) * n / kSlices;
        double lo = std::numeric_limits<double>::infinity(), hi = -lo;
        for (long k = begin; k < end; ++k) {
            double v = value(k);
            if (std::isnan(v)) continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        series.x.push_back(((begin + end) / 2.0 - 1.0) * tau0);
        series.band_low.push_back(lo <= hi ? lo : kNaN);
        series.band_high.push_back(lo <= hi ? hi : kNaN);
    }
    return series;
}

Chart spectrum_chart(const std::vector<Spectrum> &spectra, const std::string &what) {
    static const char *const colours[] = {"#1f77b4", "#d62728", "#2ca02c"};
    Chart chart;
    chart.title = "Power spectrum of the " + what;
    chart.x_label = "Fourier frequency f (Hz)";
    chart.y_label = "Sy(f), frequency noise (1/Hz)";
    chart.x_scale = chart.y_scale = Scale::Log;
    for (std::size_t i = 0; i < spectra.size(); ++i) {
        Series s;
        s.label = spectra[i].label;
        s.colour = colours[i % 3];
        s.markers = false;
        s.x = spectra[i].frequency;
        s.y = spectra[i].density;
        chart.series.push_back(s);
    }
    chart.note = "one-sided density";
    return chart;
}

}  // namespace analyze
