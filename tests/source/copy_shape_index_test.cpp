// The indexed chain ordering and pairing of UV Symmetry and Copy Shape against plain forms that
// scan everything for everything, written as the steps read, on random meshes: the same chain,
// the same pairs, and through the dialog the same UVs bit for bit, carried corners included.
#include <algorithm>
#include <cstring>
#include <random>

#include "UVCopyShape.h"
#include "UVpA.h"
#include "UVtoolsState.h"
#include "c4d_symbols.h"
#include "uv_scene.h"

namespace {

// --- plain forms ---

bool Near(const Vector& a, const Vector& b) {
  return (a - b).GetLength() < 0.01;
}

std::vector<Vector> PlainChain(const std::vector<Vector>& pts,
                               const std::vector<CapturedPolygon>& polys) {
  const size_t n = pts.size();
  if (n == 0) return {};
  std::vector<int> count(n, 0);
  for (size_t j = 0; j < n; ++j)
    for (const CapturedPolygon& p : polys)
      for (int k = 0; k < (p.triangle ? 3 : 4); ++k) count[j] += p.uv[k] == pts[j];
  int start = -1;
  for (size_t j = 0; j < n; ++j)
    if (count[j] == 1 && (start < 0 || pts[j].GetLength() < pts[size_t(start)].GetLength()))
      start = int(j);
  if (start < 0) start = 0;
  std::vector<size_t> chain{size_t(start)};
  std::vector<bool> in(n, false), used(polys.size(), false);
  in[size_t(start)] = true;
  for (size_t pass = 0; pass < n; ++pass) {
    for (size_t p = 0; p < polys.size(); ++p) {
      if (used[p]) continue;
      const Vector last = pts[chain.back()];
      for (int k = 0; k < 4; ++k) {
        if (!(polys[p].uv[k] == last)) continue;
        int best = -1;
        for (size_t j = 0; j < n; ++j)
          if (!in[j] &&
              (Near(pts[j], polys[p].uv[(k + 1) % 4]) || Near(pts[j], polys[p].uv[(k + 3) % 4])))
            best = int(j);
        if (best >= 0) {
          chain.push_back(size_t(best));
          in[size_t(best)] = true;
          used[p] = true;
          break;
        }
      }
    }
  }
  std::vector<Vector> out;
  for (size_t j : chain) out.push_back(pts[j]);
  return out;
}

// A corner near e0 and the corner before or after it near e1.
bool PlainEdge(const Vector* uv, bool tri, const Vector& e0, const Vector& e1, int& k0, int& k1) {
  const int m = tri ? 3 : 4;
  for (int a = 0; a < m; ++a)
    for (int b : {(a + 1) % m, (a + m - 1) % m})
      if (Near(uv[a], e0) && Near(uv[b], e1)) {
        k0 = a;
        k1 = b;
        return true;
      }
  return false;
}

std::vector<ShapePair> PlainAcross(const std::vector<Vector>& chain,
                                   const std::vector<CapturedPolygon>& stored,
                                   const std::vector<UVWStruct>& uv,
                                   const std::vector<CPolygon>& polys) {
  std::vector<ShapePair> out;
  const int count = int(uv.size());
  std::vector<bool> flag(uv.size(), false), used(stored.size(), false);
  for (const CapturedPolygon& s : stored)
    if (s.index >= 0 && s.index < count) flag[size_t(s.index)] = true;
  for (size_t i = 0; i + 1 < chain.size(); ++i) {
    for (bool paired = true; paired;) {
      paired = false;
      for (size_t s = 0; s < stored.size(); ++s) {
        ShapePair pr;
        if (used[s] || !PlainEdge(stored[s].uv, stored[s].triangle, chain[i], chain[i + 1],
                                  pr.sourceEnd[0], pr.sourceEnd[1]))
          continue;
        used[s] = true;
        for (int q = 0; q < count; ++q) {
          if (flag[size_t(q)] ||
              !PlainEdge(&uv[size_t(q)].a, polys[size_t(q)].IsTriangle(), chain[i], chain[i + 1],
                         pr.targetEnd[0], pr.targetEnd[1]))
            continue;
          flag[size_t(q)] = true;
          pr.segment = int(i);
          pr.source = int(s);
          pr.target = q;
          out.push_back(pr);
          paired = true;
          break;
        }
      }
    }
  }
  return out;
}

std::vector<ShapePair> PlainAlong(const std::vector<Vector>& sc,
                                  const std::vector<CapturedPolygon>& sources,
                                  const std::vector<Vector>& tc,
                                  const std::vector<CapturedPolygon>& targets) {
  std::vector<ShapePair> out;
  std::vector<bool> su(sources.size(), false), tu(targets.size(), false);
  for (size_t i = 0; i + 1 < sc.size() && i + 1 < tc.size(); ++i) {
    for (bool paired = true; paired;) {
      paired = false;
      for (size_t s = 0; s < sources.size(); ++s) {
        ShapePair pr;
        if (su[s] || !PlainEdge(sources[s].uv, sources[s].triangle, sc[i], sc[i + 1],
                                pr.sourceEnd[0], pr.sourceEnd[1]))
          continue;
        su[s] = true;
        for (size_t t = 0; t < targets.size(); ++t) {
          if (tu[t] || !PlainEdge(targets[t].uv, targets[t].triangle, tc[i], tc[i + 1],
                                  pr.targetEnd[0], pr.targetEnd[1]))
            continue;
          tu[t] = true;
          pr.segment = int(i);
          pr.source = int(s);
          pr.target = int(t);
          out.push_back(pr);
          paired = true;
          break;
        }
      }
    }
  }
  return out;
}

// --- random meshes ---

// A lattice of cells, each a quad or two triangles, corners listed from a random corner in
// either direction, polygons shuffled; some cells torn, their corners 0.009 or 0.011 off the
// lattice, some stacked twice. Points of column `column` from row r0 to r1 are the chain.
struct RandomMesh {
  std::vector<UVWStruct> uv;    // as the tag holds them (a triangle's d far away)
  std::vector<CPolygon> polys;  // c == d for a triangle
  std::vector<int> cellColumn;  // the lattice column of each polygon's cell
  std::vector<Vector> chain;    // the lattice points of the chain, bottom to top
  std::vector<Vector> strays;   // points 0.009 or 0.011 off chain points

