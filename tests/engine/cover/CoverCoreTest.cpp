// The reductions of the minimum cover on the whole chart: what they leave is
// a core to which none of the search's rules applies any more.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/cover/CoverCore.h"
#include "engine/cover/Reductions.h"
#include "support/RandomSystems.h"
#include "support/ReferenceEngine.h"

using namespace tavro;
using namespace tavro::detail;
using namespace tavro::testing;

namespace {

bool Subset(CoverCore::List small, CoverCore::List large) {
  return std::includes(large.begin(), large.end(), small.begin(), small.end());
}

// Every pair of alive rows and of alive columns, read against the rules
// plainly: no column with fewer than two rows, no row without columns, no
// row that another dominates, no two columns alike. (A column dominated by
// one that misses its thinnest row may stay: the rule does not look there.)
void ExpectNoRuleApplies(CoverCore& core, int system) {
  std::vector<uint32_t> rows, cols;
  for (uint32_t r = 0; r < core.RowAlive.size(); ++r)
    if (core.RowAlive[r]) rows.push_back(r);
  for (uint32_t c = 0; c < core.ColAlive.size(); ++c)
    if (core.ColAlive[c]) cols.push_back(c);
  for (uint32_t c : cols) ASSERT_GE(core.Rows(c).size(), 2u) << "system " << system << " column " << c;
  for (uint32_t p : rows) {
    ASSERT_FALSE(core.Cols(p).empty()) << "system " << system << " row " << p;
    for (uint32_t r : rows) {
      if (!RowMayDominate(r, std::ssize(core.Cols(r)), core.Literals[r], p, std::ssize(core.Cols(p)), core.Literals[p]))
        continue;
      ASSERT_FALSE(Subset(core.Cols(p), core.Cols(r))) << "system " << system << " row " << p << " in " << r;
    }
  }
  for (size_t i = 0; i < cols.size(); ++i)
    for (size_t j = i + 1; j < cols.size(); ++j) {
      const CoverCore::List a = core.Rows(cols[i]), b = core.Rows(cols[j]);
      ASSERT_FALSE(std::equal(a.begin(), a.end(), b.begin(), b.end()))
          << "system " << system << " columns " << cols[i] << " and " << cols[j];
    }
}

TEST(CoverCore, NoReductionAppliesToWhatIsLeft) {
  std::mt19937 rng(10122026);
  RandomSystemOptions options;
  options.MinBits = 4;
  options.MaxBits = 6;
  options.MaxFunctions = 3;
  const TRunParams params;
  int cores = 0;
  for (int n = 0; n < 150; ++n) {
    int bits = 0;
    const auto functions = InKind(RandomSystem(rng, options, &bits), false, bits);
    if (std::any_of(functions.begin(), functions.end(), [](const TTermVector& f) { return f.Count() == 0; })) continue;
    const TCover primes = ReferenceMinimize(functions, bits).Primes;
    std::vector<const TTermVector*> pointers;
    for (const auto& f : functions) pointers.push_back(&f);
    MemoryMeter meter(0);
    const Chart chart(pointers, primes, meter, n % 2 == 0);  // half with equal columns merged
    CoverCore core(chart, primes);
    Watch watch(params, Clock::time_point::max());
    ASSERT_TRUE(core.Reduce(watch));
    ExpectNoRuleApplies(core, n);
    cores += core.AliveRows > 0;
  }
  EXPECT_GT(cores, 20);  // charts the reductions alone do not settle
}

}  // namespace
