#include "heat_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "number_text.h"
#include "svg_chart.h"

namespace analyze {

namespace {

constexpr double kLeft = 96, kTop = 34, kBottom = 54, kRight = 150;
constexpr double kBarWidth = 16;
// The colour scale is drawn in this many steps; cells of the same step next to each
// other in a row are one rectangle.
constexpr int kLevels = 64;

// Viridis at eleven even stops, from dark blue-violet through green to yellow.
constexpr unsigned char kViridis[11][3] = {
    {68, 1, 84},    {72, 40, 120},  {62, 73, 137},  {49, 104, 142}, {38, 130, 142}, {31, 158, 137},
    {53, 183, 121}, {110, 206, 88}, {181, 222, 43}, {253, 231, 37}, {253, 231, 37}};

std::string number(double v) { return fixed_text(v, 2); }

bool usable(double v) { return std::isfinite(v) && v > 0.0; }

// "2×10⁻¹²" as SVG text.
std::string scientific_label(double value) {
    int exponent = static_cast<int>(std::floor(std::log10(value) + 1e-9));
    double mantissa = value / std::pow(10.0, exponent);
    std::string power = exponent == 0 ? "" : "10" + superscript(exponent);
    if (std::fabs(mantissa - 1.0) < 1e-6) return power.empty() ? "1" : power;
    std::string digits = fixed_text(mantissa, std::fabs(mantissa - std::round(mantissa)) < 1e-6 ? 0 : 1);
    return power.empty() ? digits : digits + "\u00d7" + power;
}

// Ticks for a log range lo .. hi (values): the decades inside, or 1, 2 and 5 times
// them when there are fewer than two, or the two ends when even those miss.
std::vector<double> log_ticks(double lo, double hi) {
    std::vector<double> decades, steps;
    for (int e = static_cast<int>(std::floor(std::log10(lo))); e <= static_cast<int>(std::ceil(std::log10(hi))); ++e)
        for (double f : {1.0, 2.0, 5.0}) {
            double v = f * std::pow(10.0, e);
            if (v < lo * (1 - 1e-9) || v > hi * (1 + 1e-9)) continue;
            steps.push_back(v);
            if (f == 1.0) decades.push_back(v);
        }
    if (decades.size() >= 2) return decades;
    if (steps.size() >= 2) return steps;
    return {lo, hi};
}

// The band of each row on the log axis: from halfway (geometrically) to the row below
// to halfway to the row above; the outer rows as tall as their inner neighbours.
std::vector<double> row_edges(const std::vector<double> &y) {
    std::vector<double> edges(y.size() + 1);
    if (y.size() == 1) return {y[0] / std::sqrt(2.0), y[0] * std::sqrt(2.0)};
    for (std::size_t r = 1; r < y.size(); ++r) edges[r] = std::sqrt(y[r - 1] * y[r]);
    edges.front() = y.front() * y.front() / edges[1];
    edges.back() = y.back() * y.back() / edges[y.size() - 1];
    return edges;
}

struct Scale01 {
    double lo = 0.0, hi = 1.0;  // log10 of the smallest and largest value
    int level(double v) const {
        double t = hi > lo ? (std::log10(v) - lo) / (hi - lo) : 0.5;
        return std::clamp(static_cast<int>(std::lround(t * (kLevels - 1))), 0, kLevels - 1);
    }
};

std::string rect(double x0, double y0, double x1, double y1, const std::string &fill) {
    return "<rect x=\"" + number(x0) + "\" y=\"" + number(y1) + "\" width=\"" + number(x1 - x0) + "\" height=\"" +
           number(y0 - y1) + "\" fill=\"" + fill + "\"/>\n";
}

}  // namespace

std::string heat_colour(double fraction) {
    double t = std::clamp(fraction, 0.0, 1.0) * 9.0;
    int i = std::min(static_cast<int>(t), 8);
    double f = t - i;
    char text[8];
    unsigned channel[3];
    for (int k = 0; k < 3; ++k)
        channel[k] = static_cast<unsigned>(std::lround(kViridis[i][k] + f * (kViridis[i + 1][k] - kViridis[i][k])));
    std::snprintf(text, sizeof text, "#%02x%02x%02x", channel[0], channel[1], channel[2]);
    return text;
}

std::string svg_heat_map(const HeatMap &map) {
    const std::size_t columns = map.x.size(), rows = map.y.size();
    const double x0 = kLeft, x1 = map.width - kRight, y0 = map.height - kBottom, y1 = kTop;
    std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(map.width) + "\" height=\"" +
                      number(map.height) + "\" viewBox=\"0 0 " + number(map.width) + " " + number(map.height) +
                      "\" font-family=\"sans-serif\" font-size=\"12\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    out += "<text x=\"" + number((x0 + x1) / 2) + "\" y=\"22\" text-anchor=\"middle\" font-size=\"15\">" +
           xml_escaped(map.title) + "</text>\n";

    Scale01 scale;
    double smallest = INFINITY, largest = 0.0;
    for (double v : map.values)
        if (usable(v)) smallest = std::min(smallest, v), largest = std::max(largest, v);
    const bool any = largest > 0.0 && columns > 0 && rows > 0;
    if (any) scale = {std::log10(smallest), std::log10(largest)};

    // Axes: time across (columns a step wide around their middles), averaging time up.
    const double step = columns > 1 ? (map.x.back() - map.x.front()) / static_cast<double>(columns - 1) : 1.0;
    Range xr;
    if (columns > 0) {
        xr.add(map.x.front() - step / 2, Scale::Linear);
        xr.add(map.x.back() + step / 2, Scale::Linear);
    }
    const Axis xa = make_axis(xr, Scale::Linear);
    auto px = [&](double v) { return x0 + xa.position(v) * (x1 - x0); };
    const std::vector<double> edges = rows > 0 ? row_edges(map.y) : std::vector<double>{1.0, 10.0};
    const double ylo = std::log10(edges.front()), yhi = std::log10(edges.back());
    auto py = [&](double v) { return y0 + (std::log10(v) - ylo) / (yhi - ylo) * (y1 - y0); };

    // Crisp edges: no seam of background between neighbouring cells.
    out += "<g shape-rendering=\"crispEdges\">\n";
    for (std::size_t r = 0; r < rows; ++r) {
        const double top = py(edges[r + 1]), bottom = py(edges[r]);
        for (std::size_t c = 0; c < columns;) {
            const double v = map.values[c * rows + r];
            const int level = usable(v) ? scale.level(v) : -1;
            std::size_t end = c + 1;
            while (end < columns) {
                const double w = map.values[end * rows + r];
                if ((usable(w) ? scale.level(w) : -1) != level) break;
                ++end;
            }
            const std::string fill = level < 0 ? "#dddddd" : heat_colour(level / double(kLevels - 1));
            out += rect(px(map.x[c] - step / 2), bottom, px(map.x[end - 1] + step / 2), top, fill);
            c = end;
        }
    }
    out += "</g>\n";

    // Ticks and labels.
    for (std::size_t i = 0; i < xa.ticks.size(); ++i) {
        const double p = px(xa.ticks[i]);
        out += "<line x1=\"" + number(p) + "\" y1=\"" + number(y0) + "\" x2=\"" + number(p) + "\" y2=\"" +
               number(y0 + 5) + "\" stroke=\"black\"/>\n<text x=\"" + number(p) + "\" y=\"" + number(y0 + 18) +
               "\" text-anchor=\"middle\">" + xa.labels[i] + "</text>\n";
    }
    for (double v : rows > 0 ? log_ticks(edges.front(), edges.back()) : std::vector<double>{}) {
        const double p = py(v);
        out += "<line x1=\"" + number(x0 - 5) + "\" y1=\"" + number(p) + "\" x2=\"" + number(x0) + "\" y2=\"" +
               number(p) + "\" stroke=\"black\"/>\n<text x=\"" + number(x0 - 8) + "\" y=\"" + number(p + 4) +
               "\" text-anchor=\"end\">" + scientific_label(v) + "</text>\n";
    }
    out += "<rect x=\"" + number(x0) + "\" y=\"" + number(y1) + "\" width=\"" + number(x1 - x0) + "\" height=\"" +
           number(y0 - y1) + "\" fill=\"none\" stroke=\"black\"/>\n";
    out += "<text x=\"" + number((x0 + x1) / 2) + "\" y=\"" + number(map.height - 12) + "\" text-anchor=\"middle\">" +
           xml_escaped(map.x_label) + "</text>\n";
    out += "<text transform=\"translate(16," + number((y0 + y1) / 2) + ") rotate(-90)\" text-anchor=\"middle\">" +
           xml_escaped(map.y_label) + "</text>\n";

    // The colour bar, from the smallest value at the bottom to the largest at the top.
    const double bx = x1 + 24;
    out += "<g shape-rendering=\"crispEdges\">\n";
    for (int level = 0; level < kLevels; ++level) {
        const double top = y0 + (level + 1.0) / kLevels * (y1 - y0), bottom = y0 + double(level) / kLevels * (y1 - y0);
        out += rect(bx, bottom, bx + kBarWidth, top, heat_colour(level / double(kLevels - 1)));
    }
    out += "</g>\n";
    out += "<rect x=\"" + number(bx) + "\" y=\"" + number(y1) + "\" width=\"" + number(kBarWidth) + "\" height=\"" +
           number(y0 - y1) + "\" fill=\"none\" stroke=\"black\"/>\n";
    if (any) {
        for (double v : log_ticks(smallest, largest)) {
            const double t = scale.hi > scale.lo ? (std::log10(v) - scale.lo) / (scale.hi - scale.lo) : 0.5;
            const double p = y0 + t * (y1 - y0);
            out += "<line x1=\"" + number(bx + kBarWidth) + "\" y1=\"" + number(p) + "\" x2=\"" +
                   number(bx + kBarWidth + 4) + "\" y2=\"" + number(p) + "\" stroke=\"black\"/>\n<text x=\"" +
                   number(bx + kBarWidth + 6) + "\" y=\"" + number(p + 4) + "\">" + scientific_label(v) + "</text>\n";
        }
    } else {
        out += "<text x=\"" + number((x0 + x1) / 2) + "\" y=\"" + number((y0 + y1) / 2) +
               "\" text-anchor=\"middle\">no values to plot</text>\n";
    }
    out += "<text transform=\"translate(" + number(map.width - 14) + "," + number((y0 + y1) / 2) +
           ") rotate(-90)\" text-anchor=\"middle\">" + xml_escaped(map.value_label) + "</text>\n";
    return out + "</svg>\n";
}

}  // namespace analyze
