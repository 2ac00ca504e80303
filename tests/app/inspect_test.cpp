// UV layout inspection: the exact overlap test on hand-made shapes, the grid search against the
// all-pairs search, flips, density and stretch measured by hand.
#include "inspect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "c4d_basedocument.h"
#include "scenes.h"

using namespace pelterra;

namespace {

using UV = std::vector<std::pair<double, double>>;

LayoutPolygon Poly(const UV& uv, std::array<Int32, 4> points = {-1, -1, -1, -1}) {
  LayoutPolygon p;
  p.corners = static_cast<int>(uv.size());
  p.point = points;
  for (size_t k = 0; k < uv.size(); ++k) {
    p.u[k] = uv[k].first;
    p.v[k] = uv[k].second;
  }
  if (uv.size() == 3) {  // a triangle's spare d repeats c, as the host keeps it
    p.u[3] = p.u[2];
    p.v[3] = p.v[2];
    p.point[3] = p.point[2];
  }
  return p;
}

LayoutPolygon Rect(double u0, double v0, double u1, double v1) {
  return Poly({{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}});
}

bool Overlap(const LayoutPolygon& a, const LayoutPolygon& b) {
  const bool ab = UVInteriorsIntersect(a, b), ba = UVInteriorsIntersect(b, a);
  EXPECT_EQ(ab, ba) << "the test is not symmetric";
  return ab;
}

struct Doc {
  BaseDocument* doc = BaseDocument::Alloc();
  Layout layout;
  explicit Doc(const std::string& scene) {
    std::string error;
    if (!LoadBuiltinScene(scene, *doc, error)) ADD_FAILURE() << error;
    auto* op = static_cast<PolygonObject*>(doc->GetFirstObject());
    if (!op || !LayoutOf(*op, layout)) ADD_FAILURE() << "no layout";
  }
  ~Doc() { BaseDocument::Free(doc); }
};

}  // namespace

TEST(InspectOverlap, SliversCountTouchingDoesNot) {
  const LayoutPolygon a = Rect(0, 0, 1, 1);
  EXPECT_TRUE(Overlap(a, Rect(1 - 1e-9, 0, 2, 1))) << "overlap by a sliver";
  EXPECT_TRUE(Overlap(a, Rect(0.5, 0.5, 1.5, 1.5)));
  EXPECT_FALSE(Overlap(a, Rect(1, 0, 2, 1))) << "shared edge";
  EXPECT_FALSE(Overlap(a, Rect(1, 0.25, 2, 0.75))) << "part of an edge";
  EXPECT_FALSE(Overlap(a, Rect(1, 1, 2, 2))) << "corner";
  EXPECT_FALSE(Overlap(a, Rect(1 + 1e-9, 0, 2, 1))) << "apart by a sliver";
  // A diamond whose corner touches the square's edge from outside.
  EXPECT_FALSE(Overlap(a, Poly({{1, 0.5}, {1.5, 0}, {2, 0.5}, {1.5, 1}})));
}

TEST(InspectOverlap, ContainedIdenticalAndCollinear) {
  const LayoutPolygon big = Rect(0, 0, 1, 1);
  EXPECT_TRUE(Overlap(big, Rect(0.25, 0.25, 0.5, 0.5))) << "inside";
  EXPECT_TRUE(Overlap(big, Rect(0, 0, 1, 1))) << "identical";
  EXPECT_TRUE(Overlap(big, Rect(0, 0, 0.5, 1))) << "inside, sharing three edges";
  // Collinear edges: on either side of the line they don't overlap, on the same side they do.
  EXPECT_FALSE(Overlap(big, Rect(0.5, 1, 1.5, 2)));
  EXPECT_TRUE(Overlap(big, Rect(0.5, 0, 1.5, 0.5)));
  // The same with the second polygon's corners in the other turning order.
  EXPECT_FALSE(Overlap(big, Poly({{0.5, 1}, {0.5, 2}, {1.5, 2}, {1.5, 1}})));
  EXPECT_TRUE(Overlap(big, Poly({{0.5, 0}, {0.5, 0.5}, {1.5, 0.5}, {1.5, 0}})));
  // A polygon without area has no interior, even inside another.
  EXPECT_FALSE(Overlap(big, Rect(0.2, 0.2, 0.8, 0.2)));
  EXPECT_FALSE(Overlap(big, Rect(0.5, 0.5, 0.5, 0.5)));
  const double nan = std::nan("");
  EXPECT_FALSE(Overlap(big, Rect(0.2, 0.2, nan, 0.8)));
}

