// The progress bar on standard error and the stop flag that Ctrl-C sets.
#pragma once

namespace analyze {

// The flag the library reads after each outer iteration of a long calculation.
int *stop_flag();
bool stop_requested();
// SIGINT sets the stop flag instead of ending the process.
void install_interrupt_handler();
// Progress callback for the library: draws "title [#####     ]  45%" on standard
// error, redrawn only when the percentage changes; (0, "") clears the line.
void show_progress(int percent, const char *text);

}  // namespace analyze
