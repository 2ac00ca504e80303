#include "UVpA.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "c4d_basecontainer.h"
#include "c4d_basedocument.h"
#include "c4d_general.h"
#include "c4d_symbols.h"

namespace {

// Positions by exact u, v and w.
template <typename T>
using ExactMap = std::unordered_map<Vector, T, ExactUVHash, ExactUVEqual>;

// Ids by the (u, v) cell of their position. Cells are a little wider than the tolerance, so two
// positions within it lie in the same or neighbouring cells; a visit walks the nine cells around
// a position. Only finite positions go in: the others are near nothing.
class NearGrid {
 public:
  void Insert(const Vector& p, Int32 id) { cells_[Key(Cell(p.x), Cell(p.y))].push_back(id); }
  template <typename F>
  void ForNear(const Vector& p, F&& f) const {
    const Int64 cu = Cell(p.x), cv = Cell(p.y);
    for (Int64 du = -1; du <= 1; ++du)
      for (Int64 dv = -1; dv <= 1; ++dv) {
        const auto it = cells_.find(Key(cu + du, cv + dv));
        if (it != cells_.end())
          for (Int32 id : it->second) f(id);
      }
  }

 private:
  static constexpr Float kCell = 1.1 * kUVPointTolerance;
  static constexpr Float kLimit = 1e15;  // far positions share the outermost cells
  static Int64 Cell(Float x) {
    const Float c = std::floor(x / kCell);
    return static_cast<Int64>(std::clamp(c, -kLimit, kLimit));
  }
  static UInt64 Key(Int64 u, Int64 v) {
    return MixBits(static_cast<UInt64>(u)) ^ (static_cast<UInt64>(v) * 0x9e3779b97f4a7c15ull);
  }
  std::unordered_map<UInt64, std::vector<Int32>> cells_;  // a shared key only merges cells
};

// Quicksort with the middle element as pivot, ascending by key. Elements with equal keys end in
// the order this sort leaves them, which decides how runs of equal positions form.
template <typename T, typename Key>
void MiddlePivotSort(std::vector<T>& a, Key key) {
  if (a.size() < 2) return;
  std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>> todo{
      {0, static_cast<std::ptrdiff_t>(a.size()) - 1}};
  while (!todo.empty()) {
    const auto [lo, hi] = todo.back();
    todo.pop_back();
    std::ptrdiff_t i = lo, j = hi;
    const Float pivot = key(a[static_cast<size_t>(lo + (hi - lo) / 2)]);
    while (i <= j) {
      while (i < hi && key(a[static_cast<size_t>(i)]) < pivot) ++i;
      while (j > lo && key(a[static_cast<size_t>(j)]) > pivot) --j;
      if (i <= j) {
        std::swap(a[static_cast<size_t>(i)], a[static_cast<size_t>(j)]);
        ++i;
        --j;
      }
    }
    if (lo < j) todo.emplace_back(lo, j);
    if (i < hi) todo.emplace_back(i, hi);
  }
}

// The coordinate a mode sorts by or moves along: u (x) or v (y).
Float& Coord(Vector& v, Bool alongU) {
  return alongU ? v.x : v.y;
}
Float CoordOf(const Vector& v, Bool alongU) {
  return alongU ? v.x : v.y;
}

}  // namespace

std::vector<size_t> DistinctUVPoints(std::span<const Vector> positions, Bool dropOrigin,
                                     size_t limit) {
  std::vector<size_t> kept;
  NearGrid grid;
  for (size_t i = 0; i < positions.size() && kept.size() < limit; ++i) {
    const Vector& p = positions[i];
    if (dropOrigin && p == Vector()) continue;
    Bool near = false;
    if (Finite(p)) {
      grid.ForNear(p, [&](Int32 k) {
        near = near || UVCoincident(positions[kept[static_cast<size_t>(k)]], p);
      });
      if (near) continue;
      grid.Insert(p, static_cast<Int32>(kept.size()));
    }
    kept.push_back(i);
  }
  return kept;
}