TEST(InspectOverlap, TrianglesFansAndConcaveQuads) {
  // A hexagon as a fan of four triangles: neighbours share edges only.
  const UV hex = {{1, 0.5}, {0.75, 0.933}, {0.25, 0.933}, {0, 0.5}, {0.25, 0.067}, {0.75, 0.067}};
  Layout fan;
  for (size_t k = 1; k + 1 < hex.size(); ++k) fan.polygons.push_back(Poly({hex[0], hex[k], hex[k + 1]}));
  EXPECT_EQ(FindOverlapsAllPairs(fan).count, 0);
  EXPECT_EQ(FindOverlaps(fan).count, 0);
  // A triangle over the fan's middle overlaps two of its triangles, not the far ones.
  fan.polygons.push_back(Poly({{0.45, 0.45}, {0.55, 0.45}, {0.5, 0.55}}));
  const OverlapResult r = FindOverlaps(fan);
  EXPECT_EQ(r.count, FindOverlapsAllPairs(fan).count);
  EXPECT_GE(r.count, 1);
  EXPECT_TRUE(r.involved[4]);
  // A triangle overlapping a quad, and one beside it.
  EXPECT_TRUE(Overlap(Rect(0, 0, 1, 1), Poly({{0.9, 0.5}, {2, 0}, {2, 1}})));
  EXPECT_FALSE(Overlap(Rect(0, 0, 1, 1), Poly({{1, 0.5}, {2, 0}, {2, 1}})));
  // A dart (reflex at d, whichever corner comes first): a triangle in its notch lies outside it.
  const UV dart = {{0, 0}, {2, 1}, {0, 2}, {1, 1}};
  const LayoutPolygon notch = Poly({{0.1, 0.9}, {0.5, 1}, {0.1, 1.1}});
  for (int turn = 0; turn < 4; ++turn) {
    UV d;
    for (int k = 0; k < 4; ++k) d.push_back(dart[static_cast<size_t>((k + turn) % 4)]);
    EXPECT_FALSE(Overlap(Poly(d), notch)) << "turn " << turn;
    EXPECT_TRUE(Overlap(Poly(d), Poly({{1.2, 0.9}, {1.6, 1}, {1.2, 1.1}}))) << "turn " << turn;
  }
}

// Random layouts on a coarse lattice, so that shared edges, touching corners, collinear edges,
// identical and nested polygons all occur: the grid search finds exactly the all-pairs pairs.
TEST(InspectOverlap, GridSearchAgreesWithAllPairs) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    auto lattice = [&](int lo, int hi) {
      return std::uniform_int_distribution<int>(lo, hi)(rng) / 32.0;
    };
    Layout layout;
    const int n = 150 + 50 * static_cast<int>(seed);
    for (int i = 0; i < n; ++i) {
      const double u = lattice(0, 28), v = lattice(0, 28);
      const double w = lattice(1, seed % 2 ? 4 : 12), h = lattice(1, 4);
      switch (std::uniform_int_distribution<int>(0, 4)(rng)) {
        case 0:
          layout.polygons.push_back(Rect(u, v, u + w, v + h));
          break;
        case 1:  // mirrored
          layout.polygons.push_back(Rect(u + w, v, u, v + h));
          break;
        case 2:
          layout.polygons.push_back(Poly({{u, v}, {u + w, v}, {u, v + h}}));
          break;
        case 3:  // sheared
          layout.polygons.push_back(Poly({{u, v}, {u + w, v}, {u + 2 * w, v + h}, {u + w, v + h}}));
          break;
        default:  // a dart
          layout.polygons.push_back(Poly({{u, v}, {u + w, v + h / 2}, {u, v + h}, {u + w / 2, v + h / 2}}));
      }
      if (i % 37 == 0) layout.polygons.push_back(layout.polygons.back());  // a stacked copy
    }
    // Some far away and large, some without area.
    layout.polygons.push_back(Rect(-3, -3, 4, 4));
    layout.polygons.push_back(Rect(10, 10, 11, 11));
    layout.polygons.push_back(Rect(0.5, 0.5, 0.5, 0.75));
    const OverlapResult grid = FindOverlaps(layout, 1000000);
    const OverlapResult all = FindOverlapsAllPairs(layout, 1000000);
    ASSERT_TRUE(grid.complete);
    EXPECT_GT(all.count, 0);
    EXPECT_EQ(grid.count, all.count);
    EXPECT_EQ(grid.first, all.first);
    EXPECT_EQ(grid.involved, all.involved);
  }
}

