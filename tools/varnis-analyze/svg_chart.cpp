#include "svg_chart.h"

#include <algorithm>
#include <atomic>
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

constexpr double kLeft = 96, kTop = 34, kBottom = 54, kLegendWidth = 190, kRightPlain = 24;

std::string number(double v) { return fixed_text(v, 2); }

}  // namespace

std::string superscript(int exponent) {
    std::string digits = integer_text(exponent < 0 ? -static_cast<long long>(exponent) : exponent);
    return "<tspan baseline-shift=\"super\" font-size=\"70%\">" + std::string(exponent < 0 ? "\u2212" : "") +
           digits + "</tspan>";
}

namespace {

Axis log_axis(Range range) {
    Axis axis;
    axis.scale = Scale::Log;
    if (range.empty()) range = {1.0, 10.0};
    axis.lo = std::floor(std::log10(range.lo));
    axis.hi = std::ceil(std::log10(range.hi));
    if (axis.hi <= axis.lo) axis.hi = axis.lo + 1;
    int decades = static_cast<int>(axis.hi - axis.lo);
    int every = decades > 12 ? (decades + 11) / 12 : 1;
    for (int e = static_cast<int>(axis.lo); e <= static_cast<int>(axis.hi); ++e) {
        if ((e - static_cast<int>(axis.lo)) % every != 0) continue;
        axis.ticks.push_back(e);
        axis.labels.push_back(e == 0 ? "1" : "10" + superscript(e));
    }
    return axis;
}

// Ticks at 1, 2 or 5 times a power of ten, labelled a.b×10^e with one exponent for
// the whole axis.
Axis linear_axis(Range range) {
    Axis axis;
    if (range.empty()) range = {0.0, 1.0};
    if (range.hi == range.lo) {
        double pad = range.lo == 0.0 ? 1.0 : std::fabs(range.lo) * 0.1;
        range = {range.lo - pad, range.hi + pad};
    }
    double raw = (range.hi - range.lo) / 6.0;
    double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = magnitude;
    for (double factor : {1.0, 2.0, 5.0, 10.0})
        if (factor * magnitude >= raw) {
            step = factor * magnitude;
            break;
        }
    axis.lo = std::floor(range.lo / step) * step;
    axis.hi = std::ceil(range.hi / step) * step;
    int exponent = static_cast<int>(std::floor(std::log10(std::max(std::fabs(axis.lo), std::fabs(axis.hi)))));
    int decimals = std::clamp(exponent - static_cast<int>(std::floor(std::log10(step) + 1e-9)), 0, 15);
    double unit = std::pow(10.0, exponent);
    for (long k = std::lround(axis.lo / step); k <= std::lround(axis.hi / step); ++k) {
        double v = static_cast<double>(k) * step;
        axis.ticks.push_back(v);
        if (k == 0) {
            axis.labels.push_back("0");
            continue;
        }
        std::string mantissa = fixed_text(v / unit, decimals);
        if (mantissa.front() == '-') mantissa.replace(0, 1, "\u2212");
        axis.labels.push_back(exponent == 0 ? mantissa : mantissa + "\u00d710" + superscript(exponent));
    }
    return axis;
}

}  // namespace

Axis make_axis(const Range &range, Scale scale) { return scale == Scale::Log ? log_axis(range) : linear_axis(range); }

