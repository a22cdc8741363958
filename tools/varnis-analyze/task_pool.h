// Runs a list of independent tasks on a few threads.
#pragma once
#include <functional>

namespace analyze {

// Calls task(i) once for every i in 0 .. count - 1 on up to `threads` threads (0: one
// per processor), each thread taking the next task in order as it finishes one.
// Tasks not started when *stop becomes nonzero are skipped. done(i), when given, is
// called after each task, one call at a time.
void run_tasks(int count, int threads, const std::function<void(int)> &task, const int *stop,
               const std::function<void(int)> &done = nullptr);

}  // namespace analyze
