// The edge stitch and the polygon connect, run through the dialog on random meshes, against
// plain versions that search every polygon per edge and mark the selected points pairwise.
// The results must be bit-identical, edge order, chained stitches and selection order included.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <set>

#include "UVEdgeTools.h"
#include "c4d_symbols.h"
#include "uv_scene.h"

namespace {

// Side s of poly as the edge selection numbers it: a-b, b-c, c-d (c-a for a triangle), d-a.
void SidePoints(const CPolygon& poly, Int32 side, Int32& s1, Int32& s2) {
  const bool tri = poly.c == poly.d;
  switch (side) {
    case 0: s1 = poly.a, s2 = poly.b; break;
    case 1: s1 = poly.b, s2 = poly.c; break;
    case 2: s1 = poly.c, s2 = tri ? poly.a : poly.d; break;
    default: s1 = poly.d, s2 = poly.a; break;
  }
}

// The first polygon other than p, in index order, with a side on (s1, s2): a side of two
// different points, both among the mesh's points.
Int32 SearchNeighbour(const std::vector<CPolygon>& polys, Int32 pcnt, Int32 p, Int32 s1,
                      Int32 s2) {
  if (s1 == s2 || s1 < 0 || s2 < 0 || s1 >= pcnt || s2 >= pcnt) return -1;
  for (Int32 i = 0; i < static_cast<Int32>(polys.size()); ++i) {
    if (i == p) continue;
    const CPolygon& c = polys[static_cast<size_t>(i)];
    const Int32 n = c.c == c.d ? 3 : 4;
    for (Int32 k = 0; k < n; ++k) {
      const Int32 x = c[k], y = c[(k + 1) % n];
      if ((x == s1 && y == s2) || (x == s2 && y == s1)) return i;
    }
  }
  return -1;
}

Int32 FindCorner(const CPolygon& c, Int32 point) {
  for (Int32 k = 0; k < (c.c == c.d ? 3 : 4); ++k)
    if (c[k] == point) return k;
  return -1;
}

Matrix Placement(Float k, const Vector& to, const Vector& from) {
  Float a = VectorAngle(NormalizedCopy(to), NormalizedCopy(from));
  if (from.y * to.x - from.x * to.y < 0) a = -a;
  return MatrixMultiply(MatrixScale(Vector(k, k, 1)), MatrixRotZ(a));
}

// Maps the corners of one polygon unless a result is not finite.
template <typename F>
void Place(UVWStruct& uv, const CPolygon& c, F&& f) {
  UVWStruct r = uv;
  for (Int32 k = 0; k < (c.c == c.d ? 3 : 4); ++k) {
    r[k] = f(uv[k]);
    if (!r[k].IsFinite()) return;
  }
  uv = r;
}

void PlainStitch(const std::vector<CPolygon>& polys, Int32 pcnt, std::vector<UVWStruct>& uv,
                 const std::set<Int32>& selected, const std::set<Int32>& edges, Int32 combo) {
  for (Int32 e : edges) {
    const Int32 p = e / 4;
    if (e >= 4 * static_cast<Int32>(polys.size()) || !selected.count(p)) continue;
    Int32 s1 = 0, s2 = 0;
    SidePoints(polys[static_cast<size_t>(p)], e % 4, s1, s2);
    const Int32 q = SearchNeighbour(polys, pcnt, p, s1, s2);
    if (q < 0) continue;
    const CPolygon &pp = polys[static_cast<size_t>(p)], &qp = polys[static_cast<size_t>(q)];
    const Int32 p1 = FindCorner(pp, s1), p2 = FindCorner(pp, s2);
    const Int32 q1 = FindCorner(qp, s1), q2 = FindCorner(qp, s2);
    UVWStruct& Q = uv[static_cast<size_t>(q)];
    const Vector P1 = uv[static_cast<size_t>(p)][p1], P2 = uv[static_cast<size_t>(p)][p2];
    const Vector Q1 = Q[q1], Q2 = Q[q2];
    if (combo != 1) {
      Q[q1] = P1;
      Q[q2] = P2;
      continue;
    }
    const Vector E = P2 - P1, F = Q2 - Q1;
    if (F.GetLength() == 0) continue;
    const Matrix m = Placement(E.GetLength() / F.GetLength(), E, F);
    Place(Q, qp, [&](const Vector& x) { return m * (x - Q1) + P1; });
  }
}

struct EdgeIndexTest : UVScene {
  std::mt19937 rng{8};
  Float Random(Float lo, Float hi) { return std::uniform_real_distribution<Float>(lo, hi)(rng); }
  bool Chance(Float p) { return Random(0, 1) < p; }

