#pragma once
// Mean, spread and extremes that the live plot shows and scales itself by.
#include "plot_history.h"

namespace ticklog {

struct PlotStatistics {
    double freq_mean = 0.0;    // FreqMean over F[1] .. F[n - 1]
    double freq_spread = 0.0;  // FreqSpread; keeps its last value while it cannot be computed
    double minimum = 0.0;      // of the plotted quantity
    double maximum = 0.0;
    double plot_range = 0.0;  // PlotRange = maximum - minimum
};

// Recomputes the statistics from the `held_points` slots in use (n). FreqMean needs
// one frequency value and otherwise keeps its value; FreqSpread is sqrt(sum of squared
// deviations) divided by the number of values (not the sample deviation) and needs two.
// The extremes run over F[1 .. n-1] for the frequency plot and P[0 .. n-1] for the
// phase plot; with no value both are 0. Frequency gaps (IsFrequencyGap) are no values.
// Histories that are not ready leave everything as is.
void UpdatePlotStatistics(const PlotHistories& histories, int held_points, bool freq_plot,
                          PlotStatistics& stats);

// Seconds per division of the x axis: Size / 8, one reading per second.
int SecondsPerDivision(int size);

}  // namespace ticklog
