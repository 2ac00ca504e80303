#include "UVCopyShape.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <unordered_map>

#include "UVpA.h"
#include "c4d_basecontainer.h"
#include "c4d_basedocument.h"
#include "c4d_general.h"
#include "c4d_symbols.h"

namespace {

const char* const kCopyShapeHints[4] = {"  Select UV Polygons ", "  Select UV Points   ",
                                        "  Select UV Polygons ", "  Select UV Points   "};

// --- indexes ---

struct KeyHash {
  size_t operator()(UInt64 k) const { return static_cast<size_t>(MixBits(k)); }
};

// Ids in ascending lists by the (u, v) cell of their positions. Cells are a little wider than
// the tolerance, so two positions within it lie in the same or neighbouring cells. Opened cells
// restrict what a scan of a whole mesh keeps to what queries at the opened positions can find.
class CellLists {
 public:
  // Opens the 3 x 3 cells around p.
  void Open(const Vector& p) {
    if (!Finite(p)) return;
    if (!any_) {
      minU_ = maxU_ = p.x;
      minV_ = maxV_ = p.y;
      any_ = true;
    }
    minU_ = std::min(minU_, p.x);
    maxU_ = std::max(maxU_, p.x);
    minV_ = std::min(minV_, p.y);
    maxV_ = std::max(maxV_, p.y);
    const Int64 cu = Cell(p.x), cv = Cell(p.y);
    for (Int64 du = -1; du <= 1; ++du)
      for (Int64 dv = -1; dv <= 1; ++dv) cells_.try_emplace(Key(cu + du, cv + dv));
  }
  // Adds id to the cell of p: only to an opened one when openOnly. Ids come in ascending order.
  void Add(const Vector& p, Int32 id, Bool openOnly) {
    if (!Finite(p)) return;
    std::vector<Int32>* list = nullptr;
    if (openOnly) {
      // Far from every opened position: within the tolerance of none of them.
      if (!any_ || p.x < minU_ - 2 * kCell || p.x > maxU_ + 2 * kCell || p.y < minV_ - 2 * kCell ||
          p.y > maxV_ + 2 * kCell)
        return;
      const auto it = cells_.find(Key(Cell(p.x), Cell(p.y)));
      if (it == cells_.end()) return;
      list = &it->second;
    } else {
      list = &cells_[Key(Cell(p.x), Cell(p.y))];
    }
    if (list->empty() || list->back() != id) list->push_back(id);
  }
  // The ids in the 3 x 3 cells around p, ascending, each once.
  void Near(const Vector& p, std::vector<Int32>& out) const {
    out.clear();
    if (!Finite(p)) return;
    const Int64 cu = Cell(p.x), cv = Cell(p.y);
    for (Int64 du = -1; du <= 1; ++du)
      for (Int64 dv = -1; dv <= 1; ++dv) {
        const auto it = cells_.find(Key(cu + du, cv + dv));
        if (it != cells_.end()) out.insert(out.end(), it->second.begin(), it->second.end());
      }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
  }