// --- the align capture ---

Bool CapturePointCenter(AlignCapture& capture) {
  UVToolScope scope({.mode = Muvpoints,
                     .uvParts = GETACTIVEUVSET_UVWS,
                     .selection = ToolNeeds::Selection::kUVPoints});
  if (!scope.Ok()) return false;
  const std::vector<CapturedPointRecord> points = scope.SelectedPointPositions();
  std::vector<Vector> positions;
  Vector sum;
  for (const CapturedPointRecord& r : points) {
    positions.push_back(r.position);
    sum += r.position;
  }
  // Every selected corner counts, repeated positions too.
  const Vector centre = sum / static_cast<Float>(points.size());
  if (!Finite(centre)) return false;

  const std::vector<size_t> line = DistinctUVPoints(positions, false, 2);
  capture.centre = centre;
  capture.count = static_cast<UInt32>(points.size());
  // A slot without a distinct position is left unset, so no line of an older capture remains.
  capture.line[0] = line.size() > 0 ? positions[line[0]] : Vector();
  capture.line[1] = line.size() > 1 ? positions[line[1]] : Vector();
  capture.enabled = 1;
  return true;
}

// --- align ---

Vector UVpointAlign::AlignPoint(const Vector& p, Int32 mode, const Vector& c,
                                Bool distanceFixation) {
  Vector q = p;
  if (!distanceFixation) {
    if (mode == 2) q.y = c.y;
    if (mode == 3) q.x = c.x;
    if (mode == 4) q = c;
    return q;
  }
  const Float r = (p - c).GetLength();
  if (mode == 2) {
    q.y = c.y;
    q.x = p.x > c.x ? c.x + r : c.x - r;
  }
  if (mode == 3) {
    q.x = c.x;
    q.y = p.y > c.y ? c.y + r : c.y - r;
  }
  return q;
}

Bool UVpointAlign::AlignPoints(Vector& centre, Int32 mode, UInt32& captured, Bool grid,
                               Bool distanceFixation, Bool uvRate) {
  if (mode < 2 || mode > 4) return false;
  UVToolScope scope({.mode = Muvpoints,
                     .uvParts = GETACTIVEUVSET_UVWS,
                     .selection = ToolNeeds::Selection::kUVPoints});
  if (!scope.Ok()) return false;
  const std::vector<UVPointRef>& points = scope.SelectedUVPoints();
  // A centre at the origin is taken for no centre: the selection must give one.
  if (points.size() < (centre == Vector() ? 2u : 1u)) return false;
  UVWStruct* uv = scope.UVs();

  Vector c = centre;
  if (!captured) {
    Vector sum;
    for (const UVPointRef& r : points) sum += uv[r.polygon][r.corner];
    c = sum / static_cast<Float>(points.size());
    if (!Finite(c)) return false;
    centre = c;
  }

  scope.BeginUndo();
  for (const UVPointRef& r : points) {
    Vector& p = uv[r.polygon][r.corner];
    const Vector q = AlignPoint(p, mode, c, distanceFixation);
    if (Finite(q)) p = q;
  }
  // When the re-spacing cannot run, the alignment stays and the align answers false.
  if (uvRate && (mode == 2 || mode == 3) && !SpaceByEdgeLength(scope, mode)) {
    scope.Commit();
    return false;
  }
  if (grid) StraightenGrid(scope, mode);
  scope.Commit();
  captured = 0;
  return true;
}

// --- UV Rate ---

