#include <gtest/gtest.h>

#include "model/Errors.h"
#include "model/TermVector.h"

using tavro::TTermVector;

TEST(TermVector, NewVectorIsEmptyMinterms) {
  TTermVector v;
  EXPECT_EQ(v.Count(), 0);
  EXPECT_TRUE(v.IsMinterms());
  EXPECT_FALSE(v.IsMaxterms());
  EXPECT_FALSE(v.Contains(0));
  EXPECT_FALSE(v.IsDontCare(0));
}

TEST(TermVector, FlagsTravelWithTheirTerms) {
  TTermVector v;
  v.Add(3, true);
  v.Add(1, false);
  ASSERT_EQ(v.Count(), 2);
  EXPECT_EQ(v.GetTerm(0), 1);
  EXPECT_EQ(v.GetTerm(1), 3);
  EXPECT_FALSE(v.GetDontCare(0));
  EXPECT_TRUE(v.GetDontCare(1));
  EXPECT_TRUE(v.IsDontCare(3));
  EXPECT_FALSE(v.IsDontCare(2));

  v.Add(3, false);  // already there: the flag stays
  EXPECT_TRUE(v.IsDontCare(3));
  v.Add(-2, false);
  EXPECT_EQ(v.Count(), 2);

  v.Delete(0);
  ASSERT_EQ(v.Count(), 1);
  EXPECT_EQ(v.GetTerm(0), 3);
  EXPECT_TRUE(v.GetDontCare(0));
  EXPECT_THROW(v.GetTerm(1), tavro::RangeError);
  EXPECT_THROW(v.GetDontCare(-1), tavro::RangeError);
}

TEST(TermVector, ClearKeepsTheKind) {
  TTermVector v;
  v.Maxterms = true;
  v.Add(4, false);
  v.Clear();
  EXPECT_EQ(v.Count(), 0);
  EXPECT_TRUE(v.IsMaxterms());
}

TEST(TermVector, AddAllMatchesAddingOneByOne) {
  // Unordered input with repeats: the first occurrence keeps its flag, and
  // terms already stored keep theirs.
  const std::vector<std::pair<int32_t, bool>> items = {{5, true},  {3, false}, {5, false}, {-1, true},
                                                       {9, false}, {3, true},  {0, true},  {7, false}};
  TTermVector oneByOne, bulk;
  oneByOne.Add(7, true);
  bulk.Add(7, true);
  for (const auto& [t, d] : items) oneByOne.Add(t, d);
  bulk.AddAll(items);
  EXPECT_EQ(bulk, oneByOne);
  EXPECT_TRUE(bulk.IsDontCare(7));
  EXPECT_TRUE(bulk.IsDontCare(5));
  EXPECT_FALSE(bulk.IsDontCare(3));
}
