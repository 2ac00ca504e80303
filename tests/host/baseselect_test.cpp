#include <gtest/gtest.h>

#include <random>
#include <set>

#include "c4d_baseselect.h"

namespace {

std::vector<std::pair<Int32, Int32>> Segments(const BaseSelect& s, Int32 max = 1 << 30) {
  std::vector<std::pair<Int32, Int32>> out;
  for (Int32 i = 0; i < s.GetSegments(); ++i) {
    Int32 a, b;
    if (s.GetRange(i, max, &a, &b)) out.emplace_back(a, b);
  }
  return out;
}

}  // namespace

TEST(BaseSelect, NeighboursJoinIntoOneSegment) {
  BaseSelect s;
  s.Select(5);
  s.Select(7);
  EXPECT_EQ(Segments(s), (std::vector<std::pair<Int32, Int32>>{{5, 5}, {7, 7}}));
  s.Select(6);
  EXPECT_EQ(Segments(s), (std::vector<std::pair<Int32, Int32>>{{5, 7}}));
  EXPECT_EQ(s.GetCount(), 3);
  s.Select(4);
  s.Select(8);
  EXPECT_EQ(Segments(s), (std::vector<std::pair<Int32, Int32>>{{4, 8}}));
}

TEST(BaseSelect, DeselectSplitsASegment) {
  BaseSelect s;
  s.SelectAll(0, 9);
  s.Deselect(4);
  EXPECT_EQ(Segments(s), (std::vector<std::pair<Int32, Int32>>{{0, 3}, {5, 9}}));
  EXPECT_FALSE(s.IsSelected(4));
  EXPECT_TRUE(s.IsSelected(5));
  EXPECT_EQ(s.GetCount(), 9);
  s.Toggle(4);
  EXPECT_EQ(Segments(s), (std::vector<std::pair<Int32, Int32>>{{0, 9}}));
}

TEST(BaseSelect, RangeIsLimitedToTheElementCount) {
  BaseSelect s;
  s.SelectAll(2, 10);
  s.Select(20);
  Int32 a = -1, b = -1;
  ASSERT_TRUE(s.GetRange(0, 6, &a, &b));
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 5);
  EXPECT_FALSE(s.GetRange(1, 6, &a, &b)) << "segment wholly beyond the element count";
  EXPECT_FALSE(s.GetRange(2, 100, &a, &b)) << "no such segment";
  EXPECT_FALSE(s.GetRange(-1, 100, &a, &b));
}

TEST(BaseSelect, NegativeIndicesAreRefused) {
  BaseSelect s;
  EXPECT_FALSE(s.Select(-1));
  EXPECT_FALSE(s.IsSelected(-1));
  EXPECT_EQ(s.GetCount(), 0);
  EXPECT_EQ(s.GetLastElement(), -1);
}

TEST(BaseSelect, SelectAllMergesOverlappingSegments) {
  BaseSelect s;
  s.Select(1);
  s.Select(5);
  s.Select(9);
  s.Select(30);
  s.SelectAll(4, 10);
  EXPECT_EQ(Segments(s), (std::vector<std::pair<Int32, Int32>>{{1, 1}, {4, 10}, {30, 30}}));
  s.SelectAll(2, 3);
  EXPECT_EQ(Segments(s), (std::vector<std::pair<Int32, Int32>>{{1, 10}, {30, 30}}));
}

TEST(BaseSelect, RandomEditsMatchASetOfIndices) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<Int32> idx(0, 200), op(0, 4);
  BaseSelect s;
  std::set<Int32> ref;
  for (int step = 0; step < 5000; ++step) {
    Int32 i = idx(rng);
    switch (op(rng)) {
      case 0:
      case 1:
        s.Select(i);
        ref.insert(i);
        break;
      case 2:
        s.Deselect(i);
        ref.erase(i);
        break;
      case 3:
        s.Toggle(i);
        ref.count(i) ? (void)ref.erase(i) : (void)ref.insert(i);
        break;
      case 4: {
        Int32 j = std::min(200, i + idx(rng) % 8);
        s.SelectAll(i, j);
        for (Int32 k = i; k <= j; ++k) ref.insert(k);
        break;
      }
    }
  }
  EXPECT_EQ(s.GetCount(), static_cast<Int32>(ref.size()));
  std::set<Int32> walked;
  Int32 lastB = -2;
  for (auto [a, b] : Segments(s)) {
    EXPECT_GT(a, lastB + 1) << "segments are disjoint and not adjacent";
    lastB = b;
    for (Int32 k = a; k <= b; ++k) walked.insert(k);
  }
  EXPECT_EQ(walked, ref);
  for (Int32 k = 0; k <= 200; ++k) EXPECT_EQ(s.IsSelected(k), ref.count(k) == 1) << k;
}
