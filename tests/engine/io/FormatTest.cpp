#include <gtest/gtest.h>

#include "support/Builders.h"

#include "engine/io/Format.h"

using namespace tavro;
using tavro::testing::AddPattern;

namespace {

TCover WorkedExample() {
  TCover c(3, 2);
  AddPattern(c, "0-0", {0, 1});
  AddPattern(c, "1-1", {0});
  AddPattern(c, "-11", {1});
  return c;
}

}  // namespace

TEST(Format, WorkedExampleInAllThreeForms) {
  const TCover c = WorkedExample();
  EXPECT_EQ(c.Pattern(0), "0-0");
  EXPECT_EQ(FormatSOP(c), "f0 = (~A)(~C) + (A)(C)\r\nf1 = (~A)(~C) + (B)(C)\r\n");
  // Product of sums: each sum is 0 exactly on its cube.
  EXPECT_EQ(FormatPOS(c), "f0 = (A + C)(~A + ~C)\r\nf1 = (A + C)(~B + ~C)\r\n");
  EXPECT_EQ(FormatCubeTerms(c), "f0 = (0, 2) + (5, 7)\r\nf1 = (0, 2) + (3, 7)\r\n");
}

TEST(Format, EmptyListsAndUntaggedFunctions) {
  const TCover none(3, 2);
  EXPECT_EQ(FormatSOP(none), "");
  EXPECT_EQ(FormatPOS(none), "");
  EXPECT_EQ(FormatCubeTerms(none), "");
  TCover c(3, 3);
  AddPattern(c, "100", {1});
  EXPECT_EQ(FormatSOP(c), "f0 = \r\nf1 = (A)(~B)(~C)\r\nf2 = \r\n");
  EXPECT_EQ(FormatCubeTerms(c), "f0 = \r\nf1 = (4)\r\nf2 = \r\n");
}

TEST(Format, SingleLiteralsAndConstants) {
  TCover c(3, 1);
  AddPattern(c, "1-0", {0});
  AddPattern(c, "1--", {0});
  EXPECT_EQ(FormatSOP(c), "f0 = (A)(~C) + (A)\r\n");
  EXPECT_EQ(FormatPOS(c), "f0 = (~A + C)(~A)\r\n");
  TCover k(2, 1);
  AddPattern(k, "01", {0});
  AddPattern(k, "--", {0});
  EXPECT_EQ(FormatSOP(k), "f0 = (~A)(B) + 1\r\n");
  EXPECT_EQ(FormatPOS(k), "f0 = (A + ~B)(0)\r\n");
  EXPECT_EQ(FormatCubeTerms(k), "f0 = (1) + (0, 1, 2, 3)\r\n");
}

TEST(Format, VariableNamesRepeatPastZ) {
  EXPECT_EQ(VariableName(1), "A");
  EXPECT_EQ(VariableName(26), "Z");
  EXPECT_EQ(VariableName(27), "AA");
  EXPECT_EQ(VariableName(52), "ZZ");
  EXPECT_EQ(VariableName(53), "AAA");
}

TEST(Format, ManyFunctionsUseEveryTagWord) {
  TCover c(1, 70);
  AddPattern(c, "1", {0, 69});
  const std::string text = FormatSOP(c);
  EXPECT_NE(text.find("f0 = (A)\r\n"), std::string::npos);
  EXPECT_NE(text.find("f68 = \r\nf69 = (A)\r\n"), std::string::npos);
}
