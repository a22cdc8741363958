#pragma once
// The live plot's two histories: PhaseHistory holds the scaled readings and
// FreqHistory the first differences, oldest first, each with Size + 2 slots.
#include <vector>

namespace ticklog {

struct PlotHistories {
    int size = 0;               // Size: sample intervals across the plot width
    std::vector<double> phase;  // PhaseHistory; empty when it could not be allocated
    std::vector<double> freq;   // FreqHistory; slot i holds the difference ending at phase slot i
};

// Gives `history` Size + 2 zeroed slots. Returns false, leaving it empty, when the
// memory cannot be had; the caller then shows the allocation warning.
bool AllocatePlotHistory(std::vector<double>& history, int size);

using PlotHistoryAllocator = bool (*)(std::vector<double>& history, int size);

// True when both histories hold their Size + 2 slots, so the plot may use them.
bool PlotHistoriesReady(const PlotHistories& histories);

// Stores one reading. `held_points` is HeldPoints after the run loop increased it.
// With full histories (held_points > Size + 1) the newest value enters the last slot
// and everything moves one slot towards the front, so the oldest value leaves and
// the two last slots both hold the newest value. A missing history is left alone.
void AppendToPlotHistories(PlotHistories& histories, int held_points, double scaled,
                           double frequency);

// Whether frequency slot `slot` (1 .. held_points - 1) is a gap: a difference from or
// to a reading recorded as 0 (text that was no number), which measured nothing. With
// full histories the last slot repeats the one before it, and so does its gap.
bool IsFrequencyGap(const PlotHistories& histories, int held_points, int slot);

// HeldPoints after the reading's record was written: at most Size + 1.
int ClampHeldPoints(int held_points, int size);

}  // namespace ticklog
