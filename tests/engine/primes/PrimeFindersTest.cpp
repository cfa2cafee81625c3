// The prime finders against each other and against the reference run: every
// finder must give the same prime implicant list, in the same order, with the
// same statuses and figures.

#include <gtest/gtest.h>

#include <random>

#include "engine/core/Threads.h"
#include "engine/io/Format.h"
#include "engine/primes/PrimeFinders.h"
#include "engine/run/Minimize.h"
#include "support/RandomSystems.h"
#include "support/RecordingHost.h"
#include "support/ReferenceEngine.h"
#include "support/SystemText.h"

using namespace tavro;
using namespace tavro::testing;

TEST(PrimeFinders, AllMethodsAgreeOnWiderSystems) {
  // Too wide for the reference run: the four prime finders against each
  // other, with the chart and the selection on top.
  std::mt19937 rng(3);
  RandomSystemOptions o;
  o.MinBits = 9;
  o.MaxBits = 12;
  o.MaxFunctions = 4;
  for (int n = 0; n < 50; ++n) {
    // Every other system lists only a few rows in a hundred, which the
    // splitting keeps as lists instead of tables.
    o.CareChance = n % 2 ? 0.02 : -1;
    o.DontCareChance = n % 2 ? 0.01 : -1;
    int bits = 0;
    const auto functions = RandomSystem(rng, o, &bits);
    const auto work = InKind(functions, false, bits);
    if (AnyEmpty(work)) continue;
    TRunParams pairing, dense, split, cubes;
    pairing.PrimeMethod = TPrimeMethod::Pairing;
    dense.PrimeMethod = TPrimeMethod::Dense;
    split.PrimeMethod = TPrimeMethod::Split;
    cubes.PrimeMethod = TPrimeMethod::Cubes;
    cubes.ChartForm = TChartForm::Classes;
    RecordingHost a, b, c, d;
    TRunStats sa, sb;
    const auto x = MinimizeFunctions(work, bits, &a, &sa, pairing);
    const auto y = MinimizeFunctions(work, bits, &b, &sb, dense);
    const auto z = MinimizeFunctions(work, bits, &c, nullptr, split);
    const auto w = MinimizeFunctions(work, bits, &d, nullptr, cubes);
    ASSERT_EQ(Describe(x.Primes), Describe(y.Primes)) << Dump(work);
    ASSERT_EQ(Describe(x.Result), Describe(y.Result)) << Dump(work);
    ASSERT_EQ(Describe(x.Primes), Describe(z.Primes)) << Dump(work);
    ASSERT_EQ(Describe(x.Primes), Describe(w.Primes)) << Dump(work);
    ASSERT_EQ(Describe(x.Result), Describe(w.Result)) << Dump(work);
    ASSERT_EQ(a.Statuses, b.Statuses);
    ASSERT_EQ(a.Statuses, c.Statuses);
    ASSERT_EQ(a.Statuses, d.Statuses);
    ASSERT_EQ(sa.LevelCubes, sb.LevelCubes);
  }
}