  RandomMesh(std::mt19937& rng, int cols, int rows, int column, Vector origin) {
    std::uniform_real_distribution<Float> jitter(-0.01, 0.01);
    std::uniform_int_distribution<int> pick(0, 99);
    std::vector<Vector> lattice;
    for (int j = 0; j <= rows; ++j)
      for (int i = 0; i <= cols; ++i)
        lattice.push_back(origin + V(0.05 * i + jitter(rng), 0.05 * j + jitter(rng),
                                     pick(rng) < 10 ? 0.25 : 0.0));
    auto at = [&](int i, int j) { return lattice[size_t(j * (cols + 1) + i)]; };
    const Vector offsets[] = {V(0.009, 0), V(0, -0.009), V(0.011, 0), V(0, 0, 0.011)};
    struct Cell {
      std::vector<Vector> corners;
      int column;
    };
    std::vector<Cell> cells;
    for (int j = 0; j < rows; ++j)
      for (int i = 0; i < cols; ++i) {
        std::vector<Vector> q = {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
        if (pick(rng) < 8)
          for (Vector& c : q) c += offsets[pick(rng) % 4];
        if (pick(rng) < 25) {
          cells.push_back({{q[0], q[1], q[2]}, i});
          cells.push_back({{q[0], q[2], q[3]}, i});
        } else {
          cells.push_back({q, i});
        }
        // Stacked copies, exact or a little off, make several polygons face one segment.
        if (pick(rng) < 15) {
          Cell copy = cells.back();
          if (pick(rng) < 50)
            for (Vector& c : copy.corners) c += V(0.004 * (pick(rng) % 2), 0);
          cells.push_back(copy);
        }
      }
    std::shuffle(cells.begin(), cells.end(), rng);
    for (Cell& c : cells) {
      std::rotate(c.corners.begin(), c.corners.begin() + pick(rng) % long(c.corners.size()),
                  c.corners.end());
      if (pick(rng) < 50) std::reverse(c.corners.begin(), c.corners.end());
      const bool tri = c.corners.size() == 3;
      uv.push_back(UVWStruct(c.corners[0], c.corners[1], c.corners[2], tri ? kTriD : c.corners[3]));
      const Int32 b = 4 * Int32(polys.size());
      polys.push_back(CPolygon(b, b + 1, b + 2, tri ? b + 2 : b + 3));
      cellColumn.push_back(c.column);
    }
    // Half the chains run the whole column, so that their ends lie on one stored corner each.
    const bool whole = pick(rng) < 50;
    const int r0 = whole ? 0 : pick(rng) % (rows / 2);
    const int r1 = whole ? rows : rows / 2 + pick(rng) % (rows / 2 + 1);
    for (int j = r0; j <= r1; ++j) chain.push_back(at(column, j));
    for (int j = r0; j <= r1; ++j)
      if (pick(rng) < 30) strays.push_back(at(column, j) + offsets[pick(rng) % 4]);
  }

  std::vector<CapturedPolygon> Capture(const std::vector<Int32>& indices) const {
    std::vector<CapturedPolygon> out;
    for (Int32 p : indices) {
      CapturedPolygon c;
      c.index = p;
      c.triangle = polys[size_t(p)].IsTriangle();
      for (int k = 0; k < 4; ++k) c.uv[k] = uv[size_t(p)][k];
      if (c.triangle) c.uv[3] = c.uv[2];
      out.push_back(c);
    }
    return out;
  }
  // The polygons of the cells left of the column, and with bothSides some right of it.
  std::vector<Int32> Side(std::mt19937& rng, bool bothSides, int column) const {
    std::vector<Int32> out;
    for (size_t p = 0; p < polys.size(); ++p)
      if (cellColumn[p] < column || (bothSides && rng() % 4 == 0)) out.push_back(Int32(p));
    return out;
  }
  // The chain's points and the strays, shuffled; merged as the point pick merges them, or not.
  std::vector<Vector> Points(std::mt19937& rng, bool merge) const {
    std::vector<Vector> pts = chain;
    pts.insert(pts.end(), strays.begin(), strays.end());
    std::shuffle(pts.begin(), pts.end(), rng);
    if (!merge) return pts;
    std::vector<Vector> kept;
    for (size_t i : DistinctUVPoints(pts, true)) kept.push_back(pts[i]);
    return kept;
  }
};

void ExpectSamePairs(const std::vector<ShapePair>& got, const std::vector<ShapePair>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_TRUE(got[i] == want[i])
        << "pair " << i << ": segment " << got[i].segment << " " << got[i].source << " -> "
        << got[i].target << ", plain " << want[i].segment << " " << want[i].source << " -> "
        << want[i].target;
  }
}

TEST(CopyShapeIndex, ChainAndSymmetryPairsMatchThePlainForms) {
  std::mt19937 rng(14);
  size_t longChains = 0, pairs = 0;
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE(round);
    const int cols = 4 + int(rng() % 6), rows = 4 + int(rng() % 6);
    const int column = 1 + int(rng() % unsigned(cols - 1));
    const RandomMesh mesh(rng, cols, rows, column, V(0.1, 0.1));
    const std::vector<CapturedPolygon> stored =
        mesh.Capture(mesh.Side(rng, round % 3 == 0, column));
    const std::vector<Vector> pts = mesh.Points(rng, round % 4 != 0);
    const std::vector<Vector> chain = OrderChain(pts, stored);
    ASSERT_EQ(chain, PlainChain(pts, stored));
    longChains += chain.size() > 2;
    const std::vector<ShapePair> got =
        PairAcrossChain(chain, stored, mesh.uv.data(), mesh.polys.data(), Int32(mesh.uv.size()));
    ExpectSamePairs(got, PlainAcross(chain, stored, mesh.uv, mesh.polys));
    pairs += got.size();
  }
  EXPECT_GT(longChains, 30u) << "the meshes must make real chains";
  EXPECT_GT(pairs, 100u);
}

