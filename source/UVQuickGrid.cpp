#include "UVQuickGrid.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <unordered_map>

#include "c4d_basedocument.h"
#include "c4d_general.h"
#include "c4d_gui.h"
#include "c4d_painter.h"
#include "c4d_symbols.h"

// --- the corner index ---

// Corners, as polygon * 4 + corner, by the (u, v) cell of their position. A query looks a hair
// beyond the tolerance in u and in v (a distance that rounds to just below it still has each
// component inside), and cells are as wide as that window, so a query reads at most 2 x 2
// cells. Each cell lists its corners in ascending order. A walk sheds the corners
// of polygons it is done with from a cell's live part, keeping the order; they stay behind the
// live part for the carry, which reads every corner.
class GridCornerIndex {
 public:
  // cornersOf(i): how many corners of polygon i to index (0: none); uvOf(i, k): where they lie.
  // Positions that are not finite lie near nothing and are left out.
  template <typename Count, typename At>
  void Build(Int32 polyCount, Count&& cornersOf, At&& uvOf);

  // The smallest polygon i with from <= i < below that has an indexed corner near p, is not
  // done and passes test; below when there is none. Corners of done polygons are shed.
  template <typename Done, typename Test>
  Int32 FirstFrom(const Vector& p, Int32 from, Int32 below, Done&& done, Test&& test);

  // Calls f(id) for every indexed corner in the cells near p.
  template <typename F>
  void ForEachNear(const Vector& p, F&& f) const;

 private:
  static constexpr Float kReach = 1.0001 * kUVPointTolerance;
  static constexpr Float kCell = 2.0 * kReach;
  static constexpr Int64 kLimit = Int64(1) << 30;  // far positions share the outermost cells

  static Int64 CellOf(Float x) {
    const Float c = std::floor(x * (1.0 / kCell));
    return c <= -Float(kLimit) ? -kLimit : c >= Float(kLimit) ? kLimit : static_cast<Int64>(c);
  }
  static UInt64 Key(Int64 u, Int64 v) {
    return (static_cast<UInt64>(u + kLimit) << 32) ^ static_cast<UInt64>(v + kLimit);
  }
  // The cell number of (u, v), or -1 for a cell without corners.
  Int64 CellNumber(Int64 u, Int64 v) const {
    if (dense_) {
      if (u < u0_ || u > u1_ || v < v0_ || v > v1_) return -1;
      return (u - u0_) * (v1_ - v0_ + 1) + (v - v0_);
    }
    const auto it = sparse_.find(Key(u, v));
    return it == sparse_.end() ? -1 : static_cast<Int64>(it->second);
  }
  template <typename F>
  void ForCellsNear(const Vector& p, F&& f) const {
    const Int64 ua = CellOf(p.x - kReach), ub = CellOf(p.x + kReach);
    const Int64 va = CellOf(p.y - kReach), vb = CellOf(p.y + kReach);
    for (Int64 u = ua; u <= ub; ++u)
      for (Int64 v = va; v <= vb; ++v) {
        const Int64 c = CellNumber(u, v);
        if (c >= 0) f(static_cast<size_t>(c));
      }
  }

  bool dense_ = true;
  Int64 u0_ = 0, u1_ = -1, v0_ = 0, v1_ = -1;
  std::unordered_map<UInt64, UInt32> sparse_;
  std::vector<UInt32> begin_;  // cell c holds ids_[begin_[c] .. begin_[c + 1])
  std::vector<UInt32> live_;   // ... of which ids_[begin_[c] .. live_[c]) are not shed
  std::vector<Int32> ids_;
};

