#include <gtest/gtest.h>

#include "support/Builders.h"

#include <algorithm>
#include <random>

#include "engine/run/Minimize.h"
#include "engine/run/Route.h"
#include "engine/verify/Verify.h"
#include "model/Errors.h"
#include "support/RecordingHost.h"

using namespace tavro;
using tavro::testing::RecordingHost;
using tavro::testing::Terms;

namespace {

TFunctionSystem System(std::vector<TTermVector> functions) {
  TFunctionSystem s;
  s.Functions = std::move(functions);
  s.UpdateInputBits();
  return s;
}

struct Run {
  TRunOutcome Outcome;
  RecordingHost Host;
  TRunStats Stats;
};

Run Execute(TFunctionSystem& s, int mode, TOutputOptions options = {}) {
  Run r;
  r.Outcome = RunCommand(s, mode, options, r.Host, &r.Stats);
  return r;
}

const TOutputOptions kBoth{true, true, false};

}  // namespace

TEST(Minimize, FourMintermsMergeIntoTheConstant) {
  auto s = System({Terms({0, 1, 2, 3})});
  auto r = Execute(s, modeSOP, kBoth);
  ASSERT_EQ(r.Outcome, TRunOutcome::Completed);
  TRunStats pairing;
  TRunParams limits;
  limits.PrimeMethod = TPrimeMethod::Pairing;
  MinimizeFunctions(s.Functions, 2, nullptr, &pairing, limits);
  EXPECT_EQ(pairing.LevelCubes, (std::vector<int64_t>{4, 4, 1, 0}));
  EXPECT_EQ(r.Stats.Primes, 1);
  EXPECT_EQ(r.Host.Output, "All Prime Implicants\r\nf0 = 1\r\n\r\nOptimized Function(s):\r\nf0 = 1\r\n\r\n");
  EXPECT_EQ(r.Host.Statuses,
            (std::vector<std::string>{"Generating zero cubes...", "Generating 1 Cubes...", "Generating 2 Cubes...",
                                      "Generating 3 Cubes...", "Creating prime implicant matrix...",
                                      "Finding (secondary) essential prime implicants...", "Done."}));
  ASSERT_NE(s.ResultCubes, nullptr);
  ASSERT_EQ(s.ResultCubes->Count(), 1u);
  EXPECT_EQ(s.ResultCubes->Pattern(0), "--");
  EXPECT_TRUE(s.ResultReady);
  EXPECT_EQ(r.Host.Beeps, 0);
}

TEST(Minimize, SharedCubeIsPrimeButDroppedFromTheCover) {
  auto s = System({Terms({0, 1}), Terms({1, 3})});
  auto r = Execute(s, modeSOP, kBoth);
  EXPECT_EQ(r.Host.Output,
            "All Prime Implicants\r\n"
            "f0 = (~A) + (~A)(B)\r\n"
            "f1 = (B) + (~A)(B)\r\n"
            "\r\n"
            "Optimized Function(s):\r\n"
            "f0 = (~A)\r\n"
            "f1 = (B)\r\n"
            "\r\n");
  EXPECT_EQ(r.Stats.ChartColumns, 4);
  EXPECT_EQ(r.Stats.ChartRows, 3);
}

TEST(Minimize, DontCaresGrowCubesButMakeNoColumns) {
  auto s = System({Terms({1}, {3})});
  auto r = Execute(s, modeSOP, kBoth);
  EXPECT_EQ(r.Host.Output, "All Prime Implicants\r\nf0 = (B)\r\n\r\nOptimized Function(s):\r\nf0 = (B)\r\n\r\n");
  EXPECT_EQ(r.Stats.ChartColumns, 1);
}