TEST(CopyShapeIndex, CopyPairsMatchThePlainForm) {
  std::mt19937 rng(1414);
  size_t pairs = 0;
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    const int column = 2;
    const RandomMesh a(rng, 5, 4 + int(rng() % 6), column, V(0.1, 0.1));
    const RandomMesh b(rng, 5, 4 + int(rng() % 6), column, V(-0.7, 0.4));
    const std::vector<CapturedPolygon> sources = a.Capture(a.Side(rng, round % 2 == 0, column));
    const std::vector<CapturedPolygon> targets = b.Capture(b.Side(rng, round % 3 == 0, column));
    const std::vector<Vector> sc = OrderChain(a.Points(rng, true), sources);
    const std::vector<Vector> tc = OrderChain(b.Points(rng, true), targets);
    const std::vector<ShapePair> got = PairAlongChains(sc, sources, tc, targets);
    ExpectSamePairs(got, PlainAlong(sc, sources, tc, targets));
    pairs += got.size();
  }
  EXPECT_GT(pairs, 60u);
}

// --- the whole mirror, through the dialog, against the plain steps ---

struct MirrorIndexTest : UVScene {};

// The selected UV points in index order, the origin and repeats within 0.01 of a kept point
// dropped.
std::vector<Vector> PlainPoints(const std::vector<UVWStruct>& uv,
                                const std::vector<Int32>& pointIdx) {
  std::vector<Vector> pts;
  for (Int32 i : pointIdx) {
    const Vector p = uv[size_t(i / 4)][i % 4];
    bool drop = p == Vector();
    for (const Vector& k : pts) drop = drop || Near(k, p);
    if (!drop) pts.push_back(p);
  }
  return pts;
}