template <typename Count, typename At>
void GridCornerIndex::Build(Int32 polyCount, Count&& cornersOf, At&& uvOf) {
  // The box of the cells in use, from the extremes of the positions (cells grow with them).
  size_t slots = 0, count = 0;
  Float lo[2] = {0, 0}, hi[2] = {0, 0};
  for (Int32 i = 0; i < polyCount; ++i) {
    const Int32 n = cornersOf(i);
    slots += static_cast<size_t>(n);
    for (Int32 k = 0; k < n; ++k) {
      const Vector& p = uvOf(i, k);
      if (!Finite(p)) continue;
      if (count++ == 0) {
        lo[0] = hi[0] = p.x;
        lo[1] = hi[1] = p.y;
        continue;
      }
      lo[0] = std::min(lo[0], p.x);
      hi[0] = std::max(hi[0], p.x);
      lo[1] = std::min(lo[1], p.y);
      hi[1] = std::max(hi[1], p.y);
    }
  }
  u0_ = CellOf(lo[0]);
  u1_ = count ? CellOf(hi[0]) : -1;
  v0_ = CellOf(lo[1]);
  v1_ = count ? CellOf(hi[1]) : -1;
  // A plain array of cells where the corners are about as many as the cells; hashed cells
  // otherwise.
  const Int64 cells = count == 0 ? 0 : (u1_ - u0_ + 1) * (v1_ - v0_ + 1);
  const Int64 limit = std::min<Int64>(2 * static_cast<Int64>(count) + 4096, Int64(1) << 25);
  dense_ = cells <= limit && (u1_ - u0_) < limit && (v1_ - v0_) < limit;
  sparse_.clear();
  if (!dense_) sparse_.reserve(count);
  // Each corner's cell (none for a position that is not finite), in id order.
  constexpr UInt32 kNoCell = ~UInt32(0);
  std::vector<UInt32> cellOf(slots);
  size_t cellCount = dense_ ? static_cast<size_t>(cells) : 0, slot = 0;
  for (Int32 i = 0; i < polyCount; ++i) {
    const Int32 n = cornersOf(i);
    for (Int32 k = 0; k < n; ++k, ++slot) {
      const Vector& p = uvOf(i, k);
      if (!Finite(p)) {
        cellOf[slot] = kNoCell;
        continue;
      }
      const Int64 u = CellOf(p.x), v = CellOf(p.y);
      if (dense_) {
        cellOf[slot] = static_cast<UInt32>(CellNumber(u, v));
      } else {
        const auto [it, added] = sparse_.try_emplace(Key(u, v), static_cast<UInt32>(cellCount));
        if (added) ++cellCount;
        cellOf[slot] = it->second;
      }
    }
  }
  // Counting sort, stable: the corners come in ascending id order, and so each cell lists them.
  begin_.assign(cellCount + 1, 0);
  for (UInt32 c : cellOf)
    if (c != kNoCell) ++begin_[c + 1];
  for (size_t c = 0; c < cellCount; ++c) begin_[c + 1] += begin_[c];
  live_.assign(begin_.begin(), begin_.end() - 1);
  ids_.resize(count);
  slot = 0;
  for (Int32 i = 0; i < polyCount; ++i) {
    const Int32 n = cornersOf(i);
    for (Int32 k = 0; k < n; ++k, ++slot)
      if (cellOf[slot] != kNoCell) ids_[live_[cellOf[slot]]++] = i * 4 + k;
  }
}

template <typename Done, typename Test>
Int32 GridCornerIndex::FirstFrom(const Vector& p, Int32 from, Int32 below, Done&& done,
                                 Test&& test) {
  if (!Finite(p)) return below;
  ForCellsNear(p, [&](size_t c) {
    Int32* const b = ids_.data() + begin_[c];
    Int32* const e = ids_.data() + live_[c];
    Int32* at = std::lower_bound(b, e, from * 4);
    Int32 shed = 0, tested = -1;
    for (; at != e; ++at) {
      const Int32 i = *at >> 2;
      if (i >= below) break;
      if (done(i)) {
        ++shed;
        continue;
      }
      if (i == tested) continue;
      tested = i;
      if (test(i)) {
        below = i;
        break;
      }
    }
    // Corners of done polygons in the way: move them behind the live part, in order. A cell is
    // tidied only when at least an eighth of it goes, so that tidying costs a few steps per
    // corner shed, whatever the cell's size.
    if (shed > 0 && (shed >= 8 || 8 * shed >= e - b)) {
      std::stable_partition(b, e, [&](Int32 id) { return !done(id >> 2); });
      Int32* live = b;
      while (live != e && !done(*live >> 2)) ++live;
      live_[c] = static_cast<UInt32>(live - ids_.data());
    }
  });
  return below;
}

template <typename F>
void GridCornerIndex::ForEachNear(const Vector& p, F&& f) const {
  if (!Finite(p)) return;
  ForCellsNear(p, [&](size_t c) {
    for (UInt32 n = begin_[c]; n < begin_[c + 1]; ++n) f(ids_[n]);
  });
}

namespace {

constexpr Int32 kNone = std::numeric_limits<Int32>::max();

// The messages of the cases in which the picked edge or the region gives the grid no size.
constexpr const char* kNo3DLength =
    "The edge has no length on the object: its two points lie on one point. Please select "
    "another edge.";
constexpr const char* kNoUVLength =
    "The edge has no length in UV: its two points lie on one UV point. Please select another "
    "edge.";
constexpr const char* kNo3DFinite =
    "The edge's length on the object is no finite number: its points lie too far apart or are "
    "not numbers. Please select another edge.";
constexpr const char* kNoUVFinite =
    "The edge's length in UV is no finite number: its UV points lie too far apart or are not "
    "numbers. Please select another edge.";
constexpr const char* kNoExtent = "Size Fit: the grid has no size to fit. Nothing was changed.";

Bool IsTriangle(const CPolygon& p) {
  return p.c == p.d;
}

// The corner next to k1 in the polygon's cyclic order that is not k2.
Int32 Side(Int32 k1, Int32 k2, Int32 cc) {
  return (k1 + 1) % cc == k2 ? (k1 + cc - 1) % cc : (k1 + 1) % cc;
}

// An edge that a walk has reached, as the next polygon's corners lie there.
struct Front {
  Vector first, second;
};
// How a polygon lies on a front: its corner k on first, k2 (k + 1 forward, k - 1 backward) on
// second.
struct Match {
  Int32 k = -1, k2 = -1;
  Bool forward = false;
};

// UVCoincident, answered at once for positions apart by the tolerance in u or in v.
inline Bool Near(const Vector& a, const Vector& b) {
  if (!(std::fabs(a.x - b.x) < kUVPointTolerance) || !(std::fabs(a.y - b.y) < kUVPointTolerance))
    return false;
  return (a - b).GetLength() < kUVPointTolerance;
}

// The adjacency test of the walks: the first corner k (from 0 up) on front.first whose next
// corner lies on front.second (forward), or else whose previous one does (backward).
Bool Adjacent(const UVWStruct& q, Int32 cc, const Front& f, Match& m) {
  for (Int32 k = 0; k < cc; ++k) {
    if (!Near(q[k], f.first)) continue;
    const Int32 next = (k + 1) % cc, prev = (k + cc - 1) % cc;
    if (Near(q[next], f.second)) {
      m = {k, next, true};
      return true;
    }
    if (Near(q[prev], f.second)) {
      m = {k, prev, false};
      return true;
    }
  }
  return false;
}

// (d.v - b.v)(c.u - a.u) - (d.u - b.u)(c.v - a.v): negative when a, b, c, d turn clockwise in
// (u, v) with v up.
Float Orientation(const UVWStruct& q) {
  return (q.d.y - q.b.y) * (q.c.x - q.a.x) - (q.d.x - q.b.x) * (q.c.y - q.a.y);
}

// The u (axis 0) or v (axis 1) coordinate.
Float& Axis(Vector& v, Int32 axis) {
  return axis == 0 ? v.x : v.y;
}
Float AxisOf(const Vector& v, Int32 axis) {
  return axis == 0 ? v.x : v.y;
}

// One run of the tool on the UV set's working copy of the UVs.
class GridLayout {
 public:
  enum class Start { kWalked, kNo3DLength, kNo3DFinite, kNoUVLength, kNoUVFinite };

