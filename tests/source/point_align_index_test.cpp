// The indexed searches of the align tools against plain implementations that scan everything
// for everything, on random meshes: the same kept positions, the same chain and the same
// squared grid, bit for bit.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "UVpA.h"

namespace {

// --- plain forms, written as the steps read ---

std::vector<size_t> PlainDistinct(const std::vector<Vector>& p, bool dropOrigin) {
  std::vector<Vector> z = p;
  std::vector<bool> dropped(p.size(), false);
  for (size_t i = 0; i < z.size(); ++i) {
    if (dropOrigin && z[i] == Vector()) dropped[i] = true;
    if (dropped[i]) continue;
    for (size_t j = i + 1; j < z.size(); ++j)
      if ((z[i] - z[j]).GetLength() < 0.01) dropped[j] = true;
  }
  std::vector<size_t> out;
  for (size_t i = 0; i < z.size(); ++i)
    if (!dropped[i]) out.push_back(i);
  return out;
}

std::vector<EdgeRecord> PlainRecords(const std::vector<Int32>& edges,
                                     const std::vector<CPolygon>& polys) {
  std::vector<EdgeRecord> all, out;
  for (Int32 e : edges) {
    EdgeRecord r;
    r.polygon = e / 4;
    r.side = e % 4;
    r.point[0] = polys[static_cast<size_t>(r.polygon)][r.side];
    r.point[1] = polys[static_cast<size_t>(r.polygon)][(r.side + 1) % 4];
    all.push_back(r);
  }
  for (size_t i = 0; i < all.size(); ++i) {
    bool repeat = false;
    for (size_t j = 0; j < i; ++j)
      repeat = repeat ||
               (all[i].point[0] == all[j].point[0] && all[i].point[1] == all[j].point[1]) ||
               (all[i].point[0] == all[j].point[1] && all[i].point[1] == all[j].point[0]);
    if (!repeat) out.push_back(all[i]);
  }
  return out;
}

std::vector<Int32> PlainChain(std::vector<EdgeRecord>& r) {
  const size_t n = r.size();
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < n; ++j) {
      if (i == j) continue;
      for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b)
          if (r[i].point[a] == r[j].point[b]) r[i].shared[a] = r[j].shared[b] = true;
    }
  size_t start = 0;
  for (size_t i = 0; i < n; ++i)
    if (!r[i].shared[0] || !r[i].shared[1]) {
      if (r[i].shared[0]) {
        std::swap(r[i].point[0], r[i].point[1]);
        std::swap(r[i].shared[0], r[i].shared[1]);
      }
      start = i;
      break;
    }
  std::vector<bool> used(n, false);
  std::vector<Int32> chain{static_cast<Int32>(start)};
  used[start] = true;
  for (size_t cur = start;;) {
    const Int32 p = r[cur].point[1];
    size_t next = n;
    for (size_t j = 0; j < n && next == n; ++j)
      if (!used[j] && (r[j].point[0] == p || r[j].point[1] == p)) next = j;
    if (next == n) break;
    if (r[next].point[0] != p) {
      std::swap(r[next].point[0], r[next].point[1]);
      std::swap(r[next].shared[0], r[next].shared[1]);
    }
    r[cur].next = static_cast<Int32>(next);
    used[next] = true;
    chain.push_back(static_cast<Int32>(next));
    cur = next;
  }
  return chain;
}

void Quicksort(std::vector<Vector>& a, int lo, int hi, bool byU) {
  auto key = [byU](const Vector& v) { return byU ? v.x : v.y; };
  int i = lo, j = hi;
  const Float pivot = key(a[static_cast<size_t>((lo + hi) / 2)]);
  while (i <= j) {
    while (key(a[static_cast<size_t>(i)]) < pivot) ++i;
    while (key(a[static_cast<size_t>(j)]) > pivot) --j;
    if (i <= j) std::swap(a[static_cast<size_t>(i++)], a[static_cast<size_t>(j--)]);
  }
  if (lo < j) Quicksort(a, lo, j, byU);
  if (i < hi) Quicksort(a, i, hi, byU);
}