TEST(InspectOverlap, StackedLayoutsStopAtTheWorkLimit) {
  Layout stack;
  for (int i = 0; i < 2000; ++i) stack.polygons.push_back(Rect(0, 0, 1, 1));
  const OverlapResult r = FindOverlaps(stack, 3, 100000);
  EXPECT_FALSE(r.complete);
  EXPECT_GT(r.count, 0);
  EXPECT_LT(r.count, 2000 * 1999 / 2);
  const OverlapResult whole = FindOverlaps(stack, 3);
  EXPECT_TRUE(whole.complete);
  EXPECT_EQ(whole.count, 2000 * 1999 / 2);
  EXPECT_EQ(whole.first, (std::vector<std::pair<Int32, Int32>>{{0, 1}, {0, 2}, {0, 3}}));
}

// The built-in broken layout: island 0 sound, 1 mirrored, 2 at half density, 3 over island 0.
TEST(InspectReport, PlantedFaultsOfTheBrokenLayout) {
  Doc d("broken");
  const InspectReport r = Inspect(d.layout);
  EXPECT_EQ(r.polygons, 8);
  EXPECT_EQ(r.islands, 4);
  EXPECT_EQ(r.island, (std::vector<Int32>{0, 0, 1, 1, 2, 2, 3, 3}));
  EXPECT_EQ(r.overlaps.count, 3);
  EXPECT_EQ(r.overlaps.first, (std::vector<std::pair<Int32, Int32>>{{0, 6}, {1, 6}, {1, 7}}));
  EXPECT_EQ(r.flipped, 2);
  ASSERT_EQ(r.flippedIslands.size(), 1u);
  EXPECT_EQ(r.flippedIslands[0].island, 1);
  EXPECT_EQ(r.flippedIslands[0].flipped, 2);
  EXPECT_EQ(r.flippedIslands[0].polygons, 2);
  // Density by hand: two unit quads of 0.1875 x 0.1875 in UV: sqrt(2 * 0.1875^2 / 2) = 0.1875;
  // island 2's cells are half as long.
  EXPECT_EQ(r.densityMin.value, 0.09375);
  EXPECT_EQ(r.densityMin.at, 2);
  EXPECT_EQ(r.densityMax.value, 0.1875);
  EXPECT_EQ(r.densityMax.at, 0);
  EXPECT_EQ(r.densityMedian, 0.1875);
  EXPECT_EQ(r.densitySpread, 2.0);
  // Area shares: each polygon has 1 of the 8 units of 3D area; in UV island 2's quads have
  // 0.09375^2, the others 0.1875^2, of 6 * 0.1875^2 + 2 * 0.09375^2 = 0.228515625.
  const double small = 0.09375 * 0.09375 / 0.228515625 * 8, large = 0.1875 * 0.1875 / 0.228515625 * 8;
  EXPECT_NEAR(r.areaMin.value, small, 1e-12);
  EXPECT_NEAR(r.areaMax.value, large, 1e-12);
  EXPECT_NEAR(r.areaWorst.value, 1.0 / small, 1e-12);
  EXPECT_EQ(r.areaWorst.at, 4);
  EXPECT_EQ(r.areaMin.at, 4);
  EXPECT_EQ(r.areaMax.at, 0);
  EXPECT_NEAR(r.angleWorst.value, 0.0, 1e-9);
  EXPECT_EQ(r.zeroArea, 0);
  EXPECT_EQ(r.nonFiniteCorners, 0);
  // Union of the islands less the 0.3125 x 0.0625 where islands 0 and 3 overlap; every edge lies
  // between pixel centres of the raster, so the count is exact.
  EXPECT_EQ(r.usedShare, 0.228515625 - 0.3125 * 0.0625);
}

