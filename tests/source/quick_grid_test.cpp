// Quick Grid: the edge pick, the straightening, the strip and column walks, Square and Size Fit
// on regions computed by hand; the carry of neighbours; refusals that change nothing; and the
// indexed, threaded tool against a plain one-thread walk on random regions.
#include <cstring>
#include <random>

#include "UVQuickGrid.h"
#include "c4d_gui.h"
#include "c4d_symbols.h"
#include "quick_grid_reference.h"
#include "runtime/threads.h"
#include "uv_scene.h"

namespace {

// Points, polygons and UVs of one object.
struct Mesh {
  std::vector<Vector> points;
  std::vector<CPolygon> polys;
  std::vector<UVWStruct> uvs;

  Int32 Point(Float x, Float y, Float z = 0) {
    points.emplace_back(x, y, z);
    return static_cast<Int32>(points.size() - 1);
  }
  void Quad(Int32 a, Int32 b, Int32 c, Int32 d, Vector ua, Vector ub, Vector uc, Vector ud) {
    polys.emplace_back(a, b, c, d);
    uvs.emplace_back(ua, ub, uc, ud);
  }
  void Triangle(Int32 a, Int32 b, Int32 c, Vector ua, Vector ub, Vector uc) {
    polys.emplace_back(a, b, c);
    uvs.emplace_back(ua, ub, uc, kTriD);
  }
};

// cols x rows quads: boundary point (i, j) at point(i, j) in 3D and uv(i, j) in UV; polygon
// j * cols + i has the corners (i, j), (i + 1, j), (i + 1, j + 1), (i, j + 1).
template <typename P, typename U>
Mesh Grid(Int32 cols, Int32 rows, P&& point, U&& uv) {
  Mesh m;
  for (Int32 j = 0; j <= rows; ++j)
    for (Int32 i = 0; i <= cols; ++i) m.points.push_back(point(i, j));
  auto at = [&](Int32 i, Int32 j) { return j * (cols + 1) + i; };
  for (Int32 j = 0; j < rows; ++j)
    for (Int32 i = 0; i < cols; ++i)
      m.Quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1), uv(i, j), uv(i + 1, j),
             uv(i + 1, j + 1), uv(i, j + 1));
  return m;
}

// The region worked by hand: 4 x 3 quads. In 3D the column borders lie at x = 0, 1, 3, 4, 6 and
// border i has rows of height h[i] = 1, 2, 1, 2, 1, so every 3D edge of row 0 and every side
// across the rows is straight. In UV the grid is turned: steps (0.4, -0.3) and (0.3, 0.4).
const Float kX[5] = {0, 1, 3, 4, 6};
const Float kH[5] = {1, 2, 1, 2, 1};
Mesh HandRegion() {
  return Grid(
      4, 3, [](Int32 i, Int32 j) { return Vector(kX[i], j * kH[i], 0); },
      [](Int32 i, Int32 j) { return V(0.4 * i + 0.3 * j, -0.3 * i + 0.4 * j); });
}
// The hand region laid out, from the border corners at column border i, row border j.
template <typename E>
std::vector<UVWStruct> Expected(E&& corner) {
  std::vector<UVWStruct> out;
  for (Int32 j = 0; j < 3; ++j)
    for (Int32 i = 0; i < 4; ++i)
      out.emplace_back(corner(i, j), corner(i + 1, j), corner(i + 1, j + 1), corner(i, j + 1));
  return out;
}
// Picking corners a and b of polygon 0 (UV points 0 and 1): the edge (0.4, -0.3) is 0.5 long and
// 36.87 degrees below the u axis, so it turns by -36.87 degrees about its midpoint (0.2, -0.15)
// onto v = -0.15, from u = -0.05 to 0.45, and the rail runs along u. The picked edge is 1 long
// in 3D: cells are 0.5 x their 3D length. Rail sign -1 (a lies left of b), so the strip grows
// from b to the right by 0.5 x (2, 1, 2): u = 0.45, 1.45, 1.95, 2.95. Each column then grows
// upwards (downwards would wind the quads clockwise) by 0.5 x h per side.
const Float kU[5] = {-0.05, 0.45, 1.45, 1.95, 2.95};
Vector Walked(Int32 i, Int32 j) {
  return V(kU[i], -0.15 + 0.5 * j * kH[i]);
}
// Square: every row takes the heights of its quad in column 0 (0.5); then each column from
// row 0 up is rebuilt with the longer of its two sides, 0.5 x 2 = 1 in every column, row 0
// keeping its height.
Vector Squared(Int32 i, Int32 j) {
  const Float v[4] = {-0.15, 0.35, 1.35, 2.35};
  return V(kU[i], v[j]);
}

