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

// Extremes of the slots from `first` to `end` - 1 that `take` accepts; with none, both 0.
template <class Take>
void FindExtremes(const std::vector<double>& history, std::size_t first, std::size_t end, Take take,
                  PlotStatistics& stats) {
    bool any = false;
    stats.minimum = 0.0;
    stats.maximum = 0.0;
    for (std::size_t i = first; i < end; ++i) {
        if (!take(i)) continue;
        if (!any || history[i] < stats.minimum) stats.minimum = history[i];
        if (!any || history[i] > stats.maximum) stats.maximum = history[i];
        any = true;
    }
    stats.plot_range = stats.maximum - stats.minimum;
}

}  // namespace

void UpdatePlotStatistics(const PlotHistories& histories, int held_points, bool freq_plot,
                          PlotStatistics& stats) {
    if (!PlotHistoriesReady(histories)) return;
    const std::vector<double>& f = histories.freq;
    const std::size_t end = HeldEnd(f, held_points);
    // Gaps measured nothing: they count in neither the mean, the spread nor the scale.
    const auto measured = [&](std::size_t i) {
        return !IsFrequencyGap(histories, held_points, static_cast<int>(i));
    };

    double sum = 0.0;
    std::size_t values = 0;
    for (std::size_t i = 1; i < end; ++i) {
        if (!measured(i)) continue;
        sum += f[i];
        ++values;
    }
    if (values >= 1) {
        const double count = static_cast<double>(values);
        stats.freq_mean = sum / count;
        if (values >= 2) {
            double squares = 0.0;
            for (std::size_t i = 1; i < end; ++i) {
                if (!measured(i)) continue;
                const double d = f[i] - stats.freq_mean;
                squares += d * d;
            }
            stats.freq_spread = std::sqrt(squares) / count;
        }
    }

    if (freq_plot)
        FindExtremes(f, 1, end, measured, stats);
    else
        FindExtremes(
            histories.phase, 0, HeldEnd(histories.phase, held_points),
            [](std::size_t) { return true; }, stats);
}

int SecondsPerDivision(int size) { return static_cast<int>(size * 0.125); }

}  // namespace ticklog
