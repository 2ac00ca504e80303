// Modelling commands of the host: the selection conversion and Disconnect.
#include "c4d_general.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "c4d_basecontainer.h"
#include "c4d_basedocument.h"
#include "c4d_baseobject.h"

namespace {

enum Kind : Int32 { kPoints = 0, kEdges = 1, kPolygons = 2 };

// A polygon's sides: 0 a-b, 1 b-c, 2 c-d, 3 d-a. A triangle (c == d) has no side 2.
bool HasSide(const CPolygon& p, Int32 side) {
  return side != 2 || p.c != p.d;
}

// An edge by its two point indices, in either order.
UInt64 EdgeKey(Int32 p, Int32 q) {
  const UInt32 lo = static_cast<UInt32>(p < q ? p : q), hi = static_cast<UInt32>(p < q ? q : p);
  return (static_cast<UInt64>(lo) << 32) | hi;
}

UInt64 SideKey(const CPolygon& p, Int32 side) {
  return EdgeKey(p[side], p[(side + 1) & 3]);
}

// A flag per element of sel below count.
std::vector<std::uint8_t> Flags(const BaseSelect* sel, Int32 count) {
  std::vector<std::uint8_t> out(static_cast<size_t>(count > 0 ? count : 0), 0);
  Int32 a = 0, b = 0;
  for (Int32 seg = 0; sel->GetRange(seg, count, &a, &b); ++seg)
    for (Int32 i = a < 0 ? 0 : a; i <= b; ++i) out[static_cast<size_t>(i)] = 1;
  return out;
}

// Selects the flagged elements, range by range.
void SelectFlags(BaseSelect* sel, const std::vector<std::uint8_t>& flags) {
  sel->DeselectAll();
  const Int32 n = static_cast<Int32>(flags.size());
  for (Int32 i = 0; i < n;) {
    if (!flags[static_cast<size_t>(i)]) {
      ++i;
      continue;
    }
    Int32 j = i;
    while (j + 1 < n && flags[static_cast<size_t>(j) + 1]) ++j;
    sel->SelectAll(i, j);
    i = j + 1;
  }
}

struct Mesh {
  const CPolygon* polys;
  Int32 polyCount, pointCount;
  // Every point index of polygon p names a point of the object.
  bool Valid(Int32 p) const {
    const CPolygon& c = polys[p];
    for (Int32 k = 0; k < 4; ++k)
      if (c[k] < 0 || c[k] >= pointCount) return false;
    return true;
  }
};

// The edges (as point pairs) of the selected sides.
std::unordered_set<UInt64> SelectedEdgeKeys(const Mesh& m, const std::vector<std::uint8_t>& edges) {
  std::unordered_set<UInt64> keys;
  for (Int32 p = 0; p < m.polyCount; ++p) {
    if (!m.Valid(p)) continue;
    for (Int32 s = 0; s < 4; ++s)
      if (edges[4 * static_cast<size_t>(p) + static_cast<size_t>(s)] && HasSide(m.polys[p], s))
        keys.insert(SideKey(m.polys[p], s));
  }
  return keys;
}

// Every side of every polygon that carries one of the edges: a shared edge is selected on both
// of its polygons.
std::vector<std::uint8_t> SidesOf(const Mesh& m, const std::unordered_set<UInt64>& keys) {
  std::vector<std::uint8_t> out(4 * static_cast<size_t>(m.polyCount), 0);
  for (Int32 p = 0; p < m.polyCount; ++p) {
    if (!m.Valid(p)) continue;
    for (Int32 s = 0; s < 4; ++s)
      if (HasSide(m.polys[p], s) && keys.count(SideKey(m.polys[p], s)))
        out[4 * static_cast<size_t>(p) + static_cast<size_t>(s)] = 1;
  }
  return out;
}

Bool ConvertSelection(PolygonObject* op, Int32 from, Int32 to, Bool tolerant) {
  const Mesh m{op->GetPolygonR(), op->GetPolygonCount(), op->GetPointCount()};
  BaseSelect* pointSel = op->GetPointS();
  BaseSelect* edgeSel = op->GetEdgeS();
  BaseSelect* polySel = op->GetPolygonS();
  if (from == to) return true;

  if (from == kPolygons && to == kPoints) {
    const std::vector<std::uint8_t> polys = Flags(polySel, m.polyCount);
    std::vector<std::uint8_t> points(static_cast<size_t>(m.pointCount), 0);
    for (Int32 p = 0; p < m.polyCount; ++p) {
      if (!polys[static_cast<size_t>(p)] || !m.Valid(p)) continue;
      for (Int32 k = 0; k < 4; ++k) points[static_cast<size_t>(m.polys[p][k])] = 1;
    }
    SelectFlags(pointSel, points);
    return true;
  }
  if (from == kEdges && to == kPoints) {
    const std::vector<std::uint8_t> edges = Flags(edgeSel, 4 * m.polyCount);
    std::vector<std::uint8_t> points(static_cast<size_t>(m.pointCount), 0);
    for (Int32 p = 0; p < m.polyCount; ++p) {
      if (!m.Valid(p)) continue;
      for (Int32 s = 0; s < 4; ++s) {
        if (!edges[4 * static_cast<size_t>(p) + static_cast<size_t>(s)] || !HasSide(m.polys[p], s))
          continue;
        points[static_cast<size_t>(m.polys[p][s])] = 1;
        points[static_cast<size_t>(m.polys[p][(s + 1) & 3])] = 1;
      }
    }
    SelectFlags(pointSel, points);
    return true;
  }
  if (from == kPoints) {
    const std::vector<std::uint8_t> points = Flags(pointSel, m.pointCount);
    auto on = [&](Int32 i) { return points[static_cast<size_t>(i)] != 0; };
    std::vector<std::uint8_t> out(
        static_cast<size_t>(to == kEdges ? 4 : 1) * static_cast<size_t>(m.polyCount), 0);
    for (Int32 p = 0; p < m.polyCount; ++p) {
      if (!m.Valid(p)) continue;
      const CPolygon& c = m.polys[p];
      if (to == kEdges) {
        for (Int32 s = 0; s < 4; ++s) {
          if (!HasSide(c, s)) continue;
          const bool a = on(c[s]), b = on(c[(s + 1) & 3]);
          out[4 * static_cast<size_t>(p) + static_cast<size_t>(s)] = tolerant ? a || b : a && b;
        }
      } else {
        const bool all = on(c.a) && on(c.b) && on(c.c) && on(c.d);
        const bool any = on(c.a) || on(c.b) || on(c.c) || on(c.d);
        out[static_cast<size_t>(p)] = tolerant ? any : all;
      }
    }
    SelectFlags(to == kEdges ? edgeSel : polySel, out);
    return true;
  }
  if (from == kEdges && to == kPolygons) {
    const std::unordered_set<UInt64> keys = SelectedEdgeKeys(m, Flags(edgeSel, 4 * m.polyCount));
    std::vector<std::uint8_t> out(static_cast<size_t>(m.polyCount), 0);
    for (Int32 p = 0; p < m.polyCount; ++p) {
      if (!m.Valid(p)) continue;
      bool all = true, any = false;
      for (Int32 s = 0; s < 4; ++s) {
        if (!HasSide(m.polys[p], s)) continue;
        const bool on = keys.count(SideKey(m.polys[p], s)) > 0;
        all = all && on;
        any = any || on;
      }
      out[static_cast<size_t>(p)] = tolerant ? any : all;
    }
    SelectFlags(polySel, out);
    return true;
  }
  // Polygons to edges: the sides of the selected polygons, on every polygon that shares them.
  const std::vector<std::uint8_t> polys = Flags(polySel, m.polyCount);
  std::unordered_set<UInt64> keys;
  for (Int32 p = 0; p < m.polyCount; ++p) {
    if (!polys[static_cast<size_t>(p)] || !m.Valid(p)) continue;
    for (Int32 s = 0; s < 4; ++s)
      if (HasSide(m.polys[p], s)) keys.insert(SideKey(m.polys[p], s));
  }
  SelectFlags(edgeSel, SidesOf(m, keys));
  return true;
}

// Gives the chosen polygons points of their own. Kept points (used by a polygon left alone, or by
// no polygon) keep their order; the new points follow, polygon by polygon, corner by corner
// (three for a triangle, four for a quad), or with preserve once per shared original point.
void Disconnect(PolygonObject* op, const std::vector<std::uint8_t>& take, Bool preserve) {
  const Int32 n = op->GetPolygonCount(), pc = op->GetPointCount();
  const Vector* pts = op->GetPointR();
  const CPolygon* polys = op->GetPolygonR();
  std::vector<std::uint8_t> byTaken(static_cast<size_t>(pc), 0),
      byOther(static_cast<size_t>(pc), 0);
  for (Int32 p = 0; p < n; ++p)
    for (Int32 k = 0; k < 4; ++k)
      (take[static_cast<size_t>(p)] ? byTaken : byOther)[static_cast<size_t>(polys[p][k])] = 1;

  const std::vector<std::uint8_t> wasSelected = Flags(op->GetPointS(), pc);
  std::vector<Vector> points;
  std::vector<std::uint8_t> selected;
  std::vector<Int32> kept(static_cast<size_t>(pc), -1);
  for (Int32 i = 0; i < pc; ++i) {
    if (byTaken[static_cast<size_t>(i)] && !byOther[static_cast<size_t>(i)]) continue;
    kept[static_cast<size_t>(i)] = static_cast<Int32>(points.size());
    points.push_back(pts[i]);
    selected.push_back(wasSelected[static_cast<size_t>(i)]);
  }
  auto copy = [&](Int32 i) {
    points.push_back(pts[i]);
    selected.push_back(wasSelected[static_cast<size_t>(i)]);
    return static_cast<Int32>(points.size() - 1);
  };

  std::vector<CPolygon> out(polys, polys + n);
  std::vector<Int32> group(preserve ? static_cast<size_t>(pc) : 0, -1);
  for (Int32 p = 0; p < n; ++p) {
    const CPolygon& c = polys[p];
    CPolygon& o = out[static_cast<size_t>(p)];
    if (!take[static_cast<size_t>(p)]) {
      for (Int32 k = 0; k < 4; ++k) o[k] = kept[static_cast<size_t>(c[k])];
      continue;
    }
    const Int32 corners = c.IsTriangle() ? 3 : 4;
    for (Int32 k = 0; k < corners; ++k) {
      if (!preserve) {
        o[k] = copy(c[k]);
      } else {
        Int32& g = group[static_cast<size_t>(c[k])];
        if (g < 0) g = copy(c[k]);
        o[k] = g;
      }
    }
    if (corners == 3) o.d = o.c;
  }

  // N-gon outlines: each point goes where the first of the n-gon's polygons that uses it took it.
  std::vector<PolygonObject::Ngon> ngons = op->GetNgons();
  std::vector<Int32> stamp(static_cast<size_t>(pc), -1), where(static_cast<size_t>(pc), -1);
  for (size_t g = 0; g < ngons.size(); ++g) {
    for (Int32 p : ngons[g].polygons)
      for (Int32 k = 0; k < 4; ++k) {
        const size_t i = static_cast<size_t>(polys[p][k]);
        if (stamp[i] == static_cast<Int32>(g)) continue;
        stamp[i] = static_cast<Int32>(g);
        where[i] = out[static_cast<size_t>(p)][k];
      }
    std::vector<Int32> outline;
    for (Int32 i : ngons[g].outline) {
      const Int32 to = i < 0 || i >= pc ? -1
                       : stamp[static_cast<size_t>(i)] == static_cast<Int32>(g)
                           ? where[static_cast<size_t>(i)]
                           : kept[static_cast<size_t>(i)];
      if (to >= 0) outline.push_back(to);
    }
    ngons[g].outline = std::move(outline);
  }

  op->ResizeObject(static_cast<Int32>(points.size()), n);
  std::copy(points.begin(), points.end(), op->GetPointW());
  std::copy(out.begin(), out.end(), op->GetPolygonW());
  op->SetNgons(std::move(ngons));
  SelectFlags(op->GetPointS(), selected);
}

}  // namespace

