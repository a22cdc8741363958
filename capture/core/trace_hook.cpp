#include "trace_hook.h"

namespace ticklog {

void RunTraceHook(SharedMemory& memory, View& view) {
    if (memory.WriteToExisting(kTraceMemoryName, "Hello from Ticklog")) return;
    view.MessageBox(
        {"OpenFileMapping Failed", "Trace Str", Buttons::Ok, Icon::None, Answer::Ok, false});
}

}  // namespace ticklog