TEST(Minimize, ProductOfSumsIsZeroExactlyOnTheMaxterms) {
  // The function is 0 on rows 0 and 2 of three inputs: (A + C).
  auto s = System({Terms({1, 3, 4, 5, 6, 7})});
  auto r = Execute(s, modePOS);
  EXPECT_EQ(r.Host.Output, "Optimized Function(s):\r\nf0 = (A + C)\r\n\r\n");
  EXPECT_EQ(s.ResultMode, modePOS);
  // The function itself is unchanged by the conversion.
  EXPECT_EQ(s.Functions[0], Terms({1, 3, 4, 5, 6, 7}));

  auto t = System({Terms({4, 6}, {}, true), Terms({7})});
  auto q = Execute(t, modePOS);
  // f1 is 1 only on row 7; its product reuses the sum chosen for f0.
  EXPECT_EQ(q.Host.Output, "Optimized Function(s):\r\nf0 = (~A + C)\r\nf1 = (B)(A)(~A + C)\r\n\r\n");
}

TEST(Minimize, MaxtermFunctionRunAsSumOfProducts) {
  auto s = System({Terms({0, 2}, {}, true), Terms({4})});
  auto r = Execute(s, modeSOP);
  // The cube 100, essential for f1, is tagged for f0 too and so part of its
  // result.
  EXPECT_EQ(r.Host.Output, "Optimized Function(s):\r\nf0 = (A)(~B)(~C) + (A) + (C)\r\nf1 = (A)(~B)(~C)\r\n\r\n");
  EXPECT_EQ(s.Functions[0], Terms({0, 2}, {}, true));
}

TEST(Minimize, TermsToggleListsCoveredTermsInBothModes) {
  auto s = System({Terms({0, 2, 5, 7})});
  TOutputOptions terms{false, true, true};
  auto sop = Execute(s, modeSOP, terms);
  EXPECT_EQ(sop.Host.Output, "Optimized Function(s):\r\nf0 = (0, 2) + (5, 7)\r\n\r\n");
  auto pos = Execute(s, modePOS, terms);
  EXPECT_EQ(pos.Host.Output, "Optimized Function(s):\r\nf0 = (1, 3) + (4, 6)\r\n\r\n");
}

TEST(Minimize, EmptyFunctionStopsTheRunAndChangesNothing) {
  auto s = System({Terms({0, 1}), Terms({1, 3})});
  ASSERT_EQ(Execute(s, modeSOP).Outcome, TRunOutcome::Completed);
  const auto previous = s.ResultCubes;
  s.Functions.push_back(TTermVector());
  s.Functions.push_back(TTermVector());
  s.ResultReady = false;
  auto r = Execute(s, modeSOP);
  EXPECT_EQ(r.Outcome, TRunOutcome::EmptyFunction);
  EXPECT_EQ(r.Host.Statuses, std::vector<std::string>{"Function 2 contains no terms!"});
  EXPECT_EQ(r.Host.Beeps, 1);
  EXPECT_EQ(r.Host.Output, "");
  EXPECT_EQ(s.ResultCubes, previous);
  EXPECT_FALSE(s.ResultReady);

  // A POS run converts the empty minterm functions to all rows and passes;
  // a function listing every row fails it.
  EXPECT_EQ(Execute(s, modePOS).Outcome, TRunOutcome::Completed);
  auto full = System({Terms({0, 1, 2, 3})});
  auto f = Execute(full, modePOS);
  EXPECT_EQ(f.Outcome, TRunOutcome::EmptyFunction);
  EXPECT_EQ(f.Host.Statuses, std::vector<std::string>{"Function 0 contains no terms!"});
}

TEST(Minimize, OnlyDontCaresGiveAnEmptyResult) {
  auto s = System({Terms({}, {1, 2})});
  auto r = Execute(s, modeSOP, kBoth);
  ASSERT_EQ(r.Outcome, TRunOutcome::Completed);
  EXPECT_EQ(r.Host.Output, "All Prime Implicants\r\nf0 = (~A)(B) + (A)(~B)\r\n\r\nOptimized Function(s):\r\n\r\n");
  EXPECT_EQ(s.ResultCubes->Count(), 0u);

  // A function of only don't cares gets only cubes chosen for others.
  auto t = System({Terms({3}), Terms({}, {3})});
  EXPECT_EQ(Execute(t, modeSOP).Host.Output, "Optimized Function(s):\r\nf0 = (A)(B)\r\nf1 = (A)(B)\r\n\r\n");
}

