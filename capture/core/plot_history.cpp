#include "plot_history.h"

#include <new>
#include <stdexcept>

namespace ticklog {

bool AllocatePlotHistory(std::vector<double>& history, int size) {
    history.clear();
    if (size < 0) return false;
    try {
        history.assign(static_cast<std::size_t>(size) + 2, 0.0);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

bool PlotHistoriesReady(const PlotHistories& histories) {
    const std::size_t slots = static_cast<std::size_t>(histories.size) + 2;
    return histories.size > 0 && histories.phase.size() == slots && histories.freq.size() == slots;
}

namespace {

void AppendToHistory(std::vector<double>& history, int held_points, int size, double value) {
    if (held_points < 1 || static_cast<std::size_t>(held_points) > history.size()) return;
    const std::size_t last = static_cast<std::size_t>(held_points) - 1;
    history[last] = value;
    if (held_points > size + 1) {
        for (std::size_t k = 0; k < last; ++k) history[k] = history[k + 1];
    }
}

}  // namespace

void AppendToPlotHistories(PlotHistories& histories, int held_points, double scaled,
                           double frequency) {
    AppendToHistory(histories.phase, held_points, histories.size, scaled);
    AppendToHistory(histories.freq, held_points, histories.size, frequency);
}

bool IsFrequencyGap(const PlotHistories& histories, int held_points, int slot) {
    if (held_points > histories.size + 1 && slot == held_points - 1) --slot;
    const std::vector<double>& p = histories.phase;
    return p[static_cast<std::size_t>(slot)] == 0.0 || p[static_cast<std::size_t>(slot) - 1] == 0.0;
}

int ClampHeldPoints(int held_points, int size) {
    return held_points > size + 1 ? size + 1 : held_points;
}

}  // namespace ticklog