  GridLayout(const CPolygon* polys, Int32 polyCount, const Vector* points, Int32 pointCount,
             UVWStruct* uvs)
      : polys_(polys), n_(polyCount), points_(points), pointCount_(pointCount), cur_(uvs) {
    records_.reserve(static_cast<size_t>(n_));
    for (Int32 i = 0; i < n_; ++i) {
      PolyUvRecord& r = records_.emplace_back();
      r.polygon = i;
      r.cornerCount = CornerCount(i);
      r.a = uvs[i].a;
      r.b = uvs[i].b;
      r.c = uvs[i].c;
      r.d = r.cornerCount == 4 ? uvs[i].d : Vector();
    }
    flags_.assign(static_cast<size_t>(n_), 0);
    index_.Build(
        n_, [&](Int32 i) { return CornerCount(i); },
        [&](Int32 i, Int32 k) -> const Vector& { return records_[static_cast<size_t>(i)][k]; });
  }

  Int32 CornerCount(Int32 i) const { return IsTriangle(polys_[i]) ? 3 : 4; }
  std::vector<PolyUvRecord>& Records() { return records_; }
  std::vector<std::uint8_t>& Flags() { return flags_; }
  const GridCornerIndex& Index() const { return index_; }

  Start Walk(const SelectedCorners& sel);
  void Square();
  // False when the laid-out region has no size to fit.
  Bool SizeFit();
  // A corner that came out not finite goes back to where it was.
  void KeepFinite();

 private:
  // One side of a column: where the next polygon's corners lie, and where they go.
  struct ColumnFront {
    Front at;
    Vector g1, g2;
  };

  Float PointDistance(Int32 i, Int32 k, Int32 m) const {
    const Int32 a = polys_[i][k], b = polys_[i][m];
    if (a < 0 || a >= pointCount_ || b < 0 || b >= pointCount_) return 0.0;
    return (points_[a] - points_[b]).GetLength();
  }
  // The 3D length of corners k, m of polygon i, scaled so that the picked edge keeps its UV
  // length.
  Float Scaled(Int32 i, Int32 k, Int32 m) const { return PointDistance(i, k, m) / ref3D_ * refUV_; }
  const PolyUvRecord& Pre(Int32 i) const { return records_[static_cast<size_t>(i)]; }

  // The next polygon from `from` on that is not done and lies on one of the fronts; -1 for none.
  Int32 NextAdjacent(Int32 from, std::span<const Front* const> fronts, GridCornerIndex& index,
                     const std::vector<std::uint8_t>& done, Int32 cornersWanted) {
    Int32 best = kNone;
    for (const Front* f : fronts) {
      best = index.FirstFrom(
          f->first, from, best, [&](Int32 i) { return done[static_cast<size_t>(i)] != 0; },
          [&](Int32 i) {
            Match m;
            const Int32 cc = CornerCount(i);
            return (cornersWanted == 0 || cc == cornersWanted) && Adjacent(cur_[i], cc, *f, m);
          });
    }
    return best == kNone ? -1 : best;
  }

  void PlaceOnRail(Int32 i, const Match& mt, Front& f, Vector& rail, Float sign,
                   std::vector<StripEntry>& strip);
  // Places polygon i with corners k1, k2 on g1, g2; false when it ends its column (a triangle).
  Bool PlaceAcross(Int32 i, Int32 k1, Int32 k2, const Vector& g1, const Vector& g2,
                   Bool stripPolygon, ColumnFront& next);
  void GrowColumn(const StripEntry& e, Bool firstColumn, Bool placedBefore);

