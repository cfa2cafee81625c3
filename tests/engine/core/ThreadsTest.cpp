// Work shared out among threads: every share is done once, and what throws
// comes back to the caller, the caller's own error first, then the lowest
// helper's.

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/core/Threads.h"

namespace tavro::detail {
namespace {

TEST(Threads, EveryShareIsDoneOnceAndErrorsComeBackInOrder) {
  for (const unsigned threads : {1u, 2u, 5u}) {
    std::vector<std::atomic<int>> calls(threads);
    RunOnThreads(threads, [&](unsigned k) { ++calls[k]; });
    for (unsigned k = 0; k < threads; ++k) EXPECT_EQ(calls[k].load(), 1) << threads << " threads, share " << k;
  }
  const auto failing = [](std::vector<unsigned> throwers) {
    try {
      RunOnThreads(5, [&](unsigned k) {
        for (const unsigned t : throwers)
          if (t == k) throw std::runtime_error(std::to_string(k));
      });
    } catch (const std::runtime_error& e) {
      return std::string(e.what());
    }
    return std::string("none");
  };
  EXPECT_EQ(failing({}), "none");
  EXPECT_EQ(failing({4, 2}), "2");
  EXPECT_EQ(failing({3, 0}), "0");
}

}  // namespace
}  // namespace tavro::detail
