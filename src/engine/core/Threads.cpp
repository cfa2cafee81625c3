#include "engine/core/Threads.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <stdexcept>
#include <thread>
#include <vector>

#include <pthread.h>
#include <sched.h>

#include "engine/core/RunParams.h"

namespace tavro::detail {

namespace {
std::atomic<unsigned> ForcedThreads{0};
}  // namespace

bool ShareOut(double size, double threshold) { return size >= threshold || ForcedThreads.load() != 0; }

void SetThreadsForTesting(unsigned threads) { ForcedThreads = threads; }

unsigned UsefulThreads(unsigned most) {
  if (const unsigned forced = ForcedThreads.load()) return forced;
  unsigned n = std::thread::hardware_concurrency();
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) n = static_cast<unsigned>(CPU_COUNT(&set));
  return std::clamp(n, 1u, std::max(most, 1u));
}

namespace {

struct Helper {
  const std::function<void(unsigned)>* Work = nullptr;
  unsigned Index = 0;
  const std::atomic<bool>* Stop = nullptr;
  std::chrono::steady_clock::time_point Deadline;
  cpu_set_t All;
  bool Move = false;
  std::exception_ptr Error;
  pthread_t Thread;
};

void* RunHelper(void* arg) {
  auto& helper = *static_cast<Helper*>(arg);
  // Started away from the caller; free to run anywhere from here on.
  if (helper.Move) sched_setaffinity(0, sizeof helper.All, &helper.All);
  try {
    const TStopScope scope(helper.Stop);
    ExactDeadline = helper.Deadline;
    (*helper.Work)(helper.Index);
  } catch (...) {
    helper.Error = std::current_exception();
  }
  return nullptr;
}

}  // namespace

void RunOnThreads(unsigned threads, const std::function<void(unsigned)>& work) {
  if (threads <= 1) {
    work(0);
    return;
  }
  cpu_set_t all, others;
  const bool placed = sched_getaffinity(0, sizeof all, &all) == 0;
  others = all;
  const int here = sched_getcpu();
  if (here >= 0) CPU_CLR(here, &others);
  const bool move = placed && CPU_COUNT(&others) > 0;

  std::vector<Helper> helpers(threads - 1);
  size_t started = 0;
  std::exception_ptr error;
  for (; started < helpers.size(); ++started) {
    Helper& helper = helpers[started];
    helper.Work = &work;
    helper.Index = static_cast<unsigned>(started + 1);
    helper.Stop = RunStopFlag;
    helper.Deadline = ExactDeadline;
    helper.All = all;
    helper.Move = move;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    if (move) pthread_attr_setaffinity_np(&attr, sizeof others, &others);
    const int failed = pthread_create(&helper.Thread, &attr, RunHelper, &helper);
    pthread_attr_destroy(&attr);
    if (failed) break;
  }
  try {
    // Work the helpers could not be started for is done here.
    for (size_t k = started + 1; k < threads; ++k) work(static_cast<unsigned>(k));
    work(0);
  } catch (...) {
    error = std::current_exception();
  }
  for (size_t k = 0; k < started; ++k) pthread_join(helpers[k].Thread, nullptr);
  if (error) std::rethrow_exception(error);
  for (size_t k = 0; k < started; ++k)
    if (helpers[k].Error) std::rethrow_exception(helpers[k].Error);
}

}  // namespace tavro::detail
