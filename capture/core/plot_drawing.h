#pragma once
// The live plot as coloured line segments in the plot area's pixel coordinates
// (origin top left, y growing downwards), ready to be rasterised off screen.
#include <vector>

#include "plot_history.h"
#include "plot_statistics.h"

namespace ticklog {

enum class PlotPen { Grid, Data, Mean };  // black, red (255,0,0), green (0,255,0)

// A line from (x0, y0) to (x1, y1); its end point is not painted.
struct PlotSegment {
    PlotPen pen;
    int x0, y0, x1, y1;
    bool operator==(const PlotSegment&) const = default;
};

struct PlotPicture {
    bool has_data = false;              // false: the plot area shows "No Plot Data"
    std::vector<PlotSegment> segments;  // grid first, then data, then the mean line
};

// Lays out the plot of the `held_points` slots in use for an area of width x height
// pixels: a grid of five by eight divisions, the phase line or the frequency
// staircase, and for the frequency the mean line. Without a usable range (no
// variation, too few points, a value that is not finite) there is no picture.
PlotPicture LayOutPlot(const PlotHistories& histories, int held_points, bool freq_plot,
                       const PlotStatistics& stats, int width, int height);

// The pixels a segment paints: a straight line from its start towards its end,
// the end point itself excluded (a zero-length segment paints nothing).
struct PlotPixel {
    int x, y;
    bool operator==(const PlotPixel&) const = default;
};
std::vector<PlotPixel> RasterizeSegment(const PlotSegment& segment);

}  // namespace ticklog
