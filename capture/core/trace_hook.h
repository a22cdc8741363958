// The start-up trace hook: when no port could be opened at start, the window greets
// a trace tool through a named shared memory block that the tool created.
#pragma once

#include "shared_memory.h"
#include "view.h"

namespace ticklog {

// Name of the trace hook's shared memory block.
inline constexpr const char* kTraceMemoryName = "/MyFileMappingObject";

// Writes "Hello from Ticklog" into the block, or shows "OpenFileMapping Failed".
void RunTraceHook(SharedMemory& memory, View& view);

}  // namespace ticklog