  const CPolygon* polys_;
  Int32 n_;
  const Vector* points_;
  Int32 pointCount_;
  UVWStruct* cur_;
  std::vector<PolyUvRecord> records_;
  std::vector<std::uint8_t> flags_;
  GridCornerIndex index_;
  std::vector<StripEntry> firstColumn_;
  Float ref3D_ = 1.0, refUV_ = 1.0;
  Int32 railAxis_ = 0;
};

GridLayout::Start GridLayout::Walk(const SelectedCorners& sel) {
  const Int32 s = sel.polygon;
  // A start polygon that an earlier walk placed stays where that walk put it; the walk still
  // sets the grid's lengths and rail axis from it and grows from it.
  const Bool placedBefore = flags_[static_cast<size_t>(s)] != 0;
  const Int32 c1 = sel.first, c2 = sel.second, cc = CornerCount(s);
  const UVWStruct p = cur_[s];
  const Float length3D = PointDistance(s, c1, c2);
  const Float lengthUV = (p[c1] - p[c2]).GetLength();
  if (!std::isfinite(length3D)) return Start::kNo3DFinite;
  if (!(length3D > 0.0)) return Start::kNo3DLength;
  if (!std::isfinite(lengthUV)) return Start::kNoUVFinite;
  if (!(lengthUV > 0.0)) return Start::kNoUVLength;
  ref3D_ = length3D;
  refUV_ = lengthUV;
  flags_[static_cast<size_t>(s)] = 1;

  Front fronts[2] = {{p[c1], p[Side(c1, c2, cc)]}, {p[c2], p[Side(c2, c1, cc)]}};

  // Straighten the edge: turn it about its midpoint onto the nearer axis. The angle's band is
  // told from the squared components, so that an edge at exactly 45 or 135 degrees goes upright
  // whatever the rounding of the arccosine.
  const Vector d = p[c1].y <= p[c2].y ? p[c1] - p[c2] : p[c2] - p[c1];
  const Float a = VectorAngle(d, Vector(1, 0, 0)) * 180.0 / PI;
  const Bool flat = d.x * d.x > d.y * d.y + d.z * d.z;
  Float r;
  if (flat && d.x > 0) {
    r = -a;
    railAxis_ = 0;
  } else if (flat) {
    r = 180.0 - a;
    railAxis_ = 0;
  } else {
    r = 90.0 - a;
    railAxis_ = 1;
  }
  const Float rad = r * PI / 180.0, cs = std::cos(rad), sn = std::sin(rad);
  const Vector mid = (p[c1] + p[c2]) * 0.5;
  auto turn = [&](const Vector& v) {
    const Vector q = v - mid;
    return Vector(q.x * cs + q.y * sn, -q.x * sn + q.y * cs, q.z) + mid;
  };
  Vector rails[2] = {turn(p[c1]), turn(p[c2])};
  if (!placedBefore) {
    cur_[s][c1] = rails[0];
    cur_[s][c2] = rails[1];
  }
  const Vector picked = sel.firstUV - sel.secondUV;
  const Float sign = (railAxis_ == 0 ? picked.x : picked.y) > 0 ? 1.0 : -1.0;

  std::vector<StripEntry> strip{{s, c1, c2}};
  // Strip growth: passes in index order until one adds nothing; a polygon on a front is tried
  // against both fronts in its visit.
  const Front* both[2] = {&fronts[0], &fronts[1]};
  for (;;) {
    Int32 added = 0;
    for (Int32 cursor = 0;;) {
      const Int32 i = NextAdjacent(cursor, both, index_, flags_, 0);
      if (i < 0) break;
      for (Int32 t = 0; t < 2; ++t) {
        Match mt;
        if (!Adjacent(cur_[i], CornerCount(i), fronts[t], mt)) continue;
        PlaceOnRail(i, mt, fronts[t], rails[t], t == 0 ? sign : -sign, strip);
        ++added;
      }
      cursor = i + 1;
    }
    if (added == 0) break;
  }
  for (size_t e = 0; e < strip.size(); ++e) GrowColumn(strip[e], e == 0, e == 0 && placedBefore);
  return Start::kWalked;
}

void GridLayout::PlaceOnRail(Int32 i, const Match& mt, Front& f, Vector& rail, Float sign,
                             std::vector<StripEntry>& strip) {
  const Int32 cc = CornerCount(i), k = mt.k;
  UVWStruct q = cur_[i];
  Int32 m;
  if (mt.forward) {
    m = (k + cc - 1) % cc;
    f = {q[m], q[(k + 2) % cc]};
  } else {
    m = (k + 1) % cc;
    f = {q[m], q[(k + cc - 2) % cc]};
  }
  q[k] = rail;
  q[m] = rail;
  Axis(q[m], railAxis_) += sign * Scaled(i, k, m);
  rail = q[m];
  // A triangle keeps its UVs; it only moves the rail point on.
  if (cc == 4) cur_[i] = q;
  flags_[static_cast<size_t>(i)] = 1;
  strip.push_back({i, k, m});
}

Bool GridLayout::PlaceAcross(Int32 i, Int32 k1, Int32 k2, const Vector& g1, const Vector& g2,
                             Bool stripPolygon, ColumnFront& next) {
  const Int32 cc = CornerCount(i);
  const Int32 j1 = Side(k1, k2, cc), j2 = Side(k2, k1, cc);
  UVWStruct q = cur_[i];
  // The next polygon lies on i's far side as it was before the walk: a polygon not placed yet
  // is as it was; a strip polygon's corners are taken from the record.
  next.at = stripPolygon ? Front{Pre(i)[j1], Pre(i)[j2]} : Front{q[j1], q[j2]};
  q[k1] = g1;
  q[k2] = g2;
  flags_[static_cast<size_t>(i)] = 1;
  if (cc == 3) {
    cur_[i] = q;
    return false;
  }
  const Int32 across = 1 - railAxis_;
  const Float l1 = Scaled(i, k1, j1), l2 = Scaled(i, k2, j2);
  q[j1] = g1;
  q[j2] = g2;
  Axis(q[j1], across) -= l1;
  Axis(q[j2], across) -= l2;
  if (Orientation(q) < 0) {
    q[j1] = g1;
    q[j2] = g2;
    Axis(q[j1], across) += l1;
    Axis(q[j2], across) += l2;
  }
  cur_[i] = q;
  next.g1 = q[j1];
  next.g2 = q[j2];
  return true;
}

void GridLayout::GrowColumn(const StripEntry& e, Bool firstColumn, Bool placedBefore) {
  const Int32 p = e.polygon;
  const Int32 cc = CornerCount(p);
  const Int32 j1 = Side(e.k, e.m, cc), j2 = Side(e.m, e.k, cc);
  if (firstColumn) firstColumn_.push_back({p, e.k, j1});
  ColumnFront front;
  if (placedBefore) {
    // Not placed again: the column goes on from its far side where it is.
    if (cc == 3) return;
    front = {{cur_[p][j1], cur_[p][j2]}, cur_[p][j1], cur_[p][j2]};
  } else if (!PlaceAcross(p, e.k, e.m, cur_[p][e.k], cur_[p][e.m], true, front)) {
    return;
  }
  const Front* one[1] = {&front.at};
  for (;;) {
    Int32 added = 0;
    for (Int32 cursor = 0;;) {
      const Int32 i = NextAdjacent(cursor, one, index_, flags_, 0);
      if (i < 0) break;
      Match mt;
      Adjacent(cur_[i], CornerCount(i), front.at, mt);
      if (firstColumn) firstColumn_.push_back({i, mt.k, Side(mt.k, mt.k2, CornerCount(i))});
      ColumnFront next;
      ++added;
      if (!PlaceAcross(i, mt.k, mt.k2, front.g1, front.g2, false, next)) return;
      front = next;
      cursor = i + 1;
    }
    if (added == 0) break;
  }
}

void GridLayout::Square() {
  const Int32 across = 1 - railAxis_, along = railAxis_;
  const std::vector<UVWStruct> snapshot(cur_, cur_ + n_);
  auto quadsOf = [&](const UVWStruct* uv) {
    auto index = std::make_unique<GridCornerIndex>();
    index->Build(
        n_, [&](Int32 i) { return CornerCount(i) == 4 ? 4 : 0; },
        [&](Int32 i, Int32 k) -> const Vector& { return uv[i][k]; });
    return index;
  };

  // A walk over the quads from two fronts of an entry polygon, pass after pass, until neither
  // front finds a polygon; a front that found none in a pass is not tried again. meet(i, d,
  // match) changes polygon i and answers where front d goes next.
  auto sweep = [&](Front fronts[2], GridCornerIndex& index, std::vector<std::uint8_t>& met,
                   auto&& meet) {
    Bool alive[2] = {true, true};
    while (alive[0] || alive[1]) {
      Int32 added[2] = {0, 0};
      const Front* live[2];
      size_t count = 0;
      for (Int32 d = 0; d < 2; ++d)
        if (alive[d]) live[count++] = &fronts[d];
      for (Int32 cursor = 0;;) {
        const Int32 i =
            NextAdjacent(cursor, std::span<const Front* const>(live, count), index, met, 4);
        if (i < 0) break;
        for (Int32 d = 0; d < 2; ++d) {
          Match mt;
          if (!alive[d] || met[static_cast<size_t>(i)] || !Adjacent(cur_[i], 4, fronts[d], mt))
            continue;
          met[static_cast<size_t>(i)] = 1;
          fronts[d] = meet(i, d, mt);
          ++added[d];
        }
        cursor = i + 1;
      }
      for (Int32 d = 0; d < 2; ++d) alive[d] = alive[d] && added[d] > 0;
    }
  };

  // Sweep one: every row along the rail takes the across-rail coordinates of its polygon in the
  // first column.
  std::vector<std::uint8_t> met(static_cast<size_t>(n_), 0);
  std::vector<StripEntry> rowOfFirst;  // the first entry's row: (polygon, near corner, other)
  {
    std::unique_ptr<GridCornerIndex> index = quadsOf(cur_);
    for (size_t e = 0; e < firstColumn_.size(); ++e) {
      const auto [p, k1, j1] = firstColumn_[e];
      if (met[static_cast<size_t>(p)]) continue;
      met[static_cast<size_t>(p)] = 1;
      const Int32 cc = CornerCount(p);
      const Int32 k2 = Side(k1, j1, cc), j2 = Side(k2, k1, cc);
      const UVWStruct before = cur_[p];
      Axis(cur_[p][k2], across) = AxisOf(cur_[p][k1], across);
      Axis(cur_[p][j2], across) = AxisOf(cur_[p][j1], across);
      const Float a1 = Axis(cur_[p][k1], across), a2 = Axis(cur_[p][j1], across);
      if (e == 0) rowOfFirst.push_back({p, k1, j1});
      Front fronts[2] = {{cur_[p][k1], cur_[p][j1]}, {before[k2], before[j2]}};
      sweep(fronts, *index, met, [&](Int32 i, Int32, const Match& mt) {
        const Int32 nk = Side(mt.k, mt.k2, 4), nk2 = Side(mt.k2, mt.k, 4);
        const UVWStruct old = cur_[i];
        Axis(cur_[i][mt.k], across) = a1;
        Axis(cur_[i][nk], across) = a1;
        Axis(cur_[i][mt.k2], across) = a2;
        Axis(cur_[i][nk2], across) = a2;
        if (e == 0) rowOfFirst.push_back({i, mt.k, mt.k2});
        return Front{old[nk], old[nk2]};
      });
    }
  }

  // What sweep one did not meet follows the corners of what it met that it lay on.
  {
    GridCornerIndex index;
    index.Build(
        n_, [&](Int32 i) { return met[static_cast<size_t>(i)] ? CornerCount(i) : 0; },
        [&](Int32 i, Int32 k) -> const Vector& { return snapshot[static_cast<size_t>(i)][k]; });
    for (Int32 i = 0; i < n_; ++i) {
      if (met[static_cast<size_t>(i)]) continue;
      const Int32 cc = CornerCount(i);
      for (Int32 k = 0; k < cc; ++k) {
        const Vector& at = snapshot[static_cast<size_t>(i)][k];
        Int32 best = -1;
        index.ForEachNear(at, [&](Int32 id) {
          if (id > best && Near(at, snapshot[static_cast<size_t>(id >> 2)][id & 3])) best = id;
        });
        if (best >= 0) cur_[i][k] = cur_[best >> 2][best & 3];
      }
    }
  }

  // Sweep two: from each polygon of the first entry's row, the column across the rail in both
  // directions, cells as long as the longer of their two sides.
  std::fill(met.begin(), met.end(), 0);
  std::unique_ptr<GridCornerIndex> index = quadsOf(cur_);
  for (const StripEntry& e : rowOfFirst) {
    const Int32 p = e.polygon;
    if (met[static_cast<size_t>(p)]) continue;
    met[static_cast<size_t>(p)] = 1;
    const Int32 cc = CornerCount(p);
    const Int32 a = e.k, b = e.m, na = Side(a, b, cc), nb = Side(b, a, cc);
    Front fronts[2] = {{cur_[p][a], cur_[p][na]}, {cur_[p][b], cur_[p][nb]}};
    Front placed[2] = {fronts[0], fronts[1]};
    const Float alongOf[2][2] = {{AxisOf(fronts[0].first, along), AxisOf(fronts[0].second, along)},
                                 {AxisOf(fronts[1].first, along), AxisOf(fronts[1].second, along)}};
    sweep(fronts, *index, met, [&](Int32 i, Int32 d, const Match& mt) {
      const Int32 nk = Side(mt.k, mt.k2, 4), nk2 = Side(mt.k2, mt.k, 4);
      const UVWStruct old = cur_[i];
      UVWStruct q = old;
      q[mt.k] = placed[d].first;
      q[mt.k2] = placed[d].second;
      Axis(q[mt.k], along) = alongOf[d][0];
      Axis(q[mt.k2], along) = alongOf[d][1];
      const Float l = std::max(Scaled(i, mt.k, nk), Scaled(i, mt.k2, nk2));
      q[nk] = q[mt.k];
      q[nk2] = q[mt.k2];
      Axis(q[nk], across) += l;
      Axis(q[nk2], across) += l;
      if (Orientation(q) < 0) {
        Axis(q[nk], across) = Axis(q[mt.k], across) - l;
        Axis(q[nk2], across) = Axis(q[mt.k2], across) - l;
      }
      cur_[i] = q;
      placed[d] = {q[nk], q[nk2]};
      return Front{old[nk], old[nk2]};
    });
  }
}

Bool GridLayout::SizeFit() {
  Float lo[2] = {0, 0}, hi[2] = {0, 0};
  Bool any = false;
  for (Int32 i = 0; i < n_; ++i) {
    if (!flags_[static_cast<size_t>(i)]) continue;
    const Int32 cc = CornerCount(i);
    for (Int32 k = 0; k < cc; ++k) {
      const Vector& v = cur_[i][k];
      if (!Finite(v)) continue;
      if (!any) {
        lo[0] = hi[0] = v.x;
        lo[1] = hi[1] = v.y;
        any = true;
        continue;
      }
      lo[0] = std::min(lo[0], v.x);
      hi[0] = std::max(hi[0], v.x);
      lo[1] = std::min(lo[1], v.y);
      hi[1] = std::max(hi[1], v.y);
    }
  }
  const Float w = hi[0] - lo[0], h = hi[1] - lo[1];
  // Only the longer extent is normalised; a square region normalises v.
  const Int32 axis = w > h ? 0 : 1;
  const Float extent = axis == 0 ? w : h;
  if (!any || !(extent > 0.0) || !std::isfinite(extent)) return false;
  const Float centre = (lo[axis] + hi[axis]) / 2.0, scale = 1.0 / extent;
  for (Int32 i = 0; i < n_; ++i) {
    if (!flags_[static_cast<size_t>(i)]) continue;
    const Int32 cc = CornerCount(i);
    for (Int32 k = 0; k < cc; ++k) {
      Float& x = Axis(cur_[i][k], axis);
      x = (x - centre) * scale + 0.5;
    }
  }
  return true;
}

void GridLayout::KeepFinite() {
  for (Int32 i = 0; i < n_; ++i) {
    const Int32 cc = CornerCount(i);
    for (Int32 k = 0; k < cc; ++k)
      if (!Finite(cur_[i][k])) cur_[i][k] = Pre(i)[k];
  }
}

// The selected UV corners grouped by polygon, in the order of the selection. The d corner of a
// triangle is no corner of it and is passed over.
std::vector<SelectedCorners> GroupSelection(UVToolScope& scope, const UVWStruct* pre) {
  std::vector<SelectedCorners> list;
  const CPolygon* polys = scope.Polygons();
  for (const UVPointRef& r : scope.SelectedUVPoints()) {
    const Bool triangle = IsTriangle(polys[r.polygon]);
    if (triangle && r.corner == 3) continue;
    if (list.empty() || list.back().polygon != r.polygon) {
      SelectedCorners s;
      s.polygon = r.polygon;
      s.triangle = triangle ? 1 : 0;
      list.push_back(s);
    }
    SelectedCorners& s = list.back();
    ++s.count;
    if (s.first < 0) {
      s.first = r.corner;
      s.firstUV = pre[r.polygon][r.corner];
    } else {
      s.second = r.corner;
      s.secondUV = pre[r.polygon][r.corner];
    }
  }
  return list;
}

// Runs the carry in one mode; answers whether its workers ran.
Bool Carry(UVToolScope& scope, GridLayout& layout, Int32 mode) {
  ControlThread control;
  control.doc = scope.Document();
  control.op = scope.Object();
  control.uvSet = scope.UVSet();
  control.records = layout.Records().data();
  control.recordCount = static_cast<Int32>(layout.Records().size());
  control.flags = layout.Flags().data();
  control.uvs = scope.UVs();
  control.mode = mode;
  control.index = &layout.Index();
  control.Start(THREADMODE_SYNCHRONOUS, THREADPRIORITY_NORMAL);
  control.Wait(true);
  control.End(true);
  return control.Carried();
}

}  // namespace