 private:
  static constexpr Float kCell = 1.1 * kUVPointTolerance;
  static constexpr Float kLimit = 1073741824.0;  // 2^30: far positions share the outer cells
  static Int64 Cell(Float x) {
    return static_cast<Int64>(std::clamp(std::floor(x / kCell), -kLimit, kLimit));
  }
  static UInt64 Key(Int64 u, Int64 v) {
    return (static_cast<UInt64>(static_cast<UInt32>(u)) << 32) | static_cast<UInt32>(v);
  }
  std::unordered_map<UInt64, std::vector<Int32>, KeyHash> cells_;
  Float minU_ = 0, maxU_ = 0, minV_ = 0, maxV_ = 0;
  Bool any_ = false;
};

// A stored or object polygon as the pairing tests it.
struct EdgeHit {
  Int32 id = 0;
  Int32 k0 = 0, k1 = 0;
};

// The polygons of ids (ascending) that have an edge on segment (e0, e1).
void EdgesOn(const std::vector<Int32>& ids, const Vector& e0, const Vector& e1,
             const std::function<const Vector*(Int32, Bool&)>& corners, std::vector<EdgeHit>& out) {
  out.clear();
  for (Int32 id : ids) {
    Bool triangle = false;
    const Vector* uv = corners(id, triangle);
    EdgeHit h{id};
    if (uv && EdgeOnSegment(uv, triangle, e0, e1, h.k0, h.k1)) out.push_back(h);
  }
}

// The corner next to k in a polygon of m corners that is not other.
Int32 FarCorner(Int32 k, Int32 other, Int32 m) {
  const Int32 next = (k + 1) % m;
  return next == other ? (k + m - 1) % m : next;
}

// Centre of the UV bounding box of the polygons' corners, u and v, w = 0. Corners that are not
// finite numbers have no place in a box and are left out.
Vector BoxCentre(const std::vector<CapturedPolygon>& polygons) {
  Float minU = 0, maxU = 0, minV = 0, maxV = 0;
  Bool any = false;
  for (const CapturedPolygon& p : polygons)
    for (const Vector& c : p.uv) {
      if (!Finite(c)) continue;
      if (!any) {
        minU = maxU = c.x;
        minV = maxV = c.y;
        any = true;
      }
      minU = std::min(minU, c.x);
      maxU = std::max(maxU, c.x);
      minV = std::min(minV, c.y);
      maxV = std::max(maxV, c.y);
    }
  return Vector((minU + maxU) / 2, (minV + maxV) / 2, 0);
}

// The positions of the selected UV points with repeats within the tolerance (and the origin)
// dropped; false when fewer than 2 remain.
Bool ReadChainPoints(UVToolScope& scope, std::vector<Vector>& out) {
  out.clear();
  const UVWStruct* uv = scope.UVs();
  if (!uv) return false;
  std::vector<Vector> positions;
  for (const UVPointRef& r : scope.SelectedUVPoints()) positions.push_back(uv[r.polygon][r.corner]);
  for (size_t i : DistinctUVPoints(positions, true)) out.push_back(positions[i]);
  return out.size() >= 2;
}

// The point capture is done: back to UV polygon mode, the object told, the views redrawn.
void FinishPointPick(UVToolScope& scope) {
  scope.Document()->SetMode(Muvpolygons);
  scope.Commit(false);
}

// Flags per object polygon: set for the stored polygons that exist in the object.
std::vector<std::uint8_t> StoredFlags(std::span<const CapturedPolygon> stored, Int32 polyCount) {
  std::vector<std::uint8_t> flags(static_cast<size_t>(std::max(polyCount, 0)), 0);
  for (const CapturedPolygon& s : stored)
    if (s.index >= 0 && s.index < polyCount) flags[static_cast<size_t>(s.index)] = 1;
  return flags;
}

// With Keep Face Neighbors: the corners of the unflagged polygons that lie exactly on a moved
// corner follow it, walking the list in order (a later entry may move a corner again).
void KeepNeighbours(UVWStruct* uv, Int32 polyCount, const std::vector<std::uint8_t>& flags,
                    const std::vector<Vector>& before, const std::vector<Vector>& after) {
  if (before.empty()) return;
  std::vector<std::uint8_t> carried(flags.size());
  for (size_t p = 0; p < flags.size(); ++p) carried[p] = !flags[p];
  NeighbourCarry carry(uv, polyCount, carried);
  carry.Apply(uv, before, after, UVMatch::kExact, true);
}

}  // namespace

// --- the pieces ---

Bool EdgeOnSegment(const Vector* uv, Bool triangle, const Vector& e0, const Vector& e1, Int32& k0,
                   Int32& k1) {
  const Int32 m = triangle ? 3 : 4;
  for (Int32 a = 0; a < m; ++a) {
    if (!UVCoincident(uv[a], e0)) continue;
    for (Int32 b : {(a + 1) % m, (a + m - 1) % m}) {
      if (UVCoincident(uv[b], e1)) {
        k0 = a;
        k1 = b;
        return true;
      }
    }
  }
  return false;
}