std::vector<EdgeRecord> EdgeRecords(const BaseSelect* edges, const CPolygon* polys,
                                    Int32 polyCount) {
  std::vector<EdgeRecord> out;
  if (!edges || !polys || polyCount <= 0) return out;
  const Int32 limit = static_cast<Int32>(
      std::min<Int64>(4 * static_cast<Int64>(polyCount), std::numeric_limits<Int32>::max()));
  std::unordered_set<UInt64> seen;
  Int32 a = 0, b = 0;
  for (Int32 seg = 0; edges->GetRange(seg, limit, &a, &b); ++seg) {
    for (Int64 e = std::max(a, 0); e <= b; ++e) {
      EdgeRecord r;
      r.polygon = static_cast<Int32>(e >> 2);
      r.side = static_cast<Int32>(e & 3);
      const CPolygon& p = polys[r.polygon];
      r.point[0] = p[r.side];
      r.point[1] = p[(r.side + 1) & 3];
      const UInt32 lo = static_cast<UInt32>(std::min(r.point[0], r.point[1]));
      const UInt32 hi = static_cast<UInt32>(std::max(r.point[0], r.point[1]));
      if (seen.insert((static_cast<UInt64>(lo) << 32) | hi).second) out.push_back(r);
    }
  }
  return out;
}

std::vector<Int32> ChainEdges(std::vector<EdgeRecord>& records) {
  std::vector<Int32> chain;
  const Int32 n = static_cast<Int32>(records.size());
  if (n == 0) return chain;

  // The records at each point, in record order: (point, record), sorted.
  std::vector<std::pair<Int32, Int32>> at;
  for (Int32 i = 0; i < n; ++i) {
    const EdgeRecord& r = records[static_cast<size_t>(i)];
    at.emplace_back(r.point[0], i);
    if (r.point[1] != r.point[0]) at.emplace_back(r.point[1], i);
  }
  std::sort(at.begin(), at.end());
  // An end is shared when another record has its point.
  for (size_t g = 0; g < at.size();) {
    size_t h = g;
    while (h < at.size() && at[h].first == at[g].first) ++h;
    if (h - g >= 2)
      for (size_t k = g; k < h; ++k) {
        EdgeRecord& r = records[static_cast<size_t>(at[k].second)];
        for (Int32 end = 0; end < 2; ++end)
          if (r.point[end] == at[g].first) r.shared[end] = true;
      }
    g = h;
  }
  auto turn = [](EdgeRecord& r) {
    std::swap(r.point[0], r.point[1]);
    std::swap(r.shared[0], r.shared[1]);
  };

  // The start: the first record with a free end, that end first.
  Int32 start = 0;
  for (Int32 i = 0; i < n; ++i) {
    EdgeRecord& r = records[static_cast<size_t>(i)];
    if (!r.shared[0] || !r.shared[1]) {
      if (r.shared[0]) turn(r);
      start = i;
      break;
    }
  }

  // The walk: the first unused record at the current end point. Each point's list is passed
  // once, so the walk costs a search per step.
  std::vector<std::uint8_t> used(static_cast<size_t>(n), 0);
  std::vector<size_t> cursor(at.size());
  for (size_t k = 0; k < at.size(); ++k) cursor[k] = k;
  Int32 current = start;
  used[static_cast<size_t>(current)] = 1;
  chain.push_back(current);
  for (;;) {
    const Int32 point = records[static_cast<size_t>(current)].point[1];
    const auto first = std::lower_bound(at.begin(), at.end(), std::make_pair(point, Int32(-1)));
    if (first == at.end() || first->first != point) break;
    const size_t g = static_cast<size_t>(first - at.begin());
    size_t& k = cursor[g];
    while (k < at.size() && at[k].first == point && used[static_cast<size_t>(at[k].second)]) ++k;
    if (k >= at.size() || at[k].first != point) break;
    const Int32 next = at[k].second;
    EdgeRecord& r = records[static_cast<size_t>(next)];
    if (r.point[0] != point) turn(r);
    records[static_cast<size_t>(current)].next = next;
    used[static_cast<size_t>(next)] = 1;
    chain.push_back(next);
    current = next;
  }
  return chain;
}