TEST(InspectReport, SoundSceneHasNoFlipsAndOneDensity) {
  Doc cube("cube");
  const InspectReport r = Inspect(cube.layout);
  EXPECT_EQ(r.flipped, 0);
  EXPECT_EQ(r.overlaps.count, 0);
  EXPECT_EQ(r.islands, 1) << "the cross is one island";
  EXPECT_NEAR(r.densitySpread, 1.0, 1e-12);
  // Six cells of 0.25: 6 / 16 of the unit square.
  EXPECT_NEAR(r.usedShare, 6.0 / 16, 1e-9);
}

// Two unit quads in 3D, one mapped to a square, the other scaled by 3: spread 3, and one of them
// mirrored in UV makes its island (and only it) flipped.
TEST(InspectReport, ScaledAndMirroredIsland) {
  Layout l;
  for (int x = 0; x < 2; ++x)
    for (int k = 0; k < 4; ++k)
      l.points.push_back(Vector(3.0 * x + (k == 1 || k == 2), 0, (k >= 2)));
  l.polygons.push_back(Poly({{0, 0}, {0.1, 0}, {0.1, 0.1}, {0, 0.1}}, {0, 1, 2, 3}));
  l.polygons.push_back(Poly({{0.5, 0.5}, {0.8, 0.5}, {0.8, 0.8}, {0.5, 0.8}}, {4, 5, 6, 7}));
  InspectReport r = Inspect(l);
  EXPECT_EQ(r.islands, 2);
  EXPECT_NEAR(r.densityMin.value, 0.1, 1e-12);
  EXPECT_NEAR(r.densityMax.value, 0.3, 1e-12);
  EXPECT_EQ(r.densityMax.at, 1);
  EXPECT_NEAR(r.densitySpread, 3.0, 1e-12);
  EXPECT_NEAR(r.densityMedian, 0.2, 1e-12);
  EXPECT_EQ(r.flipped, 0);
  // Mirror the second in u.
  std::swap(l.polygons[1].u[0], l.polygons[1].u[1]);
  std::swap(l.polygons[1].u[2], l.polygons[1].u[3]);
  r = Inspect(l);
  EXPECT_EQ(r.flipped, 1);
  ASSERT_EQ(r.flippedIslands.size(), 1u);
  EXPECT_EQ(r.flippedIslands[0].island, 1);
  EXPECT_NEAR(r.angleWorst.value, 0.0, 1e-9) << "a mirror is no angle stretch";
  EXPECT_NEAR(r.densitySpread, 3.0, 1e-12) << "a mirror keeps the density";
}

// A unit square beside a quad sheared by 45 degrees and twice the area in UV.
TEST(InspectReport, ShearedQuadAngleAndAreaDistortion) {
  Layout l;
  for (int x = 0; x < 2; ++x)
    for (int k = 0; k < 4; ++k) l.points.push_back(Vector(2.0 * x + (k == 1 || k == 2), (k >= 2), 0));
  l.polygons.push_back(Poly({{0, 0}, {0.5, 0}, {0.5, 0.5}, {0, 0.5}}, {0, 1, 2, 3}));
  l.polygons.push_back(Poly({{0, 0.6}, {1, 0.6}, {1.5, 1.1}, {0.5, 1.1}}, {4, 5, 6, 7}));
  const InspectReport r = Inspect(l);
  // UV 0.25 and 0.5 of 0.75; 3D 1 and 1 of 2.
  EXPECT_NEAR(r.areaDistortion[0], 2.0 / 3, 1e-12);
  EXPECT_NEAR(r.areaDistortion[1], 4.0 / 3, 1e-12);
  EXPECT_NEAR(r.areaWorst.value, 1.5, 1e-12);
  EXPECT_EQ(r.areaWorst.at, 0);
  EXPECT_EQ(r.areaMax.at, 1);
  // Corners of 45 and 135 degrees against 90.
  EXPECT_NEAR(r.angleWorst.value, 45.0, 1e-9);
  EXPECT_EQ(r.angleWorst.at, 1);
  // Corner c pushed in past the diagonal turns reflex in UV: its interior angle is 360 degrees
  // less the 118.07 between its edges (cos = -0.08 / 0.17), against 90 in 3D.
  l.polygons[0] = Poly({{0, 0}, {0.5, 0}, {0.1, 0.1}, {0, 0.5}}, {0, 1, 2, 3});
  const InspectReport dart = Inspect(l);
  EXPECT_NEAR(dart.angleWorst.value, 270.0 - std::acos(-0.08 / 0.17) * 180.0 / std::numbers::pi, 1e-9);
  EXPECT_EQ(dart.angleWorst.at, 0);
}