// --- the carry ---

ControlThread::ControlThread() = default;

ControlThread::~ControlThread() {
  End(true);
}

void ControlThread::Main() {
  carried_ = false;
  workerCount_ = 0;
  GeShowMouse(MOUSE_BUSY);
  const Int32 n = uvSet ? std::min(uvSet->GetPolyCount(), recordCount) : 0;
  if (n > 0 && records && flags && uvs) {
    // Every worker reads the flags as they stood when the run began, so that no worker sees
    // another's writes and the result does not depend on timing or on the number of threads.
    const std::vector<std::uint8_t> atStart(flags, flags + n);
    const GridCornerIndex* corners = index;
    if (!corners) {
      ownIndex_ = std::make_unique<GridCornerIndex>();
      ownIndex_->Build(
          n, [&](Int32 i) { return records[i].cornerCount; },
          [&](Int32 i, Int32 k) -> const Vector& { return records[i][k]; });
      corners = ownIndex_.get();
    }
    // One worker per host thread; each takes floor(n / W) polygons, the first n mod W one more.
    const Int32 w = std::max(1, std::min(n, GeGetCurrentThreadCount()));
    std::vector<std::unique_ptr<MPTest>> workers(static_cast<size_t>(w));
    std::vector<C4DThread*> list(static_cast<size_t>(w));
    Bool made = true;
    const Int32 base = n / w, extra = n - w * base;
    for (Int32 k = 0, at = 0; k < w && made; ++k) {
      workers[static_cast<size_t>(k)].reset(new (std::nothrow) MPTest());
      MPTest* t = workers[static_cast<size_t>(k)].get();
      if (!t) {
        made = false;
        break;
      }
      t->doc = doc;
      t->op = op;
      t->first = at;
      t->end = at + base + (k < extra ? 1 : 0);
      at = t->end;
      t->mode = mode;
      t->polys = uvSet->GetPoly();
      t->records = records;
      t->recordCount = n;
      t->flags = flags;
      t->flagsAtStart = atStart.data();
      t->uvs = uvs;
      t->index = corners;
      list[static_cast<size_t>(k)] = t;
    }
    std::atomic<Int32> done{0}, finished{0};
    for (Int32 k = 0; k < w && made; ++k) {
      workers[static_cast<size_t>(k)]->done = &done;
      workers[static_cast<size_t>(k)]->finished = &finished;
    }
    MPThreadPool* pool = made ? MPThreadPool::Alloc() : nullptr;
    if (pool && pool->Init(this, w, list.data()) && pool->Start(THREADPRIORITY_BELOW)) {
      // The status bar follows the workers; the host shows it only for a carry that takes a
      // while. What the workers write does not depend on this.
      StatusSetText("Quick Grid");
      StatusSetBar(0);
      Int32 shown = 0;
      // Short naps first, so that a small carry is not held up by the polling.
      for (Int32 nap = 1; finished.load() < w; nap = std::min(nap * 2, 50)) {
        GeSleep(nap);
        const Int32 percent = static_cast<Int32>(100LL * done.load() / n);
        if (percent != shown) StatusSetBar(shown = percent);
      }
      pool->Wait();
      StatusSetBar(100);
      StatusClear();
      carried_ = true;
      workerCount_ = w;
    }
    MPThreadPool::Free(pool);
  }
  GeShowMouse(MOUSE_NORMAL);
}

