// The minimum cover against an exhaustive search over the reference run's
// prime implicants, on small random systems: the same number of products and
// of literals, a proven result, a valid cover, and never worse than the
// described selection.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <functional>
#include <thread>

#include "engine/cover/CoverPart.h"
#include "engine/io/Format.h"
#include "engine/run/Minimize.h"
#include "engine/verify/Verify.h"
#include "support/RandomSystems.h"
#include "support/RecordingHost.h"
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

// The minimum cover with no time limit, through the branch and bound first
// or straight through the linear program's search; checked as a cover.
TCover MinimumOf(const std::vector<TTermVector>& functions, int bits, bool combinatorial, TRunStats& stats) {
  TRunParams params;
  params.Cost = TCostCriterion::Pla;
  params.TimeLimitSeconds = 0;
  params.CombinatorialSearch = combinatorial;
  auto result = MinimizeFunctions(functions, bits, nullptr, &stats, params).Result;
  VerifyCover(functions, result);
  return result;
}

bool AnyEmpty(const std::vector<TTermVector>& functions) {
  return std::any_of(functions.begin(), functions.end(), [](const TTermVector& f) { return f.Count() == 0; });
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
      if (AnyEmpty(work)) continue;
      TRunStats stats;
      const TCover minimum = MinimumOf(work, bits, n % 2 == 0, stats);  // half through each search
      const auto described = MinimizeFunctions(work, bits, nullptr, nullptr, {});
      const Cost expected = ExhaustiveMinimum(work, ReferenceMinimize(work, bits).Primes);
      ASSERT_EQ(CostOf(minimum), expected) << "system " << n << " mode " << mode;
      ASSERT_TRUE(stats.Proven);
      ASSERT_EQ(stats.LowerBound, expected.Products);
      ASSERT_LE(CostOf(minimum), CostOf(described.Result));
      better += CostOf(minimum) < CostOf(described.Result);
      ++compared;
    }
  }
  EXPECT_GT(compared, 600);
  EXPECT_GT(better, 0);  // the systems are varied enough to beat the greedy cover
}

