#include <gtest/gtest.h>

#include <memory>

#include "engine/core/CubeSets.h"
#include "engine/run/Route.h"

using namespace tavro;

namespace {

TCover Cubes(int width, size_t count) {
  TCover cubes(width, 1);
  const uint64_t tag = 1;
  for (size_t k = 0; k < count; ++k) cubes.Add(static_cast<uint32_t>(k), 0, &tag);
  return cubes;
}

// The boundaries of the choice: the width from which the cubes are read,
// the largest cover that the cube finder tries, and what makes the terms
// needed before the run.
TEST(RouteTest, ChoosesFromWidthCoverSizeAndParams) {
  constexpr int wide = kCubesFromInputs, narrow = kCubesFromInputs - 1;
  const TCover small = Cubes(wide, 10), largest = Cubes(wide, kCubesMaxSource),
               tooLarge = Cubes(wide, kCubesMaxSource + 1);
  using F = TPrimeFinder;
  using M = TPrimeMethod;
  struct Case {
    int Inputs;
    const TCover* Cubes;
    bool TermsInCubes;
    M Method;
    bool Verify;
    TChartForm Chart;
    bool FromCubes, ListFirst;
    F Finder;
  } cases[] = {
      {wide, &small, true, M::Automatic, false, TChartForm::Automatic, true, false, F::CubesThenTables},
      {narrow, &small, true, M::Automatic, false, TChartForm::Automatic, false, true, F::Tables},
      {wide, &largest, true, M::Automatic, false, TChartForm::Automatic, true, false, F::CubesThenTables},
      {wide, &tooLarge, true, M::Automatic, false, TChartForm::Automatic, true, true, F::Tables},
      {narrow, &small, true, M::Cubes, false, TChartForm::Automatic, true, false, F::Cubes},
      {wide, &tooLarge, true, M::Cubes, false, TChartForm::Classes, true, false, F::Cubes},
      {wide, &small, true, M::Pairing, false, TChartForm::Automatic, false, true, F::Pairing},
      {wide, &small, true, M::Dense, false, TChartForm::Automatic, false, true, F::Dense},
      {wide, &small, true, M::Split, false, TChartForm::Automatic, false, true, F::Split},
      {wide, &small, true, M::Automatic, true, TChartForm::Automatic, true, true, F::CubesThenTables},
      {wide, &small, true, M::Automatic, false, TChartForm::Pairs, true, true, F::CubesThenTables},
      {wide, &small, false, M::Automatic, false, TChartForm::Automatic, true, false, F::CubesThenTables},
      {wide, nullptr, false, M::Automatic, false, TChartForm::Automatic, false, false, F::Tables},
      {narrow, nullptr, false, M::Cubes, false, TChartForm::Automatic, false, false, F::Cubes},
  };
  for (const auto& c : cases) {
    TRunParams params;
    params.PrimeMethod = c.Method;
    params.Verify = c.Verify;
    params.ChartForm = c.Chart;
    const TRunRoute route = ChooseRoute(TRunSource{c.Inputs, c.Cubes, c.TermsInCubes}, params);
    const auto where = ::testing::Message() << "case " << &c - cases;
    EXPECT_EQ(route.FromCubes, c.FromCubes) << where;
    EXPECT_EQ(route.ListTermsFirst, c.ListFirst) << where;
    EXPECT_EQ(route.Finder, c.Finder) << where;
  }
}

// The system's cubes count only while they give its functions as the run
// takes them.
TEST(RouteTest, SystemCubesCountWhileTheyDescribeTheRunsFunctions) {
  TFunctionSystem loaded;
  loaded.Functions.resize(1);
  loaded.SourceCubes = std::make_shared<const TCover>(Cubes(kCubesFromInputs, 3));
  loaded.SourceIdentity = TermsIdentity(loaded.Functions);
  loaded.TermsInSource = true;
  loaded.MinInputBits = kCubesFromInputs;
  loaded.UpdateInputBits();
  EXPECT_EQ(RunSourceOf(loaded, modeSOP).Cubes, loaded.SourceCubes.get());
  EXPECT_TRUE(RunSourceOf(loaded, modeSOP).TermsInCubes);
  EXPECT_EQ(RunSourceOf(loaded, modePOS).Cubes, nullptr);  // converted first

  TFunctionSystem listed = loaded;
  listed.ListSourceTerms();
  EXPECT_EQ(RunSourceOf(listed, modeSOP).Cubes, listed.SourceCubes.get());
  EXPECT_FALSE(RunSourceOf(listed, modeSOP).TermsInCubes);
  listed.Functions[0].Add(5, false);  // edited: the cubes no longer give it
  EXPECT_EQ(RunSourceOf(listed, modeSOP).Cubes, nullptr);

  TFunctionSystem wider = loaded;
  wider.MinInputBits = kCubesFromInputs + 1;
  wider.UpdateInputBits();
  EXPECT_EQ(RunSourceOf(wider, modeSOP).Cubes, nullptr);
}

}  // namespace
