// One burst from the instrument becomes a reading: the raw text without its line
// end, its value in cycles, the value scaled to seconds, and the first difference
// from the previous reading.
#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace ticklog {

struct Reading {
    std::string raw_text;  // the burst without its last two bytes
    double value = 0.0;    // cycles (unscaled)
    double scaled = 0.0;   // seconds: value * Scale
};

// The phase history that outlives runs: the previous scaled value and the latest
// frequency (first difference of consecutive scaled values, not divided by time).
struct PhaseTrack {
    double previous_phase = 0.0;
    double current_freq = 0.0;
};

// Decodes a burst of at least one byte. `count` is the reading's number within the
// run (1 for the first); the first reading of a run leaves current_freq unchanged.
Reading DecodeReading(std::span<const unsigned char> burst, int count, double scale,
                      PhaseTrack& track);

// The status-list line of a reading: "%d:    " raw text "    %20.15e".
std::string FormatListLine(int count, const Reading& reading);

// The data file's record of a scaled reading: "%20.15e\r\n".
std::string FormatRecord(double scaled);

}  // namespace ticklog
