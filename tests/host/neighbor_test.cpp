// The polygon across an edge, from the edge hash, against a search of every polygon.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "c4d_neighbor.h"

namespace {

// The plain answer: scan the polygons in index order for the first other one with a side on
// (a, b). Sides as documented: a-b, b-c, c-d, d-a, a triangle a-b, b-c, c-a, and no side of
// two equal points or with a point outside the point count.
Int32 PlainNeighbor(const std::vector<CPolygon>& polys, Int32 pcnt, Int32 a, Int32 b, Int32 poly) {
  for (size_t i = 0; i < polys.size(); ++i) {
    if (static_cast<Int32>(i) == poly) continue;
    const CPolygon& p = polys[i];
    const Int32 n = p.c == p.d ? 3 : 4;
    for (Int32 s = 0; s < n; ++s) {
      const Int32 x = p[s], y = p[(s + 1) % n];
      if (x == y || x < 0 || y < 0 || x >= pcnt || y >= pcnt) continue;
      if ((x == a && y == b) || (x == b && y == a)) return static_cast<Int32>(i);
    }
  }
  return NOTOK;
}

TEST(Neighbor, TwoQuadsAndATriangleAcrossTheirEdges) {
  // Quads 0 (0,1,4,3) and 1 (1,2,5,4) share points 1-4; triangle 2 (4,5,6) hangs off quad 1's
  // top edge 5-4, which it runs along in its own side b-c.
  const std::vector<CPolygon> polys = {CPolygon(0, 1, 4, 3), CPolygon(1, 2, 5, 4),
                                       CPolygon(6, 4, 5)};
  Neighbor n;
  ASSERT_TRUE(n.Init(7, polys.data(), 3));
  EXPECT_EQ(n.GetNeighbor(1, 4, 0), 1);
  EXPECT_EQ(n.GetNeighbor(4, 1, 1), 0) << "either direction";
  EXPECT_EQ(n.GetNeighbor(5, 4, 1), 2);
  EXPECT_EQ(n.GetNeighbor(4, 5, 2), 1);
  EXPECT_EQ(n.GetNeighbor(6, 5, 2), NOTOK) << "triangle side c-a on the border";
  EXPECT_EQ(n.GetNeighbor(0, 1, 0), NOTOK) << "border";
  EXPECT_EQ(n.GetNeighbor(0, 4, 0), NOTOK) << "a diagonal is no edge";
  EXPECT_EQ(n.GetNeighbor(3, 3, 0), NOTOK);
  EXPECT_EQ(n.GetNeighbor(-1, 3, 0), NOTOK);
  // Sides 0-1, 1-4, 4-3, 3-0, 1-2, 2-5, 5-4, 6-4, 5-6: 4-1 and 4-5 are shared.
  EXPECT_EQ(n.GetEdgeCount(), 9);
}

TEST(Neighbor, ThreePolygonsOnOneEdgeAnswerTheFirstOtherInIndexOrder) {
  // Edge 0-1 carried by polygons 0, 1 and 2 (a fin), in mixed directions.
  const std::vector<CPolygon> polys = {CPolygon(0, 1, 2), CPolygon(1, 0, 3), CPolygon(4, 0, 1)};
  Neighbor n;
  ASSERT_TRUE(n.Init(5, polys.data(), 3));
  EXPECT_EQ(n.GetNeighbor(0, 1, 0), 1);
  EXPECT_EQ(n.GetNeighbor(0, 1, 1), 0);
  EXPECT_EQ(n.GetNeighbor(1, 0, 2), 0);
  EXPECT_EQ(n.GetNeighbor(0, 1, 7), 0) << "a polygon that does not carry the edge";
}

TEST(Neighbor, BadSidesCarryNoEdgeAndBadInputIsRefused) {
  // Point 9 lies outside the 4 points; quad 3's side d-a is 0-0.
  const std::vector<CPolygon> polys = {CPolygon(0, 1, 9, 3), CPolygon(1, 0, 2, 2),
                                       CPolygon(1, 9, 0), CPolygon(0, 1, 2, 0)};
  Neighbor n;
  ASSERT_TRUE(n.Init(4, polys.data(), 4));
  EXPECT_EQ(n.GetNeighbor(1, 9, 0), NOTOK);
  EXPECT_EQ(n.GetNeighbor(9, 0, 2), NOTOK);
  EXPECT_EQ(n.GetNeighbor(0, 0, 3), NOTOK);
  EXPECT_EQ(n.GetNeighbor(0, 1, 0), 1);
  EXPECT_EQ(n.GetNeighbor(0, 1, 1), 0);
  EXPECT_EQ(n.GetNeighbor(2, 0, 1), 3) << "triangle 1's b-c, quad 3's c-d";
  // 0-1, 3-0, 0-2, 1-2: the sides through point 9 and the side 0-0 are none.
  EXPECT_EQ(n.GetEdgeCount(), 4);

  EXPECT_FALSE(n.Init(4, nullptr, 2));
  EXPECT_EQ(n.GetNeighbor(0, 1, 0), NOTOK) << "a refused Init leaves nothing behind";
  EXPECT_FALSE(n.Init(-1, polys.data(), 4));
  EXPECT_FALSE(n.Init(4, polys.data(), -1));
  EXPECT_TRUE(n.Init(4, nullptr, 0));
  EXPECT_EQ(n.GetNeighbor(0, 1, 0), NOTOK);
}

// Random meshes of quads and triangles over few points, so that borders, both windings, edges
// of three or more polygons, repeated and out-of-range points all occur.
TEST(Neighbor, EqualsThePlainSearchOnRandomMeshes) {
  std::mt19937 rng(17);
  for (int round = 0; round < 40; ++round) {
    const Int32 pcnt = 4 + static_cast<Int32>(rng() % 30);
    const Int32 vcnt = 1 + static_cast<Int32>(rng() % 60);
    std::uniform_int_distribution<Int32> point(round % 5 == 0 ? -1 : 0, pcnt + (round % 7 == 0));
    std::vector<CPolygon> polys;
    for (Int32 i = 0; i < vcnt; ++i) {
      CPolygon p(point(rng), point(rng), point(rng), point(rng));
      if (rng() % 3 == 0) p.d = p.c;
      polys.push_back(p);
    }
    Neighbor n;
    ASSERT_TRUE(n.Init(pcnt, polys.data(), vcnt));
    for (Int32 a = -1; a <= pcnt; ++a)
      for (Int32 b = -1; b <= pcnt; ++b)
        for (Int32 poly = -1; poly <= vcnt; poly += 1 + static_cast<Int32>(rng() % 4))
          ASSERT_EQ(n.GetNeighbor(a, b, poly), PlainNeighbor(polys, pcnt, a, b, poly))
              << "round " << round << " edge " << a << "-" << b << " from " << poly;
  }
}

}  // namespace
