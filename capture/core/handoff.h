// Hand-off of the data file to the external analysis program that the settings name
// (Vantor): its command line, split by the usual quoting rules and started directly.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "program_start.h"

namespace ticklog {

// "\"P\" -t 1.0 -p \"D\" -o auto1 -o skip". A double quote inside P or D is
// escaped so that splitting gives P and D back unchanged.
std::string AnalysisCommandLine(const std::string& program, const std::string& data_file);

// Splits a command line into program and arguments: white space separates, double
// quotes group, \" is a literal quote, 2n backslashes before a quote give n.
std::vector<std::string> SplitCommandLine(std::string_view line);

// Starts the analysis program on `data_file`; the result is not examined.
void StartAnalysis(ProgramStart& start, const std::string& program, const std::string& data_file);

// The status line of the analysis button when no program is set: what is missing
// and where to set it ("Vantor=" in [Preferences] of the settings file).
std::string NoAnalysisProgramLine(const std::string& settings_path);

}  // namespace ticklog