void MPTest::Main() {
  struct Finish {
    std::atomic<Int32>* finished;
    ~Finish() {
      if (finished) finished->fetch_add(1);
    }
  } finish{finished};
  if (!polys || !records || !flags || !flagsAtStart || !uvs || !index) return;
  for (Int32 i = std::max(first, 0); i < end && i < recordCount; ++i) {
    if (done && (i & 1023) == 1023) done->fetch_add(1024, std::memory_order_relaxed);
    const Bool triangle = IsTriangle(polys[i]);
    if (mode == 0 ? flagsAtStart[i] != 0 : !triangle) continue;
    const Int32 cc = triangle ? 3 : 4;
    UVWStruct buffer = uvs[i];
    Bool matched = false;
    for (Int32 k = 0; k < cc; ++k) {
      const Vector& at = records[i][k];
      // The last laid-out quad corner in (polygon, corner) order that it lay on.
      Int32 best = -1;
      index->ForEachNear(at, [&](Int32 id) {
        const Int32 j = id >> 2;
        if (id > best && j < recordCount && flagsAtStart[j] && !IsTriangle(polys[j]) &&
            Near(at, records[j][id & 3]))
          best = id;
      });
      if (best < 0) continue;
      buffer[k] = uvs[best >> 2][best & 3];
      matched = true;
    }
    if (matched) flags[i] = 1;
    uvs[i] = buffer;
  }
}

