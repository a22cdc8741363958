// The run line below the list and the plot: where the records go, how many were
// written, for how long, how fast the readings come and how long ago the last one
// came; a warning while records cannot be written.
#pragma once

#include <string>

#include "data_file_run.h"

namespace ticklog {

// Seconds on the steady clock the window times its runs with.
double SteadySeconds();

// The timing of one run, in seconds of one steady clock.
struct RunProgress {
    std::string data_file;       // the data file's full path
    double started = 0.0;        // when the run began
    double last_reading = -1.0;  // when the latest reading came; negative: none yet
    bool silent = false;         // the latest read delivered nothing
    int readings = 0;
};

// Each line ends with "; data file PATH", the data file's full path.

// Before a run: "Idle".
std::string IdleRunLine(const std::string& data_file);

// A Start whose data file could not be opened: "Not recording: the data file could
// not be opened, so the run did not start".
std::string RefusedRunLine(const std::string& data_file);

// During a run: "Recording: N records, H:MM:SS, R readings/min, last reading S s ago"
// ("no data for S s" while the line is silent; "N records (L not written)" once some
// were lost). While records cannot be written it begins "WARNING: records are not
// being written (disk full?): " instead of "Recording: ".
std::string RunningRunLine(const RunProgress& progress, const DataFileRun& file, double now);

// After Stop: "Stopped: N records in H:MM:SS" (or "N records (L not written)").
std::string StoppedRunLine(const RunProgress& progress, const DataFileRun& file, double now);

}  // namespace ticklog
