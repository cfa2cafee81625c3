// The prime implicant chart: its merged columns against its one column per
// (function, care term) pair.

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "engine/chart/Chart.h"
#include "engine/primes/PrimeFinders.h"
#include "support/RandomSystems.h"
#include "support/SystemText.h"

using namespace tavro;
using namespace tavro::testing;

TEST(Chart, MergedColumnsAreThePairColumnsGroupedByRows) {
  // The merged chart finds its classes by splitting cubes (parts cut out by
  // a few primes at once where the cube is all care terms); they must be
  // the pair chart's columns grouped by their rows, in the order of their
  // first pairs (functions of thousands of classes among them), weighed by
  // their pairs.
  std::mt19937 rng(12);
  RandomSystemOptions o;
  o.MinFunctions = 1;
  o.MaxFunctions = 4;
  o.MixKinds = false;
  size_t most = 0;
  for (int n = 0; n < 150; ++n) {
    o.MinBits = n % 25 == 0 ? 12 : 6;
    o.MaxBits = n % 25 == 0 ? 12 : 10;
    o.CareChance = std::uniform_real_distribution<double>(0.5, 0.95)(rng);
    o.DontCareChance = std::uniform_real_distribution<double>(0.0, 0.1)(rng);
    int bits = 0;
    const auto functions = RandomSystem(rng, o, &bits);
    std::vector<const TTermVector*> work;
    for (const auto& f : functions) work.push_back(&f);
    detail::MemoryMeter meter(0);
    TCover primes;
    detail::TabulateCubes(work, bits, nullptr, nullptr, nullptr, meter, primes);
    const detail::Chart pairs(work, primes, meter, false), merged(work, primes, meter, true);
    std::vector<std::vector<uint32_t>> groups;
    std::vector<int64_t> weights;
    std::map<std::vector<uint32_t>, size_t> index;
    for (int32_t c = 0; c < pairs.Columns; ++c) {
      std::vector<uint32_t> rows(pairs.ColRows.begin() + static_cast<std::ptrdiff_t>(pairs.ColStart[c]),
                                 pairs.ColRows.begin() + static_cast<std::ptrdiff_t>(pairs.ColEnd[c]));
      const auto [at, added] = index.emplace(rows, groups.size());
      if (added) {
        groups.push_back(rows);
        weights.push_back(0);
      }
      ++weights[at->second];
    }
    ASSERT_EQ(merged.Columns, static_cast<int32_t>(groups.size())) << Dump(functions);
    most = std::max(most, groups.size());
    for (int32_t c = 0; c < merged.Columns; ++c) {
      const std::vector<uint32_t> rows(merged.ColRows.begin() + static_cast<std::ptrdiff_t>(merged.ColStart[c]),
                                       merged.ColRows.begin() + static_cast<std::ptrdiff_t>(merged.ColEnd[c]));
      ASSERT_EQ(rows, groups[static_cast<size_t>(c)]) << "column " << c << " of " << Dump(functions);
      ASSERT_EQ(merged.ColWeight[static_cast<size_t>(c)], weights[static_cast<size_t>(c)]) << Dump(functions);
    }
  }
  EXPECT_GT(most, 2000u);
}
