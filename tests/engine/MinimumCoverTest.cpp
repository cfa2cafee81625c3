// The minimum cover against an exhaustive search over the reference run's
// prime implicants, on small random systems: the same number of products and
// of literals, a proven result, a valid cover, and never worse than the
// described selection.

#include <gtest/gtest.h>

#include <bit>
#include <functional>

#include "engine/Minimize.h"
#include "support/RandomSystems.h"
#include "support/ReferenceEngine.h"

using namespace tavro;
using namespace tavro::testing;

namespace {

struct Cost {
  int Products = 0, Literals = 0;
  auto operator<=>(const Cost&) const = default;
};

Cost CostOf(const TCover& cover) {
  Cost c;
  for (size_t i = 0; i < cover.Count(); ++i) {
    ++c.Products;
    c.Literals += cover.Width - std::popcount(cover.Mask(i));
  }
  return c;
}

// Depth-first search over the primes: take the uncovered (function, term)
// with fewest candidate primes and try each of them.
Cost ExhaustiveMinimum(const std::vector<TTermVector>& functions, const TCover& primes) {
  std::vector<std::vector<size_t>> candidates;  // per care (function, term)
  for (size_t f = 0; f < functions.size(); ++f)
    for (int i = 0; i < functions[f].Count(); ++i) {
      if (functions[f].GetDontCare(i)) continue;
      const auto t = static_cast<uint32_t>(functions[f].GetTerm(i));
      std::vector<size_t> rows;
      for (size_t p = 0; p < primes.Count(); ++p)
        if (primes.Tag(p, static_cast<int>(f)) && (t & ~primes.Mask(p)) == primes.Value(p)) rows.push_back(p);
      candidates.push_back(rows);
    }
  std::vector<int> taken(primes.Count(), 0);
  Cost best{1 << 30, 0}, now;
  std::function<void()> search = [&]() {
    if (now >= best) return;
    const std::vector<size_t>* open = nullptr;
    for (const auto& rows : candidates) {
      bool covered = false;
      for (size_t p : rows) covered = covered || taken[p];
      if (!covered && (!open || rows.size() < open->size())) open = &rows;
    }
    if (!open) {
      best = now;
      return;
    }
    for (size_t p : *open) {
      taken[p] = 1;
      ++now.Products;
      now.Literals += primes.Width - std::popcount(primes.Mask(p));
      search();
      taken[p] = 0;
      --now.Products;
      now.Literals -= primes.Width - std::popcount(primes.Mask(p));
    }
  };
  search();
  return best;
}

TEST(MinimumCover, EqualsExhaustiveSearchOnSmallSystems) {
  std::mt19937 rng(20261208);
  RandomSystemOptions options;
  options.MinBits = 1;
  options.MaxBits = 5;
  options.MaxFunctions = 4;
  int compared = 0, better = 0;
  for (int n = 0; n < 400; ++n) {
    int bits = 0;
    const auto functions = RandomSystem(rng, options, &bits);
    for (int mode : {modeSOP, modePOS}) {
      const auto work = InKind(functions, mode == modePOS, bits);
      bool empty = false;
      for (const auto& f : work) empty = empty || f.Count() == 0;
      if (empty) continue;
      TRunParams params;
      params.Cost = TCostCriterion::Pla;
      params.TimeLimitSeconds = 0;
      params.CombinatorialSearch = n % 2 == 0;  // half through each search
      TRunStats stats;
      const auto minimum = MinimizeFunctions(work, bits, nullptr, &stats, params);
      VerifyCover(work, minimum.Result);
      const auto described = MinimizeFunctions(work, bits, nullptr, nullptr, {});
      const Cost expected = ExhaustiveMinimum(work, ReferenceMinimize(work, bits).Primes);
      ASSERT_EQ(CostOf(minimum.Result), expected) << "system " << n << " mode " << mode;
      ASSERT_TRUE(stats.Proven);
      ASSERT_EQ(stats.LowerBound, expected.Products);
      ASSERT_LE(CostOf(minimum.Result), CostOf(described.Result));
      better += CostOf(minimum.Result) < CostOf(described.Result);
      ++compared;
    }
  }
  EXPECT_GT(compared, 600);
  EXPECT_GT(better, 0);  // the systems are varied enough to beat the greedy cover
}

}  // namespace

// Charts too large for the exhaustive search: the branch and bound and the
// linear program's search must agree wherever both prove their answer.
TEST(MinimumCover, BothSearchesAgreeOnLargerSystems) {
  std::mt19937 rng(8122026);
  RandomSystemOptions options;
  options.MinBits = 8;
  options.MaxBits = 8;
  options.MaxFunctions = 3;
  int compared = 0;
  for (int n = 0; n < 40; ++n) {
    int bits = 0;
    const auto functions = InKind(RandomSystem(rng, options, &bits), false, bits);
    bool empty = false;
    for (const auto& f : functions) empty = empty || f.Count() == 0;
    if (empty) continue;
    Cost cost[2];
    TRunStats stats[2];
    for (int way : {0, 1}) {
      TRunParams params;
      params.Cost = TCostCriterion::Pla;
      params.TimeLimitSeconds = 0;
      params.CombinatorialSearch = way == 0;
      const auto result = MinimizeFunctions(functions, bits, nullptr, &stats[way], params);
      VerifyCover(functions, result.Result);
      cost[way] = CostOf(result.Result);
      ASSERT_TRUE(stats[way].Proven);
    }
    ASSERT_EQ(cost[0].Products, cost[1].Products) << "system " << n;
    ASSERT_EQ(stats[0].LowerBound, stats[1].LowerBound);
    if (stats[0].LiteralsProven && stats[1].LiteralsProven) {
      ASSERT_EQ(cost[0].Literals, cost[1].Literals) << "system " << n;
      ++compared;
    }
  }
  EXPECT_GT(compared, 20);
}