Bool UVpointAlign::SpaceByEdgeLength(UVToolScope& scope, Int32 mode) {
  PolygonObject* op = scope.Object();
  UVWStruct* uv = scope.UVs();
  if ((mode != 2 && mode != 3) || !op || !uv) return false;

  BaseContainer bc;
  bc.SetInt32(MDATA_CONVERTSELECTION_LEFT, 0);
  bc.SetInt32(MDATA_CONVERTSELECTION_RIGHT, 1);
  ModelingCommandData md;
  md.doc = scope.Document();
  md.op = op;
  md.bc = &bc;
  if (!SendModelingCommand(MCOMMAND_CONVERTSELECTION, md)) return false;
  // The edge selection only carries the converted points here; it is left empty.
  BaseSelect* edges = op->GetEdgeS();
  struct ClearOnExit {
    BaseSelect* sel;
    ~ClearOnExit() { sel->DeselectAll(); }
  } clear{edges};
  if (edges->GetCount() < 2) return false;

  const CPolygon* polys = op->GetPolygonR();
  std::vector<EdgeRecord> records = EdgeRecords(edges, polys, op->GetPolygonCount());
  const std::vector<Int32> chain = ChainEdges(records);
  if (chain.empty()) return false;

  // 3D lengths. A chain without length has no proportions to space by.
  const Vector* points = op->GetPointR();
  const Int32 pointCount = op->GetPointCount();
  std::vector<Float> lengths;
  Float total = 0.0;
  for (Int32 i : chain) {
    const EdgeRecord& e = records[static_cast<size_t>(i)];
    for (Int32 end = 0; end < 2; ++end)
      if (e.point[end] < 0 || e.point[end] >= pointCount) return false;
    lengths.push_back((points[e.point[1]] - points[e.point[0]]).GetLength());
    total += lengths.back();
  }
  if (!(total > 0.0) || !std::isfinite(total)) return false;

  // The UV of a point in the record's own polygon: its first corner on that point.
  auto uvAt = [&](const EdgeRecord& e, Int32 point) {
    const CPolygon& p = polys[e.polygon];
    for (Int32 k = 0; k < 4; ++k)
      if (p[k] == point) return uv[e.polygon][k];
    return Vector();
  };
  Float span = 0.0;
  for (Int32 i : chain) {
    const EdgeRecord& e = records[static_cast<size_t>(i)];
    span += (uvAt(e, e.point[1]) - uvAt(e, e.point[0])).GetLength();
  }
  const Bool alongU = mode == 2;
  const EdgeRecord& first = records[static_cast<size_t>(chain[0])];
  Vector q = uvAt(first, first.point[0]);
  const Float sign =
      CoordOf(uvAt(first, first.point[1]), alongU) >= CoordOf(q, alongU) ? 1.0 : -1.0;
  for (size_t i = 0; i < chain.size(); ++i) {
    EdgeRecord& e = records[static_cast<size_t>(chain[i])];
    e.uv[0] = q;
    Coord(q, alongU) += sign * (lengths[i] / total) * span;
    e.uv[1] = q;
    if (!Finite(q)) return false;
  }

  // Each selected corner takes the place of its point's first end along the chain; a place at
  // the origin is taken for none.
  std::unordered_map<Int32, Vector> place;
  for (Int32 i : chain) {
    const EdgeRecord& e = records[static_cast<size_t>(i)];
    place.try_emplace(e.point[0], e.uv[0]);
    place.try_emplace(e.point[1], e.uv[1]);
  }
  for (const UVPointRef& r : scope.SelectedUVPoints()) {
    const auto it = place.find(polys[r.polygon][r.corner]);
    if (it != place.end() && it->second != Vector()) uv[r.polygon][r.corner] = it->second;
  }
  return true;
}

// --- Grid ---

