#include "svg_plot.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "number_text.h"

namespace analyze {

std::string xml_escaped(const std::string &text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default:
                // Control characters are not allowed in XML 1.0 text.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
        }
    }
    return out;
}

namespace {
constexpr double kWidth = 800, kHeight = 560;
constexpr double kLeft = 80, kRight = 190, kTop = 40, kBottom = 60;
constexpr int kPlotted[] = {OADEV, MDEV, OHDEV, TOTDEV, MTOTDEV};
constexpr const char *kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e"};
// Legend labels short enough for the space right of the plot.
constexpr const char *kLabels[] = {"Overlapping Allan", "Modified Allan", "Overl. Hadamard", "Total",
                                   "Modified total"};

std::string number(double v) { return fixed_text(v, 2); }

struct Axis {
    int lo_decade = 0, hi_decade = 1;
    double to_pixel(double value, double p0, double p1) const {
        double t = (std::log10(value) - lo_decade) / (hi_decade - lo_decade);
        return p0 + t * (p1 - p0);
    }
};

Axis decades(double lo, double hi) {
    Axis axis;
    axis.lo_decade = static_cast<int>(std::floor(std::log10(lo)));
    axis.hi_decade = static_cast<int>(std::ceil(std::log10(hi)));
    if (axis.hi_decade <= axis.lo_decade) axis.hi_decade = axis.lo_decade + 1;
    return axis;
}

std::string decade_label(int exponent) { return "1e" + integer_text(exponent); }
}  // namespace

std::string svg_plot(const Analysis &a, const std::string &title) {
    double tau_lo = std::numeric_limits<double>::max(), tau_hi = 0;
    double y_lo = std::numeric_limits<double>::max(), y_hi = 0;
    for (const Row &row : a.rows)
        for (int s : kPlotted) {
            const Estimate &e = row.estimates[s];
            if (!e.computed || !(e.value > 0.0)) continue;
            tau_lo = std::min(tau_lo, row.tau);
            tau_hi = std::max(tau_hi, row.tau);
            double lo = e.has_interval && e.lower > 0.0 ? e.lower : e.value;
            double hi = e.has_interval ? std::max(e.upper, e.value) : e.value;
            y_lo = std::min(y_lo, lo);
            y_hi = std::max(y_hi, hi);
        }
    bool empty = tau_hi <= 0.0;
    if (empty) tau_lo = tau_hi = y_lo = y_hi = 1.0;
    Axis x = decades(tau_lo, tau_hi), y = decades(y_lo, y_hi);
    double x0 = kLeft, x1 = kWidth - kRight, y0 = kHeight - kBottom, y1 = kTop;

    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(kWidth) + "\" height=\"" +
           number(kHeight) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    out += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    out += "<text x=\"" + number(kWidth / 2) + "\" y=\"24\" text-anchor=\"middle\" font-size=\"15\">" +
           xml_escaped(title) + "</text>\n";
    // Decade grid and labels.
    for (int d = x.lo_decade; d <= x.hi_decade; ++d) {
        double px = x.to_pixel(std::pow(10.0, d), x0, x1);
        out += "<line x1=\"" + number(px) + "\" y1=\"" + number(y0) + "\" x2=\"" + number(px) + "\" y2=\"" +
               number(y1) + "\" stroke=\"#ddd\"/>\n";
        out += "<text x=\"" + number(px) + "\" y=\"" + number(y0 + 18) + "\" text-anchor=\"middle\">" +
               decade_label(d) + "</text>\n";
    }
    for (int d = y.lo_decade; d <= y.hi_decade; ++d) {
        double py = y.to_pixel(std::pow(10.0, d), y0, y1);
        out += "<line x1=\"" + number(x0) + "\" y1=\"" + number(py) + "\" x2=\"" + number(x1) + "\" y2=\"" +
               number(py) + "\" stroke=\"#ddd\"/>\n";
        out += "<text x=\"" + number(x0 - 6) + "\" y=\"" + number(py + 4) + "\" text-anchor=\"end\">" +
               decade_label(d) + "</text>\n";
    }
    out += "<rect x=\"" + number(x0) + "\" y=\"" + number(y1) + "\" width=\"" + number(x1 - x0) +
           "\" height=\"" + number(y0 - y1) + "\" fill=\"none\" stroke=\"black\"/>\n";
    out += "<text x=\"" + number((x0 + x1) / 2) + "\" y=\"" + number(kHeight - 18) +
           "\" text-anchor=\"middle\">tau (s)</text>\n";
    out += "<text transform=\"translate(20," + number((y0 + y1) / 2) +
           ") rotate(-90)\" text-anchor=\"middle\">sigma(tau)</text>\n";
    if (empty)
        out += "<text x=\"" + number((x0 + x1) / 2) + "\" y=\"" + number((y0 + y1) / 2) +
               "\" text-anchor=\"middle\">no values to plot</text>\n";

    for (std::size_t i = 0; i < std::size(kPlotted); ++i) {
        int s = kPlotted[i];
        std::string colour = kColours[i];
        std::string points, marks;
        for (const Row &row : a.rows) {
            const Estimate &e = row.estimates[s];
            if (!e.computed || !(e.value > 0.0)) continue;
            double px = x.to_pixel(row.tau, x0, x1), py = y.to_pixel(e.value, y0, y1);
            points += number(px) + "," + number(py) + " ";
            marks += "<circle cx=\"" + number(px) + "\" cy=\"" + number(py) + "\" r=\"3\" fill=\"" + colour + "\"/>\n";
            if (e.has_interval && e.lower > 0.0) {
                double lo = y.to_pixel(e.lower, y0, y1), hi = y.to_pixel(e.upper, y0, y1);
                marks += "<path d=\"M" + number(px) + " " + number(lo) + "V" + number(hi) + "M" + number(px - 3) +
                         " " + number(lo) + "h6M" + number(px - 3) + " " + number(hi) + "h6\" stroke=\"" +
                         colour + "\" fill=\"none\"/>\n";
            }
        }
        out += "<g>\n";
        if (!points.empty())
            out += "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" + colour + "\"/>\n";
        out += marks;
        double ly = y1 + 16 + 20 * static_cast<double>(i);
        out += "<line x1=\"" + number(x1 + 15) + "\" y1=\"" + number(ly - 4) + "\" x2=\"" + number(x1 + 40) +
               "\" y2=\"" + number(ly - 4) + "\" stroke=\"" + colour + "\" stroke-width=\"2\"/>\n";
        out += "<text x=\"" + number(x1 + 46) + "\" y=\"" + number(ly) + "\">" + kLabels[i] + "</text>\n";
        out += "</g>\n";
    }
    out += "<text x=\"" + number(x1 + 15) + "\" y=\"" + number(y1 + 130) + "\">error bars: " +
           integer_text(a.confidence_percent) + " %</text>\n";
    out += "</svg>\n";
    return out;
}

}  // namespace analyze