struct PlainGrid {
  PlainGrid(std::vector<UVWStruct>& u, const std::vector<CPolygon>& p, bool cu)
      : uv(u), polys(p), crossU(cu), visited(p.size(), false) {}
  std::vector<UVWStruct>& uv;
  const std::vector<CPolygon>& polys;
  bool crossU;
  std::vector<bool> visited;
  std::vector<Vector> kept;
  struct Entry {
    Vector old = Vector(-1.0);
    Float cross = -1.0;
  } e[4];

  Float& X(Int32 p, Int32 k) {
    Vector& v = uv[static_cast<size_t>(p)][k];
    return crossU ? v.x : v.y;
  }
  bool RowStep(Int32 p, Int32 k, size_t i, Int32 slot) {
    bool done = false;
    for (Int32 n : {(k + 1) % 4, (k + 3) % 4}) {
      bool on = false;
      for (size_t j = i + 1; j < kept.size(); ++j)
        on = on || uv[static_cast<size_t>(p)][n] == kept[j];
      if (!on) continue;
      const Int32 fk = n == (k + 1) % 4 ? (k + 3) % 4 : (k + 1) % 4, fn = (k + 2) % 4;
      e[slot] = {uv[static_cast<size_t>(p)][fk], X(p, k)};
      e[slot + 1] = {uv[static_cast<size_t>(p)][fn], X(p, n)};
      X(p, fk) = X(p, k);
      X(p, fn) = X(p, n);
      visited[static_cast<size_t>(p)] = true;
      done = true;
    }
    return done;
  }
  void Carry(Int32 count) {
    for (bool advanced = true; advanced;) {
      advanced = false;
      for (Int32 q = 0; q < static_cast<Int32>(polys.size()); ++q) {
        if (visited[static_cast<size_t>(q)]) continue;
        std::vector<std::pair<Int32, Int32>> m;  // corner, entry
        for (Int32 k = 0; k < 4; ++k)
          for (Int32 x = 0; x < count; ++x)
            if (uv[static_cast<size_t>(q)][k] == e[x].old) {
              X(q, k) = e[x].cross;
              m.emplace_back(k, x);
              break;
            }
        const CPolygon& c = polys[static_cast<size_t>(q)];
        if (m.size() != 2 || c.c == c.d) continue;
        const Int32 gap = (m[1].first - m[0].first + 4) % 4;
        if (gap != 1 && gap != 3) continue;
        for (int t = 0; t < 2; ++t) {
          const Int32 k = m[static_cast<size_t>(t)].first,
                      other = m[static_cast<size_t>(1 - t)].first;
          const Int32 far = (k + 1) % 4 == other ? (k + 3) % 4 : (k + 1) % 4;
          const Vector before = uv[static_cast<size_t>(q)][far];
          X(q, far) = X(q, k);
          e[m[static_cast<size_t>(t)].second].old = before;
        }
        visited[static_cast<size_t>(q)] = true;
        advanced = true;
      }
    }
  }
  void Run(const std::vector<UVPointRef>& sel, bool sortU) {
    std::vector<Vector> pos;
    for (const UVPointRef& r : sel) pos.push_back(uv[static_cast<size_t>(r.polygon)][r.corner]);
    for (size_t i : PlainDistinct(pos, true)) kept.push_back(pos[i]);
    if (kept.size() > 1) Quicksort(kept, 0, static_cast<int>(kept.size()) - 1, sortU);
    for (size_t i = 0; i < kept.size(); ++i) {
      for (Entry& x : e) x = Entry();
      Int32 successes = 0;
      for (size_t c = 0; c < pos.size(); ++c)
        if ((pos[c] - kept[i]).GetLength() < 0.01 &&
            RowStep(sel[c].polygon, sel[c].corner, i, successes == 0 ? 0 : 2))
          ++successes;
      if (successes > 0) Carry(std::min(2 * successes, 4));
    }
  }
};

