// The cube walks at every width against brute force: the complement of a
// random cover and the smallest term it leaves out, with the cover's inputs
// spread over a narrow, a 64-bit and two wide cube types.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "engine/core/CubeSets.h"

namespace tavro {
namespace {

// Whether the row (one '0' or '1' per pattern position) lies in a cube of
// the cover.
bool Holds(const TCover& cover, const std::string& row) {
  for (size_t k = 0; k < cover.Count(); ++k) {
    const std::string p = cover.Pattern(k);
    bool in = true;
    for (size_t i = 0; i < p.size() && in; ++i) in = p[i] == '-' || p[i] == row[i];
    if (in) return true;
  }
  return false;
}

TEST(CubeSets, ComplementAndFirstUncoveredEqualBruteForceAtEveryWidth) {
  std::mt19937 rng(3);
  const uint64_t tag = 1;
  for (const int width : {10, 40, 100, 700}) {
    for (int trial = 0; trial < 20; ++trial) {
      // The cubes use ten inputs at random positions; the others are free.
      std::vector<int> used;
      while (used.size() < 10) {
        const int k = static_cast<int>(rng() % static_cast<unsigned>(width));
        if (std::find(used.begin(), used.end(), k) == used.end()) used.push_back(k);
      }
      TCover cover(width, 1);
      // Odd trials: larger cubes, which often cover the whole space (the
      // walk's one-sided inputs matter there).
      const int cubes = static_cast<int>(rng() % (trial % 2 ? 40 : 12));
      for (int c = 0; c < cubes; ++c) {
        std::vector<uint64_t> value((static_cast<size_t>(width) + 63) / 64, 0), mask(value.size(), ~uint64_t{0});
        for (const int k : used) {
          const unsigned r = rng() % (trial % 2 ? 8 : 3);
          if (r >= 2) continue;
          mask[static_cast<size_t>(k) / 64] &= ~(uint64_t{1} << (k % 64));
          if (r == 1) value[static_cast<size_t>(k) / 64] |= uint64_t{1} << (k % 64);
        }
        if (width <= 32) cover.Add(static_cast<uint32_t>(value[0]), static_cast<uint32_t>(mask[0]), &tag);
        else cover.AddWords(value.data(), mask.data(), &tag);
      }
      TCover complement(width, 1);
      AppendComplement({&cover}, 0, width, &tag, complement);
      std::string row(static_cast<size_t>(width), '0');
      for (uint32_t t = 0; t < 1024; ++t) {
        for (char& c : row) c = "01"[rng() % 2];
        for (size_t i = 0; i < used.size(); ++i)
          row[static_cast<size_t>(width - 1 - used[i])] = (t >> i) & 1u ? '1' : '0';
        ASSERT_NE(Holds(cover, row), Holds(complement, row)) << "width " << width << " row " << row;
      }
      // The first term left out: with every input 0 but the used ones,
      // the smallest such row that no cube holds.
      int64_t first = -1;
      for (uint32_t t = 0; t < 1024 && first < 0; ++t) {
        // Rows ascend with the used inputs taken from the highest position.
        std::vector<int> order = used;
        std::sort(order.begin(), order.end());
        std::string r(static_cast<size_t>(width), '0');
        for (size_t i = 0; i < order.size(); ++i)
          r[static_cast<size_t>(width - 1 - order[i])] = (t >> i) & 1u ? '1' : '0';
        if (!Holds(cover, r)) first = t;
      }
      const int64_t found = WithCubeBits(width, [&](auto b) -> int64_t {
        using B = decltype(b);
        B fixedZero{};
        B free{};
        for (const int k : used) free |= bits::One<B>(k);
        const auto t = FirstUncovered<B>(fixedZero, free, TaggedCubes<B>(&cover, 0));
        if (!t) return -1;
        std::vector<int> order = used;
        std::sort(order.begin(), order.end());
        int64_t index = 0;
        for (size_t i = 0; i < order.size(); ++i) index |= int64_t{bits::Test(*t, order[i])} << i;
        return index;
      });
      EXPECT_EQ(found, first) << "width " << width << " trial " << trial;
    }
  }
}

}  // namespace
}  // namespace tavro
