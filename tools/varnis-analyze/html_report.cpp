#include "html_report.h"

#include <cmath>
#include <map>

#include "dynamic.h"
#include "heat_map.h"
#include "number_text.h"
#include "plots.h"
#include "report.h"
#include "spectrum.h"
#include "svg_chart.h"

namespace analyze {

namespace {

struct Page {
    const Analysis &analysis;
    const std::string &data_path;
};

std::string escaped(const std::string &text) { return xml_escaped(text); }

}  // namespace

std::string scientific_html(double value, int digits) {
    std::string text = scientific_text(value, digits);
    auto e = text.find('e');
    if (e == std::string::npos) return text;
    int exponent = std::stoi(text.substr(e + 1));
    std::string mantissa = text.substr(0, e);
    if (mantissa.front() == '-') mantissa.replace(0, 1, "\u2212");
    if (exponent == 0) return mantissa;
    return mantissa + "\u00d710<sup>" + (exponent < 0 ? "\u2212" : "") + integer_text(std::abs(exponent)) + "</sup>";
}

std::string row_of(const std::string &name, const std::string &value_html) {
    return "<tr><th>" + xml_escaped(name) + "</th><td>" + value_html + "</td></tr>\n";
}

std::string figure(const Chart &chart) { return "<div class=\"figure\">\n" + svg_chart(chart, false) + "</div>\n"; }

namespace {

// The noise types of the rows, with the averaging times they cover.
std::string noise_summary(const Analysis &a) {
    std::string out;
    const Row *start = nullptr;
    for (std::size_t r = 0; r <= a.rows.size(); ++r) {
        const Row *row = r < a.rows.size() ? &a.rows[r] : nullptr;
        if (start != nullptr && (row == nullptr || row->noise_alpha != start->noise_alpha ||
                                 row->noise != start->noise)) {
            const Row &end = a.rows[r - 1];
            if (start->noise != NoiseSource::None) {
                out += (out.empty() ? "" : "; ") + escaped(noise_name(start->noise_alpha));
                if (start->noise == NoiseSource::Assumed) out += " (assumed)";
                out += " for \u03c4 = " + scientific_html(start->tau, 2) + " s";
                if (end.m != start->m) out += " to " + scientific_html(end.tau, 2) + " s";
            }
            start = nullptr;
        }
        if (start == nullptr && row != nullptr) start = row;
    }
    return out.empty() ? "not identified" : out;
}

std::string dominant_noise(const Analysis &a) {
    std::map<int, int> counts;
    for (const Row &row : a.rows)
        if (row.noise == NoiseSource::Identified) ++counts[row.noise_alpha];
    int best = 0, alpha = 0;
    for (auto [k, c] : counts)
        if (c > best) best = c, alpha = k;
    return best == 0 ? "not identified" : noise_name(alpha);
}

std::string summary(const Page &p) {
    const Analysis &a = p.analysis;
    std::string out = "<table class=\"summary\">\n";
    out += row_of("Data file", escaped(p.data_path));
    out += row_of("Data", escaped(data_summary(a)));
    out += row_of("Gaps", integer_text(a.gaps) + (a.gaps > 0 ? " (readings of 0 or nan, left out)" : ""));
    out += row_of("Drift removed", escaped(a.record.drift_description));
    for (const Coefficient &c : a.record.coefficients)
        out += row_of(c.name, scientific_html(c.value, 6) + (c.unit.empty() ? "" : " " + escaped(c.unit)));
    out += row_of("Dominant noise", escaped(dominant_noise(a)));
    out += row_of("Noise by averaging time", noise_summary(a));
    out += row_of("MTIE and TIE rms", "of the phase as recorded (no drift removed)");
    out += row_of("Confidence intervals", integer_text(a.settings.confidence_percent) + " %");
    out += row_of("Cost limit", escaped(modified_total_limit_text(a)));
    out += row_of("TheoH", escaped(theoh_limit_text(a)));
    if (a.stopped) out += row_of("Stopped", "by the user: later averaging factors were not computed");
    for (const std::string &problem : a.problems) out += row_of("Not reported", escaped(problem));
    return out + "</table>\n";
}

Chart time_chart(const std::string &title, const std::string &y_label, Series series) {
    Chart chart;
    chart.title = title;
    chart.x_label = "Time since the first reading (s)";
    chart.y_label = y_label;
    chart.series.push_back(std::move(series));
    return chart;
}

std::string records_over_time(const Page &p) {
    const Analysis &a = p.analysis;
    double tau0 = a.settings.tau0;
    std::string note = "<p>Records longer than the plot is wide are drawn as the smallest and largest value of each "
                       "slice, so no excursion is lost.</p>\n";
    return note +
           figure(time_chart("Phase as recorded", "Phase x (s)", record_series(a.record.recorded_phase, tau0, true, "#1f77b4"))) +
           figure(time_chart("Frequency as recorded", "Fractional frequency y (s/s)",
                             record_series(a.record.frequency, tau0, false, "#2ca02c")));
}

std::string residual(const Page &p) {
    const Analysis &a = p.analysis;
    return "<p>Phase after removing the drift: " + escaped(a.record.drift_description) + ".</p>\n" +
           figure(time_chart("Residual phase", "Residual phase x (s)",
                             record_series(a.record.residual_phase, a.settings.tau0, true, "#9467bd")));
}

std::string sigma_tau(const Page &p) { return figure(sigma_tau_chart(p.analysis, "Frequency stability")); }

std::string time_error(const Page &p) { return figure(time_error_chart(p.analysis)); }

std::string dynamic_allan_section(const Page &p) {
    const Analysis &a = p.analysis;
    const double tau0 = a.settings.tau0;
    int never_stop = 0;
    DynamicAllan d = dynamic_allan(a.record.residual_phase, tau0, &never_stop);
    if (d.times.empty()) return "<p>Too few values for a dynamic Allan deviation.</p>\n";
    HeatMap map;
    map.title = "Dynamic Allan deviation";
    map.x_label = "Time of the window\u2019s middle since the first reading (s)";
    map.y_label = "Averaging time \u03c4 (s)";
    map.value_label = "Overlapping Allan deviation \u03c3(\u03c4) (s/s)";
    map.x = d.times;
    for (int m : d.factors) map.y.push_back(m * tau0);
    map.values = d.deviations;
    return "<p>The overlapping Allan deviation of the residual phase in a window of " + integer_text(d.window) +
           " values (" + scientific_html(d.window * tau0, 3) + " s) moved along the record in steps of " +
           integer_text(d.step) + " values: a column per window, a row per averaging time, the colour the "
           "deviation on a logarithmic scale (grey: no term). On stationary noise each row keeps its colour; a "
           "change in the clock shows as a change of colour along the rows.</p>\n" +
           "<div class=\"figure\">\n" + svg_heat_map(map) + "</div>\n";
}

std::string spectrum(const Page &p) {
    const Analysis &a = p.analysis;
    std::vector<Spectrum> spectra = frequency_spectra(a.record.residual_frequency, a.settings.tau0);
    if (spectra.empty()) return "<p>Too few values for a spectrum.</p>\n";
    return "<p>One-sided power spectral density of the fractional frequency after removing the drift: the "
           "averaged periodogram (Hann window, segments of up to 8192 values) of the whole record, and the "
           "multitaper estimate (NW = 4, 7 tapers, adaptive weights) of its last " +
           integer_text(std::min(sample_count(a.record.residual_frequency), kMultitaperPoints)) + " values.</p>\n" +
           figure(spectrum_chart(spectra, "residual frequency"));
}

std::string statistic_table(const Analysis &a, int s) {
    const StatisticInfo &info = statistic_info(s);
    std::string out = "<h3>" + escaped(info.title) + "</h3>\n<table class=\"values\">\n<tr><th>m</th><th>\u03c4 (s)</th>"
                      "<th>terms</th><th>value" + std::string(info.in_seconds ? " (s)" : "") + "</th>";
    if (info.edf != nullptr) out += "<th>EDF</th><th>lower</th><th>upper</th>";
    out += "<th>noise</th></tr>\n";
    for (const Row &row : a.rows) {
        const Estimate &e = row.estimates[s];
        out += "<tr><td>" + integer_text(row.m) + "</td><td>" + scientific_html(estimate_tau(e, row), 3) + "</td>";
        int rest = info.edf != nullptr ? 4 : 1;
        if (!e.computed) {
            std::string why = e.skipped_as_too_long ? "skipped (cost limit)" : e.not_finite ? "not a finite number" : "\u2013";
            out += "<td colspan=\"" + integer_text(rest + 1) + "\" class=\"note\">" + why + "</td><td></td></tr>\n";
            continue;
        }
        out += "<td>" + integer_text(e.terms) + "</td><td>" + scientific_html(e.value, 3) + "</td>";
        if (info.edf != nullptr) {
            if (e.has_interval)
                out += "<td>" + fixed_text(e.edf, 1) + "</td><td>" + scientific_html(e.lower, 3) + "</td><td>" +
                       scientific_html(e.upper, 3) + "</td>";
            else
                out += "<td colspan=\"3\" class=\"note\">" + escaped(interval_note(e, row)) + "</td>";
        }
        out += "<td>" + escaped(noise_text(row)) + "</td></tr>\n";
    }
    return out + "</table>\n";
}

std::string tables(const Page &p) {
    std::string out;
    for (int s = 0; s < STATISTIC_COUNT; ++s) out += statistic_table(p.analysis, s);
    return out;
}

// The sections in page order: a new section is a function and a line here.
struct Section {
    const char *id;
    const char *heading;
    std::string (*body)(const Page &);
};
const Section kSections[] = {
    {"summary", "Summary", summary},
    {"records", "Phase and frequency over time", records_over_time},
    {"residual", "Residual after drift removal", residual},
    {"sigma-tau", "Frequency stability", sigma_tau},
    {"dynamic", "Dynamic Allan deviation", dynamic_allan_section},
    {"time-error", "MTIE and TIE rms", time_error},
    {"spectrum", "Power spectrum", spectrum},
    {"tables", "Tables", tables},
};

const char *kStyle =
    "body{font-family:sans-serif;margin:1.5em auto;max-width:62em;color:#222}"
    "h1{font-size:1.5em}h2{font-size:1.2em;border-bottom:1px solid #ccc;margin-top:1.6em}h3{font-size:1em}"
    "table{border-collapse:collapse;margin:0.5em 0}th,td{padding:0.15em 0.7em;text-align:right}"
    "table.summary th{text-align:left;font-weight:normal;color:#555}table.summary td{text-align:left}"
    "table.values tr:nth-child(even){background:#f4f4f4}td.note{text-align:left;color:#777}"
    "nav a{margin-right:1em}.figure{margin:0.8em 0}";

}  // namespace

std::string html_page(const std::string &title, const std::vector<PageSection> &sections, double refresh_seconds) {
    std::string out = "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
                      "<meta charset=\"UTF-8\"/>\n";
    if (refresh_seconds > 0.0)
        out += "<meta http-equiv=\"refresh\" content=\"" + integer_text(std::max(1L, std::lround(refresh_seconds))) + "\"/>\n";
    out += "<title>" + escaped(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
    out += "<h1>" + escaped(title) + "</h1>\n";
    if (refresh_seconds > 0.0)
        out += "<p class=\"note\">Following the file: this page is brought up to date every " +
               escaped(exact_text(refresh_seconds)) + " s.</p>\n";
    out += "<nav>";
    for (const PageSection &s : sections) out += "<a href=\"#" + s.id + "\">" + escaped(s.heading) + "</a> ";
    out += "</nav>\n";
    for (const PageSection &s : sections)
        out += "<h2 id=\"" + s.id + "\">" + escaped(s.heading) + "</h2>\n" + s.body;
    out += "<p class=\"note\">Made by varnis-analyze with the Varnis libraries.</p>\n</body>\n</html>\n";
    return out;
}

std::string html_report(const Analysis &a, const std::string &data_path, double refresh_seconds) {
    Page page{a, data_path};
    std::vector<PageSection> sections;
    for (const Section &s : kSections) sections.push_back({s.id, s.heading, s.body(page)});
    return html_page("Stability of " + data_path, sections, refresh_seconds);
}

}  // namespace analyze