  void Mesh(Int32 points, const std::vector<CPolygon>& polys, const std::vector<UVWStruct>& uvs,
            Int32 mode) {
    const auto n = static_cast<Int32>(polys.size());
    op = PolygonObject::Alloc(points, n);
    tag = static_cast<UVWTag*>(op->MakeTag(Tuvw));
    for (Int32 i = 0; i < n; ++i) {
      op->GetPolygonW()[i] = polys[static_cast<size_t>(i)];
      tag->SetSlow(i, uvs[static_cast<size_t>(i)]);
    }
    doc->InsertObject(op, nullptr, nullptr);
    doc->SetActiveObject(op);
    doc->SetMode(mode);
  }
  Vector RandomUV() {
    // A coarse lattice now and then, so that corners coincide and edges collapse.
    if (Chance(0.2)) return V(std::floor(Random(0, 3)), std::floor(Random(0, 3)), 0);
    return V(Random(-1, 2), Random(-1, 2), Chance(0.3) ? Random(-1, 1) : 0);
  }
};

TEST_F(EdgeIndexTest, StitchEqualsThePlainSearchOnRandomMeshes) {
  Choose(IDC_TABS, IDC_TAB_FUNCTION2);
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // A grid of cells, each a quad in either winding, two triangles or nothing (a hole, so
    // borders run inside too), plus fins: triangles on an existing edge, so that an edge
    // carries three or more polygons.
    const Int32 w = 2 + static_cast<Int32>(rng() % 5), h = 1 + static_cast<Int32>(rng() % 4);
    const Int32 pcnt = (w + 1) * (h + 1) + 3;
    auto pt = [&](Int32 x, Int32 y) { return y * (w + 1) + x; };
    std::vector<CPolygon> polys;
    for (Int32 y = 0; y < h; ++y)
      for (Int32 x = 0; x < w; ++x) {
        const Int32 a = pt(x, y), b = pt(x + 1, y), c = pt(x + 1, y + 1), d = pt(x, y + 1);
        const auto kind = rng() % 5;
        if (kind == 0) polys.emplace_back(a, b, c, d);
        if (kind == 1) polys.emplace_back(a, d, c, b);
        if (kind == 2) polys.emplace_back(b, c, d, a);
        if (kind == 3) {
          polys.emplace_back(a, b, c);
          polys.emplace_back(c, d, a);
        }
      }
    const size_t grid = polys.size();
    for (Int32 f = 0; f < 3 && grid > 0; ++f) {
      const CPolygon& base = polys[rng() % grid];
      Int32 s1 = 0, s2 = 0;
      SidePoints(base, static_cast<Int32>(rng() % 4), s1, s2);
      polys.emplace(polys.begin() + static_cast<long>(rng() % (polys.size() + 1)),
                    CPolygon(s2, s1, (w + 1) * (h + 1) + f));
    }
    std::vector<UVWStruct> uvs;
    for (const CPolygon& c : polys) {
      UVWStruct s(RandomUV(), RandomUV(), RandomUV(), RandomUV());
      if (c.c == c.d) s.d = kTriD;
      uvs.push_back(s);
    }
    const auto n = static_cast<Int32>(polys.size());
    std::set<Int32> selected, edges;
    for (Int32 i = 0; i < n + 2; ++i)
      if (Chance(0.6)) selected.insert(i);
    for (Int32 e = 0; e < 4 * n + 6; ++e)
      if (Chance(0.35)) edges.insert(e);
    const Int32 combo = static_cast<Int32>(rng() % 3);

    Mesh(pcnt, polys, uvs, Medges);
    for (Int32 i : selected) op->GetPolygonS()->Select(i);
    for (Int32 e : edges) op->GetEdgeS()->Select(e);
    dlg.SetInt32(IDC_EDGE_STITCH_MODE, combo);
    Click(IDC_EDGE_STITCH);

    std::vector<UVWStruct> want = uvs;
    PlainStitch(polys, pcnt, want, selected, edges, combo);
    const std::vector<UVWStruct> got = All();
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
      ASSERT_EQ(std::memcmp(&got[i], &want[i], sizeof got[i]), 0)
          << "polygon " << i << " combo " << combo;
  }
}

