// The command line of varnis-analyze, including the capture program's hand-off
// form: -t 1.0 -p "FILE" -o auto1 -o skip.
#pragma once
#include <string>
#include <vector>

#include "analysis.h"
#include "data_file.h"

namespace analyze {

struct Options {
    AnalysisSettings settings;     // -t, -p/-f, --confidence, --drift, --taus
    std::string data_path;         // -p (phase) or -f (frequency)
    ZeroReading zeros = ZeroReading::Gap;  // --zeros gap|value
    bool automatic = false;        // -o auto1 (the full analysis is the only one there is)
    bool wait_at_end = true;       // cleared by -o skip
    std::string plot_path;         // --plot FILE.svg
    std::string csv_path;          // --csv FILE
    std::string report_path;       // --report FILE.html
    std::string text_path;         // -o auto1: the printed table, also kept in a file
    double follow_seconds = 0.0;   // --follow SECONDS; 0: one analysis
    bool help = false;
    // --hat AB BC CA: the three-cornered hat of three pairwise files instead of one
    // file's analysis, with --hat-statistic and --hat-data; -t may then give each
    // file's sampling interval (TAU_AB,TAU_BC,TAU_CA), which must agree.
    std::vector<std::string> hat_paths;
    std::string hat_statistic = "oadev";
    std::vector<double> hat_tau0s;
};

struct ParsedCommandLine {
    Options options;
    std::string error;  // empty when the command line is usable
};

ParsedCommandLine parse_command_line(const std::vector<std::string> &arguments);
std::string usage_text();

}  // namespace analyze