// Every UV corner of the mesh on a chain point or a stray, and with rate 1/n some corners beyond.
std::vector<Int32> ChainPointIndices(std::mt19937& rng, const RandomMesh& mesh, unsigned n,
                                     Int32 first = 0) {
  std::vector<Vector> wanted = mesh.chain;
  wanted.insert(wanted.end(), mesh.strays.begin(), mesh.strays.end());
  std::vector<Int32> points;
  for (size_t p = 0; p < mesh.uv.size(); ++p)
    for (int k = 0; k < (mesh.polys[p].IsTriangle() ? 3 : 4); ++k)
      if (std::find(wanted.begin(), wanted.end(), mesh.uv[p][k]) != wanted.end() || rng() % n == 0)
        points.push_back(first + Int32(4 * p) + k);
  return points;
}

// The mirror as the steps read: capture, merge, chain, pairs, images, and the walk of every
// unflagged corner through the moved-corner list.
std::vector<UVWStruct> PlainMirror(const RandomMesh& mesh, const std::vector<Int32>& storedIdx,
                                   const std::vector<Int32>& pointIdx, bool keep) {
  std::vector<UVWStruct> uv = mesh.uv;
  const std::vector<CapturedPolygon> stored = mesh.Capture(storedIdx);
  const std::vector<Vector> pts = PlainPoints(uv, pointIdx);
  if (pts.size() < 2) return uv;
  const std::vector<Vector> chain = PlainChain(pts, stored);
  if (chain.size() < 2) return uv;
  const Vector d = chain[1] - chain[0];
  if (d.x == 0 && d.y == 0) return uv;
  std::vector<bool> flag(uv.size(), false);
  for (Int32 p : storedIdx) flag[size_t(p)] = true;
  std::vector<Vector> before, after;
  for (const ShapePair& pr : PlainAcross(chain, stored, uv, mesh.polys)) {
    const CapturedPolygon& p = stored[size_t(pr.source)];
    const bool qt = mesh.polys[size_t(pr.target)].IsTriangle();
    const int pm = p.triangle ? 3 : 4, qm = qt ? 3 : 4;
    auto far = [](int k, int other, int m) {
      return (k + 1) % m == other ? (k + m - 1) % m : (k + 1) % m;
    };
    const Vector& c = chain[size_t(pr.segment)];
    UVWStruct q = uv[size_t(pr.target)];
    const int p0 = pr.sourceEnd[0], p1 = pr.sourceEnd[1], q0 = pr.targetEnd[0],
              q1 = pr.targetEnd[1];
    q[q0] = MirrorUV(p.uv[p0], c, d);
    q[q1] = MirrorUV(p.uv[p1], c, d);
    q[far(q1, q0, qm)] = MirrorUV(p.uv[far(p1, p0, pm)], c, d);
    q[far(q0, q1, qm)] = MirrorUV(p.uv[far(p0, p1, pm)], c, d);
    for (int k = 0; k < qm; ++k) {
      before.push_back(uv[size_t(pr.target)][k]);
      after.push_back(q[k]);
    }
    uv[size_t(pr.target)] = q;
    flag[size_t(pr.target)] = true;
  }
  if (keep)
    for (size_t p = 0; p < uv.size(); ++p) {
      if (flag[p]) continue;
      for (int k = 0; k < 4; ++k)
        for (size_t e = 0; e < before.size(); ++e)
          if (uv[p][k] == before[e]) uv[p][k] = after[e];
    }
  return uv;
}

