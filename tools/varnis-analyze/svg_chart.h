// A chart as SVG: linear or logarithmic axes with labels in scientific notation
// (superscript exponents) and units, lines with markers and error bars, min/max bands
// for long records, dashed guide lines and a legend. The plots of the report and the
// sigma-tau picture are all charts.
#pragma once
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace analyze {

enum class Scale { Linear, Log };

// The extent of the values an axis must show (on a log axis the positive ones only).
struct Range {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    void add(double v, Scale scale) {
        if (!std::isfinite(v) || (scale == Scale::Log && !(v > 0.0))) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    bool empty() const { return lo > hi; }
};

// An axis: its end values (decade exponents on a log axis) and its ticks.
struct Axis {
    Scale scale = Scale::Linear;
    double lo = 0.0, hi = 1.0;  // in axis units: value, or log10 of the value
    std::vector<double> ticks;  // in axis units
    std::vector<std::string> labels;

    double position(double value) const {  // 0 .. 1 along the axis
        double v = scale == Scale::Log ? std::log10(value) : value;
        return (v - lo) / (hi - lo);
    }
};

// The axis that shows a range: whole decades on a log axis, ticks at 1, 2 or 5 times a
// power of ten on a linear one, labels in scientific notation with superscripts.
Axis make_axis(const Range &range, Scale scale);
// A superscript exponent as an SVG text span, e.g. for "10" + superscript(-9).
std::string superscript(int exponent);

struct Series {
    std::string label;  // in the legend; empty: not listed
    std::string colour;
    std::vector<double> x, y;
    // Error bars (both empty, or one entry per point; a NaN entry: no bar).
    std::vector<double> lower, upper;
    // A band between two curves over x (both empty, or one entry per x): the extremes
    // of each slice of a long record; a NaN entry breaks the band.
    std::vector<double> band_low, band_high;
    bool markers = true;
    bool dashed = false;
    std::string end_label;  // written at the line's last point (noise-slope guides)
};

struct Chart {
    std::string title;
    std::string x_label, y_label;  // with the unit, e.g. "Averaging time τ (s)"
    Scale x_scale = Scale::Linear, y_scale = Scale::Linear;
    std::vector<Series> series;
    std::string note;  // a line under the legend
    double width = 760, height = 420;
};

// An <svg> element; standalone adds the XML declaration for a file of its own.
std::string svg_chart(const Chart &chart, bool standalone);
// Text with the XML special characters replaced by entities.
std::string xml_escaped(const std::string &text);

}  // namespace analyze
