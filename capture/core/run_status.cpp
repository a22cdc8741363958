#include "run_status.h"

#include <chrono>

#include "number_text.h"

namespace ticklog {
namespace {

int WholeSeconds(double seconds) {
    return seconds > 0.0 && seconds < 2e9 ? static_cast<int>(seconds) : 0;
}

std::string TwoDigits(int value) { return (value < 10 ? "0" : "") + IntegerText(value); }

// H:MM:SS
std::string ElapsedText(double seconds) {
    const int s = WholeSeconds(seconds);
    return IntegerText(s / 3600) + ":" + TwoDigits(s / 60 % 60) + ":" + TwoDigits(s % 60);
}

// "1 record", "N records".
std::string RecordsText(int count) {
    return IntegerText(count) + (count == 1 ? " record" : " records");
}

std::string LostText(const DataFileRun& file) {
    return file.records_lost > 0 ? " (" + IntegerText(file.records_lost) + " not written)" : "";
}

// The data file comes last: a line cut off at the window's edge keeps the figures.
std::string DataFileText(const std::string& data_file) { return "; data file " + data_file; }

}  // namespace

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string IdleRunLine(const std::string& data_file) { return "Idle" + DataFileText(data_file); }

std::string RefusedRunLine(const std::string& data_file) {
    return "Not recording: the data file could not be opened, so the run did not start" +
           DataFileText(data_file);
}

std::string RunningRunLine(const RunProgress& progress, const DataFileRun& file, double now) {
    const double elapsed = now - progress.started;
    const double per_minute = elapsed > 0.0 ? progress.readings * 60.0 / elapsed : 0.0;
    const bool any = progress.last_reading >= 0.0;
    const double quiet = now - (any ? progress.last_reading : progress.started);
    const std::string last = progress.silent || !any
                                 ? "no data for " + IntegerText(WholeSeconds(quiet)) + " s"
                                 : "last reading " + IntegerText(WholeSeconds(quiet)) + " s ago";
    const std::string state = file.writing_fails
                                  ? "WARNING: records are not being written (disk full?): "
                                  : "Recording: ";
    return state + RecordsText(file.records_written) + LostText(file) + ", " +
           ElapsedText(elapsed) + ", " + FixedText(per_minute, 1) + " readings/min, " + last +
           DataFileText(progress.data_file);
}

std::string StoppedRunLine(const RunProgress& progress, const DataFileRun& file, double now) {
    return "Stopped: " + RecordsText(file.records_written) + LostText(file) + " in " +
           ElapsedText(now - progress.started) + DataFileText(progress.data_file);
}

}  // namespace ticklog