TEST_F(MirrorIndexTest, MirrorGivesThePlainUVsBitForBit) {
  Choose(IDC_TABS, IDC_TAB_FUNCTION1);
  std::mt19937 rng(4242);
  int changed = 0;
  for (int round = 0; round < 24; ++round) {
    SCOPED_TRACE(round);
    const int cols = 4 + int(rng() % 5), rows = 4 + int(rng() % 5);
    const int column = 1 + int(rng() % unsigned(cols - 1));
    const RandomMesh mesh(rng, cols, rows, column, V(0.1, 0.1));
    const std::vector<Int32> stored = mesh.Side(rng, round % 4 == 0, column);
    const std::vector<Int32> points = ChainPointIndices(rng, mesh, 50);
    const bool keep = round % 2 == 0;
    const std::vector<UVWStruct> want = PlainMirror(mesh, stored, points, keep);

    Scene(mesh.uv, Muvpolygons);
    op->GetPolygonS()->DeselectAll();
    for (Int32 p : stored) op->GetPolygonS()->Select(p);
    dlg.State<SymmetryState>() = SymmetryState();
    Click(IDC_SYMMETRY_PICK);
    ASSERT_EQ(doc->GetMode(), Muvpoints);
    Tick(IDC_SYMMETRY_KEEP, keep);
    hostrt::UVPointSelection(op)->DeselectAll();
    for (Int32 i : points) hostrt::UVPointSelection(op)->Select(i);
    Click(IDC_SYMMETRY_PICK);
    const std::vector<UVWStruct> got = All();
    ASSERT_EQ(got.size(), want.size());
    EXPECT_EQ(std::memcmp(got.data(), want.data(), got.size() * sizeof got[0]), 0);
    changed += std::memcmp(got.data(), mesh.uv.data(), got.size() * sizeof got[0]) != 0;
  }
  EXPECT_GT(changed, 12) << "most runs must mirror something";
}

// --- the whole copy, through the dialog, against the plain steps ---

// Centre of the UV box over all four slots of the captured polygons, w = 0.
Vector PlainCentre(const std::vector<CapturedPolygon>& polys) {
  Float u0 = polys[0].uv[0].x, u1 = u0, v0 = polys[0].uv[0].y, v1 = v0;
  for (const CapturedPolygon& p : polys)
    for (const Vector& c : p.uv) {
      u0 = std::min(u0, c.x);
      u1 = std::max(u1, c.x);
      v0 = std::min(v0, c.y);
      v1 = std::max(v1, c.y);
    }
  return V((u0 + u1) / 2, (v0 + v1) / 2);
}

// The copy as the steps read on one object, mesh a's polygons first, then mesh b's: the picks,
// both chains, the pairs along them, every paired target given its source's four slots moved by
// the centre offset, then with keep the walk of every corner of the polygons that are no target
// through the moved-corner list.
std::vector<UVWStruct> PlainCopy(const std::vector<UVWStruct>& start, const RandomMesh& all,
                                 const std::vector<Int32>& sourceIdx,
                                 const std::vector<Int32>& sourcePts,
                                 const std::vector<Int32>& targetIdx,
                                 const std::vector<Int32>& targetPts, bool keep) {
  std::vector<UVWStruct> uv = start;
  const std::vector<CapturedPolygon> sources = all.Capture(sourceIdx);
  const std::vector<CapturedPolygon> targets = all.Capture(targetIdx);
  const std::vector<Vector> sp = PlainPoints(uv, sourcePts), tp = PlainPoints(uv, targetPts);
  if (sources.empty() || targets.empty() || sp.size() < 2 || tp.size() < 2) return uv;
  const std::vector<Vector> sc = PlainChain(sp, sources), tc = PlainChain(tp, targets);
  if (sc.size() < 2 || tc.size() < 2) return uv;
  const Vector s0 = PlainCentre(sources), t0 = PlainCentre(targets);
  std::vector<bool> flag(uv.size(), false);
  for (Int32 t : targetIdx) flag[size_t(t)] = true;
  std::vector<Vector> before, after;
  for (const ShapePair& pr : PlainAlong(sc, sources, tc, targets)) {
    const size_t q = size_t(targets[size_t(pr.target)].index);
    for (int k = 0; k < 4; ++k) {
      const Vector& p = sources[size_t(pr.source)].uv[k];
      before.push_back(uv[q][k]);
      after.push_back(V(p.x - s0.x + t0.x, p.y - s0.y + t0.y, p.z - s0.z + t0.z));
      uv[q][k] = after.back();
    }
  }
  if (keep)
    for (size_t p = 0; p < uv.size(); ++p) {
      if (flag[p]) continue;
      for (int k = 0; k < 4; ++k)
        for (size_t e = 0; e < before.size(); ++e)
          if (uv[p][k] == before[e]) uv[p][k] = after[e];
    }
  return uv;
}

