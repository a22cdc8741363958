#include "plot_texts.h"

#include "number_text.h"

namespace ticklog {

std::string PlotAxisText(int size, bool freq_plot, const PlotStatistics& stats) {
    const int precision = freq_plot ? 3 : 5;
    const int width = freq_plot ? 5 : 7;
    return "X-Axis: " + IntegerText(SecondsPerDivision(size)) +
           " sec/div, Y-Axis: " + ScientificText(stats.minimum, precision, false, width) + " to " +
           ScientificText(stats.maximum, precision, false, width) + " = " +
           ScientificText(stats.plot_range * 0.2, 3, false, 5) + "/div";
}

std::string PlotStatisticsText(double last_freq, const PlotStatistics& stats) {
    return "Last Freq= " + ScientificText(last_freq, 5, false, 8) +
           "; Avg Freq= " + ScientificText(stats.freq_mean, 5, false, 8) + " +/- " +
           ScientificText(stats.freq_spread, 3, false, 6) + " (scaled)";
}

}  // namespace ticklog
