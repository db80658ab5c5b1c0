#include <gtest/gtest.h>

#include "Vek_support.h"

namespace vek {
namespace {

TEST(BitFld, BitsAreOneBasedAndOutOfRangeIsHarmless) {
  TBitFld f;
  f.SetSize(130);
  EXPECT_FALSE(f.GetBit(1));
  f.SetBit(1, true);
  f.SetBit(64, true);
  f.SetBit(65, true);
  f.SetBit(130, true);
  f.SetBit(0, true);    // ignored
  f.SetBit(131, true);  // ignored
  f.SetBit(-5, true);   // ignored
  EXPECT_TRUE(f.GetBit(1));
  EXPECT_TRUE(f.GetBit(64));
  EXPECT_TRUE(f.GetBit(65));
  EXPECT_TRUE(f.GetBit(130));
  EXPECT_FALSE(f.GetBit(2));
  EXPECT_FALSE(f.GetBit(0));
  EXPECT_FALSE(f.GetBit(131));
  EXPECT_EQ(f.CountSet(), 4);
  f.SetBit(64, false);
  EXPECT_FALSE(f.GetBit(64));
  f.Clear();
  EXPECT_EQ(f.CountSet(), 0);
}

TEST(BitFld, ShrinkingThenGrowingDoesNotResurrectBits) {
  TBitFld f(100);
  f.SetBit(90, true);
  f.SetBit(10, true);
  f.SetSize(50);
  EXPECT_FALSE(f.GetBit(90));
  f.SetSize(100);
  EXPECT_FALSE(f.GetBit(90));
  EXPECT_TRUE(f.GetBit(10));
}

TEST(Matrix, OneBasedColumnsAndRows) {
  TMatrix m;
  m.Resize(3, 2);
  EXPECT_EQ(m.NrOfColumns(), 3);
  EXPECT_EQ(m.NrOfRows(), 2);
  m.SetVal(3, 1, 7.5);
  m.SetVal(1, 2, -1);
  EXPECT_EQ(m.GetVal(3, 1), 7.5);
  EXPECT_EQ(m.GetVal(1, 2), -1);
  EXPECT_EQ(m.GetVal(1, 1), 0);
  // (Column 1, Row 2) and (Column 2, Row 1) are different cells.
  EXPECT_EQ(m.GetVal(2, 1), 0);
  m.SetVal(4, 1, 9);  // outside: ignored
  m.SetVal(0, 0, 9);
  EXPECT_EQ(m.GetVal(4, 1), 0);
  EXPECT_EQ(m.GetVal(1, 3), 0);
}

TEST(Matrix, ResizeKeepsOverlapFillCloneAssign) {
  TMatrix m(2, 2);
  m.SetVal(1, 1, 1);
  m.SetVal(2, 2, 4);
  m.Resize(3, 1);
  EXPECT_EQ(m.GetVal(1, 1), 1);
  EXPECT_EQ(m.GetVal(3, 1), 0);
  EXPECT_EQ(m.GetVal(2, 2), 0);
  m.Resize(-1, 5);
  EXPECT_EQ(m.NrOfColumns(), 0);
  m.Resize(2, 3);
  m.Fill(2.5);
  TMatrix c;
  c.Clone(m);
  EXPECT_EQ(c.NrOfColumns(), 2);
  EXPECT_EQ(c.NrOfRows(), 3);
  EXPECT_EQ(c.GetVal(2, 3), 2.5);
  c.SetVal(1, 1, 0);
  EXPECT_EQ(m.GetVal(1, 1), 2.5);  // a copy, not a view
  TMatrix d;
  d.Assign(c);
  EXPECT_EQ(d.GetVal(1, 1), 0);
}

TEST(Vector, OneBasedAndBoundsSafe) {
  TVector v;
  v.SetVecSize(3);
  v.SetVal(1, 1);
  v.SetVal(3, 3);
  v.SetVal(4, 4);
  EXPECT_EQ(v.NrOfElem(), 3);
  EXPECT_EQ(v.GetVal(3), 3);
  EXPECT_EQ(v.GetVal(4), 0);
  EXPECT_EQ(v.GetVal(0), 0);
  v.SetVecSize(5);
  EXPECT_EQ(v.GetVal(3), 3);
  EXPECT_EQ(v.GetVal(5), 0);
  TVector w;
  w.Clone(v);
  EXPECT_EQ(w.NrOfElem(), 5);
  EXPECT_EQ(w.GetVal(1), 1);
}

}  // namespace
}  // namespace vek