struct CopyIndexTest : UVScene {
  void Pick(const std::vector<Int32>& polygons, const std::vector<Int32>& points) {
    doc->SetMode(Muvpolygons);
    op->GetPolygonS()->DeselectAll();
    for (Int32 p : polygons) op->GetPolygonS()->Select(p);
    Click(IDC_CS_STEP);
    hostrt::UVPointSelection(op)->DeselectAll();
    for (Int32 i : points) hostrt::UVPointSelection(op)->Select(i);
    Click(IDC_CS_STEP);
  }
};

TEST_F(CopyIndexTest, CopyGivesThePlainUVsBitForBit) {
  Choose(IDC_TABS, IDC_TAB_FUNCTION1);
  std::mt19937 rng(1441);
  int changed = 0, carried = 0;
  for (int round = 0; round < 24; ++round) {
    SCOPED_TRACE(round);
    const int column = 1 + int(rng() % 4);
    const RandomMesh a(rng, 5, 4 + int(rng() % 5), column, V(0.1, 0.1));
    const RandomMesh b(rng, 5, 4 + int(rng() % 5), column, V(-0.7, 0.4));
    // One object: a's polygons, then b's, whose indices and UV points move up by a's count.
    RandomMesh all = a;
    const Int32 na = Int32(a.uv.size());
    all.uv.insert(all.uv.end(), b.uv.begin(), b.uv.end());
    for (const CPolygon& p : b.polys)
      all.polys.push_back(CPolygon(p.a + 4 * na, p.b + 4 * na, p.c + 4 * na, p.d + 4 * na));
    std::vector<Int32> sourceIdx = a.Side(rng, round % 2 == 0, column), targetIdx;
    for (Int32 t : b.Side(rng, round % 3 == 0, column)) targetIdx.push_back(t + na);
    const std::vector<Int32> sourcePts = ChainPointIndices(rng, a, 60);
    const std::vector<Int32> targetPts = ChainPointIndices(rng, b, 60, 4 * na);
    const bool keep = round % 2 == 1;
    const std::vector<UVWStruct> want =
        PlainCopy(all.uv, all, sourceIdx, sourcePts, targetIdx, targetPts, keep);
    const std::vector<UVWStruct> unkept =
        PlainCopy(all.uv, all, sourceIdx, sourcePts, targetIdx, targetPts, false);

    Scene(all.uv, Muvpolygons);
    Click(IDC_CS_CLEAR);
    Tick(IDC_CS_NEIGHBORS, keep);
    Pick(sourceIdx, sourcePts);
    Pick(targetIdx, targetPts);
    EXPECT_EQ(dlg.State<CopyShapeState>().step, 0u);
    const std::vector<UVWStruct> got = All();
    ASSERT_EQ(got.size(), want.size());
    EXPECT_EQ(std::memcmp(got.data(), want.data(), got.size() * sizeof got[0]), 0);
    changed += std::memcmp(got.data(), all.uv.data(), got.size() * sizeof got[0]) != 0;
    carried += std::memcmp(want.data(), unkept.data(), want.size() * sizeof want[0]) != 0;
  }
  EXPECT_GT(changed, 16) << "most runs must copy something";
  EXPECT_GT(carried, 3) << "some runs must carry neighbours";
}

}  // namespace
