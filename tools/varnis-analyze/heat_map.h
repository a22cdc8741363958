// A heat map as SVG: a matrix of positive values over a linear x axis (columns) and a
// logarithmic y axis (rows), each cell coloured by the logarithm of its value on a
// perceptually even scale (viridis), with a labelled colour bar. The report's dynamic
// Allan deviation is one.
#pragma once
#include <string>
#include <vector>

namespace analyze {

struct HeatMap {
    std::string title;
    std::string x_label, y_label;  // with the unit, e.g. "Averaging time τ (s)"
    std::string value_label;       // the colour bar's, with the unit
    std::vector<double> x;         // the middle of each column, ascending, evenly spaced
    std::vector<double> y;         // the value of each row, ascending, positive
    // values[c * y.size() + r]: the cell of column c and row r; NaN or not positive:
    // no value (drawn grey).
    std::vector<double> values;
    double width = 760, height = 420;
};

// An <svg> element for an HTML page.
std::string svg_heat_map(const HeatMap &map);

// The colour of a fraction 0 .. 1 along the scale, as "#rrggbb".
std::string heat_colour(double fraction);

}  // namespace analyze