namespace {

// The corners of the mesh by their exact position, for the carry: corners (4 * polygon +
// corner) in buckets by the hash of the position they had when the index was made, and each
// move of a corner since as a node in a list per bucket of its new position. A lookup checks
// the present position, so entries left behind by later moves are passed over.
class CornerIndex {
 public:
  CornerIndex(const UVWStruct* uv, Int32 polyCount) {
    const size_t corners = 4 * static_cast<size_t>(polyCount);
    size_t buckets = 16;
    while (buckets < corners) buckets *= 2;
    mask_ = buckets - 1;
    first_.assign(buckets + 1, 0);
    for (size_t c = 0; c < corners; ++c) ++first_[Bucket(uv[c >> 2][c & 3]) + 1];
    for (size_t b = 0; b < buckets; ++b) first_[b + 1] += first_[b];
    ids_.resize(corners);
    std::vector<UInt32> fill(first_.begin(), first_.end() - 1);
    for (size_t c = 0; c < corners; ++c)
      ids_[fill[Bucket(uv[c >> 2][c & 3])]++] = static_cast<Int32>(c);
    movedHead_.assign(buckets, -1);
  }
  // f(corner) for each corner whose position is p now; a corner may come more than once.
  template <typename F>
  void ForAt(const UVWStruct* uv, const Vector& p, F&& f) const {
    const size_t b = Bucket(p);
    for (UInt32 k = first_[b]; k < first_[b + 1]; ++k)
      if (uv[ids_[k] >> 2][ids_[k] & 3] == p) f(ids_[k]);
    for (Int32 n = movedHead_[b]; n >= 0; n = moved_[static_cast<size_t>(n)].next) {
      const Int32 c = moved_[static_cast<size_t>(n)].corner;
      if (uv[c >> 2][c & 3] == p) f(c);
    }
  }
  void Moved(const UVWStruct* uv, Int32 corner) {
    const size_t b = Bucket(uv[corner >> 2][corner & 3]);
    moved_.push_back({corner, movedHead_[b]});
    movedHead_[b] = static_cast<Int32>(moved_.size() - 1);
  }

 private:
  struct Node {
    Int32 corner, next;
  };
  size_t Bucket(const Vector& p) const { return ExactUVHash()(p) & mask_; }
  size_t mask_ = 0;
  std::vector<UInt32> first_;
  std::vector<Int32> ids_;
  std::vector<Int32> movedHead_;
  std::vector<Node> moved_;
};

// One carried side: where a far corner was, and the cross coordinate it takes.
struct CarryEntry {
  Vector old = Vector(-1.0);
  Float cross = -1.0;
};

class GridSquaring {
 public:
  GridSquaring(UVWStruct* uv, const CPolygon* polys, Int32 polyCount, Bool crossIsU)
      : uv_(uv),
        polys_(polys),
        polyCount_(polyCount),
        crossIsU_(crossIsU),
        visited_(static_cast<size_t>(polyCount), 0) {}

  Bool Run(std::span<const UVPointRef> selected, Bool sortByU) {
    std::vector<Vector> collected;
    for (const UVPointRef& r : selected) collected.push_back(uv_[r.polygon][r.corner]);
    std::vector<Vector> kept;
    for (size_t k : DistinctUVPoints(collected, true)) kept.push_back(collected[k]);
    MiddlePivotSort(kept, [sortByU](const Vector& v) { return CoordOf(v, sortByU); });
    // Kept positions differ unless infinite; then the last place is the one a later row needs.
    for (size_t j = 0; j < kept.size(); ++j) keptAt_[kept[j]] = static_cast<Int32>(j);
    NearGrid near;
    for (size_t c = 0; c < collected.size(); ++c)
      if (Finite(collected[c])) near.Insert(collected[c], static_cast<Int32>(c));

    std::vector<Int32> rowPoints;
    for (size_t i = 0; i < kept.size(); ++i) {
      CarryEntry entries[4];
      Int32 successes = 0;
      rowPoints.clear();
      if (Finite(kept[i]))
        near.ForNear(kept[i], [&](Int32 c) {
          if (UVCoincident(collected[static_cast<size_t>(c)], kept[i])) rowPoints.push_back(c);
        });
      std::sort(rowPoints.begin(), rowPoints.end());
      for (Int32 c : rowPoints) {
        const UVPointRef& r = selected[static_cast<size_t>(c)];
        if (RowStep(r.polygon, r.corner, static_cast<Int32>(i), successes == 0 ? 0 : 2, entries))
          ++successes;
      }
      if (successes > 0) Carry(entries, std::min(2 * successes, 4));
    }
    return true;
  }