TEST(Minimize, NothingHappensWithoutInputBitsAndWideSystemsAreRefused) {
  TFunctionSystem empty;
  empty.UpdateInputBits();
  auto r = Execute(empty, modeSOP);
  EXPECT_EQ(r.Outcome, TRunOutcome::NothingToDo);
  EXPECT_TRUE(r.Host.Statuses.empty());
  EXPECT_FALSE(empty.ResultReady);

  auto wide = System({Terms({1 << 24})});
  auto w = Execute(wide, modeSOP);
  EXPECT_EQ(w.Outcome, TRunOutcome::TooWide);
  EXPECT_EQ(w.Host.Statuses, std::vector<std::string>{"Too many input bits: 25 (at most 24)."});
  EXPECT_EQ(w.Host.Beeps, 1);
  EXPECT_FALSE(wide.ResultReady);
}

TEST(Minimize, RunsAppendAndTogglesChooseSections) {
  auto s = System({Terms({1, 2})});
  RecordingHost host;
  RunCommand(s, modeSOP, {}, host);
  RunCommand(s, modeSOP, {}, host);
  EXPECT_EQ(host.Output,
            "Optimized Function(s):\r\nf0 = (A)(~B) + (~A)(B)\r\n\r\n"
            "Optimized Function(s):\r\nf0 = (A)(~B) + (~A)(B)\r\n\r\n");
  RecordingHost silent;
  s.ResultReady = false;
  EXPECT_EQ(RunCommand(s, modeSOP, {false, false, false}, silent), TRunOutcome::Completed);
  EXPECT_EQ(silent.Output, "");
  EXPECT_TRUE(s.ResultReady);
}

TEST(Minimize, PrimesFollowTheOrderInWhichTheyWereMade) {
  // 00 pairs first with 10 (the earlier cube of its upper group) and makes
  // -0, then with 01 and makes 0-; both have no ones, so -0 stays first in
  // the prime list, while the result list puts the cube chosen last first.
  auto s = System({Terms({0, 1, 2}), Terms({0, 1})});
  auto r = Execute(s, modeSOP, kBoth);
  EXPECT_EQ(r.Host.Output,
            "All Prime Implicants\r\n"
            "f0 = (~B) + (~A)\r\n"
            "f1 = (~A)\r\n"
            "\r\n"
            "Optimized Function(s):\r\n"
            "f0 = (~A) + (~B)\r\n"
            "f1 = (~A)\r\n"
            "\r\n");
}

TEST(Minimize, VerifyCoverRejectsWrongCovers) {
  std::vector<TTermVector> fs = {Terms({1, 2})};
  TCover missing(2, 1);
  const uint64_t tag = 1;
  missing.Add(1, 0, &tag);
  EXPECT_THROW(VerifyCover(fs, missing), InternalError);
  TCover extra(2, 1);
  extra.Add(1, 0, &tag);
  extra.Add(2, 1, &tag);  // covers 2 and 3; 3 is not listed
  EXPECT_THROW(VerifyCover(fs, extra), InternalError);
  TCover right(2, 1);
  right.Add(1, 0, &tag);
  right.Add(2, 0, &tag);
  EXPECT_NO_THROW(VerifyCover(fs, right));
}

