#include <gtest/gtest.h>

#include "model/Errors.h"
#include "support/Cube.h"

using tavro::TCube;
using tavro::TCubeList;

TEST(Cube, InitFromTermSpellsTheTerm) {
  TCube c(4);
  c.InitFromTerm(5, {true, false});
  EXPECT_EQ(c.Pattern, "0101");
  EXPECT_EQ(c.Ones, 2);
  ASSERT_EQ(c.Terms.Count(), 1);
  EXPECT_EQ(c.Terms.GetItem(0), 5);
  EXPECT_EQ(c.Tags, (std::vector<bool>{true, false}));
  EXPECT_FALSE(c.Combined);

  TCube zero(3), seven(3);
  zero.InitFromTerm(0, {true});
  seven.InitFromTerm(7, {true});
  EXPECT_EQ(zero.Pattern, "000");
  EXPECT_EQ(zero.Ones, 0);
  EXPECT_EQ(seven.Pattern, "111");
  EXPECT_EQ(seven.Ones, 3);
}

TEST(CubeList, NewestFirstAmongEqualOnes) {
  TCube w(3), x(3), y(3), z(3);
  w.Ones = 2;
  x.Ones = 1;
  y.Ones = 2;
  z.Ones = 0;
  TCubeList list(3);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(list.Item(0)->Tags.empty());  // the blank cube
  EXPECT_EQ(list.Item(0)->Ones, 0);
  for (TCube* c : {&w, &x, &y, &z}) list.Add(c);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Item(0), &z);
  EXPECT_EQ(list.Item(1), &x);
  EXPECT_EQ(list.Item(2), &y);
  EXPECT_EQ(list.Item(3), &w);

  TCubeList other(3);
  other.Add(&x);
  list.Delete(1);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Item(1), &y);
  EXPECT_EQ(other.Item(0), &x);  // still alive in the other list
  EXPECT_THROW(list.Item(3), tavro::RangeError);

  list.Add(&z);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Item(0), &z);
  EXPECT_EQ(list.Item(1), &z);
}
