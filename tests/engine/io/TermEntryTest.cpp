#include <gtest/gtest.h>

#include <random>
#include <string>

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

// The line under the dialog's text, on random texts: it lists what the
// parser stores and every run of characters the parser skips.
TEST(TermEntry, ReadingAgreesWithTheParser) {
  std::mt19937 random(7);
  const std::string alphabet = "0123456789dD,, ,\n-x;\xc3\xa9.";
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int length = std::uniform_int_distribution<int>(0, 40)(random);
    for (int i = 0; i < length; ++i)
      text += alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(random)];
    const TTermEntryReading reading = ReadTermEntry(text, false);
    const std::string line = TermEntrySummary(reading, 1000);
    try {
      const TTermVector f = ParseTermEntry(text, false);
      ASSERT_TRUE(reading.Error.empty());
      ASSERT_EQ(reading.Function, f);
      std::string listed = f.Count() ? "reads as " + TermEntryText(f) + " (" : "reads as no terms";
      ASSERT_EQ(line.substr(0, listed.size()), listed) << text;
    } catch (const ConvertError& e) {
      ASSERT_EQ(reading.Error, e.what());
      ASSERT_EQ(line.rfind("cannot be read: ", 0), 0u);
    }
    // The runs are the skipped characters, in order, each run whole.
    std::string skipped, runs;
    for (const char c : text)
      if (std::string("0123456789dD, \n").find(c) == std::string::npos) skipped += c;
    for (const auto& run : reading.Ignored) runs += run;
    ASSERT_EQ(runs, skipped) << text;
    ASSERT_EQ(line.find("; ignored: ") != std::string::npos, !skipped.empty()) << text;
  }
}

TEST(TermEntry, ReadingCountsAndCutsLongLists) {
  EXPECT_EQ(TermEntrySummary(ReadTermEntry("1, 3, foo, 7dd, -4", false)),
            "reads as 1, 3, 4, 7d (4 terms, 1 of them a don't care); ignored: foo, -");
  EXPECT_EQ(TermEntrySummary(ReadTermEntry("5d", false)), "reads as 5d (1 term, a don't care)");
  EXPECT_EQ(TermEntrySummary(ReadTermEntry("9, 8, 7, 6d, 5d", false), 3),
            "reads as 5d, 6d, 7, \u2026 (5 terms, 2 of them don't cares)");
  // d marks the item it is in, even inside a word.
  EXPECT_EQ(TermEntrySummary(ReadTermEntry("1 and, xxxxxxxxxxxxxxxxxx", false)),
            "reads as 1d (1 term, a don't care); ignored: an, xxxxxxxxxxxx\u2026");
}
