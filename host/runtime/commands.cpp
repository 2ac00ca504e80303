#include "runtime/commands.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

namespace hostrt {

void SelectConnectedPolygons(PolygonObject& op) {
  const Int32 polyCount = op.GetPolygonCount();
  const Int32 pointCount = op.GetPointCount();
  const CPolygon* polys = op.GetPolygonR();
  BaseSelect* sel = op.GetPolygonS();
  if (polyCount <= 0 || !polys || !sel) return;

  // Polygons joined through their points: a parent per point, each polygon hangs on the root of
  // its first valid point.
  std::vector<Int32> parent(static_cast<size_t>(std::max(pointCount, 0)));
  std::iota(parent.begin(), parent.end(), 0);
  auto find = [&parent](Int32 x) {
    while (parent[static_cast<size_t>(x)] != x) {
      Int32& p = parent[static_cast<size_t>(x)];
      p = parent[static_cast<size_t>(p)];
      x = p;
    }
    return x;
  };
  auto valid = [pointCount](Int32 i) { return i >= 0 && i < pointCount; };
  auto firstPoint = [&](const CPolygon& p) {
    for (Int32 i : {p.a, p.b, p.c, p.d})
      if (valid(i)) return i;
    return -1;
  };
  for (Int32 k = 0; k < polyCount; ++k) {
    const CPolygon& p = polys[k];
    const Int32 first = firstPoint(p);
    if (first < 0) continue;
    for (Int32 i : {p.b, p.c, p.d}) {
      if (!valid(i)) continue;
      const Int32 a = find(first), b = find(i);
      if (a != b) parent[static_cast<size_t>(b)] = a;
    }
  }

  // Parts that hold a selected polygon, then every polygon of those parts.
  std::vector<std::uint8_t> chosen(parent.size(), 0);
  for (Int32 k = 0; k < polyCount; ++k) {
    if (!sel->IsSelected(k)) continue;
    const Int32 first = firstPoint(polys[k]);
    if (first >= 0) chosen[static_cast<size_t>(find(first))] = 1;
  }
  for (Int32 k = 0; k < polyCount; ++k) {
    const Int32 first = firstPoint(polys[k]);
    if (first >= 0 && chosen[static_cast<size_t>(find(first))]) sel->Select(k);
  }
}

bool RunCommand(BaseDocument* doc, Int32 id, Int32 subid) {
  (void)subid;
  if (!doc || id != kCommandSelectConnected) return false;
  const Int32 mode = doc->GetMode();
  if (mode != Mpolygons && mode != Muvpolygons) return false;
  BaseObject* op = doc->GetActiveObject();
  if (!op || op->GetType() != Opolygon) return false;
  SelectConnectedPolygons(*static_cast<PolygonObject*>(op));
  return true;
}

}  // namespace hostrt