 private:
  Float Cross(Int32 p, Int32 k) const { return CoordOf(uv_[p][k], crossIsU_); }
  // A corner takes a cross coordinate; the corner index follows it when it moved.
  void SetCross(Int32 p, Int32 k, Float value) {
    Float& x = Coord(uv_[p][k], crossIsU_);
    const Bool moved = !(x == value);
    x = value;
    if (moved && corners_) corners_->Moved(uv_, 4 * p + k);
  }

  // The side k-n of polygon p lies on the row when n is at a later kept position: the far
  // corners take the cross coordinates of k and n, and the entries remember where they were.
  Bool RowStep(Int32 p, Int32 k, Int32 i, Int32 slot, CarryEntry* entries) {
    Bool done = false;
    for (Int32 n : {(k + 1) & 3, (k + 3) & 3}) {
      const auto it = keptAt_.find(uv_[p][n]);
      if (it == keptAt_.end() || it->second <= i) continue;
      const Int32 fk = n == ((k + 1) & 3) ? (k + 3) & 3 : (k + 1) & 3;
      const Int32 fn = (k + 2) & 3;
      entries[slot] = {uv_[p][fk], Cross(p, k)};
      entries[slot + 1] = {uv_[p][fn], Cross(p, n)};
      SetCross(p, fk, Cross(p, k));
      SetCross(p, fn, Cross(p, n));
      visited_[static_cast<size_t>(p)] = 1;
      done = true;
    }
    return done;
  }

  // Passes over the unvisited polygons in index order: corners on an entry's old position take
  // its cross coordinate, and a quad with two such adjacent corners is squared and passes the
  // entries on to its far corners. Only the polygons with a corner on an entry can change, so
  // a pass visits just those, found through the corner index, in the order a full pass would.
  void Carry(CarryEntry* entries, Int32 count) {
    if (!corners_) corners_ = std::make_unique<CornerIndex>(uv_, polyCount_);
    std::set<Int32> pending;
    auto collect = [&](const Vector& at, Int32 after) {
      corners_->ForAt(uv_, at, [&](Int32 c) {
        const Int32 q = c >> 2;
        if (q > after && !visited_[static_cast<size_t>(q)]) pending.insert(q);
      });
    };
    for (;;) {
      for (Int32 e = 0; e < count; ++e) collect(entries[e].old, -1);
      Bool advanced = false;
      while (!pending.empty()) {
        const Int32 q = *pending.begin();
        pending.erase(pending.begin());
        Int32 corner[4], entry[4], matched = 0;
        for (Int32 k = 0; k < 4; ++k) {
          for (Int32 e = 0; e < count; ++e) {
            if (uv_[q][k] != entries[e].old) continue;
            SetCross(q, k, entries[e].cross);
            corner[matched] = k;
            entry[matched++] = e;
            break;
          }
        }
        const Int32 gap = matched == 2 ? (corner[1] - corner[0]) & 3 : 0;
        if (matched != 2 || polys_[q].c == polys_[q].d || (gap != 1 && gap != 3)) continue;
        for (Int32 t = 0; t < 2; ++t) {
          const Int32 k = corner[t];
          const Int32 far = ((k + 1) & 3) == corner[1 - t] ? (k + 3) & 3 : (k + 1) & 3;
          const Vector before = uv_[q][far];
          SetCross(q, far, Cross(q, k));
          entries[entry[t]].old = before;
        }
        visited_[static_cast<size_t>(q)] = 1;
        advanced = true;
        for (Int32 t = 0; t < 2; ++t) collect(entries[entry[t]].old, q);
      }
      if (!advanced) break;
    }
  }