namespace {

std::atomic<int> chart_count{0};

// The plot area and its two axes: where a value lands.
struct Frame {
    Axis x, y;
    double x0, x1, y0, y1;  // pixels: left, right, bottom, top
    double px(double v) const { return x0 + x.position(v) * (x1 - x0); }
    double py(double v) const { return y0 + y.position(v) * (y1 - y0); }
    bool plottable(double xv, double yv) const {
        return std::isfinite(xv) && std::isfinite(yv) && (x.scale == Scale::Linear || xv > 0.0) &&
               (y.scale == Scale::Linear || yv > 0.0);
    }
};

// The ranges of the data (guides follow the data, they do not widen it).
void data_ranges(const Chart &chart, Range &xr, Range &yr) {
    for (const Series &s : chart.series) {
        if (!s.end_label.empty()) continue;
        for (std::size_t i = 0; i < s.x.size(); ++i) {
            bool any = false;
            for (const std::vector<double> *v : {&s.y, &s.lower, &s.upper, &s.band_low, &s.band_high})
                if (i < v->size() && std::isfinite((*v)[i]) && (chart.y_scale == Scale::Linear || (*v)[i] > 0.0)) {
                    yr.add((*v)[i], chart.y_scale);
                    any = true;
                }
            if (any) xr.add(s.x[i], chart.x_scale);
        }
    }
}

// Title, grid, tick labels, frame and axis labels.
std::string frame_markup(const Chart &chart, const Frame &f, bool empty) {
    std::string out = "<text x=\"" + number((f.x0 + f.x1) / 2) + "\" y=\"22\" text-anchor=\"middle\" font-size=\"15\">" +
                      xml_escaped(chart.title) + "</text>\n";
    for (std::size_t i = 0; i < f.x.ticks.size(); ++i) {
        double p = f.x0 + (f.x.ticks[i] - f.x.lo) / (f.x.hi - f.x.lo) * (f.x1 - f.x0);
        out += "<line x1=\"" + number(p) + "\" y1=\"" + number(f.y0) + "\" x2=\"" + number(p) + "\" y2=\"" +
               number(f.y1) + "\" stroke=\"#ddd\"/>\n";
        out += "<text x=\"" + number(p) + "\" y=\"" + number(f.y0 + 18) + "\" text-anchor=\"middle\">" + f.x.labels[i] +
               "</text>\n";
    }
    for (std::size_t i = 0; i < f.y.ticks.size(); ++i) {
        double p = f.y0 + (f.y.ticks[i] - f.y.lo) / (f.y.hi - f.y.lo) * (f.y1 - f.y0);
        out += "<line x1=\"" + number(f.x0) + "\" y1=\"" + number(p) + "\" x2=\"" + number(f.x1) + "\" y2=\"" +
               number(p) + "\" stroke=\"#ddd\"/>\n";
        out += "<text x=\"" + number(f.x0 - 6) + "\" y=\"" + number(p + 4) + "\" text-anchor=\"end\">" + f.y.labels[i] +
               "</text>\n";
    }
    out += "<rect x=\"" + number(f.x0) + "\" y=\"" + number(f.y1) + "\" width=\"" + number(f.x1 - f.x0) +
           "\" height=\"" + number(f.y0 - f.y1) + "\" fill=\"none\" stroke=\"black\"/>\n";
    out += "<text x=\"" + number((f.x0 + f.x1) / 2) + "\" y=\"" + number(chart.height - 12) +
           "\" text-anchor=\"middle\">" + xml_escaped(chart.x_label) + "</text>\n";
    out += "<text transform=\"translate(16," + number((f.y0 + f.y1) / 2) + ") rotate(-90)\" text-anchor=\"middle\">" +
           xml_escaped(chart.y_label) + "</text>\n";
    if (empty)
        out += "<text x=\"" + number((f.x0 + f.x1) / 2) + "\" y=\"" + number((f.y0 + f.y1) / 2) +
               "\" text-anchor=\"middle\">no values to plot</text>\n";
    return out;
}

// A band of one polygon per unbroken stretch.
std::string band_markup(const Series &s, const Frame &f) {
    std::string out, lower_edge, upper_edge;
    auto close_band = [&] {
        if (!lower_edge.empty())
            out += "<polygon points=\"" + lower_edge + upper_edge + "\" fill=\"" + s.colour +
                   "\" fill-opacity=\"0.35\" stroke=\"" + s.colour + "\" stroke-width=\"0.5\"/>\n";
        lower_edge.clear();
        upper_edge.clear();
    };
    for (std::size_t i = 0; i < s.band_low.size() && i < s.x.size(); ++i) {
        if (!f.plottable(s.x[i], s.band_low[i]) || !f.plottable(s.x[i], s.band_high[i])) {
            close_band();
            continue;
        }
        lower_edge += number(f.px(s.x[i])) + "," + number(f.py(s.band_low[i])) + " ";
        upper_edge.insert(0, number(f.px(s.x[i])) + "," + number(f.py(s.band_high[i])) + " ");
    }
    close_band();
    return out;
}

// The line, its markers and error bars.
std::string line_markup(const Series &s, const Frame &f) {
    std::string points, marks;
    for (std::size_t i = 0; i < s.y.size() && i < s.x.size(); ++i) {
        if (!f.plottable(s.x[i], s.y[i])) continue;
        double cx = f.px(s.x[i]), cy = f.py(s.y[i]);
        points += number(cx) + "," + number(cy) + " ";
        if (s.markers)
            marks += "<circle cx=\"" + number(cx) + "\" cy=\"" + number(cy) + "\" r=\"2.5\" fill=\"" + s.colour + "\"/>\n";
        if (i < s.lower.size() && i < s.upper.size() && f.plottable(s.x[i], s.lower[i]) &&
            f.plottable(s.x[i], s.upper[i])) {
            double lo = f.py(s.lower[i]), hi = f.py(s.upper[i]);
            marks += "<path d=\"M" + number(cx) + " " + number(lo) + "V" + number(hi) + "M" + number(cx - 3) + " " +
                     number(lo) + "h6M" + number(cx - 3) + " " + number(hi) + "h6\" stroke=\"" + s.colour +
                     "\" fill=\"none\"/>\n";
        }
    }
    std::string out;
    if (!points.empty())
        out += "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" + s.colour + "\"" +
               (s.dashed ? " stroke-dasharray=\"5,4\"" : "") + "/>\n";
    return out + marks;
}

// The legend entries and the note under them, right of the plot.
std::string legend_markup(const Chart &chart, const Frame &f) {
    std::string out;
    double y = f.y1 + 16;
    for (const Series &s : chart.series) {
        if (s.label.empty()) continue;
        out += "<line x1=\"" + number(f.x1 + 15) + "\" y1=\"" + number(y - 4) + "\" x2=\"" + number(f.x1 + 40) +
               "\" y2=\"" + number(y - 4) + "\" stroke=\"" + s.colour + "\" stroke-width=\"2\"" +
               (s.dashed ? " stroke-dasharray=\"5,4\"" : "") + "/>\n";
        out += "<text x=\"" + number(f.x1 + 46) + "\" y=\"" + number(y) + "\">" + xml_escaped(s.label) + "</text>\n";
        y += 20;
    }
    // A line for each part of the note separated by "; ".
    y += 14;
    for (std::size_t begin = 0; begin < chart.note.size(); y += 16) {
        std::size_t end = chart.note.find("; ", begin);
        if (end == std::string::npos) end = chart.note.size();
        out += "<text x=\"" + number(f.x1 + 15) + "\" y=\"" + number(y) + "\" font-size=\"11\">" +
               xml_escaped(chart.note.substr(begin, end - begin)) + "</text>\n";
        begin = end + 2;
    }
    return out;
}

}  // namespace

