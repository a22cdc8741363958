// The outputs of the three-cornered hat: printed table, CSV, sigma-tau plot and report.
#include <cmath>

#include "hat.h"
#include "html_report.h"
#include "number_text.h"
#include "report.h"
#include "svg_chart.h"

namespace analyze {

namespace {

const char *const kNegative = "variance below zero: no deviation";
const char *const kClockColours[kClocks] = {"#1f77b4", "#d62728", "#2ca02c"};
const char *const kPairColours[kClocks] = {"#7f7f7f", "#bcbd22", "#8c564b"};

std::string deviation_text(double variance) {
    return variance > 0.0 ? scientific_text(std::sqrt(variance), 3) : "(negative)";
}

std::string data_text(const HatAnalysis &h) {
    return std::string(h.settings.kind == DataKind::Phase ? "phase (s)" : "fractional frequency") + ", " +
           integer_text(h.values) + " values each, tau0 = " + exact_text(h.settings.tau0) + " s";
}

std::string files_text(const HatAnalysis &h) {
    std::string out;
    for (int p = 0; p < kClocks; ++p)
        out += std::string(p ? ", " : "") + kPairNames[p] + " = " + h.paths[p] + " (" + integer_text(h.gaps[p]) +
               " gaps)";
    return out;
}

Chart hat_chart(const HatAnalysis &h) {
    Chart chart;
    chart.title = "Three-cornered hat: " + std::string(h.statistic->title);
    chart.x_label = "Averaging time \u03c4 (s)";
    chart.y_label = "Deviation \u03c3(\u03c4) (fractional frequency, s/s)";
    chart.x_scale = chart.y_scale = Scale::Log;
    for (int pairs = 0; pairs < 2; ++pairs)
        for (int c = 0; c < kClocks; ++c) {
            Series s;
            s.label = pairs ? std::string("pair ") + kPairNames[c] : std::string("clock ") + kClockNames[c];
            s.colour = pairs ? kPairColours[c] : kClockColours[c];
            s.dashed = pairs == 1;
            s.markers = pairs == 0;
            for (const HatRow &row : h.rows) {
                if (!row.computed) continue;
                double v = pairs ? row.pairs[c] : row.variances[c];
                if (!(v > 0.0)) continue;
                s.x.push_back(row.tau);
                s.y.push_back(std::sqrt(v));
            }
            chart.series.push_back(s);
        }
    chart.note = "dashed: the pairwise records; no point: variance below zero";
    return chart;
}

}  // namespace

std::string hat_table_text(const HatAnalysis &h) {
    std::string out = "Three-cornered hat: " + files_text(h) + "\n";
    out += "Data: " + data_text(h) + "\n";
    out += "Drift removed from each pair: " + h.drift_description + "\n";
    out += std::string("Variance: ") + h.statistic->title + "; V_A = (V_AB + V_CA - V_BC) / 2 and rotations\n\n";
    out += padded("m", 9) + padded("tau (s)", 12) + padded("terms", 10);
    for (const char *clock : kClockNames) out += padded(std::string("clock ") + clock, 12);
    for (const char *pair : kPairNames) out += padded(pair, 12);
    out += "\n";
    bool negative = false;
    for (const HatRow &row : h.rows) {
        out += padded(integer_text(row.m), 9) + padded(scientific_text(row.tau, 3), 12);
        if (!row.computed) {
            out += padded("-", 10) + padded(row.not_finite ? "(not finite)" : "-", 12) + "\n";
            continue;
        }
        out += padded(integer_text(row.terms), 10);
        for (double v : row.variances) {
            out += padded(deviation_text(v), 12);
            negative = negative || !(v > 0.0);
        }
        for (double v : row.pairs) out += padded(deviation_text(v), 12);
        out += "\n";
    }
    if (negative)
        out += "\n(negative): the clock's variance came out below zero, as for a clock much more stable than the "
               "other two; it has no deviation there.\n";
    for (const std::string &problem : h.problems) out += "Not reported: " + problem + ".\n";
    if (h.stopped) out += "Stopped by the user: the rows above are complete, later ones were not computed.\n";
    return out;
}

std::string hat_csv_text(const HatAnalysis &h) {
    std::string out = "series,statistic,m,tau,terms,variance,deviation,note\n";
    for (const HatRow &row : h.rows) {
        if (!row.computed) continue;
        for (int pairs = 0; pairs < 2; ++pairs)
            for (int c = 0; c < kClocks; ++c) {
                const double v = pairs ? row.pairs[c] : row.variances[c];
                out += std::string(pairs ? kPairNames[c] : kClockNames[c]) + "," + h.statistic->key + "," +
                       integer_text(row.m) + "," + exact_text(row.tau) + "," + integer_text(row.terms) + "," +
                       exact_text(v) + "," + (v > 0.0 ? exact_text(std::sqrt(v)) : "") + "," +
                       (v > 0.0 ? "" : kNegative) + "\n";
            }
    }
    return out;
}

std::string hat_svg_plot(const HatAnalysis &h) {
    Chart chart = hat_chart(h);
    chart.width = 800;
    chart.height = 560;
    return svg_chart(chart, true);
}

std::string hat_html_report(const HatAnalysis &h) {
    std::string summary = "<table class=\"summary\">\n";
    for (int p = 0; p < kClocks; ++p)
        summary += row_of(std::string("Pair ") + kPairNames[p], xml_escaped(h.paths[p]) + " (" +
                                                                    integer_text(h.gaps[p]) + " gaps)");
    summary += row_of("Data", xml_escaped(data_text(h)));
    summary += row_of("Drift removed from each pair", xml_escaped(h.drift_description));
    summary += row_of("Variance", xml_escaped(h.statistic->title));
    summary += row_of("Clocks", "V<sub>A</sub> = (V<sub>AB</sub> + V<sub>CA</sub> \u2212 V<sub>BC</sub>) / 2, "
                                "V<sub>B</sub> = (V<sub>AB</sub> + V<sub>BC</sub> \u2212 V<sub>CA</sub>) / 2, "
                                "V<sub>C</sub> = (V<sub>BC</sub> + V<sub>CA</sub> \u2212 V<sub>AB</sub>) / 2; "
                                "the clocks' noises must be independent");
    if (h.stopped) summary += row_of("Stopped", "by the user: later averaging factors were not computed");
    for (const std::string &problem : h.problems) summary += row_of("Not reported", xml_escaped(problem));
    summary += "</table>\n";

    std::string table = "<table class=\"values\">\n<tr><th>m</th><th>\u03c4 (s)</th><th>terms</th>";
    for (const char *clock : kClockNames) table += std::string("<th>clock ") + clock + "</th>";
    for (const char *pair : kPairNames) table += std::string("<th>") + pair + "</th>";
    table += "</tr>\n";
    for (const HatRow &row : h.rows) {
        table += "<tr><td>" + integer_text(row.m) + "</td><td>" + scientific_html(row.tau, 3) + "</td>";
        if (!row.computed) {
            table += "<td colspan=\"7\" class=\"note\">" + std::string(row.not_finite ? "not a finite number" : "\u2013") +
                     "</td></tr>\n";
            continue;
        }
        table += "<td>" + integer_text(row.terms) + "</td>";
        for (int pairs = 0; pairs < 2; ++pairs)
            for (int c = 0; c < kClocks; ++c) {
                const double v = pairs ? row.pairs[c] : row.variances[c];
                table += v > 0.0 ? "<td>" + scientific_html(std::sqrt(v), 3) + "</td>"
                                 : "<td class=\"note\">below zero</td>";
            }
        table += "</tr>\n";
    }
    table += "</table>\n<p>A clock whose variance comes out below zero (one much more stable than the other two, "
             "or too few terms) has no deviation at that averaging time.</p>\n";

    return html_page("Three-cornered hat of " + h.paths[0] + ", " + h.paths[1] + " and " + h.paths[2],
                     {{"summary", "Summary", summary},
                      {"sigma-tau", "Each clock's stability", figure(hat_chart(h))},
                      {"tables", "Table", table}},
                     0.0);
}

}  // namespace analyze
