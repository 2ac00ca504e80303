// UV polygon loop select: strips walked from a UV edge in a real document, the cases where a walk
// must stop or must not start, and the indexed walk against the plain rescan on random meshes.
#include <cmath>
#include <limits>
#include <random>

#include "UVpolySelect.h"
#include "c4d_symbols.h"
#include "uv_scene.h"

namespace {

// n quads of side 0.25 in a row along u from the origin.
std::vector<UVWStruct> Strip(Int32 n) {
  std::vector<UVWStruct> out;
  for (Int32 i = 0; i < n; ++i) out.push_back(Quad(0.25 * i, 0, 0.25));
  return out;
}

struct LoopSelect : UVScene {
  std::vector<Int32> Selected() {
    std::vector<Int32> out;
    for (Int32 i = 0; i < op->GetPolygonCount(); ++i)
      if (op->GetPolygonS()->IsSelected(i)) out.push_back(i);
    return out;
  }
  // Selects the UV points and runs the tool; answers the polygons selected afterwards.
  std::vector<Int32> Loop(std::initializer_list<Int32> points) {
    Points(points);
    doc->SetMode(Muvpoints);
    LoopSelectPolygons();
    return Selected();
  }
};

using Sel = std::vector<Int32>;

}  // namespace

TEST_F(LoopSelect, AStripFromAnEdgeInEitherDirection) {
  // The outer edge d-a (corners 3 and 0) of the first quad: across each quad to its b-c.
  Scene(Strip(4), Muvpoints, 1);
  Choose(IDC_TABS, IDC_TAB_FUNCTION2);
  Points({0, 3});
  const UInt32 dirty = op->GetDirty(DIRTYFLAGS_DATA);
  Click(IDC_LOOP_SELECT);
  EXPECT_EQ(Selected(), (Sel{0, 1, 2, 3}));
  EXPECT_EQ(doc->GetMode(), Muvpolygons);
  EXPECT_EQ(doc->GetUndoCount(), 0);
  EXPECT_GT(op->GetDirty(DIRTYFLAGS_DATA), dirty);

  // From the last quad's b-c (corners 13 and 14) the walk goes to lower indices.
  EXPECT_EQ(Loop({13, 14}), (Sel{0, 1, 2, 3}));
  // The shared edge of quads 2 and 3 seen from both: two walks, one each way. From one side only
  // the walk goes one way.
  Scene(Strip(6), Muvpoints);
  EXPECT_EQ(Loop({9, 10, 12, 15}), (Sel{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(Loop({9, 10}), (Sel{0, 1, 2}));
  EXPECT_EQ(Loop({12, 15}), (Sel{3, 4, 5}));
  // An edge along the strip (a-b) crosses to c-d, which no other quad has.
  EXPECT_EQ(Loop({4, 5}), (Sel{1}));
}

TEST_F(LoopSelect, TheWalkStopsWhereTheNextQuadDoesNotMatchExactly) {
  // Quad 2's a moved by 0.0001, 1e-12 in u, or 0.5 in w: the strip is cut before quad 2.
  for (const Vector& shift : {V(0.0001, 0), V(1e-12, 0), V(0, 0, 0.5)}) {
    std::vector<UVWStruct> uvs = Strip(4);
    uvs[2].a += shift;
    Scene(uvs, Muvpoints);
    EXPECT_EQ(Loop({0, 3}), (Sel{0, 1})) << shift.x << " " << shift.z;
  }
  // -0.0 is 0.0: a strip along v whose u = 0 corners are -0.0 in every other quad still walks.
  std::vector<UVWStruct> column;
  for (Int32 i = 0; i < 4; ++i) {
    UVWStruct q = Quad(0, 0.25 * i, 0.25);
    if (i % 2) q.a.x = q.d.x = -0.0;
    column.push_back(q);
  }
  Scene(column, Muvpoints);
  EXPECT_EQ(Loop({0, 1}), (Sel{0, 1, 2, 3}));

  // A quad whose corners a and c (opposite) lie on the edge is no match.
  std::vector<UVWStruct> uvs = Strip(2);
  const UVWStruct first = uvs[0];
  uvs[1] = UVWStruct(first.b, V(0.9, 0.9), first.c, V(0.8, 0.9));
  Scene(uvs, Muvpoints);
  EXPECT_EQ(Loop({0, 3}), (Sel{0}));

  // A triangle on the next edge is passed over, and the walk ends there.
  uvs = Strip(4);
  uvs[2] = Tri(uvs[1].b, uvs[1].c, V(0.7, 0.1));
  Scene(uvs, Muvpoints);
  EXPECT_EQ(Loop({0, 3}), (Sel{0, 1}));
}

TEST_F(LoopSelect, StackedQuadsRingsAndFreshFlagsPerEdge) {
  // Quad 4 is a copy of quad 2. The lowest matching index wins, so the walk from the left goes
  // 0, 1, 2, 3. The walk from the right passes 3, 2, 1, 0 again with fresh flags: had it kept
  // the first walk's flags, it would have taken the copy 4 after 3.
  std::vector<UVWStruct> uvs = Strip(4);
  uvs.push_back(uvs[2]);
  Scene(uvs, Muvpoints);
  EXPECT_EQ(Loop({0, 3, 13, 14}), (Sel{0, 1, 2, 3}));

  // Eight quads in a ring: the walk comes round to its start and ends.
  std::vector<Vector> inner, outer;
  for (Int32 j = 0; j < 8; ++j) {
    const Float t = 2.0 * PI * j / 8.0;
    inner.push_back(V(0.5 + 0.2 * std::cos(t), 0.5 + 0.2 * std::sin(t)));
    outer.push_back(V(0.5 + 0.4 * std::cos(t), 0.5 + 0.4 * std::sin(t)));
  }
  std::vector<UVWStruct> ring;
  for (Int32 j = 0; j < 8; ++j)
    ring.emplace_back(inner[j], inner[(j + 1) % 8], outer[(j + 1) % 8], outer[j]);
  ring.push_back(Quad(2, 2, 0.1));
  Scene(ring, Muvpoints);
  EXPECT_EQ(Loop({20, 23}), (Sel{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(LoopSelect, WithoutAnEdgeNothingChanges) {
  // Opposite corners, a lone corner per polygon, and an index past the polygons give no edge:
  // the selection, the mode and the object stay as they were.
  Scene(Strip(4), Muvpoints, 0);
  op->GetPolygonS()->Select(3);
  const UInt32 dirty = op->GetDirty(DIRTYFLAGS_DATA);
  const Int32 events = host.EventCount();
  for (std::initializer_list<Int32> pts : {std::initializer_list<Int32>{0, 2},
                                           std::initializer_list<Int32>{1, 3},
                                           std::initializer_list<Int32>{0, 5},
                                           {0, 16, 19}}) {
    Points(pts);
    EXPECT_FALSE(LoopSelectPolygons());
    EXPECT_EQ(Selected(), (Sel{3}));
    EXPECT_EQ(doc->GetMode(), Muvpoints);
  }
  EXPECT_EQ(op->GetDirty(DIRTYFLAGS_DATA), dirty);
  EXPECT_EQ(host.EventCount(), events);
}

TEST(LoopEdges, NeighbouringCornersOfOnePolygonInOrder) {
  // Polygon 0 with all four corners: a-b, d-a, b-c, c-d; polygon 1 with one corner; polygon 2
  // with two opposite ones.
  const std::vector<UVPointRef> corners = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 2}, {2, 1}, {2, 3}};
  EXPECT_EQ(LoopEdges(corners), (std::vector<LoopEdge>{{0, 0}, {0, 3}, {0, 1}, {0, 2}}));
  EXPECT_TRUE(LoopEdges({{5, 3}, {6, 0}}).empty()) << "corners of different polygons";
}

// --- the indexed walk against the plain rescan ---

namespace {

// Every walk rescans all polygons from the first for each step.
std::vector<std::uint8_t> PlainLoops(const std::vector<UVWStruct>& uv,
                                     const std::vector<CPolygon>& polys,
                                     const std::vector<LoopEdge>& edges) {
  const size_t n = uv.size();
  std::vector<std::uint8_t> selected(n, 0);
  for (const LoopEdge& e : edges) {
    std::vector<char> visited(n, 0);
    size_t q = static_cast<size_t>(e.polygon);
    selected[q] = 1;
    visited[q] = 1;
    Int32 side = (e.side + 2) % 4;
    while (true) {
      const Vector e0 = uv[q][side], e1 = uv[q][(side + 1) % 4];
      bool found = false;
      for (size_t p = 0; p < n && !found; ++p) {
        if (visited[p] || polys[p].c == polys[p].d) continue;
        std::vector<Int32> on;
        for (Int32 k = 0; k < 4; ++k)
          if (UVEqual(uv[p][k], e0) || UVEqual(uv[p][k], e1)) on.push_back(k);
        if (on.size() != 2) continue;
        Int32 matched = -1;
        if (on[1] == on[0] + 1) matched = on[0];
        if (on[0] == 0 && on[1] == 3) matched = 3;
        if (matched < 0) continue;  // opposite corners make no side
        found = true;
        q = p;
        selected[q] = 1;
        visited[q] = 1;
        side = (matched + 2) % 4;
      }
      if (!found) break;
    }
  }
  return selected;
}

}  // namespace

TEST(LoopWalk, IndexedWalkMatchesThePlainRescanOnRandomMeshes) {
  std::mt19937 rng(1500);
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const Float nan = std::numeric_limits<Float>::quiet_NaN();
  int walked = 0;
  for (int round = 0; round < 2000; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // A grid of w x h quads on lattice points; with wrap the last column closes onto the first
    // (rings along u). Or a tangle: quads whose corners come from five positions, so that
    // sides are shared many times over, stacked and collapsed.
    const int w = 1 + pick(7), h = 1 + pick(5);
    const bool wrap = pick(3) == 0;
    auto at = [&](int i, int j) {
      const int u = wrap ? i % w : i;
      return V(u == 0 && pick(2) ? -0.0 : 0.25 * u, 0.25 * j);
    };
    std::vector<UVWStruct> uv;
    std::vector<CPolygon> polys;
    if (round % 2) {
      for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
          uv.emplace_back(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
          polys.emplace_back(0, 1, 2, 3);
        }
    } else {
      auto some = [&]() {
        return V(pick(2) * 0.5, pick(3) == 0 ? 0.5 : 0.0, pick(8) == 0 ? 1 : 0);
      };
      for (int p = 2 + pick(14); p > 0; --p) {
        uv.emplace_back(some(), some(), some(), some());
        polys.emplace_back(0, 1, 2, 3);
      }
    }
    // Stacked copies, cuts, degenerate sides, opposite corners, NaN, w, triangles.
    const int extra = pick(4);
    for (int e = 0; e < extra; ++e)
      uv.push_back(uv[static_cast<size_t>(pick(static_cast<int>(uv.size())))]);
    polys.resize(uv.size(), CPolygon(0, 1, 2, 3));
    for (size_t p = 0; p < uv.size(); ++p) {
      switch (pick(12)) {
        case 0:
          uv[p][pick(4)].x += 1e-12;
          break;
        case 1: {
          const int k = pick(4);
          uv[p][(k + 1) % 4] = uv[p][k];
          break;
        }
        case 2:
          std::swap(uv[p][1], uv[p][2]);
          break;
        case 3:
          uv[p][pick(4)].y = nan;
          break;
        case 4:
          uv[p][pick(4)].z = 0.5;
          break;
        case 5:
          polys[p].d = polys[p].c;
          break;
        default:
          break;
      }
    }
    // Shuffled so that walks run towards lower indices as well.
    std::vector<size_t> order(uv.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), rng);
    std::vector<UVWStruct> suv;
    std::vector<CPolygon> spolys;
    for (size_t i : order) {
      suv.push_back(uv[i]);
      spolys.push_back(polys[i]);
    }
    // A few edges, or every corner selected.
    std::vector<UVPointRef> corners;
    const bool all = pick(4) == 0;
    for (Int32 p = 0; p < static_cast<Int32>(suv.size()); ++p)
      for (Int32 c = 0; c < 4; ++c)
        if (all || pick(6) == 0) corners.push_back({p, c});
    const std::vector<LoopEdge> edges = LoopEdges(corners);
    std::vector<std::uint8_t> got(suv.size(), 0);
    WalkLoops(suv.data(), spolys.data(), static_cast<Int32>(suv.size()), edges, got);
    EXPECT_EQ(got, PlainLoops(suv, spolys, edges));
    walked += edges.empty() ? 0 : 1;
  }
  EXPECT_GT(walked, 1200);
}