struct QuickGridTest : UVScene {
  void Load(const Mesh& m, Int32 mode = Muvpoints) {
    const Int32 n = static_cast<Int32>(m.polys.size());
    op = PolygonObject::Alloc(static_cast<Int32>(m.points.size()), n);
    std::copy(m.points.begin(), m.points.end(), op->GetPointW());
    std::copy(m.polys.begin(), m.polys.end(), op->GetPolygonW());
    tag = static_cast<UVWTag*>(op->MakeTag(Tuvw));
    for (Int32 i = 0; i < n; ++i) tag->SetSlow(i, m.uvs[static_cast<size_t>(i)]);
    doc->InsertObject(op, nullptr, nullptr);
    doc->SetActiveObject(op);
    doc->SetMode(mode);
  }
  void Select(const std::vector<Int32>& ids) {
    hostrt::UVPointSelection(op)->DeselectAll();
    for (Int32 i : ids) hostrt::UVPointSelection(op)->Select(i);
  }
  Bool Run(const std::vector<Int32>& ids, Bool square = false, Bool fit = false) {
    Select(ids);
    return QuickGrid(square, fit);
  }
  String LastMessage() const {
    return host.Messages().empty() ? String() : host.Messages().back().text;
  }
  void ExpectAll(const std::vector<UVWStruct>& want) {
    for (size_t i = 0; i < want.size(); ++i) ExpectUV(UV(static_cast<Int32>(i)), want[i], "quad");
  }
};

bool SameBits(const std::vector<UVWStruct>& a, const std::vector<UVWStruct>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
}

struct ThreadCount {
  explicit ThreadCount(Int32 n) { hostrt::SetThreadCount(n); }
  ~ThreadCount() { hostrt::SetThreadCount(0); }
};

}  // namespace

// --- regions worked by hand ---

