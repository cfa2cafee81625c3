#include <gtest/gtest.h>

#include "model/Errors.h"
#include "support/IntVector.h"

using tavro::TIntVector;

TEST(IntVector, AddKeepsValuesAscendingAndUnique) {
  TIntVector v;
  for (int x : {5, 2, 9, 2}) v.Add(x);
  ASSERT_EQ(v.Count(), 3);
  EXPECT_EQ(v.GetItem(0), 2);
  EXPECT_EQ(v.GetItem(1), 5);
  EXPECT_EQ(v.GetItem(2), 9);
  v.Add(-1);
  EXPECT_EQ(v.Count(), 3);
}

TEST(IntVector, ZeroIsAValueAndNegativesAreDropped) {
  TIntVector v;
  v.Add(-1);
  EXPECT_EQ(v.Count(), 0);
  v.Add(0);
  v.Add(0);
  ASSERT_EQ(v.Count(), 1);
  EXPECT_EQ(v.GetItem(0), 0);
}

TEST(IntVector, ContainsAndClear) {
  TIntVector v;
  for (int x : {2, 5, 9}) v.Add(x);
  EXPECT_FALSE(v.Contains(10));
  EXPECT_FALSE(v.Contains(4));
  EXPECT_TRUE(v.Contains(9));
  EXPECT_TRUE(v.Contains(2));
  v.Clear();
  EXPECT_EQ(v.Count(), 0);
  EXPECT_FALSE(v.Contains(2));
  v.Add(7);
  EXPECT_EQ(v.GetItem(0), 7);
}

TEST(IntVector, IndexOutsideFailsWithRangeError) {
  TIntVector v;
  v.Add(1);
  EXPECT_THROW(v.GetItem(1), tavro::RangeError);
  EXPECT_THROW(v.GetItem(-1), tavro::RangeError);
  try {
    v.GetItem(3);
  } catch (const tavro::TavroError& e) {
    EXPECT_STREQ(e.what(), "Range check error");
  }
}
