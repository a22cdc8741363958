#include "plot_statistics.h"

#include <cmath>
#include <cstddef>

namespace ticklog {

namespace {

// Held slots from `first` to n - 1, bounded by the history's length.
std::size_t HeldEnd(const std::vector<double>& history, int held_points) {
    if (held_points <= 0) return 0;
    const std::size_t n = static_cast<std::size_t>(held_points);
    return n < history.size() ? n : history.size();
}

void FindExtremes(const std::vector<double>& history, std::size_t first, std::size_t end,
                  PlotStatistics& stats) {
    stats.minimum = 0.0;
    stats.maximum = 0.0;
    if (first < end) {
        stats.minimum = history[first];
        stats.maximum = history[first];
        for (std::size_t i = first + 1; i < end; ++i) {
            if (history[i] < stats.minimum) stats.minimum = history[i];
            if (history[i] > stats.maximum) stats.maximum = history[i];
        }
    }
    stats.plot_range = stats.maximum - stats.minimum;
}

}  // namespace

void UpdatePlotStatistics(const PlotHistories& histories, int held_points, bool freq_plot,
                          PlotStatistics& stats) {
    if (!PlotHistoriesReady(histories)) return;
    const std::vector<double>& f = histories.freq;
    const std::size_t end = HeldEnd(f, held_points);

    if (end >= 2) {
        const double count = static_cast<double>(end - 1);
        double sum = 0.0;
        for (std::size_t i = 1; i < end; ++i) sum += f[i];
        stats.freq_mean = sum / count;
        if (end > 2) {
            double squares = 0.0;
            for (std::size_t i = 1; i < end; ++i) {
                const double d = f[i] - stats.freq_mean;
                squares += d * d;
            }
            stats.freq_spread = std::sqrt(squares) / count;
        }
    }

    if (freq_plot)
        FindExtremes(f, 1, end, stats);
    else
        FindExtremes(histories.phase, 0, HeldEnd(histories.phase, held_points), stats);
}

int SecondsPerDivision(int size) { return static_cast<int>(size * 0.125); }

}  // namespace ticklog