TEST_F(QuickGridTest, FourByThreeRegionFollowsTheEdgeLengths) {
  Load(HandRegion());
  Choose(IDC_TABS, IDC_TAB_FUNCTION2);
  Select({0, 1});
  Click(IDC_QUICK_GRID);
  ExpectAll(Expected(Walked));
  EXPECT_EQ(doc->GetUndoCount(), 1);
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(QuickGridTest, SquareStraightensRowsAndColumns) {
  Load(HandRegion());
  Choose(IDC_TABS, IDC_TAB_FUNCTION2);
  Tick(IDC_GRID_SQUARE, true);
  Select({0, 1});
  Click(IDC_QUICK_GRID);
  ExpectAll(Expected(Squared));
  EXPECT_EQ(doc->GetUndoCount(), 1);
}

TEST_F(QuickGridTest, SizeFitNormalisesOnlyTheLongerExtent) {
  // Squared, the region is 3 wide and 2.5 high: u goes to (u - 1.45) / 3 + 0.5, v stays.
  Load(HandRegion());
  ASSERT_TRUE(Run({0, 1}, true, true));
  ExpectAll(Expected([](Int32 i, Int32 j) {
    const Vector s = Squared(i, j);
    return V((s.x - 1.45) / 3.0 + 0.5, s.y);
  }));
  // A quad 0.25 wide and high, in numbers that the layout keeps exact: W > H fails, so v goes
  // to (v - 0.125) x 4 + 0.5 and u stays in 0 .. 0.25.
  Mesh m;
  m.Quad(m.Point(0, 0), m.Point(1, 0), m.Point(1, 1), m.Point(0, 1), V(0, 0), V(0.25, 0),
         V(0.25, 0.25), V(0, 0.25));
  Load(m);
  ASSERT_TRUE(Run({0, 1}, false, true));
  ExpectUV(UV(0), UVWStruct(V(0, 0), V(0.25, 0), V(0.25, 1), V(0, 1)), "square region");
}

// Two unit quads far apart, 0.1 wide in UV, each turned: their edges a-b (UV points 0 1 and
// 4 5) start one walk each, and neither walk touches the other's quad.
TEST_F(QuickGridTest, SeveralWalksEachLayOutTheirOwnRegion) {
  Mesh m;
  const Int32 p0 = m.Point(0, 0), p1 = m.Point(1, 0), p2 = m.Point(1, 1), p3 = m.Point(0, 1);
  const Int32 q0 = m.Point(5, 0), q1 = m.Point(6, 0), q2 = m.Point(6, 1), q3 = m.Point(5, 1);
  // a-b = (0.08, 0.06): 143.13 degrees from u (taken from b to a), so it turns by +36.87
  // degrees about (0.04, 0.03) onto v = 0.03, u -0.01 .. 0.09; the side grows up by 0.1.
  m.Quad(p0, p1, p2, p3, V(0, 0), V(0.08, 0.06), V(0.02, 0.14), V(-0.06, 0.08));
  // a-b = (0.06, 0.08): 126.87 degrees, so it turns by -36.87 degrees about (1.03, 1.04) onto
  // u = 1.03, v 0.99 .. 1.09, the rail along v; the side grows left by 0.1.
  m.Quad(q0, q1, q2, q3, V(1, 1), V(1.06, 1.08), V(0.98, 1.14), V(0.92, 1.06));
  Load(m);
  ASSERT_TRUE(Run({0, 1, 4, 5}));
  ExpectUV(UV(0), UVWStruct(V(-0.01, 0.03), V(0.09, 0.03), V(0.09, 0.13), V(-0.01, 0.13)), "A");
  ExpectUV(UV(1), UVWStruct(V(1.03, 0.99), V(1.03, 1.09), V(0.93, 1.09), V(0.93, 0.99)), "B");
}

TEST_F(QuickGridTest, ALaterWalkLeavesWhatAnEarlierOnePlaced) {
  // Polygon 5 (UV points 20, 21) lies in the region that the walk from polygon 0 lays out.
  Load(HandRegion());
  ASSERT_TRUE(Run({0, 1, 20, 21}));
  ExpectAll(Expected(Walked));
}

// A 2 x 2 grid of unit quads whose UVs are already a grid of 0.25 cells: the flat pick a-b of
// quad 0 (UV points 0, 1) lays it out as it is, with the rail along u. Polygon j * 2 + i has
// the corners (i, j), (i + 1, j), (i + 1, j + 1), (i, j + 1) at UV 0.25 x those.
Mesh UnitGrid() {
  return Grid(
      2, 2, [](Int32 i, Int32 j) { return Vector(i, j, 0); },
      [](Int32 i, Int32 j) { return V(0.25 * i, 0.25 * j); });
}

// A second, upright pick inside the first region (b-c of quad 3, UV points 13 and 14) moves no
// polygon, but it sets the rail axis to v and adds quad 3 to the first column, which Square
// then works along. By hand, Square with the rail along v:
// - sweep one, from first-column entry (0, a, d): quad 0's b and c take the u of its a and d
//   (0), and quad 1, met across its a-d, takes u 0 on all corners; from entry (2, a, d) quad 2
//   and, across its a-d, quad 3 do the same. Every corner now has u = 0.
// - sweep two, from quad 0's b-a side ((0, 0) twice): quad 1 meets it with a-b, keeps v 0 and
//   puts d and c 0.25 further in u; quad 2 meets that side with a-b and goes on to 0.5; quad 3
//   meets the next with c-d and puts b and a at 0.75. Every cell is flat, so the turn test (0)
//   never flips. Quad 0 is the sweep's start and keeps its sweep-one corners.
TEST_F(QuickGridTest, ALaterPickInsideThePlacedRegionSetsTheAxisThatSquareFollows) {
  const Mesh m = UnitGrid();
  Load(m);
  ASSERT_TRUE(Run({0, 1, 13, 14}));
  ExpectAll(m.uvs);  // neither walk moves a corner of this grid

  Load(m);
  ASSERT_TRUE(Run({0, 1}, true));
  ExpectAll(m.uvs);  // one walk: Square along u keeps the grid

  Load(m);
  ASSERT_TRUE(Run({0, 1, 13, 14}, true));
  const std::vector<UVWStruct> want = {
      UVWStruct(V(0, 0), V(0, 0), V(0, 0.25), V(0, 0.25)),
      UVWStruct(V(0, 0), V(0, 0), V(0.25, 0), V(0.25, 0)),
      UVWStruct(V(0.25, 0), V(0.25, 0), V(0.5, 0), V(0.5, 0)),
      UVWStruct(V(0.75, 0), V(0.75, 0), V(0.5, 0), V(0.5, 0)),
  };
  ExpectAll(want);
}

TEST_F(QuickGridTest, EdgesTurnUprightFrom45DegreesAndFlatBelow) {
  struct Case {
    const char* what;
    Vector a, b;
    Vector wantA, wantB;
  };
  const Float h = 0.1 * std::sqrt(0.5);  // half the edge's length, 0.0707...
  const Case cases[] = {
      // a-b seen from b: (0.1, -0.1), exactly 45 degrees: turned by 45 onto u = 0.25.
      {"45", V(0.2, 0.3), V(0.3, 0.2), V(0.25, 0.25 + h), V(0.25, 0.25 - h)},
      // b-a seen from a... (-0.1, -0.1), exactly 135 degrees: turned by -45 onto u = 0.25.
      {"135", V(0.2, 0.2), V(0.3, 0.3), V(0.25, 0.25 - h), V(0.25, 0.25 + h)},
      // (0.1, -0.0999): just below 45 degrees, turned flat onto v = 0.25005.
      {"below 45", V(0.2, 0.3), V(0.3, 0.2001), V(0.25 - 0.5 * std::hypot(0.1, 0.0999), 0.25005),
       V(0.25 + 0.5 * std::hypot(0.1, 0.0999), 0.25005)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Mesh m;
    m.Quad(m.Point(0, 0), m.Point(1, 0), m.Point(1, 1), m.Point(0, 1), c.a, c.b, c.b + V(-0.1, 0.1),
           c.a + V(-0.1, 0.1));
    Load(m);
    ASSERT_TRUE(Run({0, 1}));
    EXPECT_NEAR((UV(0).a - c.wantA).GetLength(), 0.0, 1e-9);
    EXPECT_NEAR((UV(0).b - c.wantB).GetLength(), 0.0, 1e-9);
  }
}

TEST_F(QuickGridTest, ATrianglesTwoPointsStartAWalk) {
  // Triangle a (0, 0), b (0.1, 0), c (0, 0.1) on 3D points 2 apart: cells are 0.05 x 3D length.
  // The quad shares b-c.
  Mesh m;
  const Int32 a = m.Point(0, 0), b = m.Point(2, 0), c = m.Point(0, 2), e = m.Point(3, 0),
              f = m.Point(3, 2);
  m.Triangle(a, b, c, V(0, 0), V(0.1, 0), V(0, 0.1));
  m.Quad(b, e, f, c, V(0.1, 0), V(0.15, 0.15), V(0.05, 0.2), V(0, 0.1));
  // Corners a and c (two apart, which in a quad would be a diagonal): the edge is upright, the
  // rail runs along v and grows up from c, whose neighbour in the quad lands 0.05 x 3 higher.
  Load(m);
  ASSERT_TRUE(Run({0, 2}));
  EXPECT_NEAR((UV(1).d - V(0, 0.1)).GetLength(), 0.0, 1e-12);
  EXPECT_NEAR((UV(1).c - V(0, 0.25)).GetLength(), 0.0, 1e-12);
  // Corners a and b: the rail runs along u, growing right from b; the quad's corner on b stays
  // and the next one lands 0.05 x 1 further.
  Load(m);
  ASSERT_TRUE(Run({0, 1}));
  EXPECT_NEAR((UV(1).a - V(0.1, 0)).GetLength(), 0.0, 1e-12);
  EXPECT_NEAR((UV(1).b - V(0.15, 0)).GetLength(), 0.0, 1e-12);
  ExpectUV(UV(0), m.uvs[0], "the flat triangle keeps its place");
}

// Corner d of a triangle is no corner of it: selected, it counts for nothing.
TEST_F(QuickGridTest, ATrianglesCornerDIsNoPick) {
  Mesh m;
  m.Triangle(m.Point(0, 0), m.Point(2, 0), m.Point(0, 2), V(0, 0), V(0.1, 0), V(0, 0.1));
  // a and d: one corner of the triangle, so no edge.
  Load(m);
  EXPECT_FALSE(Run({0, 3}));
  EXPECT_EQ(LastMessage(), "Please select the two points that make up the edge.");
  ExpectUV(UV(0), m.uvs[0], "unchanged");
  // b, c and d: the edge is b-c, (0.1, -0.1) seen from c, exactly 45 degrees, so it turns by 45
  // degrees about its midpoint (0.05, 0.05) onto u = 0.05, b below, c above. Had d counted, the
  // edge would be b-d, towards d's UV (5, 5).
  Load(m);
  ASSERT_TRUE(Run({1, 2, 3}));
  const Float h = 0.1 * std::sqrt(0.5);
  EXPECT_NEAR((UV(0).b - V(0.05, 0.05 - h)).GetLength(), 0.0, 1e-9);
  EXPECT_NEAR((UV(0).c - V(0.05, 0.05 + h)).GetLength(), 0.0, 1e-9);
  EXPECT_EQ(UV(0).a, m.uvs[0].a);
  EXPECT_EQ(UV(0).d, kTriD);
}

TEST_F(QuickGridTest, ATriangleInTheStripKeepsItsUVsButMovesTheRailOn) {
  // Quad S (0.1 wide, 3D unit square) picked at a-b: rail along u, growing right from b at
  // (0.1, 0), cells 0.1 x 3D length. Triangle T shares S's right side; its rail edge is
  // sqrt(1.25) long in 3D, so the rail point moves to u = 0.1 + 0.1 sqrt(1.25). Quad D (two
  // corners on T's far corner) then starts there.
  Mesh m;
  const Int32 a = m.Point(0, 0), b = m.Point(1, 0), c = m.Point(1, 1), d = m.Point(0, 1),
              t = m.Point(2, 0.5), e = m.Point(2, 0.6), f = m.Point(3, 0.6), g = m.Point(3, 0.5);
  m.Quad(a, b, c, d, V(0, 0), V(0.1, 0), V(0.1, 0.1), V(0, 0.1));
  m.Triangle(b, t, c, V(0.1, 0), V(0.2, 0.05), V(0.1, 0.1));
  m.Quad(t, e, f, g, V(0.2, 0.05), V(0.2, 0.05), V(0.3, 0.1), V(0.3, 0));
  Load(m);
  ASSERT_TRUE(Run({0, 1}));
  ExpectUV(UV(1), m.uvs[1], "triangle");
  const Float rail = 0.1 + 0.1 * std::sqrt(1.25);
  EXPECT_NEAR((UV(2).a - V(rail, 0)).GetLength(), 0.0, 1e-12);
  EXPECT_NEAR((UV(2).d - V(rail + 0.1, 0)).GetLength(), 0.0, 1e-12);
}

// --- the carry of neighbours ---

TEST_F(QuickGridTest, NeighboursWithinTheToleranceFollowTheLastGridCorner) {
  // A (unit quad at the origin, edge a-b flat) keeps its UVs; B touches A only at (0.1, 0.1)
  // and its edge a-b turns by 36.87 degrees, moving that corner to (0.09, 0.13). Neighbours on
  // the touching point follow the later quad's corner, B's.
  Mesh m;
  m.Quad(m.Point(0, 0), m.Point(1, 0), m.Point(1, 1), m.Point(0, 1), V(0, 0), V(0.1, 0),
         V(0.1, 0.1), V(0, 0.1));
  m.Quad(m.Point(5, 0), m.Point(6, 0), m.Point(6, 1), m.Point(5, 1), V(0.1, 0.1), V(0.18, 0.16),
         V(0.12, 0.24), V(0.04, 0.18));
  auto neighbour = [&](Vector at) {
    m.Quad(m.Point(9, 0), m.Point(10, 0), m.Point(10, 1), m.Point(9, 1), at, V(0.5, 0.5),
           V(0.6, 0.5), V(0.6, 0.6));
  };
  neighbour(V(0.1, 0.1));           // 2: on the point
  neighbour(V(0.1, 0.1, 0.009));    // 3: 0.009 away in w
  neighbour(V(0.1 + 0.011, 0.1));   // 4: 0.011 away in u
  neighbour(V(0.1, 0.1 - 0.0099));  // 5: just within in v
  Load(m);
  ASSERT_TRUE(Run({0, 1, 4, 5}));
  ExpectUV(UV(0), m.uvs[0], "A");
  EXPECT_NEAR((UV(1).a - V(0.09, 0.13)).GetLength(), 0.0, 1e-12);
  for (Int32 i : {2, 3, 5}) {
    SCOPED_TRACE(i);
    EXPECT_NEAR((UV(i).a - V(0.09, 0.13)).GetLength(), 0.0, 1e-12);
    EXPECT_EQ(UV(i).b, V(0.5, 0.5)) << "unmatched corners keep their UVs";
  }
  ExpectUV(UV(4), m.uvs[4], "0.011 away");
}

TEST_F(QuickGridTest, ControllerAndWorkersGoByTheirNamesAndShowTheBusyCursor) {
  ControlThread control;
  MPTest worker;
  EXPECT_STREQ(control.GetThreadName(), "SDK ControlThread");
  EXPECT_STREQ(worker.GetThreadName(), "SDK MpTest");
  Load(HandRegion());
  ASSERT_TRUE(Run({0, 1}));
  EXPECT_EQ(host.Cursors(), (std::vector<Int32>{MOUSE_BUSY, MOUSE_NORMAL}));
  ASSERT_TRUE(Run({0, 1}, true));
  EXPECT_EQ(host.Cursors().size(), 6u) << "Square carries a second time";
  EXPECT_EQ(host.Cursor(), MOUSE_NORMAL);
}

TEST_F(QuickGridTest, TheCarryReportsItsProgressThroughTheStatusBar) {
  Load(HandRegion());
  ASSERT_TRUE(Run({0, 1}));
  ASSERT_TRUE(Run({0, 1}, true));
  // Each carry: its text, a bar from 0 that only grows up to 100, then the bar is cleared.
  const std::vector<hostrt::StatusRecord>& s = host.Statuses();
  size_t carries = 0;
  for (size_t i = 0; i < s.size();) {
    ASSERT_EQ(s[i].kind, hostrt::StatusRecord::Text) << i;
    EXPECT_EQ(s[i].text, "Quick Grid");
    ASSERT_LT(i + 1, s.size());
    EXPECT_EQ(s[i + 1].kind, hostrt::StatusRecord::Bar);
    EXPECT_EQ(s[i + 1].percent, 0);
    Int32 last = 0;
    size_t k = i + 1;
    for (; k < s.size() && s[k].kind == hostrt::StatusRecord::Bar; ++k) {
      EXPECT_GE(s[k].percent, last);
      last = s[k].percent;
    }
    EXPECT_EQ(last, 100);
    ASSERT_LT(k, s.size());
    EXPECT_EQ(s[k].kind, hostrt::StatusRecord::Clear);
    i = k + 1;
    ++carries;
  }
  EXPECT_EQ(carries, 3u) << "one carry, then two for Square";
}

// --- refusals ---

TEST_F(QuickGridTest, WithoutAnEdgeOfOnePolygonNothingChanges) {
  const std::vector<std::vector<Int32>> picks = {
      {0, 2},      // the diagonal of a quad
      {0, 1, 2},   // three corners: the lowest and the highest are a diagonal
      {0, 5, 10},  // one point in each of three polygons
      {},          // nothing
      {3, 7},      // corners d of two quads
  };
  for (const auto& pick : picks) {
    Load(HandRegion());
    const std::vector<UVWStruct> before = All();
    EXPECT_FALSE(Run(pick));
    EXPECT_EQ(LastMessage(), "Please select the two points that make up the edge.");
    EXPECT_TRUE(SameBits(All(), before));
    EXPECT_EQ(doc->GetUndoCount(), 0);
  }
  // All four corners: the lowest and the highest (a and d) are neighbours, so it walks.
  Load(HandRegion());
  EXPECT_TRUE(Run({0, 1, 2, 3}));
}

TEST_F(QuickGridTest, PreconditionsAreToldAndChangeNothing) {
  Load(HandRegion(), Muvpolygons);
  EXPECT_FALSE(Run({0, 1}));
  EXPECT_EQ(LastMessage(), "Please change the UV point mode.");

  doc->SetMode(Muvpoints);
  BaseObject* plain = BaseObject::Alloc(Onull);
  doc->InsertObject(plain, nullptr, nullptr);
  doc->SetActiveObject(plain);
  EXPECT_FALSE(QuickGrid(false, false));
  EXPECT_EQ(LastMessage(), "Please select one of the objects.");

  doc->SetActiveObject(op);
  op->KillTag(Tuvw);
  EXPECT_FALSE(QuickGrid(false, false));
  EXPECT_EQ(LastMessage(), "Please create a UVWtag.");

  const size_t shown = host.Messages().size();
  doc->SetActiveObject(nullptr);
  EXPECT_FALSE(QuickGrid(false, false));
  EXPECT_EQ(host.Messages().size(), shown) << "no object: nothing shown";
  EXPECT_EQ(doc->GetUndoCount(), 0);
  EXPECT_TRUE(host.Cursors().empty());
}

TEST_F(QuickGridTest, AnEdgeWithoutLengthLeavesTheUVsAndSaysWhy) {
  // Corners a and b on one 3D point: the grid's scale would be infinite.
  Mesh m;
  const Int32 p = m.Point(0, 0);
  m.Quad(p, p, m.Point(1, 1), m.Point(0, 1), V(0, 0), V(0.1, 0), V(0.1, 0.1), V(0, 0.1));
  Load(m);
  EXPECT_FALSE(Run({0, 1}));
  EXPECT_NE(LastMessage().find("no length on the object"), std::string::npos) << LastMessage();
  ExpectUV(UV(0), m.uvs[0], "unchanged");

  // Corners a and b 1e200 apart in 3D: the length's square, and so the length, is infinite.
  // That is a length too long to measure, not one that is missing.
  Mesh far;
  far.Quad(far.Point(0, 0), far.Point(1e200, 0), far.Point(1, 1), far.Point(0, 1), V(0, 0),
           V(0.1, 0), V(0.1, 0.1), V(0, 0.1));
  Load(far);
  EXPECT_FALSE(Run({0, 1}));
  EXPECT_NE(LastMessage().find("on the object is no finite number"), std::string::npos)
      << LastMessage();
  ExpectUV(UV(0), far.uvs[0], "unchanged");
  EXPECT_EQ(doc->GetUndoCount(), 0);

  // Corners a and b on one UV point: the grid would have no size.
  Mesh u;
  u.Quad(u.Point(0, 0), u.Point(1, 0), u.Point(1, 1), u.Point(0, 1), V(0, 0), V(0, 0), V(0.1, 0.1),
         V(0, 0.1));
  Load(u);
  EXPECT_FALSE(Run({0, 1}));
  EXPECT_NE(LastMessage().find("no length in UV"), std::string::npos) << LastMessage();

  // A second walk without length refuses the whole run, the first walk's work included.
  Mesh both = HandRegion();
  const Int32 q = both.Point(9, 9);
  both.Quad(q, q, both.Point(9, 10), both.Point(8, 10), V(5, 5), V(5.1, 5), V(5.1, 5.1), V(5, 5.1));
  Load(both);
  const std::vector<UVWStruct> before = All();
  EXPECT_FALSE(Run({0, 1, 48, 49}));
  EXPECT_TRUE(SameBits(All(), before));
  EXPECT_EQ(doc->GetUndoCount(), 0);
}

TEST_F(QuickGridTest, SizeFitOfARegionWithoutExtentLeavesTheUVs) {
  // The edge a-b differs only in w, and corners d and c lie on 3D points at a and b: the whole
  // quad lands on one (u, v) point.
  Mesh m;
  const Int32 a = m.Point(0, 0), b = m.Point(1, 0), c = m.Point(1, 0), d = m.Point(0, 0);
  m.Quad(a, b, c, d, V(0.2, 0.2, 0), V(0.2, 0.2, 0.5), V(0.3, 0.3), V(0.1, 0.3));
  Load(m);
  EXPECT_FALSE(Run({0, 1}, false, true));
  EXPECT_NE(LastMessage().find("Size Fit"), std::string::npos) << LastMessage();
  ExpectUV(UV(0), m.uvs[0], "unchanged");
  EXPECT_EQ(doc->GetUndoCount(), 0);
  // Without Size Fit the same quad is laid out.
  EXPECT_TRUE(Run({0, 1}));
}

TEST_F(QuickGridTest, CornersThatComeOutNotFiniteKeepTheirUVs) {
  // A 3D point without a number inside the region: every side through it has no length.
  Mesh m = HandRegion();
  m.points[2 * 5 + 2].y = std::numeric_limits<Float>::quiet_NaN();  // border point (2, 2)
  Load(m);
  ASSERT_TRUE(Run({0, 1}));
  for (const UVWStruct& s : All())
    for (Int32 k = 0; k < 4; ++k) EXPECT_TRUE(s[k].IsFinite());
  ExpectUV(UV(0), Expected(Walked)[0], "away from the point");
  // The corner at border point (2, 2) came out without a number, so it is where it was.
  EXPECT_EQ(UV(6).d, m.uvs[6].d);
}

TEST_F(QuickGridTest, UndoGivesTheLayoutBackAndRedoTheGrid) {
  Load(HandRegion());
  const std::vector<UVWStruct> before = All();
  ASSERT_TRUE(Run({0, 1}, true, true));
  const std::vector<UVWStruct> after = All();
  ASSERT_EQ(doc->GetUndoCount(), 1);
  ASSERT_TRUE(doc->DoUndo());
  EXPECT_TRUE(SameBits(All(), before));
  ASSERT_TRUE(doc->DoRedo());
  EXPECT_TRUE(SameBits(All(), after));
}

// --- the indexed, threaded tool against the plain walk ---

namespace {

// A random region: a grid whose 3D heights and UV layout wave, polygons in shuffled order, some
// quads split into triangles, some polygons cut off (moved away in UV, or by 0.004 which is
// still on their neighbours), neighbours with a corner 0.009 or 0.011 from a grid corner (in u,
// v or w), and two or three picked edges (now and then a diagonal or three corners). Packed,
// the cells are 0.006 apart, so that many corners lie within the tolerance of each other.
reference::Input RandomRegion(std::mt19937& rng, bool packed = false) {
  std::uniform_real_distribution<Float> unit(0.0, 1.0);
  std::uniform_int_distribution<Int32> side(2, 7);
  const Int32 cols = side(rng), rows = side(rng);
  const Float phase = unit(rng) * 6, step = packed ? 0.006 : 0.05, wave = step / 4;
  Mesh m = Grid(
      cols, rows,
      [&](Int32 i, Int32 j) {
        return Vector(i + 0.3 * unit(rng), j * (1 + 0.5 * std::sin(i + phase)), 0.4 * unit(rng));
      },
      [&](Int32 i, Int32 j) {
        return V(step * i + wave * std::sin(j + phase), step * j + wave * std::cos(i * 1.3));
      });
  Mesh out;
  out.points = m.points;
  for (size_t p = 0; p < m.polys.size(); ++p) {
    const CPolygon& q = m.polys[p];
    const UVWStruct& u = m.uvs[p];
    const Float roll = unit(rng);
    if (roll < 0.12) {
      out.Triangle(q.a, q.b, q.c, u.a, u.b, u.c);
      out.Triangle(q.a, q.c, q.d, u.a, u.c, u.d);
    } else if (roll < 0.17) {
      const Vector shift = roll < 0.145 ? V(0.004, 0) : V(3, 0.5);
      out.Quad(q.a, q.b, q.c, q.d, u.a + shift, u.b + shift, u.c + shift, u.d + shift);
    } else {
      out.Quad(q.a, q.b, q.c, q.d, u.a, u.b, u.c, u.d);
    }
  }
  // Neighbours: one corner just within or just beyond the tolerance of a grid corner, in w, along
  // u or v, or in a random direction, so that the tolerance falls anywhere in the index's cells.
  const Int32 grid = static_cast<Int32>(out.polys.size());
  const Float offsets[] = {0.009, 0.00999, 0.01001, 0.011};
  for (Int32 k = 0; k < 24; ++k) {
    const UVWStruct& near = out.uvs[rng() % static_cast<UInt32>(grid)];
    Vector at = near[static_cast<Int32>(rng() % 3)];
    const Float d = offsets[rng() % 4];
    const UInt32 how = rng() % 6;
    const Float turn = how < 4 ? how * PI / 2 : unit(rng) * 2 * PI;
    at += how == 5 ? V(0, 0, d) : V(d * std::cos(turn), d * std::sin(turn));
    const Int32 p = out.Point(20 + k, 0);
    out.Quad(p, out.Point(21 + k, 0), out.Point(21 + k, 1), out.Point(20 + k, 1), at,
             at + V(0.3, 0.02), at + V(0.3, 0.3), at + V(0.02, 0.3));
  }
  // Shuffle the polygons, so that walks meet them out of index order.
  std::vector<size_t> order(out.polys.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  reference::Input in;
  in.points = out.points;
  for (size_t i : order) {
    in.polys.push_back(out.polys[i]);
    in.uvs.push_back(out.uvs[i]);
  }
  const Int32 n = static_cast<Int32>(in.polys.size());
  const Int32 walks = 1 + static_cast<Int32>(rng() % 3);
  for (Int32 w = 0; w < walks; ++w) {
    const Int32 p = static_cast<Int32>(rng() % static_cast<UInt32>(n));
    const Int32 k = static_cast<Int32>(rng() % 3);
    const UInt32 kind = rng() % 8;
    std::vector<Int32> corners = {k, k + 1};
    if (kind == 0) corners = {0, 2};
    if (kind == 1) corners = {0, 1, 2};
    for (Int32 c : corners) in.selected.push_back(4 * p + c);
  }
  std::sort(in.selected.begin(), in.selected.end());
  in.selected.erase(std::unique(in.selected.begin(), in.selected.end()), in.selected.end());
  return in;
}

Mesh MeshOf(const reference::Input& in) {
  Mesh m;
  m.points = in.points;
  m.polys = in.polys;
  m.uvs = in.uvs;
  return m;
}

}  // namespace

TEST_F(QuickGridTest, MatchesThePlainWalkBitForBitOnRandomRegions) {
  std::mt19937 rng(1301);
  Int32 laidOut = 0;
  for (Int32 round = 0; round < 64; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    reference::Input in = RandomRegion(rng, round % 8 == 7);
    in.square = round % 2 == 1;
    in.sizeFit = round % 4 >= 2;
    const reference::Output want = reference::Run(in);
    Load(MeshOf(in));
    const Bool ok = Run(in.selected, in.square, in.sizeFit);
    ASSERT_EQ(ok, want.ok);
    ASSERT_TRUE(SameBits(All(), want.uvs));
    if (ok) ++laidOut;
  }
  EXPECT_GE(laidOut, 48) << "too few rounds laid anything out to prove much";
}

TEST_F(QuickGridTest, TheResultDoesNotDependOnTheNumberOfThreads) {
  std::mt19937 rng(77);
  for (Int32 round = 0; round < 6; ++round) {
    reference::Input in = RandomRegion(rng);
    in.square = true;
    const reference::Output want = reference::Run(in);
    ASSERT_TRUE(want.ok);
    for (Int32 threads : {1, 2, 16}) {
      SCOPED_TRACE(threads);
      ThreadCount count(threads);
      Load(MeshOf(in));
      ASSERT_TRUE(Run(in.selected, true, false));
      EXPECT_TRUE(SameBits(All(), want.uvs));
    }
  }
}
