// The fast engine against the direct reference run on many random systems:
// every order (prime implicant list, result list), every tag and every status
// text must agree.

#include <gtest/gtest.h>

#include <memory>

#include "engine/chart/Chart.h"
#include "engine/core/Threads.h"
#include "engine/io/Format.h"
#include "engine/primes/PrimeFinders.h"
#include "engine/run/Minimize.h"
#include "engine/verify/Verify.h"
#include "support/RandomSystems.h"
#include "support/RecordingHost.h"
#include "support/ReferenceEngine.h"
#include "support/SystemText.h"

using namespace tavro;
using namespace tavro::testing;

namespace {

void CompareWithReference(std::mt19937& rng, const RandomSystemOptions& options, int systems) {
  int compared = 0;
  for (int n = 0; n < systems; ++n) {
    int bits = 0;
    const auto functions = RandomSystem(rng, options, &bits);
    for (int mode : {modeSOP, modePOS}) {
      const auto work = InKind(functions, mode == modePOS, bits);
      if (AnyEmpty(work)) continue;
      const auto reference = ReferenceMinimize(work, bits);
      for (auto method : {TPrimeMethod::Pairing, TPrimeMethod::Dense, TPrimeMethod::Split, TPrimeMethod::Cubes}) {
        RecordingHost host;
        TRunParams limits;
        limits.PrimeMethod = method;
        // The chart's two forms, one with each half of the methods.
        limits.ChartForm =
            method == TPrimeMethod::Split || method == TPrimeMethod::Cubes ? TChartForm::Classes : TChartForm::Pairs;
        const auto fast = MinimizeFunctions(work, bits, &host, nullptr, limits);
        ASSERT_EQ(Describe(fast.Primes), Describe(reference.Primes)) << Dump(work);
        ASSERT_EQ(Describe(fast.Result), Describe(reference.Result)) << Dump(work);
        ASSERT_EQ(host.Statuses, reference.Statuses) << Dump(work);
        ASSERT_NO_THROW(VerifyCover(work, fast.Result)) << Dump(work);
      }
      ++compared;
    }
  }
  EXPECT_GT(compared, systems / 2);
}

}  // namespace

TEST(Exactness, SmallSystemsMatchTheReferenceRun) {
  std::mt19937 rng(20261208);
  RandomSystemOptions o;
  o.MinBits = 1;
  o.MaxBits = 5;
  o.MaxFunctions = 4;
  CompareWithReference(rng, o, 1500);
}

TEST(Exactness, MediumSystemsMatchTheReferenceRun) {
  std::mt19937 rng(7);
  RandomSystemOptions o;
  o.MinBits = 6;
  o.MaxBits = 7;
  o.MaxFunctions = 4;
  CompareWithReference(rng, o, 80);
}

TEST(Exactness, WorkSharedOutAmongThreadsIsTheWorkOfOne) {
  // Every step that large systems share out among threads (the cube
  // finder's halves and intersections, the chart's classes, their order and
  // the row lists) is shared out here at any size, among more threads than
  // some systems have functions; primes and chart must equal one thread's.
  std::mt19937 rng(11);
  RandomSystemOptions o;
  o.MinBits = 6;
  o.MaxBits = 11;
  o.MinFunctions = 2;
  o.MaxFunctions = 6;
  o.MixKinds = false;
  for (int n = 0; n < 60; ++n) {
    int bits = 0;
    const auto functions = RandomSystem(rng, o, &bits);
    std::vector<const TTermVector*> work;
    for (const auto& f : functions) work.push_back(&f);
    detail::MemoryMeter meter(0);
    TCover primes[2];
    std::unique_ptr<detail::Chart> charts[2];
    for (int k = 0; k < 2; ++k) {
      detail::SetThreadsForTesting(k == 0 ? 0 : 3);
      detail::TabulateCubes(work, bits, nullptr, nullptr, nullptr, meter, primes[k]);
      charts[k] = std::make_unique<detail::Chart>(work, primes[k], meter, true);
    }
    detail::SetThreadsForTesting(0);
    ASSERT_EQ(Describe(primes[0]), Describe(primes[1])) << Dump(functions);
    const detail::Chart &one = *charts[0], &many = *charts[1];
    ASSERT_EQ(one.ColStart, many.ColStart) << Dump(functions);
    ASSERT_EQ(one.ColRows, many.ColRows) << Dump(functions);
    ASSERT_EQ(one.ColWeight, many.ColWeight) << Dump(functions);
    ASSERT_EQ(one.RowStart, many.RowStart) << Dump(functions);
    ASSERT_EQ(one.RowCols, many.RowCols) << Dump(functions);
    ASSERT_EQ(one.Cells, many.Cells);
    for (int32_t r = 0; r < one.Rows; ++r) {
      const auto &a = one.Row[static_cast<size_t>(r)], &b = many.Row[static_cast<size_t>(r)];
      ASSERT_TRUE(a.Count == b.Count && a.Hash == b.Hash && a.Signature == b.Signature) << "row " << r;
    }
  }
}

TEST(Exactness, SingleFunctionsWithManyDontCaresMatchTheReferenceRun) {
  std::mt19937 rng(99);
  RandomSystemOptions o;
  o.MinBits = 3;
  o.MaxBits = 7;
  o.MaxFunctions = 1;
  o.DontCareChance = 0.4;
  o.CareChance = 0.3;
  CompareWithReference(rng, o, 200);
}

TEST(Exactness, ManyFunctionsShareCubesLikeTheReferenceRun) {
  // More than 64 functions exercise tags spread over several words.
  std::mt19937 rng(5);
  RandomSystemOptions o;
  o.MinBits = 3;
  o.MaxBits = 4;
  o.MinFunctions = 60;
  o.MaxFunctions = 70;
  o.MixKinds = false;
  CompareWithReference(rng, o, 8);
}

TEST(Exactness, PaneTextEqualsTheFormattedReferenceLists) {
  std::mt19937 rng(11);
  RandomSystemOptions o;
  o.MaxBits = 6;
  for (int n = 0; n < 200; ++n) {
    int bits = 0;
    auto functions = RandomSystem(rng, o, &bits);
    const int mode = (n & 1) ? modePOS : modeSOP;
    const bool termsToggle = (n % 3) == 0;
    const auto work = InKind(functions, mode == modePOS, bits);
    if (AnyEmpty(work)) continue;
    const auto reference = ReferenceMinimize(work, bits);
    auto format = [&](const TCover& c) {
      return termsToggle ? FormatCubeTerms(c) : (mode == modeSOP ? FormatSOP(c) : FormatPOS(c));
    };
    const std::string expected = "All Prime Implicants\r\n" + format(reference.Primes) + "\r\n" +
                                 "Optimized Function(s):\r\n" + format(reference.Result) + "\r\n";
    TFunctionSystem system;
    system.Functions = functions;
    system.UpdateInputBits();
    ASSERT_EQ(system.InputBits, bits);
    RecordingHost host;
    ASSERT_EQ(RunCommand(system, mode, {true, true, termsToggle}, host), TRunOutcome::Completed);
    ASSERT_EQ(host.Output, expected) << Dump(functions);
    ASSERT_EQ(system.Functions, functions);
  }
}
