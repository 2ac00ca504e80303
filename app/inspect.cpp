#include "inspect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <numeric>
#include <queue>

#include "c4d_painter.h"
#include "inspect_json.h"

namespace pelterra {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct P2 {
  double x, y;
};

double Orient(P2 a, P2 b, P2 c) {
  return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

bool Finite(const LayoutPolygon& p) {
  for (int k = 0; k < p.corners; ++k)
    if (!std::isfinite(p.u[k]) || !std::isfinite(p.v[k])) return false;
  return true;
}

// Twice the signed UV area; a quad's by its diagonals, so that a collapsed one is exactly 0.
double TwiceUVArea(const LayoutPolygon& p) {
  if (p.corners == 3) return Orient({p.u[0], p.v[0]}, {p.u[1], p.v[1]}, {p.u[2], p.v[2]});
  return (p.u[2] - p.u[0]) * (p.v[3] - p.v[1]) - (p.v[2] - p.v[0]) * (p.u[3] - p.u[1]);
}

bool HasInterior(const LayoutPolygon& p) {
  return Finite(p) && std::fabs(TwiceUVArea(p)) / 2.0 > kZeroUVArea;
}

// A polygon's UV shape as up to two triangles, each counter-clockwise (positive orientation).
// A quad is cut along the diagonal that lies inside it.
struct Triangles {
  int n = 0;
  P2 t[2][3];
};

Triangles Split(const LayoutPolygon& p) {
  Triangles r;
  const P2 a{p.u[0], p.v[0]}, b{p.u[1], p.v[1]}, c{p.u[2], p.v[2]}, d{p.u[3], p.v[3]};
  auto add = [&](P2 x, P2 y, P2 z) {
    const double o = Orient(x, y, z);
    if (o == 0.0) return;
    if (o > 0.0)
      r.t[r.n][0] = x, r.t[r.n][1] = y, r.t[r.n][2] = z;
    else
      r.t[r.n][0] = x, r.t[r.n][1] = z, r.t[r.n][2] = y;
    ++r.n;
  };
  if (p.corners == 3) {
    add(a, b, c);
    return r;
  }
  auto sign = [](double o) { return (o > 0.0) - (o < 0.0); };
  const int s1 = sign(Orient(a, b, c)), s2 = sign(Orient(a, c, d));
  const int t1 = sign(Orient(a, b, d)), t2 = sign(Orient(b, c, d));
  if (s1 != s2 && t1 == t2 && t1 != 0) {
    add(a, b, d);
    add(b, c, d);
  } else {
    add(a, b, c);
    add(a, c, d);
  }
  return r;
}

// Two counter-clockwise triangles have disjoint interiors when a line through an edge of one
// leaves the other wholly on its outer side (points on the line allowed).
bool Separates(const P2* t, const P2* o) {
  for (int e = 0; e < 3; ++e) {
    const P2 p = t[e], q = t[(e + 1) % 3];
    if (Orient(p, q, o[0]) <= 0.0 && Orient(p, q, o[1]) <= 0.0 && Orient(p, q, o[2]) <= 0.0)
      return true;
  }
  return false;
}

bool TrianglesOverlap(const P2* a, const P2* b) {
  return !Separates(a, b) && !Separates(b, a);
}

bool Overlap(const Triangles& a, const Triangles& b) {
  for (int i = 0; i < a.n; ++i)
    for (int j = 0; j < b.n; ++j)
      if (TrianglesOverlap(a.t[i], b.t[j])) return true;
  return false;
}

struct Box {
  double x0, y0, x1, y1;
};

Box BoxOf(const LayoutPolygon& p) {
  Box b{p.u[0], p.v[0], p.u[0], p.v[0]};
  for (int k = 1; k < p.corners; ++k) {
    b.x0 = std::min(b.x0, p.u[k]);
    b.y0 = std::min(b.y0, p.v[k]);
    b.x1 = std::max(b.x1, p.u[k]);
    b.y1 = std::max(b.y1, p.v[k]);
  }
  return b;
}

// Boxes that only touch cannot hold intersecting interiors.
bool BoxesOverlap(const Box& a, const Box& b) {
  return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

// Collects the pairs found: the count, the polygons involved and the smallest few pairs.
class PairSink {
 public:
  PairSink(size_t polygons, size_t shown) : shown_(shown) { r_.involved.assign(polygons, 0); }
  void Add(Int32 i, Int32 j) {
    ++r_.count;
    r_.involved[static_cast<size_t>(i)] = r_.involved[static_cast<size_t>(j)] = 1;
    if (shown_ == 0) return;
    if (heap_.size() < shown_) {
      heap_.emplace(i, j);
    } else if (std::make_pair(i, j) < heap_.top()) {
      heap_.pop();
      heap_.emplace(i, j);
    }
  }
  OverlapResult Take(bool complete) {
    r_.complete = complete;
    while (!heap_.empty()) {
      r_.first.push_back(heap_.top());
      heap_.pop();
    }
    std::reverse(r_.first.begin(), r_.first.end());
    return std::move(r_);
  }

 private:
  size_t shown_;
  OverlapResult r_;
  std::priority_queue<std::pair<Int32, Int32>> heap_;  // largest on top
};

}  // namespace

bool LayoutOf(const PolygonObject& op, Layout& out) {
  const UVWTag* tag = GetEditedUVWTag(const_cast<PolygonObject*>(&op));
  if (!tag) return false;
  out.name = op.GetName();
  const Int32 pc = op.GetPointCount();
  out.points.assign(op.GetPointR(), op.GetPointR() + std::max(pc, 0));
  const ConstUVWHandle uvw = tag->GetDataAddressR();
  const CPolygon* polys = op.GetPolygonR();
  const Int32 n = op.GetPolygonCount();
  out.polygons.assign(static_cast<size_t>(std::max(n, 0)), LayoutPolygon());
  for (Int32 i = 0; i < n; ++i) {
    LayoutPolygon& p = out.polygons[static_cast<size_t>(i)];
    p.corners = polys[i].IsTriangle() ? 3 : 4;
    UVWStruct s;
    const bool has = i < uvw.count;
    if (has) UVWTag::Get(uvw, i, s);
    for (int k = 0; k < 4; ++k) {
      const Int32 pt = polys[i][k];
      p.point[static_cast<size_t>(k)] = pt >= 0 && pt < pc ? pt : -1;
      p.u[static_cast<size_t>(k)] = has ? s[k].x : kNaN;
      p.v[static_cast<size_t>(k)] = has ? s[k].y : kNaN;
    }
  }
  return true;
}

bool UVInteriorsIntersect(const LayoutPolygon& a, const LayoutPolygon& b) {
  if (!HasInterior(a) || !HasInterior(b)) return false;
  if (!BoxesOverlap(BoxOf(a), BoxOf(b))) return false;
  return Overlap(Split(a), Split(b));
}

OverlapResult FindOverlapsAllPairs(const Layout& layout, size_t shown) {
  const size_t n = layout.polygons.size();
  PairSink sink(n, shown);
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 1; j < n; ++j)
      if (UVInteriorsIntersect(layout.polygons[i], layout.polygons[j]))
        sink.Add(static_cast<Int32>(i), static_cast<Int32>(j));
  return sink.Take(true);
}

OverlapResult FindOverlaps(const Layout& layout, size_t shown, Int64 workLimit) {
  const size_t n = layout.polygons.size();
  PairSink sink(n, shown);
  // The polygons with an interior, their boxes and the boxes' bounds.
  std::vector<Int32> ids;
  std::vector<Box> boxes;
  Box all{0, 0, 0, 0};
  for (size_t i = 0; i < n; ++i) {
    if (!HasInterior(layout.polygons[i])) continue;
    const Box b = BoxOf(layout.polygons[i]);
    all = ids.empty() ? b
                      : Box{std::min(all.x0, b.x0), std::min(all.y0, b.y0),
                            std::max(all.x1, b.x1), std::max(all.y1, b.y1)};
    ids.push_back(static_cast<Int32>(i));
    boxes.push_back(b);
  }
  const size_t m = ids.size();
  if (m < 2) return sink.Take(true);
  // Halves of the coordinates, so that the extent of any finite layout is finite.
  const double w = all.x1 / 2 - all.x0 / 2, h = all.y1 / 2 - all.y0 / 2;
  const double ox = all.x0 / 2, oy = all.y0 / 2;
  if (!(w > 0.0 && h > 0.0)) return sink.Take(true);

  // About one polygon per cell; cells grow while large polygons would fill too many of them.
  double cell = std::sqrt(w) * std::sqrt(h) / std::sqrt(static_cast<double>(m));
  int gx = 1, gy = 1;
  double inv = 1.0;
  auto index = [&](double v, double origin, int cells) {
    const double at = (v / 2 - origin) * inv;
    return static_cast<int>(std::clamp(at, 0.0, static_cast<double>(cells - 1)));
  };
  auto cx = [&](double x) { return index(x, ox, gx); };
  auto cy = [&](double y) { return index(y, oy, gy); };
  for (int attempt = 0;; ++attempt) {
    gx = static_cast<int>(std::clamp(std::ceil(w / cell), 1.0, 32768.0));
    gy = static_cast<int>(std::clamp(std::ceil(h / cell), 1.0, 32768.0));
    inv = 1.0 / cell;
    Int64 entries = 0;
    for (const Box& b : boxes)
      entries += Int64(cx(b.x1) - cx(b.x0) + 1) * Int64(cy(b.y1) - cy(b.y0) + 1);
    if (entries <= 8 * static_cast<Int64>(m) + 64 || attempt > 40) break;
    cell *= 2.0;
  }
  // Cells as one array of polygon lists (counting sort), each list in polygon order.
  const size_t cells = static_cast<size_t>(gx) * static_cast<size_t>(gy);
  std::vector<Int64> offset(cells + 1, 0);
  for (const Box& b : boxes)
    for (int y = cy(b.y0); y <= cy(b.y1); ++y)
      for (int x = cx(b.x0); x <= cx(b.x1); ++x) ++offset[static_cast<size_t>(y) * gx + x + 1];
  for (size_t c = 0; c < cells; ++c) offset[c + 1] += offset[c];
  std::vector<Int32> members(static_cast<size_t>(offset[cells]));
  {
    std::vector<Int64> fill(offset.begin(), offset.end() - 1);
    for (size_t k = 0; k < m; ++k) {
      const Box& b = boxes[k];
      for (int y = cy(b.y0); y <= cy(b.y1); ++y)
        for (int x = cx(b.x0); x <= cx(b.x1); ++x)
          members[static_cast<size_t>(fill[static_cast<size_t>(y) * gx + x]++)] =
              static_cast<Int32>(k);
    }
  }
  // Each pair of boxes is tested once: in the cell that holds the lower corner of their common
  // part. Triangles are cut once per polygon as they are needed.
  Int64 work = 0;
  for (int y = 0; y < gy; ++y)
    for (int x = 0; x < gx; ++x) {
      const size_t c = static_cast<size_t>(y) * gx + x;
      const Int64 lo = offset[c], hi = offset[c + 1];
      for (Int64 s = lo; s < hi; ++s) {
        const Int32 ka = members[static_cast<size_t>(s)];
        const Box& a = boxes[static_cast<size_t>(ka)];
        work += hi - s;
        if (work > workLimit) return sink.Take(false);
        for (Int64 t = s + 1; t < hi; ++t) {
          const Int32 kb = members[static_cast<size_t>(t)];
          const Box& b = boxes[static_cast<size_t>(kb)];
          if (!BoxesOverlap(a, b)) continue;
          if (cx(std::max(a.x0, b.x0)) != x || cy(std::max(a.y0, b.y0)) != y) continue;
          const LayoutPolygon& pa = layout.polygons[static_cast<size_t>(ids[ka])];
          const LayoutPolygon& pb = layout.polygons[static_cast<size_t>(ids[kb])];
          if (Overlap(Split(pa), Split(pb))) sink.Add(ids[ka], ids[kb]);
        }
      }
    }
  return sink.Take(true);
}

namespace {

// Union-find with path halving.
struct Sets {
  std::vector<Int32> parent;
  explicit Sets(size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
  Int32 Find(Int32 x) {
    while (parent[static_cast<size_t>(x)] != x) {
      parent[static_cast<size_t>(x)] = parent[static_cast<size_t>(parent[static_cast<size_t>(x)])];
      x = parent[static_cast<size_t>(x)];
    }
    return x;
  }
  void Join(Int32 a, Int32 b) {
    a = Find(a);
    b = Find(b);
    if (a != b) parent[static_cast<size_t>(std::max(a, b))] = std::min(a, b);
  }
};

// Islands: polygons that share an edge in 3D with the same UVs at both of its ends. Numbered in
// the order of their first polygons; -1 for polygons with non-finite UVs.
std::vector<Int32> Islands(const Layout& layout, const std::vector<std::uint8_t>& finite,
                           Int32& count) {
  const size_t n = layout.polygons.size();
  const size_t pc = layout.points.size();
  struct Edge {
    Int32 hi, polygon;
    std::uint8_t lo, hiCorner;  // corners of the polygon at the lower and the higher point
  };
  // Edges bucketed by their lower point (counting sort).
  std::vector<Int64> offset(pc + 1, 0);
  auto each = [&](auto&& f) {
    for (size_t i = 0; i < n; ++i) {
      if (!finite[i]) continue;
      const LayoutPolygon& p = layout.polygons[i];
      for (int k = 0; k < p.corners; ++k) {
        const int k2 = (k + 1) % p.corners;
        const Int32 a = p.point[static_cast<size_t>(k)], b = p.point[static_cast<size_t>(k2)];
        if (a < 0 || b < 0 || a == b) continue;
        if (a < b)
          f(a, Edge{b, static_cast<Int32>(i), std::uint8_t(k), std::uint8_t(k2)});
        else
          f(b, Edge{a, static_cast<Int32>(i), std::uint8_t(k2), std::uint8_t(k)});
      }
    }
  };
  each([&](Int32 lo, const Edge&) { ++offset[static_cast<size_t>(lo) + 1]; });
  for (size_t i = 0; i < pc; ++i) offset[i + 1] += offset[i];
  std::vector<Edge> edges(static_cast<size_t>(offset[pc]));
  {
    std::vector<Int64> fill(offset.begin(), offset.end() - 1);
    each([&](Int32 lo, const Edge& e) { edges[static_cast<size_t>(fill[static_cast<size_t>(lo)]++)] = e; });
  }
  auto key = [&](const Edge& e) {
    const LayoutPolygon& p = layout.polygons[static_cast<size_t>(e.polygon)];
    return std::make_tuple(e.hi, p.u[e.lo], p.v[e.lo], p.u[e.hiCorner], p.v[e.hiCorner]);
  };
  Sets sets(n);
  for (size_t pt = 0; pt < pc; ++pt) {
    auto first = edges.begin() + offset[pt], last = edges.begin() + offset[pt + 1];
    std::sort(first, last, [&](const Edge& a, const Edge& b) {
      return key(a) < key(b) || (key(a) == key(b) && a.polygon < b.polygon);
    });
    for (auto e = first; e != last && e + 1 != last; ++e)
      if (key(*e) == key(*(e + 1))) sets.Join(e->polygon, (e + 1)->polygon);
  }
  std::vector<Int32> island(n, -1), number(n, -1);
  count = 0;
  for (size_t i = 0; i < n; ++i) {
    if (!finite[i]) continue;
    const Int32 root = sets.Find(static_cast<Int32>(i));
    if (number[static_cast<size_t>(root)] < 0) number[static_cast<size_t>(root)] = count++;
    island[i] = number[static_cast<size_t>(root)];
  }
  return island;
}

double Length(const Vector& a) {
  return std::sqrt(Dot(a, a));
}

// The polygon's vector area in 3D (its area times its normal); zero when a point is missing.
Vector VectorArea(const Layout& layout, const LayoutPolygon& p) {
  Vector q[4];
  for (int k = 0; k < p.corners; ++k) {
    const Int32 pt = p.point[static_cast<size_t>(k)];
    if (pt < 0) return Vector(0, 0, 0);
    q[k] = layout.points[static_cast<size_t>(pt)];
  }
  const Vector v = p.corners == 3 ? Cross(q[1] - q[0], q[2] - q[0]) : Cross(q[2] - q[0], q[3] - q[1]);
  return Vector(v.x / 2, v.y / 2, v.z / 2);
}

// Interior angle at corner k in degrees, turning about normal n (0..360).
double Angle3D(const Vector& prev, const Vector& at, const Vector& next, const Vector& n) {
  const Vector e1 = next - at, e2 = prev - at;
  double a = std::atan2(Dot(n, Cross(e1, e2)), Dot(e1, e2));
  if (a < 0) a += 2 * std::numbers::pi;
  return a * 180.0 / std::numbers::pi;
}

// The same in UV, turning the way the polygon's UV corners turn.
double AngleUV(P2 prev, P2 at, P2 next, double turn) {
  const P2 e1{next.x - at.x, next.y - at.y}, e2{prev.x - at.x, prev.y - at.y};
  double a = std::atan2(turn * (e1.x * e2.y - e1.y * e2.x), e1.x * e2.x + e1.y * e2.y);
  if (a < 0) a += 2 * std::numbers::pi;
  return a * 180.0 / std::numbers::pi;
}

// Share of the unit square covered: pixel centres of a raster inside some polygon.
double UsedShare(const Layout& layout, const std::vector<std::uint8_t>& interior) {
  constexpr int R = kShareRaster;
  // Per row, +1 where a span starts and -1 past its end.
  std::vector<Int32> diff(static_cast<size_t>(R) * (R + 1), 0);
  auto span = [&](int row, double xa, double xb) {
    // Pixel centres (i + 0.5) / R within [xa, xb].
    const double fa = std::ceil(xa * R - 0.5), fb = std::floor(xb * R - 0.5);
    if (fa > fb || fb < 0 || fa > R - 1) return;
    const int ia = static_cast<int>(std::max(0.0, fa)), ib = static_cast<int>(std::min(R - 1.0, fb));
    Int32* line = diff.data() + static_cast<size_t>(row) * (R + 1);
    ++line[ia];
    --line[ib + 1];
  };
  for (size_t i = 0; i < layout.polygons.size(); ++i) {
    if (!interior[i]) continue;
    const Triangles t = Split(layout.polygons[i]);
    for (int k = 0; k < t.n; ++k) {
      P2 p[3] = {t.t[k][0], t.t[k][1], t.t[k][2]};
      std::sort(p, p + 3, [](P2 a, P2 b) { return a.y < b.y; });
      const double r0 = std::max(0.0, std::ceil(p[0].y * R - 0.5));
      const double r1 = std::min(R - 1.0, std::floor(p[2].y * R - 0.5));
      for (double rr = r0; rr <= r1; ++rr) {
        const double y = (rr + 0.5) / R;
        auto at = [&](P2 a, P2 b) { return a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y); };
        const double xl = at(p[0], p[2]);  // the long side spans every row
        double xs;
        if (y < p[1].y)
          xs = at(p[0], p[1]);
        else if (p[2].y > p[1].y)
          xs = at(p[1], p[2]);
        else
          xs = p[1].x;
        span(static_cast<int>(rr), std::min(xl, xs), std::max(xl, xs));
      }
    }
  }
  Int64 covered = 0;
  for (int row = 0; row < R; ++row) {
    Int32 run = 0;
    const Int32* line = diff.data() + static_cast<size_t>(row) * (R + 1);
    for (int x = 0; x < R; ++x) {
      run += line[x];
      covered += run > 0;
    }
  }
  return static_cast<double>(covered) / (static_cast<double>(R) * R);
}

double Median(std::vector<double> v) {
  if (v.empty()) return kNaN;
  std::sort(v.begin(), v.end());
  const size_t h = v.size() / 2;
  return v.size() % 2 ? v[h] : (v[h - 1] + v[h]) / 2.0;
}

constexpr size_t kShown = 10;

}  // namespace

InspectReport Inspect(const Layout& layout) {
  InspectReport r;
  r.name = layout.name;
  const size_t n = layout.polygons.size();
  r.polygons = static_cast<Int32>(n);
  std::vector<std::uint8_t> finite(n), interior(n);
  std::vector<double> uvArea(n, 0.0), area3D(n, 0.0);
  std::vector<Vector> normal(n);
  for (size_t i = 0; i < n; ++i) {
    const LayoutPolygon& p = layout.polygons[i];
    int bad = 0;
    for (int k = 0; k < p.corners; ++k) bad += !std::isfinite(p.u[k]) || !std::isfinite(p.v[k]);
    finite[i] = bad == 0;
    r.nonFiniteCorners += bad;
    r.nonFinitePolygons += bad > 0;
    if (!finite[i]) continue;
    const double twice = TwiceUVArea(p);
    uvArea[i] = std::fabs(twice) / 2.0;
    interior[i] = uvArea[i] > kZeroUVArea;
    if (!interior[i]) {
      if (r.zeroArea++ < static_cast<Int32>(kShown)) r.zeroAreaFirst.push_back(static_cast<Int32>(i));
    }
    const Vector va = VectorArea(layout, p);
    area3D[i] = Length(va);
    normal[i] = va;
    if (!(area3D[i] > 0.0) || !std::isfinite(area3D[i])) {
      area3D[i] = 0.0;
      ++r.degenerate3D;
    }
  }
  r.overlaps = FindOverlaps(layout, kShown);

  // Islands and flips. An unmirrored polygon's UVs, in the host's corner order and v-down UV
  // space, have a positive signed area (as an OBJ face, counter-clockwise with v up, arrives);
  // a negative one is mirrored.
  r.island = Islands(layout, finite, r.islands);
  r.flippedPolygon.assign(n, 0);
  std::vector<IslandFlips> perIsland(static_cast<size_t>(r.islands));
  for (size_t i = 0; i < n; ++i) {
    if (r.island[i] < 0) continue;
    IslandFlips& f = perIsland[static_cast<size_t>(r.island[i])];
    f.island = r.island[i];
    ++f.polygons;
    if (interior[i] && TwiceUVArea(layout.polygons[i]) < 0.0) {
      r.flippedPolygon[i] = 1;
      ++r.flipped;
      ++f.flipped;
    }
  }
  for (const IslandFlips& f : perIsland)
    if (f.flipped) r.flippedIslands.push_back(f);

  // Density per island.
  std::vector<double> islandUV(static_cast<size_t>(r.islands), 0.0),
      island3D(static_cast<size_t>(r.islands), 0.0);
  double totalUV = 0.0, total3D = 0.0;
  for (size_t i = 0; i < n; ++i) {
    if (r.island[i] < 0) continue;
    islandUV[static_cast<size_t>(r.island[i])] += uvArea[i];
    island3D[static_cast<size_t>(r.island[i])] += area3D[i];
    totalUV += uvArea[i];
    total3D += area3D[i];
  }
  r.islandDensity.assign(static_cast<size_t>(r.islands), kNaN);
  std::vector<double> densities;
  for (Int32 k = 0; k < r.islands; ++k) {
    const double a = islandUV[static_cast<size_t>(k)], b = island3D[static_cast<size_t>(k)];
    if (!(a > 0.0 && b > 0.0)) continue;
    const double d = std::sqrt(a / b);
    if (!std::isfinite(d) || d <= 0.0) continue;
    r.islandDensity[static_cast<size_t>(k)] = d;
    densities.push_back(d);
    if (std::isnan(r.densityMin.value) || d < r.densityMin.value) r.densityMin = {d, k};
    if (std::isnan(r.densityMax.value) || d > r.densityMax.value) r.densityMax = {d, k};
  }
  r.densityIslands = static_cast<Int32>(densities.size());
  r.densityMedian = Median(densities);
  if (!densities.empty()) r.densitySpread = r.densityMax.value / r.densityMin.value;

  // Stretch per polygon.
  r.areaDistortion.assign(n, kNaN);
  for (size_t i = 0; i < n; ++i) {
    if (!interior[i] || !(area3D[i] > 0.0) || !(totalUV > 0.0) || !(total3D > 0.0)) continue;
    const double d = (uvArea[i] / totalUV) / (area3D[i] / total3D);
    if (!std::isfinite(d) || d <= 0.0) continue;
    r.areaDistortion[i] = d;
    const Int32 id = static_cast<Int32>(i);
    if (std::isnan(r.areaMax.value) || d > r.areaMax.value) r.areaMax = {d, id};
    if (std::isnan(r.areaMin.value) || d < r.areaMin.value) r.areaMin = {d, id};
    const double worst = std::max(d, 1.0 / d);
    if (std::isnan(r.areaWorst.value) || worst > r.areaWorst.value) r.areaWorst = {worst, id};
    const LayoutPolygon& p = layout.polygons[i];
    const double turn = TwiceUVArea(p) > 0.0 ? 1.0 : -1.0;
    const Vector nrm = normal[i] * (1.0 / Length(normal[i]));
    double angle = 0.0;
    for (int k = 0; k < p.corners; ++k) {
      const int kp = (k + p.corners - 1) % p.corners, kn = (k + 1) % p.corners;
      const auto pt = [&](int c) { return layout.points[static_cast<size_t>(p.point[static_cast<size_t>(c)])]; };
      const auto uv = [&](int c) { return P2{p.u[static_cast<size_t>(c)], p.v[static_cast<size_t>(c)]}; };
      const double a3 = Angle3D(pt(kp), pt(k), pt(kn), nrm);
      const double a2 = AngleUV(uv(kp), uv(k), uv(kn), turn);
      angle = std::max(angle, std::fabs(a3 - a2));
    }
    if (angle < 1e-9) angle = 0.0;  // rounding of equal angles, not a distortion
    if (std::isnan(r.angleWorst.value) || angle > r.angleWorst.value) r.angleWorst = {angle, id};
  }
  r.usedShare = UsedShare(layout, interior);
  return r;
}

// --- text, JSON and limits ---

namespace {

std::string Num(double v) {
  if (std::isnan(v)) return "none";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v == 0.0 ? 0.0 : v);
  return buf;
}

std::string Count(Int64 n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string ReportText(const InspectReport& r, const std::string& in) {
  std::string t;
  t += in + "polygons: " + std::to_string(r.polygons) + " in " +
       Count(r.islands, "island", "islands") + "\n";
  t += in + "overlaps: " + (r.overlaps.complete ? "" : "at least ") +
       std::to_string(r.overlaps.count);
  if (!r.overlaps.first.empty()) {
    t += " (";
    for (size_t i = 0; i < r.overlaps.first.size(); ++i)
      t += (i ? ", " : "") + std::to_string(r.overlaps.first[i].first) + "/" +
           std::to_string(r.overlaps.first[i].second);
    t += r.overlaps.count > static_cast<Int64>(r.overlaps.first.size()) ? ", ...)" : ")";
  }
  if (!r.overlaps.complete) t += "; the search stopped at its work limit";
  t += "\n";
  t += in + "flipped: " + std::to_string(r.flipped);
  if (!r.flippedIslands.empty()) {
    t += " in " + Count(static_cast<Int64>(r.flippedIslands.size()), "island", "islands") + " (";
    for (size_t i = 0; i < r.flippedIslands.size() && i < kShown; ++i) {
      const IslandFlips& f = r.flippedIslands[i];
      t += (i ? ", " : "") + std::string("island ") + std::to_string(f.island) + ": " +
           std::to_string(f.flipped) + " of " + std::to_string(f.polygons);
    }
    t += r.flippedIslands.size() > kShown ? ", ...)" : ")";
  }
  t += "\n";
  t += in + "zero-area: " + std::to_string(r.zeroArea);
  if (!r.zeroAreaFirst.empty()) {
    t += " (polygon";
    for (size_t i = 0; i < r.zeroAreaFirst.size(); ++i)
      t += (i ? ", " : " ") + std::to_string(r.zeroAreaFirst[i]);
    t += r.zeroArea > static_cast<Int32>(r.zeroAreaFirst.size()) ? ", ...)" : ")";
  }
  t += "; non-finite UV corners: " + std::to_string(r.nonFiniteCorners) + " in " +
       Count(r.nonFinitePolygons, "polygon", "polygons") + "\n";
  if (r.degenerate3D)
    t += in + "without 3D area: " + Count(r.degenerate3D, "polygon", "polygons") + "\n";
  t += in + "density: ";
  if (r.densityIslands == 0) {
    t += "none\n";
  } else {
    t += "min " + Num(r.densityMin.value) + " (island " + std::to_string(r.densityMin.at) +
         "), median " + Num(r.densityMedian) + ", max " + Num(r.densityMax.value) + " (island " +
         std::to_string(r.densityMax.at) + "), spread " + Num(r.densitySpread) + " over " +
         Count(r.densityIslands, "island", "islands") + "\n";
  }
  t += in + "stretch: ";
  if (std::isnan(r.areaWorst.value)) {
    t += "none\n";
  } else {
    t += "area " + Num(r.areaWorst.value) + " (polygon " + std::to_string(r.areaWorst.at) +
         "; largest " + Num(r.areaMax.value) + " at " + std::to_string(r.areaMax.at) +
         ", smallest " + Num(r.areaMin.value) + " at " + std::to_string(r.areaMin.at) +
         "), angle " + Num(r.angleWorst.value) + " deg (polygon " +
         std::to_string(r.angleWorst.at) + ")\n";
  }
  char share[32];
  std::snprintf(share, sizeof share, "%.2f", 100.0 * r.usedShare);
  t += in + "used: " + share + "% of the unit square\n";
  return t;
}

nlohmann::ordered_json ReportJson(const InspectReport& r) {
  using J = nlohmann::ordered_json;
  // NaN (a figure that does not exist) is written as null.
  auto extreme = [](const Extreme& e, const char* what) {
    return J{{"value", e.value}, {what, e.at < 0 ? J() : J(e.at)}};
  };
  J pairs = J::array();
  for (const auto& [a, b] : r.overlaps.first) pairs.push_back({a, b});
  J islands = J::array();
  for (const IslandFlips& f : r.flippedIslands)
    islands.push_back({{"island", f.island}, {"flipped", f.flipped}, {"polygons", f.polygons}});
  return J{
      {"object", r.name},
      {"polygons", r.polygons},
      {"islands", r.islands},
      {"overlaps", {{"count", r.overlaps.count}, {"complete", r.overlaps.complete}, {"first", pairs}}},
      {"flipped", {{"count", r.flipped}, {"islands", islands}}},
      {"zero_area", {{"count", r.zeroArea}, {"first", r.zeroAreaFirst}}},
      {"non_finite", {{"corners", r.nonFiniteCorners}, {"polygons", r.nonFinitePolygons}}},
      {"without_3d_area", r.degenerate3D},
      {"density",
       {{"islands", r.densityIslands},
        {"min", extreme(r.densityMin, "island")},
        {"median", r.densityMedian},
        {"max", extreme(r.densityMax, "island")},
        {"spread", r.densitySpread}}},
      {"stretch",
       {{"area_worst", extreme(r.areaWorst, "polygon")},
        {"area_max", extreme(r.areaMax, "polygon")},
        {"area_min", extreme(r.areaMin, "polygon")},
        {"angle_worst_degrees", extreme(r.angleWorst, "polygon")}}},
      {"used_share", r.usedShare},
  };
}

std::vector<std::string> Exceeded(const InspectReport& r, const InspectLimits& limits) {
  std::vector<std::string> out;
  if (limits.overlaps && r.overlaps.count > *limits.overlaps)
    out.push_back(std::string(r.overlaps.complete ? "" : "at least ") +
                  std::to_string(r.overlaps.count) + " overlaps, more than " +
                  std::to_string(*limits.overlaps));
  if (limits.densitySpread && r.densitySpread > *limits.densitySpread)
    out.push_back("density spread " + Num(r.densitySpread) + ", more than " +
                  Num(*limits.densitySpread));
  if (limits.stretch && r.areaWorst.value > *limits.stretch)
    out.push_back("area stretch " + Num(r.areaWorst.value) + " at polygon " +
                  std::to_string(r.areaWorst.at) + ", more than " + Num(*limits.stretch));
  return out;
}

// --- heatmap colours ---

bool ParseHeatMode(const std::string& word, HeatMode& mode) {
  for (HeatMode m : {HeatMode::kDensity, HeatMode::kStretch, HeatMode::kFlips, HeatMode::kOverlaps})
    if (word == HeatModeName(m)) {
      mode = m;
      return true;
    }
  return false;
}

const char* HeatModeName(HeatMode mode) {
  switch (mode) {
    case HeatMode::kDensity:
      return "density";
    case HeatMode::kStretch:
      return "stretch";
    case HeatMode::kFlips:
      return "flips";
    case HeatMode::kOverlaps:
      return "overlaps";
    default:
      return "none";
  }
}

namespace {

Rgb8 Mix(const double (*table)[3], int last, double t) {
  t = std::clamp(std::isnan(t) ? 0.0 : t, 0.0, 1.0) * last;
  const int i = std::min(last - 1, static_cast<int>(t));
  const double f = t - i;
  auto ch = [&](int c) {
    return static_cast<std::uint8_t>(
        std::lround(255.0 * (table[i][c] + (table[i + 1][c] - table[i][c]) * f)));
  };
  return {ch(0), ch(1), ch(2)};
}

}  // namespace

Rgb8 Viridis(double t) {
  // The viridis map at 0, 0.1, ..., 1.
  static const double k[11][3] = {
      {0x44 / 255.0, 0x01 / 255.0, 0x54 / 255.0}, {0x48 / 255.0, 0x24 / 255.0, 0x75 / 255.0},
      {0x41 / 255.0, 0x44 / 255.0, 0x87 / 255.0}, {0x35 / 255.0, 0x5f / 255.0, 0x8d / 255.0},
      {0x2a / 255.0, 0x78 / 255.0, 0x8e / 255.0}, {0x21 / 255.0, 0x91 / 255.0, 0x8c / 255.0},
      {0x22 / 255.0, 0xa8 / 255.0, 0x84 / 255.0}, {0x44 / 255.0, 0xbf / 255.0, 0x70 / 255.0},
      {0x7a / 255.0, 0xd1 / 255.0, 0x51 / 255.0}, {0xbd / 255.0, 0xdf / 255.0, 0x26 / 255.0},
      {0xfd / 255.0, 0xe7 / 255.0, 0x25 / 255.0}};
  return Mix(k, 10, t);
}

Rgb8 Diverging(double t) {
  // Blue, white, red, with lightness falling evenly to both ends.
  static const double k[5][3] = {{0.130, 0.400, 0.675}, {0.573, 0.773, 0.871},
                                 {0.969, 0.969, 0.969}, {0.957, 0.647, 0.510},
                                 {0.698, 0.094, 0.169}};
  return Mix(k, 4, (std::clamp(std::isnan(t) ? 0.0 : t, -1.0, 1.0) + 1.0) / 2.0);
}

HeatColours ColourBy(HeatMode mode, const std::vector<const InspectReport*>& reports) {
  HeatColours h;
  h.legend.mode = mode;
  h.fill.resize(reports.size());
  for (size_t o = 0; o < reports.size(); ++o)
    h.fill[o].assign(static_cast<size_t>(reports[o]->polygons), std::nullopt);
  const Rgb8 red{215, 25, 28};
  if (mode == HeatMode::kFlips || mode == HeatMode::kOverlaps) {
    Int64 count = 0;
    for (size_t o = 0; o < reports.size(); ++o) {
      const auto& flags = mode == HeatMode::kFlips ? reports[o]->flippedPolygon
                                                   : reports[o]->overlaps.involved;
      for (size_t i = 0; i < flags.size() && i < h.fill[o].size(); ++i)
        if (flags[i]) {
          h.fill[o][i] = red;
          ++count;
        }
    }
    h.legend.title = mode == HeatMode::kFlips ? "flipped polygons" : "overlapping polygons";
    h.legend.stops = {{0.0, red}, {1.0, red}};
    h.legend.labels = {{0.0, std::to_string(count) + " in red"}};
    return h;
  }
  if (mode == HeatMode::kDensity) {
    std::vector<double> all;
    for (const InspectReport* r : reports)
      for (double d : r->islandDensity)
        if (!std::isnan(d)) all.push_back(d);
    const double median = Median(all);
    // The scale reaches the largest ratio to the median either way, and at least 1.5, so that a
    // spread of a few percent stays pale.
    double reach = std::log(1.5);
    for (double d : all) reach = std::max(reach, std::fabs(std::log(d / median)));
    const double ratio = std::exp(reach);
    for (size_t o = 0; o < reports.size(); ++o)
      for (size_t i = 0; i < h.fill[o].size(); ++i) {
        const Int32 k = reports[o]->island[i];
        if (k < 0) continue;
        const double d = reports[o]->islandDensity[static_cast<size_t>(k)];
        if (std::isnan(d)) continue;
        h.fill[o][i] = Diverging(std::log(d / median) / reach);
      }
    h.legend.title = "texel density per island, around the median";
    for (int s = 0; s <= 8; ++s) h.legend.stops.push_back({s / 8.0, Diverging(s / 4.0 - 1.0)});
    if (!all.empty())
      h.legend.labels = {{0.0, Num(median / ratio)}, {0.5, Num(median)}, {1.0, Num(median * ratio)}};
    return h;
  }
  if (mode == HeatMode::kStretch) {
    double worst = 1.0;
    for (const InspectReport* r : reports)
      if (!std::isnan(r->areaWorst.value)) worst = std::max(worst, r->areaWorst.value);
    // The top of the scale is the worst factor, at least 1.5, as with density.
    worst = std::max(worst, 1.5);
    const double reach = std::log(worst);
    for (size_t o = 0; o < reports.size(); ++o)
      for (size_t i = 0; i < h.fill[o].size(); ++i) {
        const double d = reports[o]->areaDistortion[i];
        if (std::isnan(d)) continue;
        h.fill[o][i] = Viridis(std::fabs(std::log(d)) / reach);
      }
    h.legend.title = "area stretch, either way";
    for (int s = 0; s <= 8; ++s) h.legend.stops.push_back({s / 8.0, Viridis(s / 8.0)});
    h.legend.labels = {{0.0, "1"}, {0.5, Num(std::sqrt(worst))}, {1.0, Num(worst)}};
    return h;
  }
  return h;
}

}  // namespace pelterra
