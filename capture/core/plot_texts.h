#pragma once
// The two text lines under the plot area: the axis line and the statistics line.
#include <string>

#include "plot_statistics.h"

namespace ticklog {

// Heading of the axis line while the status list is shown.
inline constexpr const char* kListHeading = "#:  cycles (unscaled), sec (scaled)";

// "X-Axis: %d sec/div, Y-Axis: %5.3e to %5.3e = %5.3e/div" for the frequency plot,
// "X-Axis: %d sec/div, Y-Axis: %7.5e to %7.5e = %5.3e/div" for the phase plot: the
// seconds per division, minimum, maximum and a fifth of the range.
std::string PlotAxisText(int size, bool freq_plot, const PlotStatistics& stats);

// "Last Freq= %8.5e; Avg Freq= %8.5e +/- %6.3e (scaled)".
std::string PlotStatisticsText(double last_freq, const PlotStatistics& stats);

}  // namespace ticklog