std::string svg_chart(const Chart &chart, bool standalone) {
    Range xr, yr;
    data_ranges(chart, xr, yr);
    bool legend = std::any_of(chart.series.begin(), chart.series.end(), [](const Series &s) { return !s.label.empty(); });
    Frame f{make_axis(xr, chart.x_scale), make_axis(yr, chart.y_scale), kLeft,
            chart.width - (legend ? kLegendWidth : kRightPlain), chart.height - kBottom, kTop};
    const std::string clip = "plot-area-" + integer_text(++chart_count);

    std::string out = standalone ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" : "";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(chart.width) + "\" height=\"" +
           number(chart.height) + "\" viewBox=\"0 0 " + number(chart.width) + " " + number(chart.height) +
           "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    out += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    out += "<clipPath id=\"" + clip + "\"><rect x=\"" + number(f.x0) + "\" y=\"" + number(f.y1) + "\" width=\"" +
           number(f.x1 - f.x0) + "\" height=\"" + number(f.y0 - f.y1) + "\"/></clipPath>\n";
    out += frame_markup(chart, f, xr.empty() || yr.empty());
    for (const Series &s : chart.series) {
        out += "<g clip-path=\"url(#" + clip + ")\">\n" + band_markup(s, f) + line_markup(s, f) + "</g>\n";
        if (!s.end_label.empty() && !s.x.empty() && f.plottable(s.x.back(), s.y.back())) {
            double ex = std::min(f.px(s.x.back()), f.x1 - 4), ey = std::clamp(f.py(s.y.back()), f.y1 + 10, f.y0 - 4);
            out += "<text x=\"" + number(ex) + "\" y=\"" + number(ey) + "\" text-anchor=\"end\" font-size=\"11\" fill=\"" +
                   s.colour + "\">" + s.end_label + "</text>\n";
        }
    }
    out += legend_markup(chart, f);
    out += "</svg>\n";
    return out;
}

}  // namespace analyze