// Charts too large for the exhaustive search: the branch and bound and the
// linear program's search must agree wherever both prove their answer.
TEST(MinimumCover, BothSearchesAgreeOnLargerSystems) {
  std::mt19937 rng(8122026);
  RandomSystemOptions options;
  options.MinBits = 8;
  options.MaxBits = 8;
  options.MaxFunctions = 3;
  int compared = 0;
  for (int n = 0; n < 60; ++n) {
    int bits = 0;
    const auto functions = InKind(RandomSystem(rng, options, &bits), false, bits);
    if (AnyEmpty(functions)) continue;
    Cost cost[2];
    TRunStats stats[2];
    for (int way : {0, 1}) {
      cost[way] = CostOf(MinimumOf(functions, bits, way == 0, stats[way]));
      ASSERT_TRUE(stats[way].Proven);
      ASSERT_FALSE(stats[way].SearchCut);  // no limit: nothing hangs on the clock
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

// A search bounded by work alone gives the same cover each time, is never
// reported cut, and where it proves its products they are the minimum's.
TEST(MinimumCover, WorkBoundedSearchIsRepeatable) {
  std::mt19937 rng(11122026);
  RandomSystemOptions options;
  options.MinBits = options.MaxBits = 9;
  options.MaxFunctions = 3;
  int proven = 0, unproven = 0;
  for (int n = 0; n < 24; ++n) {
    int bits = 0;
    const auto functions = InKind(RandomSystem(rng, options, &bits), false, bits);
    if (AnyEmpty(functions)) continue;
    TRunParams params;
    params.Cost = TCostCriterion::Pla;
    params.TimeLimitSeconds = 0;
    params.SearchWork = n % 2 ? int64_t{1} << 20 : 64;
    TRunStats first, second, unbounded;
    const TCover a = MinimizeFunctions(functions, bits, nullptr, &first, params).Result;
    const TCover b = MinimizeFunctions(functions, bits, nullptr, &second, params).Result;
    VerifyCover(functions, a);
    ASSERT_EQ(FormatCubeTerms(a, true, {}), FormatCubeTerms(b, true, {})) << "system " << n;
    EXPECT_FALSE(first.SearchCut);
    if (first.Proven) {
      EXPECT_EQ(a.Count(), MinimumOf(functions, bits, true, unbounded).Count()) << "system " << n;
    }
    (first.Proven ? proven : unproven)++;
  }
  EXPECT_GT(proven, 0);
  EXPECT_GT(unproven, 0);  // the smaller budget leaves some unsettled
}

// A search that the time limit cuts short, anywhere in the linear program's
// search (its root, its heuristics, its tree), still returns a cover that the
// run checks, never more products than the described selection, and a lower
// bound it does not exceed.
TEST(MinimumCover, SearchCutShortStillCovers) {
  std::mt19937 rng(9122026);
  RandomSystemOptions options;
  options.MinBits = 11;
  options.MaxBits = 11;
  options.MinFunctions = 2;
  options.MaxFunctions = 4;
  options.CareChance = 0.5;
  options.DontCareChance = 0.1;
  for (double limit : {0.05, 0.2, 0.5, 0.8}) {
    int bits = 0;
    const auto functions = InKind(RandomSystem(rng, options, &bits), false, bits);
    if (AnyEmpty(functions)) continue;
    TRunParams params;
    params.Cost = TCostCriterion::Pla;
    params.TimeLimitSeconds = limit;
    params.CombinatorialSearch = false;
    TRunStats stats;
    const TCover cover = MinimizeFunctions(functions, bits, nullptr, &stats, params).Result;
    VerifyCover(functions, cover);
    const TCover greedy = MinimizeFunctions(functions, bits, nullptr, nullptr, TRunParams{}).Result;
    EXPECT_LE(cover.Count(), greedy.Count()) << "limit " << limit;
    EXPECT_LE(stats.LowerBound, static_cast<int64_t>(cover.Count())) << "limit " << limit;
    // Only the clock leaves the fewest products unproven, and it says so.
    if (!stats.Proven) {
      EXPECT_TRUE(stats.SearchCut) << "limit " << limit;
    }
  }
}

// A system whose chart's first relaxation alone takes minutes.
std::vector<TTermVector> HardSystem(int* bits) {
  std::mt19937 rng(9122026);
  RandomSystemOptions options;
  options.MinBits = options.MaxBits = 12;
  options.MinFunctions = options.MaxFunctions = 4;
  options.CareChance = 0.5;
  options.DontCareChance = 0.1;
  return InKind(RandomSystem(rng, options, bits), false, *bits);
}

// Stop asked for while the linear program's search runs ends the run with
// nothing returned.
TEST(MinimumCover, StopReachesTheLinearProgramsSearch) {
  int bits = 0;
  const auto functions = HardSystem(&bits);
  std::atomic<bool> stop{false};
  TRunParams params;
  params.Cost = TCostCriterion::Pla;
  params.TimeLimitSeconds = 0;
  params.CombinatorialSearch = false;
  params.Stop = &stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    stop = true;
  });
  EXPECT_THROW(MinimizeFunctions(functions, bits, nullptr, nullptr, params), StoppedError);
  stopper.join();
}

// A limit that has passed before the reductions begin (they then stop at
// their first look at the clock): the run still returns a cover, checked,
// never worse than the described selection's, with a bound that no cover
// beats, and reports the limit reached.
TEST(MinimumCover, TimeLimitHoldsFromTheReductionsOn) {
  std::mt19937 rng(13122026);
  RandomSystemOptions options;
  options.MinBits = 8;
  options.MaxBits = 9;
  options.MinFunctions = 2;
  options.MaxFunctions = 3;
  int cut = 0;
  for (int n = 0; n < 12; ++n) {
    int bits = 0;
    const auto functions = InKind(RandomSystem(rng, options, &bits), false, bits);
    if (AnyEmpty(functions)) continue;
    TRunParams params;
    params.Cost = TCostCriterion::Pla;
    params.TimeLimitSeconds = 1e-6;
    TRunStats stats, greedyStats, fullStats;
    const TCover cover = MinimizeFunctions(functions, bits, nullptr, &stats, params).Result;
    VerifyCover(functions, cover);
    const TCover greedy = MinimizeFunctions(functions, bits, nullptr, &greedyStats, TRunParams{}).Result;
    EXPECT_LE(CostOf(cover), CostOf(greedy)) << "system " << n;
    EXPECT_LE(stats.LowerBound, static_cast<int64_t>(cover.Count())) << "system " << n;
    // Generous: what is left to do past the limit is a few greedy covers.
    EXPECT_LT(stats.SecondsSelect, 2.0 + 20 * greedyStats.SecondsSelect) << "system " << n;
    const Cost minimum = CostOf(MinimumOf(functions, bits, true, fullStats));
    EXPECT_LE(stats.LowerBound, minimum.Products) << "system " << n;
    EXPECT_FALSE(stats.Proven) << "system " << n;
    cut += stats.CoreColumns > fullStats.CoreColumns;
  }
  EXPECT_GT(cut, 6);  // the reductions were cut short in most of them
}

// Stop asked for as the selection begins is answered in the reductions: the
// run ends before it has a reduced core to report.
TEST(MinimumCover, StopReachesTheReductions) {
  int bits = 0;
  const auto functions = HardSystem(&bits);
  std::atomic<bool> stop{false};
  struct StoppingHost : RecordingHost {
    std::atomic<bool>* Stop = nullptr;
    void SetStatus(const std::string& text) override {
      RecordingHost::SetStatus(text);
      if (text == "Finding (secondary) essential prime implicants...") *Stop = true;
    }
  } host;
  host.Stop = &stop;
  TRunParams params;
  params.Cost = TCostCriterion::Pla;
  params.TimeLimitSeconds = 0;
  params.Stop = &stop;
  TRunStats stats;
  EXPECT_THROW(MinimizeFunctions(functions, bits, &host, &stats, params), StoppedError);
  ASSERT_TRUE(stop);
  EXPECT_GT(stats.ChartCells, 0);
  EXPECT_EQ(stats.CoreRows, 0);
  EXPECT_EQ(stats.CoreColumns, 0);
}

}  // namespace