  UVWStruct* uv_;
  const CPolygon* polys_;
  Int32 polyCount_;
  Bool crossIsU_;
  std::vector<std::uint8_t> visited_;
  ExactMap<Int32> keptAt_;  // kept position -> its last place in the sorted order
  std::unique_ptr<CornerIndex> corners_;
};

}  // namespace

Bool StraightenGridUVs(UVWStruct* uv, const CPolygon* polys, Int32 polyCount,
                       std::span<const UVPointRef> selected, Int32 mode) {
  if ((mode != 2 && mode != 3) || !uv || !polys || polyCount <= 0 || selected.empty()) return false;
  // Mode 2 aligned a row of one v: it is sorted by u and the crossing sides run along v, so the
  // far corners take the u of the row's corners; mode 3 the other way round.
  const Bool alongU = mode == 2;
  return GridSquaring(uv, polys, polyCount, alongU).Run(selected, alongU);
}

Bool UVpointAlign::StraightenGrid(UVToolScope& scope, Int32 mode) {
  return StraightenGridUVs(scope.UVs(), scope.Polygons(), scope.PolygonCount(),
                           scope.SelectedUVPoints(), mode);
}

// --- stitch ---

namespace {

// Walks records in their order; each run of exactly equal positions takes the next target, and
// the runs beyond the targets keep theirs. Answers which records took a target.
std::vector<std::uint8_t> PlaceRuns(std::vector<CapturedPointRecord>& records,
                                    const std::vector<Vector>& targets) {
  std::vector<std::uint8_t> placed(records.size(), 0);
  Vector previous;
  size_t run = 0;
  for (size_t t = 0; t < records.size(); ++t) {
    const Vector here = records[t].position;
    if (t > 0 && here != previous) ++run;
    previous = here;
    if (run < targets.size()) {
      records[t].position = targets[run];
      placed[t] = 1;
    }
  }
  return placed;
}

void WriteRecords(UVWStruct* uv, Int32 polyCount, const std::vector<CapturedPointRecord>& records,
                  const std::vector<std::uint8_t>& placed) {
  for (size_t t = 0; t < records.size(); ++t) {
    UVPointRef r;
    if (!placed[t] || !Finite(records[t].position) ||
        !DecodeUVPointIndex(records[t].index, polyCount, r))
      continue;
    uv[r.polygon][r.corner] = records[t].position;
  }
}

std::vector<Vector> DistinctOf(const std::vector<CapturedPointRecord>& records) {
  std::vector<Vector> positions;
  for (const CapturedPointRecord& r : records) positions.push_back(r.position);
  std::vector<Vector> out;
  for (size_t k : DistinctUVPoints(positions, false)) out.push_back(positions[k]);
  return out;
}

}  // namespace

Bool UVpointAlign::StitchPoints(Int32 mode, UInt32 count, UInt32& captured,
                                const std::vector<CapturedPointRecord>& points) {
  (void)count;  // the list carries its own length
  if (points.empty() || mode < 2 || mode > 5) return false;
  UVToolScope scope({.mode = Muvpoints,
                     .wrongMode = "Select UVpoint Mode",
                     .uvParts = GETACTIVEUVSET_UVWS,
                     .selection = ToolNeeds::Selection::kUVPoints});
  if (!scope.Ok() || scope.SelectedUVPoints().size() < 2) return false;
  scope.BeginUndo();

  // Rows pair up by v for the U buttons (2, 4) and by u for the V buttons (3, 5).
  const Bool byU = mode == 3 || mode == 5;
  const auto key = [byU](const Vector& v) { return CoordOf(v, byU); };
  const auto recordKey = [byU](const CapturedPointRecord& r) { return CoordOf(r.position, byU); };
  UVWStruct* uv = scope.UVs();
  const Int32 polyCount = scope.PolygonCount();

  std::vector<Vector> captive = DistinctOf(points);
  MiddlePivotSort(captive, key);
  std::vector<CapturedPointRecord> current = scope.SelectedPointPositions();
  if (mode == 2 || mode == 3) {
    MiddlePivotSort(current, recordKey);
    const std::vector<std::uint8_t> placed = PlaceRuns(current, captive);
    WriteRecords(uv, polyCount, current, placed);
  } else {
    std::vector<Vector> distinct = DistinctOf(current);
    MiddlePivotSort(distinct, key);
    std::vector<Vector> middle;
    for (size_t r = 0; r < std::min(captive.size(), distinct.size()); ++r)
      middle.push_back((captive[r] + distinct[r]) * 0.5);
    std::vector<CapturedPointRecord> row = points;
    MiddlePivotSort(row, recordKey);
    MiddlePivotSort(current, recordKey);
    const std::vector<std::uint8_t> rowPlaced = PlaceRuns(row, middle);
    const std::vector<std::uint8_t> currentPlaced = PlaceRuns(current, middle);
    WriteRecords(uv, polyCount, row, rowPlaced);
    WriteRecords(uv, polyCount, current, currentPlaced);
  }
  scope.Commit();
  captured = 0;
  return true;
}

