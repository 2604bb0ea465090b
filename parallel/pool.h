#pragma once
#include <functional>

// A fixed set of worker threads that stay alive between jobs, so that a job as short as one
// search move pays a wake-up, not a thread start. The calling thread does part 0 itself.

// Threads that per-gene-tree work may use (--threads; 0 means every core).
void setthreads(int n);
int threadcount();

// Runs body(t) for t = 0 .. parts - 1, part 0 on the calling thread, and returns when every
// part has. parts must not exceed threadcount(). Not reentrant: call it from one thread.
// Parts run quietly (trees/fatal.h), so no error ends the run from a worker thread: a part
// that fails is run again on the calling thread once every part has returned, where its
// error is reported as on one thread; if it does not fail again, its failure is rethrown.
void runparts(int parts, const std::function<void(int)>& body);
