#pragma once
// Running one piece of work on several threads at once.

#include <functional>

namespace tavro::detail {

// How many threads are worth starting for parallel work: the processors
// this process may run on, at most `most`.
unsigned UsefulThreads(unsigned most);

// Whether work of this size is shared out among threads: from `threshold`
// on, or always while a test forces threads.
bool ShareOut(double size, double threshold);

// Test hook: while not 0, every piece of work that can be shared out is,
// among this many threads.
void SetThreadsForTesting(unsigned threads);

// Calls work(k) for k = 0 .. threads - 1, each on a thread of its own (k = 0
// on the caller's), and returns when all have returned; then rethrows what
// the caller's call threw, else what the lowest helper's threw. The run's
// stop flag holds on every thread. Each helper starts on another processor
// than the caller's where it can, so that it starts at once rather than
// waiting for the caller's processor to come free.
void RunOnThreads(unsigned threads, const std::function<void(unsigned)>& work);

}  // namespace tavro::detail
