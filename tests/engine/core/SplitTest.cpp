// Splitting cubes on one input: a half keeps exactly the cubes with a term in
// it, in their order, and leaves the stack below it as it was.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/core/Split.h"

using namespace tavro;

TEST(Split, AHalfHoldsTheCubesWithATermInIt) {
  std::mt19937 rng(8);
  for (int round = 0; round < 300; ++round) {
    const int width = 1 + static_cast<int>(rng() % 6);
    const uint32_t all = (uint32_t{1} << width) - 1;
    std::vector<TCubeRef> stack;
    for (int k = static_cast<int>(rng() % 12); k > 0; --k) {
      const uint32_t mask = static_cast<uint32_t>(rng()) & all;
      stack.push_back({static_cast<uint32_t>(rng()) & ~mask & all, mask});
    }
    const size_t c0 = rng() % (stack.size() + 1), c1 = c0 + rng() % (stack.size() - c0 + 1);
    const uint32_t bit = uint32_t{1} << (rng() % static_cast<uint32_t>(width));
    for (const uint32_t half : {uint32_t{0}, bit}) {
      std::vector<TCubeRef> expected(stack.begin(), stack.end());
      for (size_t k = c0; k < c1; ++k) {
        bool meets = false;
        for (uint32_t t = 0; t <= all && !meets; ++t)
          meets = (t & ~stack[k].Mask) == stack[k].Value && (t & bit) == half;
        if (meets) expected.push_back(stack[k]);
      }
      std::vector<TCubeRef> split = stack;
      ASSERT_EQ(PushHalf(split, c0, c1, bit, half), stack.size());
      ASSERT_EQ(split.size(), expected.size());
      for (size_t k = 0; k < split.size(); ++k)
        ASSERT_TRUE(split[k].Value == expected[k].Value && split[k].Mask == expected[k].Mask) << "cube " << k;
    }
  }
}

// The word counter picks the input MostFixed picks from counts kept one by
// one, also past the 255 cubes its byte counters hold before they pass on.
TEST(Split, TheWordCounterPicksAsTheCountsDo) {
  std::mt19937_64 rng(12);
  for (const int n : {0, 1, 7, 254, 255, 256, 600}) {
    for (int round = 0; round < 20; ++round) {
      // Sparse or dense words, leaning to some inputs so that the counts differ.
      const uint64_t lean = rng();
      TWordInputCounter counter;
      std::vector<int> counts(64, 0);
      for (int k = 0; k < n; ++k) {
        const uint64_t fixed = round % 2 ? (rng() & rng() & lean) : (rng() | lean);
        counter.Add(fixed);
        for (int b = 0; b < 64; ++b) counts[static_cast<size_t>(b)] += static_cast<int>((fixed >> b) & 1u);
      }
      EXPECT_EQ(counter.Most(), MostFixed(counts.data(), 64)) << "n " << n << " round " << round;
    }
  }
}