TEST(PrimeFinders, StructuredSystemsGiveTheSamePrimesEveryWay) {
  // Functions made of a few large cubes have deep levels and many equal
  // sub-tables. The cube finder is also given those cubes as the system's
  // cover, as a loaded PLA gives its rows.
  std::mt19937 rng(17);
  for (int n = 0; n < 40; ++n) {
    const int bits = 8 + static_cast<int>(rng() % 6);
    const int count = 1 + static_cast<int>(rng() % 4);
    const uint32_t rows = uint32_t{1} << bits;
    std::vector<TTermVector> functions(static_cast<size_t>(count));
    TCover source(bits, count), dontCares(bits, count);
    for (auto& f : functions) {
      uint64_t tag[1] = {uint64_t{1} << (&f - functions.data())};
      // A term in a don't-care cube is a don't care even where a care cube
      // lists it too (the first item of a term wins).
      std::vector<std::pair<int32_t, bool>> items, careItems;
      for (int c = 0; c < 3 + static_cast<int>(rng() % 5); ++c) {
        const uint32_t mask = static_cast<uint32_t>(rng()) & static_cast<uint32_t>(rng()) & (rows - 1);
        const uint32_t value = static_cast<uint32_t>(rng()) & ~mask & (rows - 1);
        const bool dontCare = rng() % 4 == 0;
        source.Add(value, mask, tag);
        if (dontCare) dontCares.Add(value, mask, tag);
        for (uint32_t sub = 0;; sub = (sub - mask) & mask) {
          (dontCare ? items : careItems).emplace_back(static_cast<int32_t>(value | sub), dontCare);
          if (((sub - mask) & mask) == 0) break;
        }
      }
      items.insert(items.end(), careItems.begin(), careItems.end());
      f.AddAll(items);
    }
    functions[0].Add(static_cast<int32_t>(rows - 1), false);
    const uint64_t first[1] = {1};
    source.Add(rows - 1, 0, first);
    TRunParams pairing, split, cubes;
    pairing.PrimeMethod = TPrimeMethod::Pairing;
    split.PrimeMethod = TPrimeMethod::Split;
    cubes.PrimeMethod = TPrimeMethod::Cubes;
    cubes.ChartForm = TChartForm::Classes;
    const auto x = MinimizeFunctions(functions, bits, nullptr, nullptr, pairing);
    const auto z = MinimizeFunctions(functions, bits, nullptr, nullptr, split);
    const auto w = MinimizeFunctions(functions, bits, nullptr, nullptr, cubes, &source, &dontCares);
    ASSERT_EQ(Describe(x.Primes), Describe(z.Primes)) << Dump(functions);
    ASSERT_EQ(Describe(x.Result), Describe(z.Result)) << Dump(functions);
    ASSERT_EQ(Describe(x.Primes), Describe(w.Primes)) << Dump(functions);
    ASSERT_EQ(Describe(x.Result), Describe(w.Result)) << Dump(functions);
  }
}

TEST(PrimeFinders, SplitMemoUnderForcedHashCollisionsStillGivesTheReferenceResult) {
  std::mt19937 rng(1313);
  TRunParams split;
  split.PrimeMethod = TPrimeMethod::Split;
  for (const int hashBits : {1, 3}) {
    detail::SetSplitMemoHashBits(hashBits);  // nearly every lookup meets another table
    for (int n = 0; n < 3; ++n) {
      int bits = 0;
      const auto work = MintermSystem(rng, 8, &bits);
      const auto fast = MinimizeFunctions(work, bits, nullptr, nullptr, split);
      const auto reference = ReferenceMinimize(work, bits);
      EXPECT_EQ(FormatCubeTerms(fast.Primes), FormatCubeTerms(reference.Primes));
      EXPECT_EQ(FormatSOP(fast.Result), FormatSOP(reference.Result));
    }
    EXPECT_GT(detail::SplitMemoCollisions(), 0u) << "hash bits " << hashBits;
  }
  detail::SetSplitMemoHashBits(128);
}

// Each table finder stops once the exact run's deadline has passed, and so
// does a thread the work is shared with.
TEST(PrimeFinders, TheTablesStopAtTheExactRunsDeadline) {
  std::mt19937 rng(31);
  RandomSystemOptions o;
  o.MinBits = o.MaxBits = 14;
  o.MaxFunctions = 3;
  int bits = 0;
  const auto functions = RandomSystem(rng, o, &bits);
  const auto work = InKind(functions, false, bits);
  std::vector<const TTermVector*> in;
  for (const auto& f : work) in.push_back(&f);
  detail::MemoryMeter meter(uint64_t{1} << 30);
  {
    // (a deadline still to come changes nothing)
    const TDeadlineScope later(1e9);
    TCover split;
    detail::TabulateSplit(in, bits, nullptr, nullptr, meter, split);
    EXPECT_EQ(Describe(split), Describe(detail::TabulateListed(in, bits, nullptr, nullptr, meter)));
  }
  const TDeadlineScope passed(1e-9);
  TCover primes;
  EXPECT_THROW(detail::TabulateSplit(in, bits, nullptr, nullptr, meter, primes), ExactBudgetSpent);
  EXPECT_THROW(detail::TabulateDense(in, bits, nullptr, nullptr, meter, primes), ExactBudgetSpent);
  EXPECT_THROW(detail::TabulateListed(in, bits, nullptr, nullptr, meter), ExactBudgetSpent);
  const auto second = [](unsigned k) {
    if (k == 1) CheckExactDeadline();
  };
  EXPECT_THROW(detail::RunOnThreads(2, second), ExactBudgetSpent);
}