// --- random meshes ---

// A grid of w x h cells over (w + 1) x (h + 1) points, in shuffled polygon order. Most cells are
// quads, some triangles; UVs sit on a jittered lattice shared exactly between neighbours, with a
// few torn corners, repeats within the tolerance, corners at the origin and at one infinite place.
struct RandomGrid {
  std::vector<CPolygon> polys;
  std::vector<UVWStruct> uv;
  std::vector<Vector> lattice;
  Int32 w, h;

  RandomGrid(std::mt19937& rng, Int32 cw, Int32 ch) : w(cw), h(ch) {
    std::uniform_real_distribution<Float> jitter(-0.02, 0.02), unit(0.0, 1.0);
    for (Int32 j = 0; j <= h; ++j)
      for (Int32 i = 0; i <= w; ++i)
        lattice.push_back(unit(rng) < 0.03
                              ? Vector()
                              : Vector(0.05 * i + jitter(rng), 0.05 * j + jitter(rng), 0));
    std::vector<Int32> order(static_cast<size_t>(w * h));
    for (size_t k = 0; k < order.size(); ++k) order[k] = static_cast<Int32>(k);
    std::shuffle(order.begin(), order.end(), rng);
    for (Int32 cell : order) {
      const Int32 i = cell % w, j = cell / w;
      const Int32 a = j * (w + 1) + i, b = a + 1, c = a + w + 2, d = a + w + 1;
      const Int32 kind = static_cast<Int32>(unit(rng) * 10);
      if (kind == 0) {
        polys.emplace_back(a, b, c);
        uv.emplace_back(P(a), P(b), P(c), P(c));
      } else {
        polys.emplace_back(a, b, c, d);
        uv.emplace_back(P(a), P(b), P(c), P(d));
      }
      // Now and then a torn corner, or one moved within the tolerance.
      if (kind == 1) uv.back()[static_cast<Int32>(unit(rng) * 4)] += Vector(0.3, 0.0, 0.0);
      if (kind == 2) uv.back()[static_cast<Int32>(unit(rng) * 4)] += Vector(0.004, -0.003, 0.0);
      if (kind == 3 && unit(rng) < 0.5)
        uv.back()[static_cast<Int32>(unit(rng) * 4)] = Vector(HUGE_VAL, 0.5, 0);
    }
  }
  Vector P(Int32 i) const { return lattice[static_cast<size_t>(i)]; }
};

}  // namespace

TEST(AlignIndex, DistinctPositionsAsThePlainWalk) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> cell(0, 40);
  std::uniform_real_distribution<Float> unit(0.0, 1.0);
  for (int round = 0; round < 200; ++round) {
    std::vector<Vector> p;
    const int n = 1 + round % 60;
    for (int i = 0; i < n; ++i) {
      const Float r = unit(rng);
      if (r < 0.05) {
        p.emplace_back();
      } else if (r < 0.08) {
        p.emplace_back(std::nan(""), 0.1, 0);
      } else if (r < 0.1) {
        p.emplace_back(HUGE_VAL, 0.1, 0);
      } else if (r < 0.12) {
        p.emplace_back(1e300, -1e300, 0);
      } else {
        // On a 0.004 lattice, w too: many pairs within 0.01, many just outside.
        p.emplace_back(0.004 * cell(rng), 0.004 * cell(rng) - 0.08, 0.004 * (cell(rng) % 4));
      }
    }
    for (bool origin : {false, true}) {
      SCOPED_TRACE("round " + std::to_string(round) + (origin ? " dropping the origin" : ""));
      EXPECT_EQ(DistinctUVPoints(p, origin), PlainDistinct(p, origin));
    }
  }
}

