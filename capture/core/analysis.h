// Hand-off to the external analysis program, and the start-up trace hook.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "program_start.h"
#include "shared_memory.h"
#include "view.h"

namespace ticklog {

// "\"P\" -t 1.0 -p \"D\" -o auto1 -o skip". A double quote inside P or D is
// escaped so that splitting gives P and D back unchanged.
std::string AnalysisCommandLine(const std::string& program, const std::string& File);

// Splits a command line into program and arguments: white space separates, double
// quotes group, \" is a literal quote, 2n backslashes before a quote give n.
std::vector<std::string> SplitCommandLine(std::string_view line);

// Starts the analysis program on `File`; the result is not examined.
void StartAnalysis(ProgramStart& start, const std::string& program, const std::string& File);

// Name of the trace hook's shared memory block.
inline constexpr const char* kTraceMemoryName = "/MyFileMappingObject";

// Writes "Hello from Ticklog" into the block, or shows "OpenFileMapping Failed".
void RunTraceHook(SharedMemory& memory, View& view);

}  // namespace ticklog
