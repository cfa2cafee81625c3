// The recorded steps of a run against the direct reference run, which
// pairs, charts and selects step by step on the model classes: every level's
// cubes in list order with their sources and marks, the chart, and each
// step's chosen and dropped rows must agree. Following the steps must not
// change a result. And one textbook function worked by hand.

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "engine/io/Steps.h"
#include "engine/run/Minimize.h"
#include "engine/run/StepRecord.h"
#include "support/Builders.h"
#include "support/RandomSystems.h"
#include "support/RecordingHost.h"
#include "support/ReferenceEngine.h"
#include "support/SystemText.h"

using namespace tavro;
using namespace tavro::testing;

namespace {

TFunctionSystem SystemOf(const std::vector<TTermVector>& functions) {
  TFunctionSystem s;
  s.Functions = functions;
  s.UpdateInputBits();
  return s;
}

// Runs the command on the system; with a recorder, records its steps.
TCover RunOn(TFunctionSystem s, int mode, TCostCriterion cost, TStepRecorder* steps) {
  RecordingHost host;
  TRunParams params;
  params.Cost = cost;
  params.Observer = steps;
  EXPECT_EQ(RunCommand(s, mode, TOutputOptions{}, host, nullptr, params), TRunOutcome::Completed);
  return *s.ResultCubes;
}

// The record's chosen and dropped rows per step (from 1).
std::map<int, ReferenceSteps::Step> StepsOf(const TStepRecord& record) {
  std::map<int, ReferenceSteps::Step> steps;
  for (const TStepEvent& e : record.Events) {
    auto& step = steps[e.Step];
    const bool chosen = e.What == TStepEvent::Kind::Essential || e.What == TStepEvent::Kind::Completion ||
                        e.What == TStepEvent::Kind::Covering;
    (chosen ? step.Chosen : step.Dropped).push_back(static_cast<int32_t>(e.Row));
  }
  for (auto& [k, step] : steps) std::sort(step.Dropped.begin(), step.Dropped.end());
  return steps;
}

void CompareWithReference(const TStepRecord& record, const ReferenceResult& reference, const std::string& what) {
  ASSERT_TRUE(record.Tables) << record.NoTables;
  const ReferenceSteps& ref = reference.Steps;
  ASSERT_EQ(record.Levels.size(), ref.Levels.size()) << what;
  for (size_t k = 0; k < ref.Levels.size(); ++k) {
    const TStepLevel& level = record.Levels[k];
    ASSERT_EQ(level.Cubes.Count(), ref.Levels[k].size()) << what << " level " << k;
    for (size_t i = 0; i < level.Cubes.Count(); ++i) {
      const auto& cube = ref.Levels[k][i];
      const std::string at = what + " level " + std::to_string(k) + " cube " + std::to_string(i);
      ASSERT_EQ(level.Cubes.Pattern(i), cube.Pattern) << at;
      for (size_t f = 0; f < cube.Tags.size(); ++f) ASSERT_EQ(level.Cubes.Tag(i, static_cast<int>(f)), cube.Tags[f]);
      ASSERT_EQ(level.Combined[i] != 0, cube.Combined) << at;
      ASSERT_EQ(level.From[i], std::make_pair(cube.From1, cube.From2)) << at;
    }
  }
  ASSERT_EQ(Describe(record.Primes), Describe(reference.Primes)) << what;
  ASSERT_EQ(record.Chart.Cells.size(), ref.Chart.size()) << what;
  for (size_t r = 0; r < ref.Chart.size(); ++r) {
    std::vector<uint32_t> cells;
    for (size_t c = 0; c < ref.Chart[r].size(); ++c)
      if (ref.Chart[r][c]) cells.push_back(static_cast<uint32_t>(c));
    ASSERT_EQ(record.Chart.Cells[r], cells) << what << " row " << r;
    const bool essential = !ref.Steps.empty() && std::find(ref.Steps[0].Chosen.begin(), ref.Steps[0].Chosen.end(),
                                                           static_cast<int32_t>(r)) != ref.Steps[0].Chosen.end();
    ASSERT_EQ(record.EssentialRow[r] != 0, essential) << what << " row " << r;
  }
  const auto steps = StepsOf(record);
  ASSERT_TRUE(steps.empty() || steps.rbegin()->first <= static_cast<int>(ref.Steps.size())) << what;
  for (size_t k = 0; k < ref.Steps.size(); ++k) {
    const auto it = steps.find(static_cast<int>(k + 1));
    const ReferenceSteps::Step none;
    const ReferenceSteps::Step& told = it == steps.end() ? none : it->second;
    ASSERT_EQ(told.Chosen, ref.Steps[k].Chosen) << what << " step " << k + 1;
    ASSERT_EQ(told.Dropped, ref.Steps[k].Dropped) << what << " step " << k + 1;
  }
}

TEST(Steps, RecordEqualsTheReferenceRunAndChangesNoResult) {
  std::mt19937 rng(20261210);
  RandomSystemOptions o;
  o.MinBits = 1;
  o.MaxBits = 6;
  o.MaxFunctions = 3;
  int compared = 0;
  for (int n = 0; n < 250; ++n) {
    int bits = 0;
    const auto functions = RandomSystem(rng, o, &bits);
    for (const int mode : {modeSOP, modePOS}) {
      const auto work = InKind(functions, mode == modePOS, bits);
      if (AnyEmpty(work)) continue;
      const std::string what = Dump(work);
      const TFunctionSystem system = SystemOf(functions);
      TStepRecorder steps;
      const TCover followed = RunOn(system, mode, TCostCriterion::Smallest, &steps);
      const ReferenceResult reference = ReferenceMinimize(work, bits);
      CompareWithReference(steps.Record(), reference, what);
      ASSERT_EQ(Describe(followed), Describe(reference.Result)) << what;
      ASSERT_EQ(Describe(steps.Record().Result), Describe(followed)) << what;
      // The minimum cover search on the chart of pairs: the result of the
      // run that is not followed.
      TStepRecorder searched;
      ASSERT_EQ(Describe(RunOn(system, mode, TCostCriterion::Pla, &searched)),
                Describe(RunOn(system, mode, TCostCriterion::Pla, nullptr)))
          << what;
      ASSERT_TRUE(searched.Record().Tables);
      ++compared;
    }
  }
  EXPECT_GT(compared, 250);
}

// f = m(0,1,2,5,6,7,8,9,10,14), worked by hand: six primes, of which -00-
// (B'C', alone on 9) and --10 (CD', alone on 14) are essential; they leave
// the columns 5 and 7, where 0-01 and 011- lie inside 01-1, which the next
// reduction then finds essential.
TEST(Steps, TextbookFunctionAsWorkedByHand) {
  TStepRecorder steps;
  RunOn(SystemOf({Terms({0, 1, 2, 5, 6, 7, 8, 9, 10, 14})}), modeSOP, TCostCriterion::Smallest, &steps);
  const TStepRecord& r = steps.Record();
  ASSERT_TRUE(r.Tables);
  ASSERT_EQ(r.LevelCounts, (std::vector<int64_t>{10, 13, 3, 0}));
  std::vector<std::string> primes;
  for (size_t i = 0; i < r.Primes.Count(); ++i) primes.push_back(r.Primes.Pattern(i));
  EXPECT_EQ(primes, (std::vector<std::string>{"-00-", "-0-0", "--10", "0-01", "011-", "01-1"}));
  EXPECT_EQ(r.EssentialRow, (std::vector<uint8_t>{1, 0, 1, 0, 0, 0}));
  // Columns 0 1 2 5 6 7 8 9 10 14: all but 5 and 7 are covered by them.
  EXPECT_EQ(r.EssentialColumn, (std::vector<uint8_t>{1, 1, 1, 0, 1, 0, 1, 1, 1, 1}));
  using K = TStepEvent::Kind;
  std::vector<std::tuple<int, K, uint32_t, int64_t>> events;
  for (const auto& e : r.Events) events.emplace_back(e.Step, e.What, e.Row, e.Other);
  EXPECT_EQ(events, (std::vector<std::tuple<int, K, uint32_t, int64_t>>{{1, K::Essential, 0, -1},
                                                                        {1, K::Essential, 2, -1},
                                                                        {1, K::Dominated, 3, 5},
                                                                        {1, K::Dominated, 4, 5},
                                                                        {1, K::Empty, 1, -1},
                                                                        {2, K::Essential, 5, -1}}));
  const std::string text = StepsText(r);
  EXPECT_NE(text.find("f0 = (~B)(~C) + (C)(~D) + (~A)(B)(D)"), std::string::npos) << text;
  EXPECT_NE(text.find("P3 is dropped: its columns all lie in P5's."), std::string::npos) << text;
  // The page shows the same.
  EXPECT_NE(StepsHtml(r).find("P3 is dropped: its columns all lie in P5's."), std::string::npos);
}

// A zero cube's don't-care functions are marked, its care ones not.
TEST(Steps, DontCaresAreMarkedAmongTheZeroCubes) {
  TStepRecorder one, two;
  RunOn(SystemOf({Terms({1, 3, 7}, {11, 15})}), modeSOP, TCostCriterion::Smallest, &one);
  const std::string text = StepsText(one.Record());
  EXPECT_NE(text.find(" 11 (dc) "), std::string::npos) << text;
  EXPECT_NE(text.find(" 15 (dc) "), std::string::npos) << text;
  EXPECT_EQ(text.find(" 7 (dc)"), std::string::npos) << text;
  RunOn(SystemOf({Terms({1, 3}, {7}), Terms({3, 7})}), modeSOP, TCostCriterion::Smallest, &two);
  EXPECT_NE(StepsText(two.Record()).find(" f0(dc) f1 "), std::string::npos) << StepsText(two.Record());
}

// Past the tables' size the record keeps the counts per level, and says why.
TEST(Steps, LargeSystemsGiveTheCountsPerLevel) {
  TTermVector f;
  for (int32_t t = 0; t < 1024; t += 3) f.Add(t, false);
  TStepRecorder steps;
  TRunParams params;
  params.PrimeMethod = TPrimeMethod::Pairing;
  params.Observer = &steps;
  TFunctionSystem s = SystemOf({f});
  RecordingHost host;
  ASSERT_EQ(RunCommand(s, modeSOP, TOutputOptions{}, host, nullptr, params), TRunOutcome::Completed);
  const TStepRecord& r = steps.Record();
  EXPECT_FALSE(r.Tables);
  EXPECT_NE(r.NoTables.find("this system has 10"), std::string::npos) << r.NoTables;
  ASSERT_FALSE(r.LevelCounts.empty());
  EXPECT_EQ(r.LevelCounts.front(), f.Count());
  EXPECT_EQ(r.LevelCounts.back(), 0);
  EXPECT_NE(StepsText(r).find(r.NoTables), std::string::npos);
}

}  // namespace
