// The folder of the running program, taken from the executable the system started,
// so that the settings, the help file and the default data file do not depend on how
// or from which working folder the program was started.
#pragma once

#include <string>
#include <string_view>

namespace ticklog {

// The folder of /proc/self/exe, absolute and ending in '/'. Where that cannot be
// read, the folder of `argv0` taken against the working folder.
std::string RunningProgramFolder(std::string_view argv0);

}  // namespace ticklog