// --- the tool ---

Bool QuickGrid(Bool square, Bool sizeFit) {
  BaseDocument* doc = GetActiveDocument();
  if (!doc) return false;
  if (doc->GetMode() != Muvpoints) {
    MessageDialog("Please change the UV point mode.");
    return false;
  }
  BaseObject* op = doc->GetActiveObject();
  if (!op) return false;
  if (op->GetType() != Opolygon) {
    MessageDialog("Please select one of the objects.");
    return false;
  }
  // The host hands out no UV set for an object without a UVW tag.
  UVToolScope scope({.mode = Muvpoints, .uvParts = GETACTIVEUVSET_ALL});
  if (!scope.Ok()) {
    if (!GetEditedUVWTag(op)) MessageDialog("Please create a UVWtag.");
    return false;
  }
  PolygonObject* poly = scope.Object();
  const Int32 n = scope.PolygonCount();
  UVWStruct* uvs = scope.UVs();
  if (!uvs && n > 0) return false;

  const std::vector<SelectedCorners> picks = GroupSelection(scope, uvs);
  GridLayout layout(scope.Polygons(), n, poly->GetPointR(), poly->GetPointCount(), uvs);

  // One walk per picked edge: two corners of a triangle, or two neighbouring corners of a quad.
  Bool walked = false;
  for (const SelectedCorners& s : picks) {
    if (s.count < 2) continue;
    if (!s.triangle && std::abs(s.second - s.first) == 2) continue;
    switch (layout.Walk(s)) {
      case GridLayout::Start::kWalked:
        break;
      case GridLayout::Start::kNo3DLength:
        MessageDialog(kNo3DLength);
        return false;
      case GridLayout::Start::kNo3DFinite:
        MessageDialog(kNo3DFinite);
        return false;
      case GridLayout::Start::kNoUVLength:
        MessageDialog(kNoUVLength);
        return false;
      case GridLayout::Start::kNoUVFinite:
        MessageDialog(kNoUVFinite);
        return false;
    }
    walked = true;
  }
  if (!walked) {
    MessageDialog("Please select the two points that make up the edge.");
    return false;
  }

  Carry(scope, layout, 0);
  if (square) {
    layout.Square();
    Carry(scope, layout, 1);
  }
  if (sizeFit && !layout.SizeFit()) {
    MessageDialog(kNoExtent);
    return false;
  }
  layout.KeepFinite();
  scope.BeginUndo();
  scope.Commit();
  return true;
}

Bool QuickGrid(ToolDialog& dlg) {
  return QuickGrid(dlg.GetBool(IDC_GRID_SQUARE), dlg.GetBool(IDC_GRID_SIZE_FIT));
}

namespace {

void GridCommand(ToolDialog& dlg, Int32) {
  QuickGrid(dlg);
}

const bool registered = RegisterToolGroup(ToolGroup<>{
    .name = "quick grid",
    .controls = {IDC_QUICK_GRID},
    .command = GridCommand,
});

}  // namespace