// The plain connect: the points whose polygon carries another selected point, found pair by
// pair; two on each of two polygons; the swap; the placement; the reversal on yes.
bool PlainConnect(const std::vector<CPolygon>& polys, std::vector<UVWStruct>& uv,
                  const std::set<Int32>& selected, const std::set<Int32>& points, bool yes) {
  const auto n = static_cast<Int32>(polys.size());
  if (selected.empty() || *selected.begin() >= n) return false;
  std::vector<Int32> list;
  for (Int32 i : points)
    if (i >= 0 && i < 4 * n) list.push_back(i);
  std::vector<Int32> marked;
  for (size_t i = 0; i < list.size(); ++i)
    for (size_t j = 0; j < list.size(); ++j)
      if (i != j && list[i] / 4 == list[j] / 4) {
        marked.push_back(list[i]);
        break;
      }
  if (marked.size() != 4 || marked[0] / 4 != marked[1] / 4 || marked[2] / 4 != marked[3] / 4 ||
      marked[0] / 4 == marked[2] / 4)
    return false;
  if (selected.count(marked[0] / 4)) {
    std::swap(marked[0], marked[2]);
    std::swap(marked[1], marked[3]);
  }
  Vector e[4];
  for (int k = 0; k < 4; ++k) e[k] = uv[static_cast<size_t>(marked[k] / 4)][marked[k] % 4];
  const Vector E1 = e[1] - e[0], E2 = e[3] - e[2], E2r = e[2] - e[3];
  if (E2.GetLength() == 0) return false;
  const Float k = E1.GetLength() / E2.GetLength();
  if (!std::isfinite(k)) return false;
  const Matrix m1 = Placement(k, E1, E2), m2 = Placement(k, E1, E2r);
  for (Int32 p : selected)
    if (p < n)
      Place(uv[static_cast<size_t>(p)], polys[static_cast<size_t>(p)],
            [&](const Vector& x) { return m1 * (x - e[2]) + e[0]; });
  if (!yes) return true;
  const Matrix back = MatrixInverse(m1);
  for (Int32 p : selected)
    if (p < n)
      Place(uv[static_cast<size_t>(p)], polys[static_cast<size_t>(p)], [&](const Vector& x) {
        return m2 * ((back * (x - e[0]) + e[2]) - e[3]) + e[0];
      });
  return true;
}

TEST_F(EdgeIndexTest, ConnectEqualsThePlainMarkingOnRandomLayouts) {
  Choose(IDC_TABS, IDC_TAB_FUNCTION2);
  Int32 placed = 0;
  for (int round = 0; round < 120; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const Int32 n = 2 + static_cast<Int32>(rng() % 20);
    std::vector<CPolygon> polys;
    std::vector<UVWStruct> uvs;
    for (Int32 i = 0; i < n; ++i) {
      const bool tri = Chance(0.3);
      polys.push_back(tri ? CPolygon(4 * i, 4 * i + 1, 4 * i + 2)
                          : CPolygon(4 * i, 4 * i + 1, 4 * i + 2, 4 * i + 3));
      uvs.emplace_back(RandomUV(), RandomUV(), RandomUV(), tri ? kTriD : RandomUV());
    }
    std::set<Int32> selected, points;
    for (Int32 i = 0; i < n + 2; ++i)
      if (Chance(0.4)) selected.insert(i);
    // Mostly two corners on each of two polygons among single corners of others; now and then
    // a third corner, a third pair or corners past the last polygon.
    const Int32 a = static_cast<Int32>(rng() % n), b = static_cast<Int32>(rng() % n);
    for (Int32 poly : {a, b}) {
      const Int32 k = static_cast<Int32>(rng() % 4);
      points.insert(4 * poly + k);
      points.insert(4 * poly + (k + 1 + static_cast<Int32>(rng() % 3)) % 4);
    }
    for (Int32 i = 0; i < n; ++i)
      if (i != a && i != b && Chance(0.3)) points.insert(4 * i + static_cast<Int32>(rng() % 4));
    if (Chance(0.15)) points.insert(4 * static_cast<Int32>(rng() % n) + 3);
    if (Chance(0.1)) points.insert(4 * n + static_cast<Int32>(rng() % 8));
    if (Chance(0.2)) selected.insert(a);
    const bool yes = Chance(0.5);

    Mesh(4 * n, polys, uvs, Muvpoints);
    for (Int32 i : selected) op->GetPolygonS()->Select(i);
    for (Int32 i : points) hostrt::UVPointSelection(op)->Select(i);
    std::vector<UVWStruct> want = uvs;
    const bool ok = PlainConnect(polys, want, selected, points, yes);
    placed += ok;
    const size_t questions = host.Messages().size();
    if (ok) host.QueueAnswer(yes ? GEMB_R_YES : GEMB_R_NO);
    Click(IDC_CONNECT);
    EXPECT_EQ(host.Messages().size(), questions + (ok ? 1 : 0)) << "one question per connect";
    EXPECT_EQ(host.PendingAnswers(), 0u);
    const std::vector<UVWStruct> got = All();
    for (size_t i = 0; i < got.size(); ++i)
      ASSERT_EQ(std::memcmp(&got[i], &want[i], sizeof got[i]), 0) << "polygon " << i;
  }
  EXPECT_GT(placed, 30) << "the random selections must mostly give a connect";
}

}  // namespace
