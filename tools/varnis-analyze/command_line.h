// The command line of varnis-analyze, including the capture program's hand-off
// form: -t 1.0 -p "FILE" -o auto1 -o skip.
#pragma once
#include <string>
#include <vector>

namespace analyze {

enum class DataKind { Phase, Frequency };

struct Options {
    double tau0 = 1.0;             // -t: sampling interval, seconds
    std::string data_path;         // -p (phase) or -f (frequency)
    DataKind kind = DataKind::Phase;
    bool automatic = false;        // -o auto1 (the full analysis is the only one there is)
    bool wait_at_end = true;       // cleared by -o skip
    int confidence_percent = 68;   // --confidence 68|95
    std::string plot_path;         // --plot FILE.svg
    std::string csv_path;          // --csv FILE
    std::string text_path;         // -o auto1: the printed table, also kept in a file
    bool help = false;
};

struct ParsedCommandLine {
    Options options;
    std::string error;  // empty when the command line is usable
};

ParsedCommandLine parse_command_line(const std::vector<std::string> &arguments);
std::string usage_text();

}  // namespace analyze
