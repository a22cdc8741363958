#include "plot_texts.h"

#include "number_text.h"

namespace ticklog {

std::string PlotAxisText(int size, bool freqPlot, const PlotStatistics& stats) {
    const int precision = freqPlot ? 3 : 5;
    const int width = freqPlot ? 5 : 7;
    return "X-Axis: " + FormatInt(SecondsPerDivision(size)) +
           " sec/div, Y-Axis: " + FormatExponential(stats.minimum, precision, false, width) +
           " to " + FormatExponential(stats.maximum, precision, false, width) + " = " +
           FormatExponential(stats.plotRange * 0.2, 3, false, 5) + "/div";
}

std::string PlotStatisticsText(double lastFreq, const PlotStatistics& stats) {
    return "Last Freq= " + FormatExponential(lastFreq, 5, false, 8) +
           "; Avg Freq= " + FormatExponential(stats.freqMean, 5, false, 8) + " +/- " +
           FormatExponential(stats.freqSpread, 3, false, 6) + " (scaled)";
}

}  // namespace ticklog