TEST(AlignIndex, EdgeChainAsThePlainWalk) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    // Few points, so that edges repeat, branch and close loops.
    const Int32 points = 4 + round % 12, polyCount = 2 + round % 9;
    std::uniform_int_distribution<Int32> point(0, points - 1);
    std::vector<CPolygon> polys;
    for (Int32 i = 0; i < polyCount; ++i) {
      if (i % 3 == 2)
        polys.emplace_back(point(rng), point(rng), point(rng));
      else
        polys.emplace_back(point(rng), point(rng), point(rng), point(rng));
    }
    BaseSelect sel;
    std::vector<Int32> edges;
    for (Int32 e = 0; e < 4 * polyCount; ++e)
      if (rng() % 3 == 0) {
        sel.Select(e);
        edges.push_back(e);
      }
    std::vector<EdgeRecord> indexed = EdgeRecords(&sel, polys.data(), polyCount);
    std::vector<EdgeRecord> plain = PlainRecords(edges, polys);
    const std::vector<Int32> chain = ChainEdges(indexed);
    const std::vector<Int32> plainChain = plain.empty() ? std::vector<Int32>() : PlainChain(plain);
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_EQ(indexed.size(), plain.size());
    EXPECT_EQ(chain, plainChain);
    for (size_t i = 0; i < plain.size(); ++i) {
      EXPECT_EQ(indexed[i].polygon, plain[i].polygon);
      EXPECT_EQ(indexed[i].side, plain[i].side);
      EXPECT_EQ(indexed[i].point[0], plain[i].point[0]);
      EXPECT_EQ(indexed[i].point[1], plain[i].point[1]);
      EXPECT_EQ(indexed[i].shared[0], plain[i].shared[0]);
      EXPECT_EQ(indexed[i].shared[1], plain[i].shared[1]);
      EXPECT_EQ(indexed[i].next, plain[i].next);
    }
  }
}

TEST(AlignIndex, GridAsThePlainPasses) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<Float> unit(0.0, 1.0);
  int squared = 0;
  for (int round = 0; round < 150; ++round) {
    RandomGrid g(rng, 2 + round % 7, 2 + (round / 7) % 6);
    const Int32 mode = round % 2 ? 3 : 2;
    // An aligned row (mode 2: one v) or column (mode 3: one u) of lattice points at a random
    // place, all of its polygons' corners on it selected, and a few stray selected corners.
    const Int32 line = static_cast<Int32>(unit(rng) * (mode == 2 ? g.h : g.w));
    const Float at = 0.05 * line + 0.001;
    for (Int32 i = 0; i <= (mode == 2 ? g.w : g.h); ++i) {
      Vector& p =
          g.lattice[static_cast<size_t>(mode == 2 ? line * (g.w + 1) + i : i * (g.w + 1) + line)];
      (mode == 2 ? p.y : p.x) = at;
    }
    std::vector<UVPointRef> sel;
    const Int32 n = static_cast<Int32>(g.polys.size());
    for (Int32 p = 0; p < n; ++p) {
      for (Int32 k = 0; k < 4; ++k) {
        const CPolygon& c = g.polys[static_cast<size_t>(p)];
        Int32 idx = c[k];
        Int32 onLine = mode == 2 ? idx / (g.w + 1) : idx % (g.w + 1);
        if (onLine == line && !(k == 3 && c.c == c.d)) {
          g.uv[static_cast<size_t>(p)][k] = g.lattice[static_cast<size_t>(idx)];
          sel.push_back({p, k});
        } else if (unit(rng) < 0.02) {
          sel.push_back({p, k});
        }
      }
    }
    std::vector<UVWStruct> plainUV = g.uv, indexedUV = g.uv;
    PlainGrid(plainUV, g.polys, mode == 2).Run(sel, mode == 2);
    StraightenGridUVs(indexedUV.data(), g.polys.data(), n, sel, mode);
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_EQ(0, std::memcmp(plainUV.data(), indexedUV.data(), plainUV.size() * sizeof(UVWStruct)));
    if (std::memcmp(plainUV.data(), g.uv.data(), plainUV.size() * sizeof(UVWStruct)) != 0)
      ++squared;
  }
  EXPECT_GT(squared, 100) << "the meshes must give the grid something to square";
}
