#include <gtest/gtest.h>

#include "support/Builders.h"

#include "engine/core/FunctionSystem.h"

using namespace tavro;
using tavro::testing::Terms;

TEST(FunctionSystem, StartsAsOneEmptyMintermFunction) {
  TFunctionSystem s;
  ASSERT_EQ(s.FunctionCount(), 1);
  EXPECT_EQ(s.Functions[0].Count(), 0);
  EXPECT_TRUE(s.Functions[0].IsMinterms());
  EXPECT_EQ(s.ComputeInputBits(), 0);
  EXPECT_EQ(s.ResultMode, modeSOP);
  EXPECT_FALSE(s.ResultReady);
}

TEST(FunctionSystem, InputBitsFollowTheLargestTerm) {
  EXPECT_EQ(TFunctionSystem::FunctionInputBits(Terms({0})), 1);
  EXPECT_EQ(TFunctionSystem::FunctionInputBits(Terms({1})), 1);
  EXPECT_EQ(TFunctionSystem::FunctionInputBits(Terms({2})), 2);
  EXPECT_EQ(TFunctionSystem::FunctionInputBits(Terms({7})), 3);
  EXPECT_EQ(TFunctionSystem::FunctionInputBits(Terms({8})), 4);
  EXPECT_EQ(TFunctionSystem::FunctionInputBits(Terms({1}, {2147483647})), 31);
  TFunctionSystem s;
  s.Functions = {Terms({1, 3}, {6}), Terms({0}), TTermVector()};
  EXPECT_EQ(s.ComputeInputBits(), 3);
  EXPECT_EQ(s.TotalTerms(), 4);
}

TEST(FunctionSystem, ComplementKeepsDontCaresAndRoundTrips) {
  const TTermVector f = Terms({1, 3}, {2});
  const TTermVector g = ComplementTerms(f, 2);
  EXPECT_TRUE(g.IsMaxterms());
  ASSERT_EQ(g.Count(), 2);
  EXPECT_EQ(g.GetTerm(0), 0);
  EXPECT_FALSE(g.GetDontCare(0));
  EXPECT_EQ(g.GetTerm(1), 2);
  EXPECT_TRUE(g.GetDontCare(1));
  EXPECT_EQ(ComplementTerms(g, 2), f);

  // The complement spans the whole system width, not the function's own.
  const TTermVector wide = ComplementTerms(Terms({1, 3}), 4);
  EXPECT_EQ(wide.Count(), 14);
  EXPECT_FALSE(wide.Contains(1));
  EXPECT_TRUE(wide.Contains(15));
}

TEST(FunctionSystem, ResetKeepsWidthAndResultForTheCaller) {
  TFunctionSystem s;
  s.Functions = {Terms({5}), Terms({1})};
  s.CurrentFunction = 1;
  s.CurrentFileName = "x.trm";
  s.Modified = true;
  s.ResultReady = true;
  s.ResultMode = modePOS;
  s.InputBits = 3;
  s.ResultCubes = std::make_shared<TCover>(3, 2);
  s.ResetSystem();
  EXPECT_EQ(s.FunctionCount(), 1);
  EXPECT_EQ(s.CurrentFunction, 0);
  EXPECT_TRUE(s.CurrentFileName.empty());
  EXPECT_FALSE(s.Modified);
  EXPECT_FALSE(s.ResultReady);
  EXPECT_EQ(s.ResultMode, modeSOP);
  EXPECT_EQ(s.InputBits, 3);
  EXPECT_NE(s.ResultCubes, nullptr);
}
