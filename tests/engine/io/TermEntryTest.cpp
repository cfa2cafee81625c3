#include <gtest/gtest.h>

#include "support/Builders.h"

#include "engine/io/TermEntry.h"
#include "model/Errors.h"

using namespace tavro;
using tavro::testing::Terms;

TEST(TermEntry, TextRoundTrips) {
  const auto f = Terms({1, 3}, {6});
  EXPECT_EQ(TermEntryText(f), "1, 3, 6d");
  EXPECT_EQ(ParseTermEntry(TermEntryText(f), false), f);
  EXPECT_EQ(TermEntryText(TTermVector()), "");
}

TEST(TermEntry, OnlyCommasSeparate) {
  EXPECT_EQ(ParseTermEntry("5, 3, 5d, 1", false), Terms({1, 3, 5}));
  EXPECT_EQ(ParseTermEntry("5d, 3", false), Terms({3}, {5}));
  EXPECT_EQ(ParseTermEntry("1 2, 3", false), Terms({12, 3}));
  EXPECT_EQ(ParseTermEntry("4\r\n7", false), Terms({47}));
  EXPECT_EQ(ParseTermEntry("x, y, z", false), TTermVector());
  EXPECT_EQ(ParseTermEntry("2-5, 007,,", false), Terms({25, 7}));
  EXPECT_EQ(ParseTermEntry("d5, 5 d, 6D, d, 8", false), Terms({8}, {5, 6}));
  // The plus and the bar mean nothing here.
  EXPECT_EQ(ParseTermEntry("+1|2", true), Terms({12}, {}, true));
  EXPECT_EQ(ParseTermEntry("", true), Terms({}, {}, true));
}

TEST(TermEntry, TooLargeNumbersAnywhereAreErrors) {
  EXPECT_THROW(ParseTermEntry("2147483648, 1", false), ConvertError);
  try {
    ParseTermEntry("1, 2147483648", false);
    ADD_FAILURE();
  } catch (const ConvertError& e) {
    EXPECT_STREQ(e.what(), "'2147483648' is not a valid integer value");
  }
  EXPECT_EQ(ParseTermEntry("2147483647", false), Terms({2147483647}));
}