// A PLA output that no row sets: with ConstantEmptyFunctions the run goes on,
// the empty function gets no cube, and every other function's text is the
// one of the run without it.
TEST(Minimize, EmptyFunctionsAsConstantsLeaveTheOthersAlone) {
  const TTermVector f0 = Terms({1, 3, 5, 7, 8}), f2 = Terms({0, 1, 2, 3, 12});
  for (int mode : {modeSOP, modePOS}) {
    auto with = System({f0, TTermVector(), f2});
    auto without = System({f0, f2});
    TRunParams params;
    params.ConstantEmptyFunctions = true;
    RecordingHost a, b;
    const TOutputOptions options{true, true, false};
    const auto refused = RunCommand(with, mode, options, a, nullptr, {});
    if (mode == modeSOP) {
      EXPECT_EQ(refused, TRunOutcome::EmptyFunction);
    }
    a = RecordingHost();
    ASSERT_EQ(RunCommand(with, mode, options, a, nullptr, params), TRunOutcome::Completed);
    ASSERT_EQ(RunCommand(without, mode, options, b, nullptr, params), TRunOutcome::Completed);
    // A loaded PLA's system says so itself, for the window's runs too.
    auto loaded = System({f0, TTermVector(), f2});
    loaded.EmptyIsConstant = true;
    RecordingHost c;
    ASSERT_EQ(RunCommand(loaded, mode, options, c, nullptr, {}), TRunOutcome::Completed);
    EXPECT_EQ(c.Output, a.Output);
    // f1 of the wider run is f1 = (nothing) in SOP; the others match after renaming.
    std::string expected = b.Output, actual = a.Output;
    if (mode == modeSOP) {
      for (size_t at; (at = expected.find("f1 = ")) != std::string::npos;) expected.replace(at, 5, "f@ = ");
      for (size_t at; (at = actual.find("f2 = ")) != std::string::npos;) actual.replace(at, 5, "f@ = ");
      for (size_t at; (at = actual.find("f1 = \r\n")) != std::string::npos;) actual.erase(at, 7);
      EXPECT_EQ(actual, expected);
      VerifyCover(with.Functions, *with.ResultCubes);
    }
  }
}

// The full adder's carry: "Smallest Cost" lists ABC in the carry as well (it
// is tagged for both functions); "PLA Cost" wires each product only where it
// is needed, and the heuristic, asked for, gives the same cover and says so.
TEST(Minimize, PlaCostAndTheHeuristicWireProductsOnlyWhereNeeded) {
  auto sum = Terms({1, 2, 4, 7}), carry = Terms({3, 5, 6, 7});
  auto s = System({sum, carry});
  RecordingHost host;
  RunCommand(s, modeSOP, {}, host);
  EXPECT_NE(host.Output.find("f1 = (B)(C) + (A)(C) + (A)(B) + (A)(B)(C)\r\n"), std::string::npos) << host.Output;
  for (const auto cost : {TCostCriterion::Pla, TCostCriterion::Fast}) {
    auto t = System({sum, carry});
    RecordingHost h;
    TRunStats stats;
    TRunParams params;
    params.Cost = cost;
    ASSERT_EQ(RunCommand(t, modeSOP, {}, h, &stats, params), TRunOutcome::Completed);
    EXPECT_NE(h.Output.find("f1 = (B)(C) + (A)(C) + (A)(B)\r\n"), std::string::npos) << h.Output;
    EXPECT_EQ(stats.Connections, 7);
    EXPECT_EQ(stats.Heuristic, cost == TCostCriterion::Fast);
    EXPECT_EQ(h.LastStatus(),
              cost == TCostCriterion::Fast ? "Done. 7 products (heuristic)." : "Done. 7 products, minimum.");
  }
}

// The cube finder asked for by name hands over to the tables once its budget
// is spent: the same result as the tables alone, its first status shown
// when it starts and again by the tables.
TEST(Minimize, NamedCubeFinderHandsOverToTheTables) {
  std::mt19937 rng(41);
  std::vector<TTermVector> functions(3);
  for (auto& f : functions)
    for (int32_t t = 0; t < (1 << 12); ++t)
      if (rng() % 3 == 0) f.Append(t, false);
  auto s = System(functions);
  TRunParams cubes, split;
  cubes.PrimeMethod = TPrimeMethod::Cubes;
  split.PrimeMethod = TPrimeMethod::Split;
  RecordingHost handed, tables;
  TRunStats a, b;
  SetCubesBudgetForTesting(1e-9);
  const TRunOutcome outcome = RunCommand(s, modeSOP, {}, handed, &a, cubes);
  SetCubesBudgetForTesting(0);
  ASSERT_EQ(outcome, TRunOutcome::Completed) << handed.LastStatus();
  ASSERT_EQ(RunCommand(s, modeSOP, {}, tables, &b, split), TRunOutcome::Completed);
  EXPECT_EQ(handed.Output, tables.Output);
  EXPECT_EQ(a.Primes, b.Primes);
  EXPECT_EQ(std::count(handed.Statuses.begin(), handed.Statuses.end(), "Generating zero cubes..."), 2);
  EXPECT_EQ(handed.Statuses.front(), "Generating zero cubes...");
}