Bool SendModelingCommand(Int32 command, ModelingCommandData& data) {
  if (!data.op || data.op->GetType() != Opolygon) return false;
  if (command == MCOMMAND_DISCONNECT) {
    auto* op = static_cast<PolygonObject*>(data.op);
    const Int32 n = op->GetPolygonCount();
    std::vector<std::uint8_t> take;
    if (data.mode == MODELINGCOMMANDMODE_ALL)
      take.assign(static_cast<size_t>(n), 1);
    else if (data.mode == MODELINGCOMMANDMODE_POLYGONSELECTION)
      take = Flags(op->GetPolygonS(), n);
    else
      return false;
    // A polygon that names a point the object does not have: refused, nothing changes.
    const Mesh m{op->GetPolygonR(), n, op->GetPointCount()};
    for (Int32 p = 0; p < n; ++p)
      if (!m.Valid(p)) return false;
    if (data.doc && (data.flags & MODELINGCOMMANDFLAGS_CREATEUNDO))
      data.doc->AddUndo(UNDOTYPE_CHANGE, op);
    Disconnect(op, take, data.bc && data.bc->GetBool(MDATA_DISCONNECT_PRESERVEGROUPS));
    return true;
  }
  if (command != MCOMMAND_CONVERTSELECTION || !data.bc) return false;
  const Int32 from = data.bc->GetInt32(MDATA_CONVERTSELECTION_LEFT);
  const Int32 to = data.bc->GetInt32(MDATA_CONVERTSELECTION_RIGHT);
  if (from < kPoints || from > kPolygons || to < kPoints || to > kPolygons) return false;
  if (data.doc && (data.flags & MODELINGCOMMANDFLAGS_CREATEUNDO))
    data.doc->AddUndo(UNDOTYPE_CHANGE_SELECTION, data.op);
  return ConvertSelection(static_cast<PolygonObject*>(data.op), from, to,
                          data.bc->GetBool(MDATA_CONVERTSELECTION_TOLERANT));
}