TEST(InspectReport, ZeroAreaAndNonFiniteCorners) {
  Layout l;
  l.polygons.push_back(Rect(0, 0, 0.5, 0.5));
  l.polygons.push_back(Rect(0.2, 0.2, 0.2, 0.4));  // on a line
  l.polygons.push_back(Poly({{0.1, 0.1}, {0.1, 0.1}, {0.1, 0.1}}));
  l.polygons.push_back(Rect(0.1, 0.1, std::nan(""), 0.3));
  l.polygons.push_back(Rect(0.1, std::numeric_limits<double>::infinity(), 0.3, 0.3));
  const InspectReport r = Inspect(l);
  EXPECT_EQ(r.zeroArea, 2);
  EXPECT_EQ(r.zeroAreaFirst, (std::vector<Int32>{1, 2}));
  EXPECT_EQ(r.nonFinitePolygons, 2);
  EXPECT_EQ(r.nonFiniteCorners, 4);
  EXPECT_EQ(r.overlaps.count, 0);
  EXPECT_EQ(r.flipped, 0);
  EXPECT_EQ(r.island[3], -1);
  EXPECT_NEAR(r.usedShare, 0.25, 1e-12);
}

TEST(InspectReport, LimitsPassAtTheirValueAndFailAbove) {
  Doc d("broken");
  const InspectReport r = Inspect(d.layout);
  InspectLimits at{3, r.densitySpread, r.areaWorst.value};
  EXPECT_TRUE(Exceeded(r, at).empty());
  EXPECT_EQ(Exceeded(r, InspectLimits{2, {}, {}}).size(), 1u);
  EXPECT_EQ(Exceeded(r, InspectLimits{{}, std::nextafter(r.densitySpread, 0.0), {}}).size(), 1u);
  const auto lines = Exceeded(r, InspectLimits{2, 1.0, 1.0});
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[2].find("at polygon 4"), std::string::npos) << lines[2];
}

TEST(InspectHeat, ScalesAndColours) {
  // Viridis runs dark to light; the diverging map is white in the middle, blue below, red above.
  EXPECT_LT(Viridis(0).g, Viridis(0.5).g);
  EXPECT_LT(Viridis(0.5).g, Viridis(1).g);
  EXPECT_EQ(Viridis(1).r, 0xfd);
  EXPECT_EQ(Diverging(0).r, Diverging(0).b);
  EXPECT_GT(Diverging(-1).b, Diverging(-1).r);
  EXPECT_GT(Diverging(1).r, Diverging(1).b);
  Doc d("broken");
  const InspectReport r = Inspect(d.layout);
  const HeatColours flips = ColourBy(HeatMode::kFlips, {&r});
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(flips.fill[0][i].has_value(), i == 2 || i == 3) << i;
  const HeatColours over = ColourBy(HeatMode::kOverlaps, {&r});
  for (size_t i = 0; i < 8; ++i)
    EXPECT_EQ(over.fill[0][i].has_value(), i == 0 || i == 1 || i == 6 || i == 7) << i;
  const HeatColours density = ColourBy(HeatMode::kDensity, {&r});
  EXPECT_EQ(density.fill[0][0]->r, Diverging(0).r) << "the median is white";
  EXPECT_GT(density.fill[0][4]->b, density.fill[0][4]->r) << "the sparse island is blue";
  ASSERT_EQ(density.legend.labels.size(), 3u);
  EXPECT_EQ(density.legend.labels[0].second, "0.09375");
  EXPECT_EQ(density.legend.labels[1].second, "0.1875");
  EXPECT_EQ(density.legend.labels[2].second, "0.375");
}
