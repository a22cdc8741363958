// A chart as SVG: linear or logarithmic axes with labels in scientific notation
// (superscript exponents) and units, lines with markers and error bars, min/max bands
// for long records, dashed guide lines and a legend. The plots of the report and the
// sigma-tau picture are all charts.
#pragma once
#include <string>
#include <vector>

namespace analyze {

enum class Scale { Linear, Log };

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
