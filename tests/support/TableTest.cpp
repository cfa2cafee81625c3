#include <gtest/gtest.h>

#include "model/Errors.h"
#include "support/Cube.h"

using tavro::TTable;

namespace {

TTable Example() {
  // Rows (1,1,0,0), (0,1,1,0), (0,0,1,1).
  TTable t(3, 4);
  t.SetCell(0, 0);
  t.SetCell(0, 1);
  t.SetCell(1, 1);
  t.SetCell(1, 2);
  t.SetCell(2, 2);
  t.SetCell(2, 3);
  return t;
}

}  // namespace

TEST(Table, NewTableIsClear) {
  TTable t(3, 4);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_FALSE(t.GetCell(r, c));
  for (int c = 0; c < 4; ++c) EXPECT_FALSE(t.IsCovered(c));
  EXPECT_FALSE(t.AllCovered());
  EXPECT_THROW(t.GetCell(3, 0), tavro::RangeError);
  EXPECT_THROW(t.SetCell(0, 4), tavro::RangeError);
  EXPECT_TRUE(TTable(2, 0).AllCovered());
  TTable empty(0, 3);
  EXPECT_EQ(empty.FindEssentialRows().Count(), 0);
  EXPECT_FALSE(empty.IsCovered(0));
}

TEST(Table, EssentialRowsSkipColumnsAlreadyCovered) {
  TTable t = Example();
  auto rows = t.FindEssentialRows();
  ASSERT_EQ(rows.Count(), 2);
  EXPECT_EQ(rows.GetItem(0), 0);
  EXPECT_EQ(rows.GetItem(1), 2);
  EXPECT_TRUE(t.AllCovered());
}

TEST(Table, EssentialRowsComeOutAscendingAndOnce) {
  // Column 0 has only row 2, column 3 only row 0; row 1 covers columns 1, 2
  // with the others. Row 2 alone covers two columns.
  TTable t(3, 4);
  t.SetCell(2, 0);
  t.SetCell(2, 1);
  t.SetCell(1, 1);
  t.SetCell(1, 2);
  t.SetCell(0, 2);
  t.SetCell(0, 3);
  TTable u(2, 2);
  u.SetCell(1, 0);
  u.SetCell(1, 1);
  auto rows = t.FindEssentialRows();
  ASSERT_EQ(rows.Count(), 2);
  EXPECT_EQ(rows.GetItem(0), 0);
  EXPECT_EQ(rows.GetItem(1), 2);
  auto single = u.FindEssentialRows();
  ASSERT_EQ(single.Count(), 1);
  EXPECT_EQ(single.GetItem(0), 1);
}

TEST(Table, DeletingMovesCellsAndFlags) {
  TTable t = Example();
  t.FindEssentialRows();
  TTable partial(1, 3);
  partial.SetCell(0, 0);
  partial.FindEssentialRows();  // covers column 0 only
  partial.DeleteColumn(1);
  EXPECT_TRUE(partial.IsCovered(0));
  EXPECT_FALSE(partial.IsCovered(1));

  TTable d = Example();
  d.DeleteColumn(1);
  ASSERT_EQ(d.Columns, 3);
  const bool expected[3][3] = {{true, false, false}, {false, true, false}, {false, true, true}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(d.GetCell(r, c), expected[r][c]) << r << "," << c;
  d.DeleteRow(0);
  ASSERT_EQ(d.Rows, 2);
  EXPECT_TRUE(d.GetCell(0, 1));
  EXPECT_FALSE(d.GetCell(0, 2));
}