std::vector<Vector> OrderChain(std::span<const Vector> points,
                               std::span<const CapturedPolygon> polygons) {
  const size_t n = points.size();
  if (n == 0) return {};
  // Each exact position stands for the first point there.
  std::unordered_map<Vector, Int32, ExactUVHash, ExactUVEqual> at;
  std::vector<Int32> rep(n);
  for (size_t j = 0; j < n; ++j)
    rep[j] = at.try_emplace(points[j], static_cast<Int32>(j)).first->second;
  auto find = [&at](const Vector& v) {
    const auto it = at.find(v);
    return it == at.end() ? -1 : it->second;
  };

  // Corners exactly on each point, a triangle's c once.
  std::vector<Int32> count(n, 0);
  for (const CapturedPolygon& p : polygons)
    for (Int32 k = 0; k < (p.triangle ? 3 : 4); ++k)
      if (const Int32 r = find(p.uv[k]); r >= 0) ++count[static_cast<size_t>(r)];
  Int32 start = -1;
  for (size_t j = 0; j < n; ++j) {
    if (count[static_cast<size_t>(rep[j])] != 1) continue;
    if (start < 0 || points[j].GetLength() < points[static_cast<size_t>(start)].GetLength())
      start = static_cast<Int32>(j);
  }
  if (start < 0) start = 0;

  // The polygons with a corner exactly on each point, ascending.
  std::vector<std::pair<Int32, Int32>> hits;  // point, polygon
  for (size_t p = 0; p < polygons.size(); ++p)
    for (Int32 k = 0; k < 4; ++k)
      if (const Int32 r = find(polygons[p].uv[k]); r >= 0) {
        if (hits.empty() || hits.back() != std::pair(r, static_cast<Int32>(p)))
          hits.emplace_back(r, static_cast<Int32>(p));
      }
  std::stable_sort(hits.begin(), hits.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  hits.erase(std::unique(hits.begin(), hits.end()), hits.end());
  std::vector<size_t> first(n + 1, hits.size());
  for (size_t i = hits.size(); i-- > 0;) first[static_cast<size_t>(hits[i].first)] = i;
  for (size_t j = n; j-- > 0;) first[j] = std::min(first[j], first[j + 1]);

  CellLists grid;
  for (size_t j = 0; j < n; ++j) grid.Add(points[j], static_cast<Int32>(j), false);
  std::vector<std::uint8_t> inChain(n, 0), used(polygons.size(), 0);
  std::vector<Int32> near;

  // The point polygon p brings in from the last point: the last one, not yet in the chain, within
  // the tolerance of a corner next to a corner exactly on it; -1 for none.
  auto bringIn = [&](const CapturedPolygon& p, const Vector& last) {
    for (Int32 k = 0; k < 4; ++k) {
      if (!UVEqual(p.uv[k], last)) continue;
      Int32 best = -1;
      for (Int32 side : {(k + 1) & 3, (k + 3) & 3}) {
        const Vector& c = p.uv[side];
        grid.Near(c, near);
        for (Int32 j : near)
          if (!inChain[static_cast<size_t>(j)] && UVCoincident(points[static_cast<size_t>(j)], c))
            best = std::max(best, j);
      }
      if (best >= 0) return best;
    }
    return -1;
  };

  // Passes over the polygons from the first to the last, at most n of them; in a pass the chain
  // grows through the first unused polygon past the one it grew through last. The polygons at
  // the last point are all that can make it grow, so only they are tried.
  std::vector<Int32> chain{start};
  inChain[static_cast<size_t>(start)] = 1;
  size_t pass = 0;
  Int32 pos = 0;
  for (;;) {
    const Int32 lastPoint = chain.back();
    const Vector& last = points[static_cast<size_t>(lastPoint)];
    const size_t r = static_cast<size_t>(rep[static_cast<size_t>(lastPoint)]);
    auto tryRange = [&](Int32 lo, Int32 hi, Int32& poly) {
      auto b = hits.begin() + static_cast<std::ptrdiff_t>(first[r]);
      const auto e = hits.begin() + static_cast<std::ptrdiff_t>(first[r + 1]);
      b = std::lower_bound(b, e, lo, [](const auto& h, Int32 v) { return h.second < v; });
      for (; b != e && b->second < hi; ++b) {
        if (used[static_cast<size_t>(b->second)]) continue;
        const Int32 j = bringIn(polygons[static_cast<size_t>(b->second)], last);
        if (j >= 0) {
          poly = b->second;
          return j;
        }
      }
      return -1;
    };
    Int32 poly = -1;
    Int32 j = tryRange(pos, std::numeric_limits<Int32>::max(), poly);
    if (j < 0) {
      // The pass ends; the next starts from the first polygon. Those past pos were just tried
      // with this same chain.
      if (++pass >= n) break;
      j = tryRange(0, pos, poly);
      if (j < 0) break;
    }
    used[static_cast<size_t>(poly)] = 1;
    inChain[static_cast<size_t>(j)] = 1;
    chain.push_back(j);
    pos = poly + 1;
  }

  std::vector<Vector> out;
  out.reserve(chain.size());
  for (Int32 j : chain) out.push_back(points[static_cast<size_t>(j)]);
  return out;
}

std::vector<ShapePair> PairAcrossChain(std::span<const Vector> chain,
                                       std::span<const CapturedPolygon> stored, const UVWStruct* uv,
                                       const CPolygon* polys, Int32 polyCount) {
  std::vector<ShapePair> pairs;
  if (chain.size() < 2 || !uv || polyCount <= 0) return pairs;
  std::vector<std::uint8_t> flags = StoredFlags(stored, polyCount);
  std::vector<std::uint8_t> used(stored.size(), 0);

  CellLists storedCells, objectCells;
  for (size_t i = 0; i + 1 < chain.size(); ++i) {
    storedCells.Open(chain[i]);
    objectCells.Open(chain[i]);
  }
  for (size_t s = 0; s < stored.size(); ++s)
    for (Int32 k = 0; k < (stored[s].triangle ? 3 : 4); ++k)
      storedCells.Add(stored[s].uv[k], static_cast<Int32>(s), true);
  auto triangle = [polys](Int32 p) { return polys && polys[p].IsTriangle(); };
  for (Int32 p = 0; p < polyCount; ++p) {
    if (flags[static_cast<size_t>(p)]) continue;
    for (Int32 k = 0; k < (triangle(p) ? 3 : 4); ++k) objectCells.Add(uv[p][k], p, true);
  }

  auto storedCorners = [&](Int32 s, Bool& tri) -> const Vector* {
    const CapturedPolygon& c = stored[static_cast<size_t>(s)];
    tri = c.triangle;
    return used[static_cast<size_t>(s)] ? nullptr : c.uv;
  };
  auto objectCorners = [&](Int32 p, Bool& tri) -> const Vector* {
    tri = triangle(p);
    return flags[static_cast<size_t>(p)] ? nullptr : &uv[p].a;
  };
  std::vector<Int32> ids;
  std::vector<EdgeHit> sources, targets;
  for (size_t i = 0; i + 1 < chain.size(); ++i) {
    const Vector& e0 = chain[i];
    const Vector& e1 = chain[i + 1];
    storedCells.Near(e0, ids);
    EdgesOn(ids, e0, e1, storedCorners, sources);
    if (sources.empty()) continue;
    objectCells.Near(e0, ids);
    EdgesOn(ids, e0, e1, objectCorners, targets);
    // The partners come in index order; each one taken is flagged, so the next source takes the
    // next one.
    size_t next = 0;
    for (const EdgeHit& s : sources) {
      used[static_cast<size_t>(s.id)] = 1;
      if (next == targets.size()) continue;
      const EdgeHit& t = targets[next++];
      flags[static_cast<size_t>(t.id)] = 1;
      pairs.push_back({static_cast<Int32>(i), s.id, t.id, {s.k0, s.k1}, {t.k0, t.k1}});
    }
  }
  return pairs;
}

std::vector<ShapePair> PairAlongChains(std::span<const Vector> sourceChain,
                                       std::span<const CapturedPolygon> sources,
                                       std::span<const Vector> targetChain,
                                       std::span<const CapturedPolygon> targets) {
  std::vector<ShapePair> pairs;
  const size_t segments = std::min(sourceChain.size(), targetChain.size());
  if (segments < 2) return pairs;
  std::vector<std::uint8_t> sourceUsed(sources.size(), 0), targetUsed(targets.size(), 0);
  CellLists sourceCells, targetCells;
  for (size_t i = 0; i + 1 < segments; ++i) {
    sourceCells.Open(sourceChain[i]);
    targetCells.Open(targetChain[i]);
  }
  auto fill = [](CellLists& cells, std::span<const CapturedPolygon> list) {
    for (size_t s = 0; s < list.size(); ++s)
      for (Int32 k = 0; k < (list[s].triangle ? 3 : 4); ++k)
        cells.Add(list[s].uv[k], static_cast<Int32>(s), true);
  };
  fill(sourceCells, sources);
  fill(targetCells, targets);
  auto cornersOf = [](std::span<const CapturedPolygon> list,
                      const std::vector<std::uint8_t>& used) {
    return [list, &used](Int32 s, Bool& tri) -> const Vector* {
      tri = list[static_cast<size_t>(s)].triangle;
      return used[static_cast<size_t>(s)] ? nullptr : list[static_cast<size_t>(s)].uv;
    };
  };
  const auto sourceCorners = cornersOf(sources, sourceUsed);
  const auto targetCorners = cornersOf(targets, targetUsed);

  std::vector<Int32> ids;
  std::vector<EdgeHit> from, to;
  for (size_t i = 0; i + 1 < segments; ++i) {
    sourceCells.Near(sourceChain[i], ids);
    EdgesOn(ids, sourceChain[i], sourceChain[i + 1], sourceCorners, from);
    if (from.empty()) continue;
    targetCells.Near(targetChain[i], ids);
    EdgesOn(ids, targetChain[i], targetChain[i + 1], targetCorners, to);
    size_t next = 0;
    for (const EdgeHit& s : from) {
      sourceUsed[static_cast<size_t>(s.id)] = 1;
      if (next == to.size()) continue;
      const EdgeHit& t = to[next++];
      targetUsed[static_cast<size_t>(t.id)] = 1;
      pairs.push_back({static_cast<Int32>(i), s.id, t.id, {s.k0, s.k1}, {t.k0, t.k1}});
    }
  }
  return pairs;
}

Vector MirrorUV(const Vector& p, const Vector& c, const Vector& d) {
  const Float t = ((p.x - c.x) * d.x + (p.y - c.y) * d.y) / (d.x * d.x + d.y * d.y);
  return Vector(2 * (c.x + t * d.x) - p.x, 2 * (c.y + t * d.y) - p.y, p.z);
}

// --- the tool steps ---

PickResult CapturePolygons(std::vector<CapturedPolygon>& slot, Vector& centre) {
  UVToolScope scope({.mode = Muvpolygons});
  if (!scope.Ok()) return PickResult::kRefused;
  const std::vector<Int32>& list = scope.SelectedPolygons();
  if (list.empty()) return PickResult::kTooLittle;
  const UVWStruct* uv = scope.UVs();
  const CPolygon* polys = scope.Polygons();
  slot.clear();
  slot.reserve(list.size());
  for (Int32 p : list) {
    CapturedPolygon r;
    r.index = p;
    r.triangle = polys[p].IsTriangle();
    for (Int32 k = 0; k < 4; ++k) r.uv[k] = uv[p][k];
    if (r.triangle) r.uv[3] = r.uv[2];
    slot.push_back(r);
  }
  centre = BoxCentre(slot);

  // The points of the picked polygons become the point selection for the next pick.
  BaseContainer bc;
  bc.SetInt32(MDATA_CONVERTSELECTION_LEFT, 2);
  bc.SetInt32(MDATA_CONVERTSELECTION_RIGHT, 0);
  ModelingCommandData md;
  md.doc = scope.Document();
  md.op = scope.Object();
  md.bc = &bc;
  if (!SendModelingCommand(MCOMMAND_CONVERTSELECTION, md)) return PickResult::kRefused;
  scope.Document()->SetMode(Muvpoints);
  scope.Commit(false);
  return PickResult::kDone;
}

PickResult CapturePoints(std::vector<Vector>& slot) {
  UVToolScope scope({.mode = Muvpoints});
  if (!scope.Ok()) return PickResult::kRefused;
  std::vector<Vector> points;
  if (!ReadChainPoints(scope, points)) return PickResult::kTooLittle;
  slot = std::move(points);
  FinishPointPick(scope);
  return PickResult::kDone;
}

Bool CopyPickedShape(CopyShapeState& copy, Bool keep) {
  UVToolScope scope({.mode = Muvpolygons});
  if (!scope.Ok()) return false;
  std::vector<Vector> sourceChain = OrderChain(copy.sourcePoints, copy.sourcePolygons);
  std::vector<Vector> targetChain = OrderChain(copy.targetPoints, copy.targetPolygons);
  if (sourceChain.size() < 2 || targetChain.size() < 2) return false;
  copy.sourcePoints = std::move(sourceChain);
  copy.targetPoints = std::move(targetChain);

  UVWStruct* uv = scope.UVs();
  const Int32 polyCount = scope.PolygonCount();
  const std::vector<std::uint8_t> flags = StoredFlags(copy.targetPolygons, polyCount);
  scope.BeginUndo();
  const Vector& sc = copy.sourceCentre;
  const Vector& tc = copy.targetCentre;
  std::vector<Vector> before, after;
  for (const ShapePair& pair : PairAlongChains(copy.sourcePoints, copy.sourcePolygons,
                                               copy.targetPoints, copy.targetPolygons)) {
    const CapturedPolygon& p = copy.sourcePolygons[static_cast<size_t>(pair.source)];
    const Int32 q = copy.targetPolygons[static_cast<size_t>(pair.target)].index;
    if (q < 0 || q >= polyCount) continue;  // the object has changed since the pick
    UVWStruct moved;
    Bool finite = true;
    for (Int32 k = 0; k < 4; ++k) {
      moved[k] = Vector(p.uv[k].x - sc.x + tc.x, p.uv[k].y - sc.y + tc.y, p.uv[k].z - sc.z + tc.z);
      finite = finite && Finite(moved[k]);
    }
    if (!finite) continue;
    for (Int32 k = 0; k < 4; ++k) {
      before.push_back(uv[q][k]);
      after.push_back(moved[k]);
    }
    uv[q] = moved;
  }
  if (keep) KeepNeighbours(uv, polyCount, flags, before, after);
  scope.Commit();
  return true;
}

PickResult MirrorPicked(SymmetryState& symmetry, Bool keep) {
  UVToolScope scope({.mode = Muvpoints});
  if (!scope.Ok()) return PickResult::kRefused;
  std::vector<Vector> points;
  if (!ReadChainPoints(scope, points)) return PickResult::kTooLittle;
  symmetry.points = std::move(points);
  // A chain that does not join or runs along w alone gives no line: nothing changes, and a
  // corrected point selection can be tried again in the same mode.
  std::vector<Vector> chain = OrderChain(symmetry.points, symmetry.polygons);
  if (chain.size() < 2) return PickResult::kRefused;
  const Vector d = chain[1] - chain[0];
  const Float length2 = d.x * d.x + d.y * d.y;
  if (!(length2 > 0) || !std::isfinite(length2)) return PickResult::kRefused;
  symmetry.points = chain;
  FinishPointPick(scope);

  UVWStruct* uv = scope.UVs();
  const CPolygon* polys = scope.Polygons();
  const Int32 polyCount = scope.PolygonCount();
  scope.BeginUndo();
  std::vector<std::uint8_t> flags = StoredFlags(symmetry.polygons, polyCount);
  std::vector<Vector> before, after;
  for (const ShapePair& pair : PairAcrossChain(chain, symmetry.polygons, uv, polys, polyCount)) {
    const CapturedPolygon& p = symmetry.polygons[static_cast<size_t>(pair.source)];
    const Int32 q = pair.target;
    const Vector& c = chain[static_cast<size_t>(pair.segment)];
    const Int32 pm = p.triangle ? 3 : 4;
    const Bool qTriangle = polys[q].IsTriangle();
    const Int32 qm = qTriangle ? 3 : 4;
    const Int32 p0 = pair.sourceEnd[0], p1 = pair.sourceEnd[1];
    const Int32 q0 = pair.targetEnd[0], q1 = pair.targetEnd[1];
    UVWStruct moved = uv[q];
    moved[q0] = MirrorUV(p.uv[p0], c, d);
    moved[q1] = MirrorUV(p.uv[p1], c, d);
    // The far corners: for a triangle target the one next to both ends takes the image of the
    // source's corner next to the first end.
    moved[FarCorner(q1, q0, qm)] = MirrorUV(p.uv[FarCorner(p1, p0, pm)], c, d);
    moved[FarCorner(q0, q1, qm)] = MirrorUV(p.uv[FarCorner(p0, p1, pm)], c, d);
    // A triangle's d slot is no corner: it keeps what it held.
    Bool finite = true;
    for (Int32 k = 0; k < qm; ++k) finite = finite && Finite(moved[k]);
    if (!finite) continue;  // not written, so not flagged: Keep treats it as any neighbour
    flags[static_cast<size_t>(q)] = 1;
    for (Int32 k = 0; k < qm; ++k) {
      before.push_back(uv[q][k]);
      after.push_back(moved[k]);
    }
    uv[q] = moved;
  }
  if (keep) KeepNeighbours(uv, polyCount, flags, before, after);
  scope.Commit();
  symmetry.armed = 0;
  return PickResult::kDone;
}

// --- the dialog's operations ---

void CopyShapeClear(ToolDialog& dlg, CopyShapeState& copy) {
  copy.Release();
  copy.step = 0;
  copy.sourceCentre = copy.targetCentre = Vector();
  dlg.Refresh();
}

Bool CopyShapePickPolygons(ToolDialog& dlg, CopyShapeState& copy, SymmetryState& symmetry) {
  PickResult r = PickResult::kRefused;
  switch (copy.step) {
    case 0:
      r = CapturePolygons(copy.sourcePolygons, copy.sourceCentre);
      break;
    case 2:
      r = CapturePolygons(copy.targetPolygons, copy.targetCentre);
      break;
    case 4:
      r = CapturePolygons(symmetry.polygons, symmetry.centre);
      break;
    default:
      break;
  }
  if (r == PickResult::kTooLittle) CopyShapeClear(dlg, copy);
  if (r != PickResult::kDone) copy.step = 0;
  return r == PickResult::kDone;
}

Bool CopyShapePickPoints(ToolDialog& dlg, CopyShapeState& copy, SymmetryState& symmetry) {
  std::vector<Vector>* slot = copy.step == 1   ? &copy.sourcePoints
                              : copy.step == 3 ? &copy.targetPoints
                              : copy.step == 4 ? &symmetry.points
                                               : nullptr;
  if (!slot) return false;
  const PickResult r = CapturePoints(*slot);
  if (r == PickResult::kTooLittle) CopyShapeClear(dlg, copy);
  return r == PickResult::kDone;
}

Bool CopyShapeApply(ToolDialog& dlg, CopyShapeState& copy) {
  return copy.step == 3 && CopyPickedShape(copy, dlg.GetBool(IDC_CS_NEIGHBORS));
}

Bool SymmetryMirror(ToolDialog& dlg, CopyShapeState& copy, SymmetryState& symmetry) {
  // Without a polygon object and its UVW tag the click ends before the point pick, the
  // copy-shape step untouched.
  if (!UVToolScope({.uvParts = 0}).Ok()) return false;
  // The chain is read as the point pick at step 4 stores it; the step is 0 again afterwards.
  copy.step = 4;
  const PickResult r = MirrorPicked(symmetry, dlg.GetBool(IDC_SYMMETRY_KEEP));
  copy.step = 0;
  if (r == PickResult::kTooLittle) CopyShapeClear(dlg, copy);
  return r == PickResult::kDone;
}

namespace {

// One press of the step button: pick, pick, pick, pick and apply. A failed step starts over.
void CopyShapeStep(ToolDialog& dlg, CopyShapeState& copy, SymmetryState& symmetry) {
  Bool ok = false;
  switch (copy.step) {
    case 0:
    case 2:
      ok = CopyShapePickPolygons(dlg, copy, symmetry);
      break;
    case 1:
      ok = CopyShapePickPoints(dlg, copy, symmetry);
      break;
    case 3:
      if (CopyShapePickPoints(dlg, copy, symmetry)) CopyShapeApply(dlg, copy);
      copy.step = 0;
      dlg.Refresh();
      return;
    default:
      return;  // the symmetry pick is running
  }
  copy.step = ok ? copy.step + 1 : 0;
  dlg.Refresh();
}

// The first click picks the symmetry source (the copy-shape pick at step 4), the second
// mirrors it. Either click leaves the copy-shape step at 0, so the dialog always refreshes.
void SymmetryPick(ToolDialog& dlg, CopyShapeState& copy, SymmetryState& symmetry) {
  if (symmetry.armed) {
    SymmetryMirror(dlg, copy, symmetry);
  } else {
    copy.step = 4;
    const Bool ok = CopyShapePickPolygons(dlg, copy, symmetry);
    copy.step = 0;
    if (ok) symmetry.armed = 1;
  }
  dlg.Refresh();
}

void CopyShapeCommand(ToolDialog& dlg, Int32 id, CopyShapeState& copy, SymmetryState& symmetry) {
  switch (id) {
    case IDC_CS_STEP:
      CopyShapeStep(dlg, copy, symmetry);
      break;
    case IDC_CS_CLEAR:
      CopyShapeClear(dlg, copy);
      break;
    case IDC_SYMMETRY_PICK:
      SymmetryPick(dlg, copy, symmetry);
      break;
    case IDC_SYMMETRY_RESET:
      symmetry.armed = 0;
      symmetry.Release();
      dlg.Refresh();
      break;
    default:
      break;
  }
}

// The step indicators and the hint show the next pick; step 4 leaves them as they are.
void CopyShapeRefresh(ToolDialog& dlg, CopyShapeState& copy, SymmetryState& symmetry) {
  if (copy.step < 4) {
    for (UInt32 k = 0; k < 4; ++k) dlg.Enable(static_cast<Int32>(IDC_CS_STEP1 + k), k == copy.step);
    dlg.SetString(IDC_CS_HINT, kCopyShapeHints[copy.step]);
  }
  dlg.SetString(IDC_SYMMETRY_PICK, symmetry.armed ? "SetPoint 2 Symmetry" : "Select UV Poly");
}

const bool registered = RegisterToolGroup(ToolGroup<CopyShapeState, SymmetryState>{
    .name = "copy shape and symmetry",
    .controls = {IDC_CS_STEP, IDC_CS_CLEAR, IDC_SYMMETRY_PICK, IDC_SYMMETRY_RESET},
    .command = CopyShapeCommand,
    .refresh = CopyShapeRefresh,
    .refreshOrder = 7,
    .pending = {},
});

}  // namespace