// --- the group in the dialog ---

namespace {

void AlignCommand(ToolDialog& dlg, Int32 id, AlignCapture& align, StitchCapture& stitch) {
  switch (id) {
    case IDC_ALIGN_CAPTURE: {
      const Bool ok = CapturePointCenter(align);
      dlg.SetString(IDC_ALIGN_CAPTURE, ok && align.enabled ? "Select:" + std::to_string(align.count)
                                                           : "Select UVpoints");
      dlg.Refresh();
      break;
    }
    case IDC_ALIGN_U:
    case IDC_ALIGN_V:
    case IDC_ALIGN_UV:
      // Modes 2, 3 and 4; the capture is used up whatever the result.
      UVpointAlign().AlignPoints(align.centre, id - IDC_ALIGN_U + 2, align.enabled,
                                 dlg.GetBool(IDC_ALIGN_GRID), dlg.GetBool(IDC_ALIGN_DISTANCE),
                                 dlg.GetBool(IDC_ALIGN_RATE));
      align.enabled = 0;
      align.centre = Vector();
      dlg.SetString(IDC_ALIGN_CAPTURE, "Select UVpoints");
      dlg.Refresh();
      break;
    case IDC_STITCH_U:
    case IDC_STITCH_V:
    case IDC_STITCH_CENTER_U:
    case IDC_STITCH_CENTER_V:
      // Modes 2 to 5; afterwards the dialog frees its stored picks, the stitch row among them,
      // and then refreshes, so that no button stays enabled for a freed pick.
      UVpointAlign().StitchPoints(id - IDC_STITCH_U + 2, stitch.count, stitch.enabled,
                                  stitch.points);
      dlg.ReleaseStoredPicks();
      dlg.Refresh();
      dlg.SetString(IDC_STITCH_CAPTURE, "Select UVpoints");
      break;
    default:
      break;
  }
}

// The captures enable the buttons that use them.
void AlignRefresh(ToolDialog& dlg, AlignCapture& align, StitchCapture& stitch) {
  for (Int32 id : {IDC_STITCH_U, IDC_STITCH_V, IDC_STITCH_CENTER_U, IDC_STITCH_CENTER_V})
    dlg.Enable(id, stitch.enabled != 0);
  dlg.Enable(IDC_PROJECT_U, align.enabled != 0);
  dlg.Enable(IDC_PROJECT_V, align.enabled != 0);
}

const bool registered = RegisterToolGroup(ToolGroup<AlignCapture, StitchCapture>{
    .name = "align and stitch",
    .controls = {IDC_ALIGN_CAPTURE, IDC_ALIGN_U, IDC_ALIGN_V, IDC_ALIGN_UV, IDC_STITCH_U,
                 IDC_STITCH_V, IDC_STITCH_CENTER_U, IDC_STITCH_CENTER_V},
    .command = AlignCommand,
    .refresh = AlignRefresh,
    .refreshOrder = 4,
});

}  // namespace
